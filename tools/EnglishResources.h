// The command line's string provider: the system's English string table
// (shared with the desktop program, so that both show the same texts), served
// to the engine by identifier and used for the program's own messages.
#pragma once

#include "frontend/EnglishStrings.h"
#include "frontend/TextProvider.h"

namespace vaultline::cli {

// Identifiers of the texts the command line itself shows.
inline constexpr unsigned kTextPathNotFound = 149;
inline constexpr unsigned kTextNameMissing = 175;
inline constexpr unsigned kTextNoSpaceAvailable = 185;

using frontend::EnglishText;

class EnglishResources final : public frontend::TextProvider {
 public:
  uint16_t GetLanguage() override;

 protected:
  std::wstring ProvidedText(unsigned id) override;
};

}  // namespace vaultline::cli
