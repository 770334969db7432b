// How many processors this process may run on (its affinity mask), so that
// work is split across no more threads than can run at once; and how the
// threads that share them are scheduled.
#pragma once

namespace vaultline::platform {

// At least 1.
int AvailableProcessors();
// Tells the scheduler that the calling thread does batch work: a helper it
// wakes then waits for a processor to come free rather than pushing aside
// the thread that woke it, which goes on with the work the helper serves.
// Its share of the processors stays as it was. A hint: a failure changes
// nothing.
void MarkThreadAsBatchWork();

}  // namespace vaultline::platform
