// A command that cannot go on: its message (printed as "error: TEXT") and the
// exit status it ends the program with.
#pragma once

#include <string>

#include "ExitCode.h"

namespace vaultline::cli {

struct CommandError {
  ExitCode code;
  std::wstring message;
};

}  // namespace vaultline::cli
