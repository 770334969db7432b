// The command line's string provider: the system's English string table (the
// desktop program's own, shared so that both show the same texts), served to
// the engine by identifier and used for the program's own messages.
#pragma once

#include <string>

#include "vaultline/Vaultline.h"

namespace vaultline::cli {

// Identifiers of the texts the command line itself shows.
inline constexpr unsigned kTextPathNotFound = 149;
inline constexpr unsigned kTextNameMissing = 175;
inline constexpr unsigned kTextNoSpaceAvailable = 185;

// The English text of `id`; empty when there is none.
std::wstring EnglishText(unsigned id);

class EnglishResources final : public IResourceProvider {
 public:
  void TimeToFileTime(int32_t time, int64_t* fileTime) override;
  bool TimeToSystemTime(int32_t time, SystemTime* systemTime) override;
  int LoadText(unsigned id, wchar_t* buffer, int capacity) override;
  uint16_t GetLanguage() override;
  int FormatText(unsigned flags, unsigned id, void* buffer, int size,
                 const wchar_t* const* arguments) override;
};

}  // namespace vaultline::cli
