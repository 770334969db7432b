// How many processors this process may run on (its affinity mask), so that
// work is split across no more threads than can run at once.
#pragma once

namespace vaultline::platform {

// At least 1.
int AvailableProcessors();

}  // namespace vaultline::platform
