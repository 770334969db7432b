// The engine's string provider as both front ends serve it: a time as the
// calendar gives it, a text by its identifier in the language in use, and a
// text filled in with the engine's positional inserts. Keeps no state, so the
// engine may call it from a worker thread.
#pragma once

#include <string>

#include "vaultline/Vaultline.h"

namespace frontend {

class TextProvider : public IResourceProvider {
 public:
  void TimeToFileTime(int32_t time, int64_t* fileTime) override;
  bool TimeToSystemTime(int32_t time, SystemTime* systemTime) override;
  int LoadText(unsigned id, wchar_t* buffer, int capacity) override;
  int FormatText(unsigned flags, unsigned id, void* buffer, int size,
                 const wchar_t* const* arguments) override;

 protected:
  ~TextProvider() = default;
  // The text of `id` in the language in use; empty when there is none.
  virtual std::wstring ProvidedText(unsigned id) = 0;
};

}  // namespace frontend
