// MD5 message digest (RFC 1321).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vaultline {

using Md5Digest = std::array<uint8_t, 16>;

// Incremental MD5: Init, any number of Update calls, Final. Final leaves the
// context ready for a new message.
class Md5 {
 public:
  Md5() { Init(); }
  void Init();
  void Update(const void* data, size_t length);
  void Final(Md5Digest* digest);

  static Md5Digest Of(const void* data, size_t length);

 private:
  void Transform(const uint8_t* blocks, size_t count);

  uint32_t state_[4];
  uint64_t length_;  // bytes fed so far
  uint8_t pending_[64];
};

}  // namespace vaultline
