#include "blockstore/WeakChecksum.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VAULTLINE_AVX2_SUMS 1
#endif

namespace vaultline {

namespace {

uint32_t Signed(uint8_t byte) {
  return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(byte)));
}

#ifdef __SSE2__
uint32_t SumOfLanes(__m128i v) {
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, 0x4E));
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, 0xB1));
  return static_cast<uint32_t>(_mm_cvtsi128_si32(v));
}
#endif

#ifdef VAULTLINE_AVX2_SUMS
__attribute__((target("avx2"))) uint32_t SumOfLanes256(__m256i v) {
  __m128i half = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  half = _mm_add_epi32(half, _mm_shuffle_epi32(half, 0x4E));
  half = _mm_add_epi32(half, _mm_shuffle_epi32(half, 0xB1));
  return static_cast<uint32_t>(_mm_cvtsi128_si32(half));
}

// As the loop below, thirty-two bytes at a time: a multiply-add of unsigned
// weights with signed bytes sums each pair of them, weighted 32 down to 1
// (or all 1 for A), in one step. Takes whole chunks of 32 bytes.
__attribute__((target("avx2"))) void AddChunksAvx2(const uint8_t* bytes, size_t length, uint32_t* a,
                                                   uint32_t* b) {
  const __m256i weights =
      _mm256_setr_epi8(32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14,
                       13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1);
  const __m256i ones8 = _mm256_set1_epi8(1);
  const __m256i ones16 = _mm256_set1_epi16(1);
  __m256i sums = _mm256_setzero_si256();
  __m256i earlier = _mm256_setzero_si256();
  __m256i weighted = _mm256_setzero_si256();
  for (size_t at = 0; at < length; at += 32) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + at));
    earlier = _mm256_add_epi32(earlier, _mm256_slli_epi32(sums, 5));
    sums = _mm256_add_epi32(sums, _mm256_madd_epi16(_mm256_maddubs_epi16(ones8, x), ones16));
    weighted =
        _mm256_add_epi32(weighted, _mm256_madd_epi16(_mm256_maddubs_epi16(weights, x), ones16));
  }
  *b += static_cast<uint32_t>(length) * *a + SumOfLanes256(earlier) + SumOfLanes256(weighted);
  *a += SumOfLanes256(sums);
}
#endif

}  // namespace

void WeakChecksum::Add(const uint8_t* bytes, size_t length) {
  uint32_t a = a_;
  uint32_t b = b_;
#ifdef VAULTLINE_AVX2_SUMS
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2 && length >= 32) {
    const size_t whole = length & ~size_t{31};
    AddChunksAvx2(bytes, whole, &a, &b);
    bytes += whole;
    length -= whole;
  }
#endif
  size_t i = 0;
#ifdef __SSE2__
  // Each byte counts once in A and, in B, once for itself and once for
  // every byte after it. Per chunk of sixteen, B gains sixteen times the A of the
  // chunks before and each byte weighted 16 down to 1; B also gains the A
  // held before for every byte.
  const size_t chunks = length / 16;
  if (chunks > 0) {
    const __m128i ones = _mm_set1_epi16(1);
    const __m128i firstWeights = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
    const __m128i lastWeights = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
    __m128i sums = _mm_setzero_si128();
    __m128i earlier = _mm_setzero_si128();
    __m128i weighted = _mm_setzero_si128();
    for (size_t c = 0; c < chunks; ++c) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * c));
      const __m128i sign = _mm_cmpgt_epi8(_mm_setzero_si128(), x);
      const __m128i low = _mm_unpacklo_epi8(x, sign);
      const __m128i high = _mm_unpackhi_epi8(x, sign);
      earlier = _mm_add_epi32(earlier, _mm_slli_epi32(sums, 4));
      sums =
          _mm_add_epi32(sums, _mm_add_epi32(_mm_madd_epi16(low, ones), _mm_madd_epi16(high, ones)));
      weighted = _mm_add_epi32(weighted, _mm_add_epi32(_mm_madd_epi16(low, firstWeights),
                                                       _mm_madd_epi16(high, lastWeights)));
    }
    i = chunks * 16;
    b += static_cast<uint32_t>(i) * a + SumOfLanes(earlier) + SumOfLanes(weighted);
    a += SumOfLanes(sums);
  }
#endif
  for (; i < length; ++i) {
    a += Signed(bytes[i]);
    b += a;
  }
  a_ = a;
  b_ = b;
}

}  // namespace vaultline
