#include "seal/SealKeys.h"

#include <sodium.h>

namespace vaultline::seal {
namespace {

// Eight characters, fixed for ever: changing them changes every key.
constexpr char kContext[crypto_kdf_CONTEXTBYTES + 1] = "VLSEALK1";
static_assert(crypto_kdf_CONTEXTBYTES == 8);
static_assert(crypto_kdf_KEYBYTES == SealKeys::kMasterKeySize);

}  // namespace

SealKeys::SealKeys(const SecretBytes& master) {
  if (master.size() != kMasterKeySize) return;
  SecretBytes keys((kFirstPayloadSlot + kPayloadSlots) * kKeySize);
  if (keys.empty()) return;
  for (size_t slot = 0; slot < kFirstPayloadSlot + kPayloadSlots; ++slot) {
    // Subkey ids are the slot numbers plus one; 0 is left unused.
    if (crypto_kdf_derive_from_key(keys.data() + slot * kKeySize, kKeySize, slot + 1, kContext,
                                   master.data()) != 0) {
      return;
    }
  }
  keys_ = std::move(keys);
}

const uint8_t* SealKeys::Payload(RecordFileKind kind) const {
  const size_t index = static_cast<size_t>(kind) % kPayloadSlots;
  return Slot(kFirstPayloadSlot + index);
}

}  // namespace vaultline::seal
