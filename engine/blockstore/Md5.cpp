#include "blockstore/Md5.h"

#include <cstring>

#include "util/ByteOrder.h"

namespace vaultline {
namespace {

inline uint32_t Rotl(uint32_t x, int s) {
  return (x << s) | (x >> (32 - s));
}

// The four rounds of RFC 1321, arranged for the shortest chain through b,
// the value computed last: x + k is added first, F is d ^ (b & (c ^ d)), and
// G is the sum of its two disjoint halves, the one without b added early.
#define MD5_STEP_F(a, b, c, d, x, s, k) \
  a += (x) + (k);                       \
  a += (d) ^ ((b) & ((c) ^ (d)));       \
  a = Rotl(a, s) + (b)
#define MD5_STEP_G(a, b, c, d, x, s, k) \
  a += (x) + (k);                       \
  a += (c) & ~(d);                      \
  a += (b) & (d);                       \
  a = Rotl(a, s) + (b)
#define MD5_STEP_H(a, b, c, d, x, s, k) \
  a += (x) + (k);                       \
  a += (b) ^ ((c) ^ (d));               \
  a = Rotl(a, s) + (b)
#define MD5_STEP_I(a, b, c, d, x, s, k) \
  a += (x) + (k);                       \
  a += (c) ^ ((b) | ~(d));              \
  a = Rotl(a, s) + (b)

}  // namespace

void Md5::Init() {
  state_[0] = 0x67452301u;
  state_[1] = 0xefcdab89u;
  state_[2] = 0x98badcfeu;
  state_[3] = 0x10325476u;
  length_ = 0;
}

void Md5::Transform(const uint8_t* blocks, size_t count) {
  uint32_t a0 = state_[0], b0 = state_[1], c0 = state_[2], d0 = state_[3];
  for (; count > 0; --count, blocks += 64) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLe32(blocks + 4 * i);
    uint32_t a = a0, b = b0, c = c0, d = d0;

    MD5_STEP_F(a, b, c, d, x[0], 7, 0xd76aa478u);
    MD5_STEP_F(d, a, b, c, x[1], 12, 0xe8c7b756u);
    MD5_STEP_F(c, d, a, b, x[2], 17, 0x242070dbu);
    MD5_STEP_F(b, c, d, a, x[3], 22, 0xc1bdceeeu);
    MD5_STEP_F(a, b, c, d, x[4], 7, 0xf57c0fafu);
    MD5_STEP_F(d, a, b, c, x[5], 12, 0x4787c62au);
    MD5_STEP_F(c, d, a, b, x[6], 17, 0xa8304613u);
    MD5_STEP_F(b, c, d, a, x[7], 22, 0xfd469501u);
    MD5_STEP_F(a, b, c, d, x[8], 7, 0x698098d8u);
    MD5_STEP_F(d, a, b, c, x[9], 12, 0x8b44f7afu);
    MD5_STEP_F(c, d, a, b, x[10], 17, 0xffff5bb1u);
    MD5_STEP_F(b, c, d, a, x[11], 22, 0x895cd7beu);
    MD5_STEP_F(a, b, c, d, x[12], 7, 0x6b901122u);
    MD5_STEP_F(d, a, b, c, x[13], 12, 0xfd987193u);
    MD5_STEP_F(c, d, a, b, x[14], 17, 0xa679438eu);
    MD5_STEP_F(b, c, d, a, x[15], 22, 0x49b40821u);

    MD5_STEP_G(a, b, c, d, x[1], 5, 0xf61e2562u);
    MD5_STEP_G(d, a, b, c, x[6], 9, 0xc040b340u);
    MD5_STEP_G(c, d, a, b, x[11], 14, 0x265e5a51u);
    MD5_STEP_G(b, c, d, a, x[0], 20, 0xe9b6c7aau);
    MD5_STEP_G(a, b, c, d, x[5], 5, 0xd62f105du);
    MD5_STEP_G(d, a, b, c, x[10], 9, 0x02441453u);
    MD5_STEP_G(c, d, a, b, x[15], 14, 0xd8a1e681u);
    MD5_STEP_G(b, c, d, a, x[4], 20, 0xe7d3fbc8u);
    MD5_STEP_G(a, b, c, d, x[9], 5, 0x21e1cde6u);
    MD5_STEP_G(d, a, b, c, x[14], 9, 0xc33707d6u);
    MD5_STEP_G(c, d, a, b, x[3], 14, 0xf4d50d87u);
    MD5_STEP_G(b, c, d, a, x[8], 20, 0x455a14edu);
    MD5_STEP_G(a, b, c, d, x[13], 5, 0xa9e3e905u);
    MD5_STEP_G(d, a, b, c, x[2], 9, 0xfcefa3f8u);
    MD5_STEP_G(c, d, a, b, x[7], 14, 0x676f02d9u);
    MD5_STEP_G(b, c, d, a, x[12], 20, 0x8d2a4c8au);

    MD5_STEP_H(a, b, c, d, x[5], 4, 0xfffa3942u);
    MD5_STEP_H(d, a, b, c, x[8], 11, 0x8771f681u);
    MD5_STEP_H(c, d, a, b, x[11], 16, 0x6d9d6122u);
    MD5_STEP_H(b, c, d, a, x[14], 23, 0xfde5380cu);
    MD5_STEP_H(a, b, c, d, x[1], 4, 0xa4beea44u);
    MD5_STEP_H(d, a, b, c, x[4], 11, 0x4bdecfa9u);
    MD5_STEP_H(c, d, a, b, x[7], 16, 0xf6bb4b60u);
    MD5_STEP_H(b, c, d, a, x[10], 23, 0xbebfbc70u);
    MD5_STEP_H(a, b, c, d, x[13], 4, 0x289b7ec6u);
    MD5_STEP_H(d, a, b, c, x[0], 11, 0xeaa127fau);
    MD5_STEP_H(c, d, a, b, x[3], 16, 0xd4ef3085u);
    MD5_STEP_H(b, c, d, a, x[6], 23, 0x04881d05u);
    MD5_STEP_H(a, b, c, d, x[9], 4, 0xd9d4d039u);
    MD5_STEP_H(d, a, b, c, x[12], 11, 0xe6db99e5u);
    MD5_STEP_H(c, d, a, b, x[15], 16, 0x1fa27cf8u);
    MD5_STEP_H(b, c, d, a, x[2], 23, 0xc4ac5665u);

    MD5_STEP_I(a, b, c, d, x[0], 6, 0xf4292244u);
    MD5_STEP_I(d, a, b, c, x[7], 10, 0x432aff97u);
    MD5_STEP_I(c, d, a, b, x[14], 15, 0xab9423a7u);
    MD5_STEP_I(b, c, d, a, x[5], 21, 0xfc93a039u);
    MD5_STEP_I(a, b, c, d, x[12], 6, 0x655b59c3u);
    MD5_STEP_I(d, a, b, c, x[3], 10, 0x8f0ccc92u);
    MD5_STEP_I(c, d, a, b, x[10], 15, 0xffeff47du);
    MD5_STEP_I(b, c, d, a, x[1], 21, 0x85845dd1u);
    MD5_STEP_I(a, b, c, d, x[8], 6, 0x6fa87e4fu);
    MD5_STEP_I(d, a, b, c, x[15], 10, 0xfe2ce6e0u);
    MD5_STEP_I(c, d, a, b, x[6], 15, 0xa3014314u);
    MD5_STEP_I(b, c, d, a, x[13], 21, 0x4e0811a1u);
    MD5_STEP_I(a, b, c, d, x[4], 6, 0xf7537e82u);
    MD5_STEP_I(d, a, b, c, x[11], 10, 0xbd3af235u);
    MD5_STEP_I(c, d, a, b, x[2], 15, 0x2ad7d2bbu);
    MD5_STEP_I(b, c, d, a, x[9], 21, 0xeb86d391u);

    a0 += a;
    b0 += b;
    c0 += c;
    d0 += d;
  }
  state_[0] = a0;
  state_[1] = b0;
  state_[2] = c0;
  state_[3] = d0;
}

#undef MD5_STEP_F
#undef MD5_STEP_G
#undef MD5_STEP_H
#undef MD5_STEP_I

void Md5::Update(const void* data, size_t length) {
  if (length == 0) return;  // an empty file may come with no buffer at all
  const uint8_t* in = static_cast<const uint8_t*>(data);
  size_t used = length_ % 64;
  length_ += length;
  if (used > 0) {
    size_t take = 64 - used < length ? 64 - used : length;
    std::memcpy(pending_ + used, in, take);
    in += take;
    length -= take;
    if (used + take < 64) return;
    Transform(pending_, 1);
  }
  // Whole blocks straight from the caller's buffer.
  Transform(in, length / 64);
  in += length - length % 64;
  std::memcpy(pending_, in, length % 64);
}

void Md5::Final(Md5Digest* digest) {
  uint64_t bits = length_ * 8;
  static const uint8_t kPadding[64] = {0x80};
  size_t used = length_ % 64;
  Update(kPadding, used < 56 ? 56 - used : 120 - used);
  uint8_t lengthBytes[8];
  for (int i = 0; i < 8; ++i) lengthBytes[i] = static_cast<uint8_t>(bits >> (8 * i));
  Update(lengthBytes, 8);
  for (int i = 0; i < 4; ++i) StoreLe32(state_[i], digest->data() + 4 * i);
  Init();
}

Md5Digest Md5::Of(const void* data, size_t length) {
  Md5 md5;
  Md5Digest digest;
  md5.Update(data, length);
  md5.Final(&digest);
  return digest;
}

}  // namespace vaultline
