// libsodium is initialised once per process before any of its functions is
// called (it picks the fastest implementations and opens the random source).
#pragma once

namespace vaultline::seal {

// True when libsodium is ready; false only when it cannot start (no random
// source), in which case nothing may be sealed or opened.
bool EnsureSodium();

}  // namespace vaultline::seal
