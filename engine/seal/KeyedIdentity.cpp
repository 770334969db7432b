#include "seal/KeyedIdentity.h"

#include <sodium.h>

#include <cstring>

#include "util/ByteOrder.h"

namespace vaultline::seal {
namespace {

static_assert(crypto_shorthash_KEYBYTES <= SealKeys::kKeySize);
static_assert(crypto_shorthash_BYTES == 8);

}  // namespace

KeyedIdentity::KeyedIdentity(const SealKeys& keys) {
  if (!keys.Valid()) return;
  SecretBytes both(2 * SealKeys::kKeySize);
  if (both.empty()) return;
  std::memcpy(both.data(), keys.BlockDigest(), SealKeys::kKeySize);
  std::memcpy(both.data() + SealKeys::kKeySize, keys.WeakChecksum(), SealKeys::kKeySize);
  keys_ = std::move(both);
}

void KeyedIdentity::BlockDigest(const void* bytes, size_t length, uint8_t* digest) const {
  crypto_generichash(digest, kDigestSize, static_cast<const uint8_t*>(bytes), length, keys_.data(),
                     SealKeys::kKeySize);
}

uint32_t KeyedIdentity::WeakKey(uint32_t weakChecksum) const {
  uint8_t input[4];
  StoreLe32(weakChecksum, input);
  uint8_t hash[crypto_shorthash_BYTES];
  crypto_shorthash(hash, input, sizeof input, keys_.data() + SealKeys::kKeySize);
  return LoadLe32(hash);
}

}  // namespace vaultline::seal
