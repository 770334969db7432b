// Options that come before the command.
#pragma once

#include <string>

namespace vaultline::cli {

struct GlobalOptions {
  std::string drive;  // stands for the program's folder; empty: the real one
  bool json = false;
  int verbosity = 0;
};

}  // namespace vaultline::cli
