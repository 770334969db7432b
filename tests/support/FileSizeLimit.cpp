#include "FileSizeLimit.h"

#include <signal.h>
#include <sys/resource.h>

namespace vaultline::testing {
namespace {

rlimit g_original{};
bool g_saved = false;

}  // namespace

bool LimitFileSize(uint64_t bytes) {
  if (!g_saved) {
    if (getrlimit(RLIMIT_FSIZE, &g_original) != 0) return false;
    g_saved = true;
  }
  signal(SIGXFSZ, SIG_IGN);
  rlimit limit = g_original;
  limit.rlim_cur = static_cast<rlim_t>(bytes);
  return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

bool UnlimitFileSize() {
  if (!g_saved) return true;
  return setrlimit(RLIMIT_FSIZE, &g_original) == 0;
}

}  // namespace vaultline::testing
