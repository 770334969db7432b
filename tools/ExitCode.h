// Exit statuses of the command line.
#pragma once

namespace vaultline::cli {

enum ExitCode : int {
  kExitSuccess = 0,
  kExitFailure = 1,  // the operation failed or the engine reported an error
  kExitUsage = 2,
  kExitPartial = 3,  // a snapshot was taken but files were skipped or unreadable
};

}  // namespace vaultline::cli
