// The identities by which a sealed store finds blocks again, keyed so that
// they tell nothing to someone without the key: a block's digest is a keyed
// BLAKE2b of its bytes (16 bytes, in place of MD5), and its weak checksum is
// entered into lookup structures as a keyed hash (SipHash) of the rolling
// value. The rolling value itself is still computed as for plain stores;
// only what is kept or compared across files is keyed. The hash is not a
// permutation: two weak checksums may share a key, which costs one more
// digest comparison and nothing else.
#pragma once

#include <cstddef>
#include <cstdint>

#include "seal/SealKeys.h"
#include "seal/SecretBytes.h"

namespace vaultline::seal {

class KeyedIdentity {
 public:
  static constexpr size_t kDigestSize = 16;

  explicit KeyedIdentity(const SealKeys& keys);
  bool Valid() const { return !keys_.empty(); }

  void BlockDigest(const void* bytes, size_t length, uint8_t* digest) const;
  uint32_t WeakKey(uint32_t weakChecksum) const;

 private:
  SecretBytes keys_;  // the digest key, then the weak checksum key
};

}  // namespace vaultline::seal
