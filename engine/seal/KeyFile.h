// The key file of a sealed selection ("file.key", 132 bytes): a random
// master key wrapped (XChaCha20-Poly1305) by a key stretched from the
// password with Argon2id, whose costs and salt the file keeps. Changing the
// password writes only this file anew (a temporary name, synced, renamed
// over it), so the stored data need not be touched. Layout in
// docs/drive-layout.md, "The key file".
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "seal/SecretBytes.h"

namespace vaultline::seal {

// Argon2id's costs: passes over the memory, and the memory in bytes.
struct KdfCost {
  uint64_t operations = 0;
  uint64_t memory = 0;
};
// The costs new key files get (see the bench for what they take).
KdfCost DefaultKdfCost();

enum class KeyFileStatus {
  kOk,
  kMissing,        // no key file
  kExists,         // a key file is there already (never overwritten)
  kDamaged,        // its checksum or size is wrong
  kUnsupported,    // another version or algorithm, or costs out of bounds
  kWrongPassword,  // the password does not unwrap the key
  kFailed,         // the system failed (reading, writing, memory)
};

struct UnlockedKey {
  SecretBytes master;               // SealKeys::kMasterKeySize bytes
  std::array<uint8_t, 16> store{};  // the store's identity, not secret
};

class KeyFile {
 public:
  static constexpr size_t kSize = 132;

  // Makes a new master key and store identity and writes them to `path`
  // under `password`.
  static KeyFileStatus Create(std::wstring_view path, const SecretBytes& password, KdfCost cost,
                              UnlockedKey* key);
  // Unwraps the master key at `path` with `password`.
  static KeyFileStatus Open(std::wstring_view path, const SecretBytes& password, UnlockedKey* key);
  // Wraps the master key anew under `newPassword` (a fresh salt and nonce)
  // once `oldPassword` unwrapped it. On any failure the old file stays.
  static KeyFileStatus ChangePassword(std::wstring_view path, const SecretBytes& oldPassword,
                                      const SecretBytes& newPassword, KdfCost cost);
  // A sentence for the user; never holds the password.
  static std::wstring Message(KeyFileStatus status, std::wstring_view path);
};

}  // namespace vaultline::seal
