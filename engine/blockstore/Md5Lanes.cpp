#include "blockstore/Md5Lanes.h"

#include <algorithm>
#include <cstring>

#include "util/ByteOrder.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VAULTLINE_MD5_LANES 1
#endif

namespace vaultline {

#ifdef VAULTLINE_MD5_LANES
namespace {

#define VAULTLINE_AVX2 __attribute__((target("avx2"), always_inline)) inline

VAULTLINE_AVX2 __m256i Add(__m256i a, __m256i b) {
  return _mm256_add_epi32(a, b);
}

// The steps of RFC 1321 as the one-message Transform takes them, eight
// messages at a time, one in each 32-bit lane.
#define VL_ROTATE(a, s) _mm256_or_si256(_mm256_slli_epi32(a, s), _mm256_srli_epi32(a, 32 - (s)))
#define VL_STEP_F(a, b, c, d, x, s, k)                                          \
  a = Add(a, Add(x, _mm256_set1_epi32(static_cast<int>(k))));                   \
  a = Add(a, _mm256_xor_si256(d, _mm256_and_si256(b, _mm256_xor_si256(c, d)))); \
  a = Add(VL_ROTATE(a, s), b)
#define VL_STEP_G(a, b, c, d, x, s, k)                        \
  a = Add(a, Add(x, _mm256_set1_epi32(static_cast<int>(k)))); \
  a = Add(a, _mm256_andnot_si256(d, c));                      \
  a = Add(a, _mm256_and_si256(b, d));                         \
  a = Add(VL_ROTATE(a, s), b)
#define VL_STEP_H(a, b, c, d, x, s, k)                        \
  a = Add(a, Add(x, _mm256_set1_epi32(static_cast<int>(k)))); \
  a = Add(a, _mm256_xor_si256(b, _mm256_xor_si256(c, d)));    \
  a = Add(VL_ROTATE(a, s), b)
#define VL_STEP_I(a, b, c, d, x, s, k)                                                             \
  a = Add(a, Add(x, _mm256_set1_epi32(static_cast<int>(k))));                                      \
  a = Add(a, _mm256_xor_si256(c, _mm256_or_si256(b, _mm256_xor_si256(d, _mm256_set1_epi32(-1))))); \
  a = Add(VL_ROTATE(a, s), b)

// The 64 steps of RFC 1321, in the order the one-message Transform takes
// them, for step macros of either instruction set.
#define VL_MD5_STEPS(F, G, H, I)         \
  F(a, b, c, d, x[0], 7, 0xd76aa478u);   \
  F(d, a, b, c, x[1], 12, 0xe8c7b756u);  \
  F(c, d, a, b, x[2], 17, 0x242070dbu);  \
  F(b, c, d, a, x[3], 22, 0xc1bdceeeu);  \
  F(a, b, c, d, x[4], 7, 0xf57c0fafu);   \
  F(d, a, b, c, x[5], 12, 0x4787c62au);  \
  F(c, d, a, b, x[6], 17, 0xa8304613u);  \
  F(b, c, d, a, x[7], 22, 0xfd469501u);  \
  F(a, b, c, d, x[8], 7, 0x698098d8u);   \
  F(d, a, b, c, x[9], 12, 0x8b44f7afu);  \
  F(c, d, a, b, x[10], 17, 0xffff5bb1u); \
  F(b, c, d, a, x[11], 22, 0x895cd7beu); \
  F(a, b, c, d, x[12], 7, 0x6b901122u);  \
  F(d, a, b, c, x[13], 12, 0xfd987193u); \
  F(c, d, a, b, x[14], 17, 0xa679438eu); \
  F(b, c, d, a, x[15], 22, 0x49b40821u); \
  G(a, b, c, d, x[1], 5, 0xf61e2562u);   \
  G(d, a, b, c, x[6], 9, 0xc040b340u);   \
  G(c, d, a, b, x[11], 14, 0x265e5a51u); \
  G(b, c, d, a, x[0], 20, 0xe9b6c7aau);  \
  G(a, b, c, d, x[5], 5, 0xd62f105du);   \
  G(d, a, b, c, x[10], 9, 0x02441453u);  \
  G(c, d, a, b, x[15], 14, 0xd8a1e681u); \
  G(b, c, d, a, x[4], 20, 0xe7d3fbc8u);  \
  G(a, b, c, d, x[9], 5, 0x21e1cde6u);   \
  G(d, a, b, c, x[14], 9, 0xc33707d6u);  \
  G(c, d, a, b, x[3], 14, 0xf4d50d87u);  \
  G(b, c, d, a, x[8], 20, 0x455a14edu);  \
  G(a, b, c, d, x[13], 5, 0xa9e3e905u);  \
  G(d, a, b, c, x[2], 9, 0xfcefa3f8u);   \
  G(c, d, a, b, x[7], 14, 0x676f02d9u);  \
  G(b, c, d, a, x[12], 20, 0x8d2a4c8au); \
  H(a, b, c, d, x[5], 4, 0xfffa3942u);   \
  H(d, a, b, c, x[8], 11, 0x8771f681u);  \
  H(c, d, a, b, x[11], 16, 0x6d9d6122u); \
  H(b, c, d, a, x[14], 23, 0xfde5380cu); \
  H(a, b, c, d, x[1], 4, 0xa4beea44u);   \
  H(d, a, b, c, x[4], 11, 0x4bdecfa9u);  \
  H(c, d, a, b, x[7], 16, 0xf6bb4b60u);  \
  H(b, c, d, a, x[10], 23, 0xbebfbc70u); \
  H(a, b, c, d, x[13], 4, 0x289b7ec6u);  \
  H(d, a, b, c, x[0], 11, 0xeaa127fau);  \
  H(c, d, a, b, x[3], 16, 0xd4ef3085u);  \
  H(b, c, d, a, x[6], 23, 0x04881d05u);  \
  H(a, b, c, d, x[9], 4, 0xd9d4d039u);   \
  H(d, a, b, c, x[12], 11, 0xe6db99e5u); \
  H(c, d, a, b, x[15], 16, 0x1fa27cf8u); \
  H(b, c, d, a, x[2], 23, 0xc4ac5665u);  \
  I(a, b, c, d, x[0], 6, 0xf4292244u);   \
  I(d, a, b, c, x[7], 10, 0x432aff97u);  \
  I(c, d, a, b, x[14], 15, 0xab9423a7u); \
  I(b, c, d, a, x[5], 21, 0xfc93a039u);  \
  I(a, b, c, d, x[12], 6, 0x655b59c3u);  \
  I(d, a, b, c, x[3], 10, 0x8f0ccc92u);  \
  I(c, d, a, b, x[10], 15, 0xffeff47du); \
  I(b, c, d, a, x[1], 21, 0x85845dd1u);  \
  I(a, b, c, d, x[8], 6, 0x6fa87e4fu);   \
  I(d, a, b, c, x[15], 10, 0xfe2ce6e0u); \
  I(c, d, a, b, x[6], 15, 0xa3014314u);  \
  I(b, c, d, a, x[13], 21, 0x4e0811a1u); \
  I(a, b, c, d, x[4], 6, 0xf7537e82u);   \
  I(d, a, b, c, x[11], 10, 0xbd3af235u); \
  I(c, d, a, b, x[2], 15, 0x2ad7d2bbu);  \
  I(b, c, d, a, x[9], 21, 0xeb86d391u);

// Rows r[0..7] of eight 32-bit words become columns: word w of every lane.
VAULTLINE_AVX2 void Transpose(__m256i r[8]) {
  const __m256i t0 = _mm256_unpacklo_epi32(r[0], r[1]);
  const __m256i t1 = _mm256_unpackhi_epi32(r[0], r[1]);
  const __m256i t2 = _mm256_unpacklo_epi32(r[2], r[3]);
  const __m256i t3 = _mm256_unpackhi_epi32(r[2], r[3]);
  const __m256i t4 = _mm256_unpacklo_epi32(r[4], r[5]);
  const __m256i t5 = _mm256_unpackhi_epi32(r[4], r[5]);
  const __m256i t6 = _mm256_unpacklo_epi32(r[6], r[7]);
  const __m256i t7 = _mm256_unpackhi_epi32(r[6], r[7]);
  const __m256i u0 = _mm256_unpacklo_epi64(t0, t2);
  const __m256i u1 = _mm256_unpackhi_epi64(t0, t2);
  const __m256i u2 = _mm256_unpacklo_epi64(t1, t3);
  const __m256i u3 = _mm256_unpackhi_epi64(t1, t3);
  const __m256i u4 = _mm256_unpacklo_epi64(t4, t6);
  const __m256i u5 = _mm256_unpackhi_epi64(t4, t6);
  const __m256i u6 = _mm256_unpacklo_epi64(t5, t7);
  const __m256i u7 = _mm256_unpackhi_epi64(t5, t7);
  r[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
  r[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
  r[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
  r[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
  r[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
  r[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
  r[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
  r[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

// A function that takes `count` 64-byte blocks of each of eight messages
// into the state, with the given steps.
#define VL_TRANSFORM_LANES(name, instructions, stepF, stepG, stepH, stepI)                        \
  __attribute__((target(instructions))) void name(__m256i state[4],                               \
                                                  const uint8_t* const blocks[8], size_t count) { \
    __m256i a0 = state[0], b0 = state[1], c0 = state[2], d0 = state[3];                           \
    for (size_t block = 0; block < count; ++block) {                                              \
      __m256i x[16];                                                                              \
      for (int half = 0; half < 2; ++half) {                                                      \
        __m256i rows[8];                                                                          \
        for (int lane = 0; lane < 8; ++lane) {                                                    \
          rows[lane] = _mm256_loadu_si256(                                                        \
              reinterpret_cast<const __m256i*>(blocks[lane] + 64 * block + 32 * half));           \
        }                                                                                         \
        Transpose(rows);                                                                          \
        for (int w = 0; w < 8; ++w) x[8 * half + w] = rows[w];                                    \
      }                                                                                           \
      __m256i a = a0, b = b0, c = c0, d = d0;                                                     \
      VL_MD5_STEPS(stepF, stepG, stepH, stepI);                                                   \
      a0 = Add(a0, a);                                                                            \
      b0 = Add(b0, b);                                                                            \
      c0 = Add(c0, c);                                                                            \
      d0 = Add(d0, d);                                                                            \
    }                                                                                             \
    state[0] = a0;                                                                                \
    state[1] = b0;                                                                                \
    state[2] = c0;                                                                                \
    state[3] = d0;                                                                                \
  }

VL_TRANSFORM_LANES(TransformLanes, "avx2", VL_STEP_F, VL_STEP_G, VL_STEP_H, VL_STEP_I)

// With AVX-512VL each round function is one ternary-logic instruction and
// the rotation one more; the steps are the same for eight lanes and for
// sixteen in 512-bit vectors.
#define VAULTLINE_AVX512 __attribute__((target("avx2,avx512f,avx512vl"), always_inline)) inline

VAULTLINE_AVX512 __m512i Add(__m512i a, __m512i b) {
  return _mm512_add_epi32(a, b);
}
VAULTLINE_AVX512 __m256i Splat(__m256i, uint32_t k) {
  return _mm256_set1_epi32(static_cast<int>(k));
}
VAULTLINE_AVX512 __m512i Splat(__m512i, uint32_t k) {
  return _mm512_set1_epi32(static_cast<int>(k));
}
template <int kTable>
VAULTLINE_AVX512 __m256i Ternary(__m256i b, __m256i c, __m256i d) {
  return _mm256_ternarylogic_epi32(b, c, d, kTable);
}
template <int kTable>
VAULTLINE_AVX512 __m512i Ternary(__m512i b, __m512i c, __m512i d) {
  return _mm512_ternarylogic_epi32(b, c, d, kTable);
}
template <int kBits>
VAULTLINE_AVX512 __m256i RotateLeft(__m256i a) {
  return _mm256_rol_epi32(a, kBits);
}
template <int kBits>
VAULTLINE_AVX512 __m512i RotateLeft(__m512i a) {
  return _mm512_rol_epi32(a, kBits);
}

#define VL_TSTEP(a, b, c, d, x, s, k, table) \
  a = Add(a, Add(x, Splat(x, k)));           \
  a = Add(a, Ternary<table>(b, c, d));       \
  a = Add(RotateLeft<s>(a), b)
#define VL_TSTEP_F(a, b, c, d, x, s, k) VL_TSTEP(a, b, c, d, x, s, k, 0xCA)
#define VL_TSTEP_G(a, b, c, d, x, s, k) VL_TSTEP(a, b, c, d, x, s, k, 0xE4)
#define VL_TSTEP_H(a, b, c, d, x, s, k) VL_TSTEP(a, b, c, d, x, s, k, 0x96)
#define VL_TSTEP_I(a, b, c, d, x, s, k) VL_TSTEP(a, b, c, d, x, s, k, 0x39)

VL_TRANSFORM_LANES(TransformLanesTernary, "avx2,avx512f,avx512vl", VL_TSTEP_F, VL_TSTEP_G,
                   VL_TSTEP_H, VL_TSTEP_I)

// The rest of a message after its whole 64-byte blocks, its padding and
// its length in bits, in `tail`; the number of blocks that makes.
size_t PadTail(const uint8_t* message, size_t length, uint8_t tail[128]) {
  const size_t rest = length % 64;
  const size_t tailBlocks = rest < 56 ? 1 : 2;
  std::memset(tail, 0, 128);
  if (rest > 0) std::memcpy(tail, message + (length - rest), rest);
  tail[rest] = 0x80;
  StoreLe64(static_cast<uint64_t>(length) * 8, tail + 64 * tailBlocks - 8);
  return tailBlocks;
}

// PadTail for `lanes` messages of one length.
size_t PadTails(const uint8_t* const* messages, int lanes, size_t length, uint8_t (*tails)[128],
                const uint8_t** tailStarts) {
  size_t tailBlocks = 0;
  for (int lane = 0; lane < lanes; ++lane) {
    tailBlocks = PadTail(messages[lane], length, tails[lane]);
    tailStarts[lane] = tails[lane];
  }
  return tailBlocks;
}

// The digests of `lanes` messages from the four state words of each,
// `words[i * lanes + lane]`.
void StoreDigests(const uint32_t* words, int lanes, Md5Digest* digests) {
  for (int lane = 0; lane < lanes; ++lane) {
    for (int i = 0; i < 4; ++i) StoreLe32(words[i * lanes + lane], digests[lane].data() + 4 * i);
  }
}

// Messages of lengths of their own side by side: the blocks all of them
// have go in together; then each lane takes its own blocks and tail while
// those done keep their state.
template <int kLanes>
class MixedLanes {
 public:
  MixedLanes(const uint8_t* const messages[kLanes], const size_t lengths[kLanes])
      : messages_(messages) {
    common_ = lengths[0] / 64;
    for (int lane = 1; lane < kLanes; ++lane) common_ = std::min(common_, lengths[lane] / 64);
    for (int lane = 0; lane < kLanes; ++lane) {
      ownBlocks_[lane] = lengths[lane] / 64 - common_;
      lastBlock_[lane] = ownBlocks_[lane] + PadTail(messages[lane], lengths[lane], tails_[lane]);
      longest_ = std::max(longest_, lastBlock_[lane]);
    }
  }
  size_t Common() const { return common_; }
  // Steps of one block each after the common ones.
  size_t Steps() const { return longest_; }
  // The block of each lane at `step`, and a bit for each lane that takes
  // its block in.
  uint32_t Step(size_t step, const uint8_t* blocks[kLanes]) const {
    uint32_t lanes = 0;
    for (int lane = 0; lane < kLanes; ++lane) {
      if (step < ownBlocks_[lane]) {
        blocks[lane] = messages_[lane] + 64 * (common_ + step);
      } else if (step < lastBlock_[lane]) {
        blocks[lane] = tails_[lane] + 64 * (step - ownBlocks_[lane]);
      } else {
        blocks[lane] = tails_[lane];  // read, and left out
      }
      if (step < lastBlock_[lane]) lanes |= 1u << lane;
    }
    return lanes;
  }

 private:
  const uint8_t* const* messages_;
  size_t common_;
  size_t ownBlocks_[kLanes];  // whole blocks after the common ones
  size_t lastBlock_[kLanes];  // of own blocks and tail
  size_t longest_ = 0;
  alignas(64) uint8_t tails_[kLanes][128];
};

// Eight messages of lengths of their own. Lanes whose message has ended take
// their state back after each step.
__attribute__((target("avx2"))) void Md5OfEightMixed(const uint8_t* const messages[8],
                                                     const size_t lengths[8],
                                                     Md5Digest digests[8]) {
  __m256i state[4] = {
      _mm256_set1_epi32(0x67452301), _mm256_set1_epi32(static_cast<int>(0xefcdab89u)),
      _mm256_set1_epi32(static_cast<int>(0x98badcfeu)), _mm256_set1_epi32(0x10325476)};
  const MixedLanes<8> plan(messages, lengths);
  TransformLanes(state, messages, plan.Common());
  const __m256i laneBits = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
  for (size_t step = 0; step < plan.Steps(); ++step) {
    const uint8_t* blocks[8];
    const __m256i taken = _mm256_cmpeq_epi32(
        _mm256_and_si256(_mm256_set1_epi32(static_cast<int>(plan.Step(step, blocks))), laneBits),
        laneBits);
    const __m256i before[4] = {state[0], state[1], state[2], state[3]};
    TransformLanes(state, blocks, 1);
    for (int i = 0; i < 4; ++i) state[i] = _mm256_blendv_epi8(before[i], state[i], taken);
  }
  alignas(32) uint32_t words[4][8];
  for (int i = 0; i < 4; ++i) _mm256_store_si256(reinterpret_cast<__m256i*>(words[i]), state[i]);
  StoreDigests(&words[0][0], 8, digests);
}

// GCC 12's own 512-bit intrinsics start from a deliberately undefined
// vector, which it then warns of.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"

// Sixteen messages in the lanes of 512-bit vectors, with the ternary steps;
// only the lanes set in `lanes` take the blocks in. Each instruction of a
// step waits for the one before, so twice the lanes take little more time
// than eight (4.1-4.8 GB/s against 2.2-2.4 here).
__attribute__((target("avx2,avx512f,avx512vl"))) void TransformSixteen(
    __m512i state[4], const uint8_t* const blocks[16], size_t count, __mmask16 lanes) {
  __m512i a0 = state[0], b0 = state[1], c0 = state[2], d0 = state[3];
  for (size_t block = 0; block < count; ++block) {
    __m512i x[16];
    for (int half = 0; half < 2; ++half) {
      __m256i low[8];
      __m256i high[8];
      for (int lane = 0; lane < 8; ++lane) {
        low[lane] = _mm256_loadu_si256(
            reinterpret_cast<const __m256i*>(blocks[lane] + 64 * block + 32 * half));
        high[lane] = _mm256_loadu_si256(
            reinterpret_cast<const __m256i*>(blocks[8 + lane] + 64 * block + 32 * half));
      }
      Transpose(low);
      Transpose(high);
      for (int w = 0; w < 8; ++w) {
        x[8 * half + w] = _mm512_inserti64x4(_mm512_castsi256_si512(low[w]), high[w], 1);
      }
    }
    __m512i a = a0, b = b0, c = c0, d = d0;
    VL_MD5_STEPS(VL_TSTEP_F, VL_TSTEP_G, VL_TSTEP_H, VL_TSTEP_I);
    // Lanes left out keep their state: their message has ended.
    a0 = _mm512_mask_add_epi32(a0, lanes, a0, a);
    b0 = _mm512_mask_add_epi32(b0, lanes, b0, b);
    c0 = _mm512_mask_add_epi32(c0, lanes, c0, c);
    d0 = _mm512_mask_add_epi32(d0, lanes, d0, d);
  }
  state[0] = a0;
  state[1] = b0;
  state[2] = c0;
  state[3] = d0;
}

// A function that hashes `lanes` messages of one length side by side with
// `transform`, on vectors of `Vector`.
#define VL_MD5_OF_LANES(name, instructions, Vector, lanes, transform, set1, store)           \
  __attribute__((target(instructions))) void name(const uint8_t* const messages[lanes],      \
                                                  size_t length, Md5Digest digests[lanes]) { \
    Vector state[4] = {set1(0x67452301), set1(static_cast<int>(0xefcdab89u)),                \
                       set1(static_cast<int>(0x98badcfeu)), set1(0x10325476)};               \
    transform(state, messages, length / 64);                                                 \
    alignas(64) uint8_t tails[lanes][128];                                                   \
    const uint8_t* tailStarts[lanes];                                                        \
    transform(state, tailStarts, PadTails(messages, lanes, length, tails, tailStarts));      \
    alignas(64) uint32_t words[4][lanes];                                                    \
    for (int i = 0; i < 4; ++i) store(reinterpret_cast<Vector*>(words[i]), state[i]);        \
    StoreDigests(&words[0][0], lanes, digests);                                              \
  }

__attribute__((target("avx2,avx512f,avx512vl"))) void TransformAllSixteen(
    __m512i state[4], const uint8_t* const blocks[16], size_t count) {
  TransformSixteen(state, blocks, count, 0xFFFF);
}

VL_MD5_OF_LANES(Md5OfSixteen, "avx2,avx512f,avx512vl", __m512i, 16, TransformAllSixteen,
                _mm512_set1_epi32, _mm512_store_si512)

// Sixteen messages of lengths of their own; lanes left out keep their state.
__attribute__((target("avx2,avx512f,avx512vl"))) void Md5OfSixteenMixed(
    const uint8_t* const messages[16], const size_t lengths[16], Md5Digest digests[16]) {
  __m512i state[4] = {
      _mm512_set1_epi32(0x67452301), _mm512_set1_epi32(static_cast<int>(0xefcdab89u)),
      _mm512_set1_epi32(static_cast<int>(0x98badcfeu)), _mm512_set1_epi32(0x10325476)};
  const MixedLanes<16> plan(messages, lengths);
  TransformSixteen(state, messages, plan.Common(), 0xFFFF);
  for (size_t step = 0; step < plan.Steps(); ++step) {
    const uint8_t* blocks[16];
    const auto lanes = static_cast<__mmask16>(plan.Step(step, blocks));
    TransformSixteen(state, blocks, 1, lanes);
  }
  alignas(64) uint32_t words[4][16];
  for (int i = 0; i < 4; ++i) _mm512_store_si512(words[i], state[i]);
  StoreDigests(&words[0][0], 16, digests);
}

#pragma GCC diagnostic pop

VL_MD5_OF_LANES(Md5OfEight, "avx2", __m256i, 8, TransformLanes, _mm256_set1_epi32,
                _mm256_store_si256)
VL_MD5_OF_LANES(Md5OfEightTernary, "avx2,avx512f,avx512vl", __m256i, 8, TransformLanesTernary,
                _mm256_set1_epi32, _mm256_store_si256)

using HashOfLanes = void (*)(const uint8_t* const* messages, size_t length, Md5Digest* digests);

// Hashes groups of kLanes messages while at least `least` are left; a group
// short of kLanes hashes its last message again in the lanes left over, and
// is the last. Returns how many were hashed.
template <size_t kLanes>
size_t HashInGroups(HashOfLanes hash, const uint8_t* const* messages, size_t count, size_t length,
                    size_t least, Md5Digest* digests) {
  size_t done = 0;
  while (count - done >= least) {
    const uint8_t* group[kLanes];
    Md5Digest groupDigests[kLanes];
    const size_t taken = std::min(kLanes, count - done);
    for (size_t lane = 0; lane < kLanes; ++lane) {
      group[lane] = messages[done + std::min(lane, taken - 1)];
    }
    hash(group, length, groupDigests);
    std::copy_n(groupDigests, taken, digests + done);
    done += taken;
    if (taken < kLanes) break;
  }
  return done;
}

}  // namespace
#endif

int Md5OfEachWays() {
#ifdef VAULTLINE_MD5_LANES
  if (!__builtin_cpu_supports("avx2")) return 1;
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") ? 4 : 2;
#else
  return 1;
#endif
}

void Md5OfEach(const uint8_t* const* messages, size_t count, size_t length, Md5Digest* digests) {
  static const int fastest = Md5OfEachWays() - 1;
  Md5OfEach(messages, count, length, digests, fastest);
}

namespace {

// Each run of messages of one length side by side.
void HashRuns(const uint8_t* const* messages, const size_t* lengths, size_t count,
              Md5Digest* digests) {
  for (size_t from = 0; from < count;) {
    size_t to = from + 1;
    while (to < count && lengths[to] == lengths[from]) ++to;
    Md5OfEach(messages + from, to - from, lengths[from], digests + from);
    from = to;
  }
}

}  // namespace

void Md5OfEach(const uint8_t* const* messages, const size_t* lengths, size_t count,
               Md5Digest* digests) {
  size_t done = 0;
#ifdef VAULTLINE_MD5_LANES
  // Three messages or more take one pass of the lanes whatever their
  // lengths: a file's last block is seldom as long as the others, and the
  // blocks of small files are all of lengths of their own.
  static const int ways = Md5OfEachWays();
  const size_t lanes = ways == 4 ? 16 : 8;
  while (ways >= 2 && count - done >= 3) {
    const uint8_t* group[16];
    size_t groupLengths[16];
    Md5Digest groupDigests[16];
    const size_t taken = std::min(lanes, count - done);
    size_t longest = 0;
    size_t blocks = 0;
    for (size_t lane = 0; lane < lanes; ++lane) {
      group[lane] = messages[done + std::min(lane, taken - 1)];
      groupLengths[lane] = lengths[done + std::min(lane, taken - 1)];
      if (lane < taken) {
        longest = std::max(longest, groupLengths[lane] / 64 + 1);
        blocks += groupLengths[lane] / 64 + 1;
      }
    }
    if (lanes == 16) {
      Md5OfSixteenMixed(group, groupLengths, groupDigests);
    } else if (2 * longest <= blocks) {
      Md5OfEightMixed(group, groupLengths, groupDigests);
    } else {
      // A step of eight lanes takes about twice the time of one block of
      // one message: lengths this far apart go faster one run at a time.
      HashRuns(messages + done, lengths + done, taken, groupDigests);
    }
    std::copy_n(groupDigests, taken, digests + done);
    done += taken;
  }
#endif
  HashRuns(messages + done, lengths + done, count - done, digests + done);
}

void Md5OfEach(const uint8_t* const* messages, size_t count, size_t length, Md5Digest* digests,
               int way) {
  size_t done = 0;
#ifdef VAULTLINE_MD5_LANES
  // Nine messages or more take one pass of sixteen lanes, about the time of
  // a pass of eight; fewer than three are hashed faster one by one.
  if (way == 3) done = HashInGroups<16>(Md5OfSixteen, messages, count, length, 9, digests);
  if (way >= 1) {
    done += HashInGroups<8>(way == 1 ? Md5OfEight : Md5OfEightTernary, messages + done,
                            count - done, length, 3, digests + done);
  }
#else
  (void)way;
#endif
  for (; done < count; ++done) digests[done] = Md5::Of(messages[done], length);
}

}  // namespace vaultline
