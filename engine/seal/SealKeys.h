// The keys a sealed selection uses, each derived from the master key for one
// purpose (libsodium's key derivation), so that no key serves two purposes
// and the master key itself never touches stored data.
#pragma once

#include <cstddef>
#include <cstdint>

#include "seal/SealedNames.h"
#include "seal/SecretBytes.h"

namespace vaultline::seal {

class SealKeys {
 public:
  static constexpr size_t kKeySize = 32;
  static constexpr size_t kMasterKeySize = 32;

  // Derives every subkey from `master` (kMasterKeySize bytes). Valid() is
  // false when `master` has the wrong size or memory cannot be had.
  explicit SealKeys(const SecretBytes& master);
  bool Valid() const { return !keys_.empty(); }

  // Encrypts the frames of one kind of record file.
  const uint8_t* Payload(RecordFileKind kind) const;
  // Authenticates the frame headers (all files).
  const uint8_t* HeaderCheck() const { return Slot(kHeaderSlot); }
  // Hides the logical position and length in the frame headers.
  const uint8_t* Mask() const { return Slot(kMaskSlot); }
  // The keyed digest of a block's bytes.
  const uint8_t* BlockDigest() const { return Slot(kDigestSlot); }
  // The keyed weak checksum (the first 16 bytes are used).
  const uint8_t* WeakChecksum() const { return Slot(kWeakSlot); }

 private:
  enum : size_t { kHeaderSlot, kMaskSlot, kDigestSlot, kWeakSlot, kFirstPayloadSlot };
  static constexpr size_t kPayloadSlots = 16;
  const uint8_t* Slot(size_t slot) const { return keys_.data() + slot * kKeySize; }
  SecretBytes keys_;
};

}  // namespace vaultline::seal
