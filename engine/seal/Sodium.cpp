#include "seal/Sodium.h"

#include <sodium.h>

namespace vaultline::seal {

bool EnsureSodium() {
  // sodium_init is itself safe to call from several threads and more than
  // once; the static keeps later calls free.
  static const bool ready = sodium_init() >= 0;
  return ready;
}

}  // namespace vaultline::seal
