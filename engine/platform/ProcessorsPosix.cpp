#include <sched.h>

#include "platform/Processors.h"

namespace vaultline::platform {

int AvailableProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  const int count = CPU_COUNT(&set);
  return count > 0 ? count : 1;
}

void MarkThreadAsBatchWork() {
  // Linux schedules each thread on its own: 0 is the calling one.
  sched_param param{};
  ::sched_setscheduler(0, SCHED_BATCH, &param);
}

}  // namespace vaultline::platform
