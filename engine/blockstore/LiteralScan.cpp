#include "blockstore/LiteralScan.h"

#include <algorithm>
#include <vector>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VAULTLINE_AVX2_SCAN 1
#endif

namespace vaultline {

int32_t ScanLiteralRun(const BlockMap& blocks, const int8_t* in, const int8_t* out, int32_t count,
                       uint32_t length, uint32_t* a, uint32_t* b) {
  uint32_t sumA = *a;
  uint32_t sumB = *b;
  int32_t i = 0;
  for (; i < count; ++i) {
    const uint32_t leaving = static_cast<uint32_t>(static_cast<int32_t>(out[i]));
    sumA += static_cast<uint32_t>(static_cast<int32_t>(in[i])) - leaving;
    sumB += sumA - length * leaving;
    if (blocks.MayContain(WeakChecksum::Compose(sumA, sumB))) break;
  }
  *a = sumA;
  *b = sumB;
  return i;
}

#ifdef VAULTLINE_AVX2_SCAN
namespace {

// A bit per window for the probes' bits: unpacking the sums puts windows
// 8k to 8k+3 of each group of eight in the low probe's lanes and 8k+4 to
// 8k+7 in the high one's.
inline uint32_t WindowBits(uint32_t low, uint32_t high) {
  uint32_t bits = 0;
  for (int group = 0; group < 4; ++group) {
    bits |= ((low >> (4 * group)) & 0xF) << (8 * group);
    bits |= ((high >> (4 * group)) & 0xF) << (8 * group + 4);
  }
  return bits;
}

#define VAULTLINE_AVX2 __attribute__((target("avx2"), always_inline)) inline

// Lane 7 of each 128-bit half in all eight lanes of that half.
VAULTLINE_AVX2 __m256i SpreadLane7(__m256i x) {
  return _mm256_shuffle_epi8(x, _mm256_set1_epi16(0x0F0E));
}

// Running sums of sixteen 16-bit lanes: lane i holds x0 + ... + xi.
VAULTLINE_AVX2 __m256i PrefixSums(__m256i x) {
  x = _mm256_add_epi16(x, _mm256_slli_si256(x, 2));
  x = _mm256_add_epi16(x, _mm256_slli_si256(x, 4));
  x = _mm256_add_epi16(x, _mm256_slli_si256(x, 8));
  // Each 128-bit half has summed its own eight; the upper half adds the
  // lower half's total.
  const __m256i totals = SpreadLane7(x);
  return _mm256_add_epi16(x, _mm256_permute2x128_si256(totals, totals, 0x08));
}

// Lane 15 in every lane.
VAULTLINE_AVX2 __m256i LastLane(__m256i x) {
  const __m256i totals = SpreadLane7(x);
  return _mm256_permute2x128_si256(totals, totals, 0x11);
}

// BlockMap::FilterMask of eight checksums: in each byte, the bit that three
// bits of the folded product name, looked up by a byte shuffle.
VAULTLINE_AVX2 __m256i BitsOfBytes(__m256i checksums) {
  const __m256i hash =
      _mm256_mullo_epi32(checksums, _mm256_set1_epi32(static_cast<int>(BlockMap::kBitFactor)));
  const __m256i folded = _mm256_xor_si256(hash, _mm256_srli_epi32(hash, 16));
  const __m256i fields =
      _mm256_and_si256(_mm256_srli_epi32(folded, 5), _mm256_set1_epi8(static_cast<char>(7)));
  const __m256i bit = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2,
                                       4, 8, 16, 32, 64, -128, 0, 0, 0, 0, 0, 0, 0, 0);
  return _mm256_shuffle_epi8(bit, fields);
}

// A lane of all ones for each of eight checksums the filter may know.
VAULTLINE_AVX2 __m256i Probe(__m256i checksums, const int* words, __m128i wordShift) {
  const __m256i word = _mm256_srl_epi32(
      _mm256_mullo_epi32(checksums, _mm256_set1_epi32(static_cast<int>(BlockMap::kWordFactor))),
      wordShift);
  const __m256i mask = BitsOfBytes(checksums);
  const __m256i found = _mm256_i32gather_epi32(words, word, 4);
  return _mm256_cmpeq_epi32(_mm256_and_si256(found, mask), mask);
}

__attribute__((target("avx2"))) int32_t ScanLiteralRunAvx2(const BlockMap& blocks, const int8_t* in,
                                                           const int8_t* out, int32_t count,
                                                           uint32_t length, uint32_t* a,
                                                           uint32_t* b) {
  const int* words = reinterpret_cast<const int*>(blocks.FilterWords());
  const __m128i wordShift = _mm_cvtsi32_si128(blocks.FilterShift());
  const __m256i n = _mm256_set1_epi16(static_cast<int16_t>(length));
  __m256i sumA = _mm256_set1_epi16(static_cast<int16_t>(*a));
  __m256i sumB = _mm256_set1_epi16(static_cast<int16_t>(*b));
  int32_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m256i leaving =
        _mm256_cvtepi8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(out + i)));
    const __m256i entering =
        _mm256_cvtepi8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)));
    // A of each window is A before plus the running sum of what entered
    // less what left; B adds each window's A less n times the byte that left.
    const __m256i windowA = _mm256_add_epi16(sumA, PrefixSums(_mm256_sub_epi16(entering, leaving)));
    const __m256i windowB = _mm256_add_epi16(
        sumB, PrefixSums(_mm256_sub_epi16(windowA, _mm256_mullo_epi16(leaving, n))));
    // B << 16 | A: windows 0-3 and 8-11, then 4-7 and 12-15.
    const __m256i low = Probe(_mm256_unpacklo_epi16(windowA, windowB), words, wordShift);
    const __m256i high = Probe(_mm256_unpackhi_epi16(windowA, windowB), words, wordShift);
    const __m256i maybe = _mm256_or_si256(low, high);
    if (!_mm256_testz_si256(maybe, maybe)) {
      // Rare (about one window in two thousand): the first of them, with
      // its sums.
      const int at = __builtin_ctz(
          WindowBits(static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(low))),
                     static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(high)))));
      alignas(32) uint16_t sumsA[16];
      alignas(32) uint16_t sumsB[16];
      _mm256_store_si256(reinterpret_cast<__m256i*>(sumsA), windowA);
      _mm256_store_si256(reinterpret_cast<__m256i*>(sumsB), windowB);
      *a = sumsA[at];
      *b = sumsB[at];
      return i + at;
    }
    sumA = LastLane(windowA);
    sumB = LastLane(windowB);
  }
  uint32_t runA = static_cast<uint16_t>(_mm256_extract_epi16(sumA, 0));
  uint32_t runB = static_cast<uint16_t>(_mm256_extract_epi16(sumB, 0));
  i += ScanLiteralRun(blocks, in + i, out + i, count - i, length, &runA, &runB);
  *a = runA;
  *b = runB;
  return i;
}

// GCC 12's own 512-bit intrinsics start from a deliberately undefined
// vector, which it then warns of at -O0.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"

#define VAULTLINE_AVX512 __attribute__((target("avx512f,avx512bw"), always_inline)) inline

// As PrefixSums, over thirty-two lanes: each 128-bit quarter sums its own
// eight, then adds the totals of the quarters below it.
VAULTLINE_AVX512 __m512i PrefixSums512(__m512i x) {
  x = _mm512_add_epi16(x, _mm512_bslli_epi128(x, 2));
  x = _mm512_add_epi16(x, _mm512_bslli_epi128(x, 4));
  x = _mm512_add_epi16(x, _mm512_bslli_epi128(x, 8));
  __m512i total = _mm512_shufflehi_epi16(x, 0xFF);
  total = _mm512_unpackhi_epi64(total, total);
  // The quarters' totals moved up by one, two and three quarters.
  const __m512i below = _mm512_add_epi16(
      _mm512_add_epi16(_mm512_maskz_shuffle_i64x2(0xFC, total, total, _MM_SHUFFLE(2, 1, 0, 0)),
                       _mm512_maskz_shuffle_i64x2(0xF0, total, total, _MM_SHUFFLE(1, 0, 0, 0))),
      _mm512_maskz_shuffle_i64x2(0xC0, total, total, _MM_SHUFFLE(0, 0, 0, 0)));
  return _mm512_add_epi16(x, below);
}

// As Probe, for sixteen checksums; a bit for each the filter may know.
VAULTLINE_AVX512 __mmask16 Probe512(__m512i checksums, const int* words, __m128i wordShift) {
  const __m512i word = _mm512_srl_epi32(
      _mm512_mullo_epi32(checksums, _mm512_set1_epi32(static_cast<int>(BlockMap::kWordFactor))),
      wordShift);
  const __m512i hash =
      _mm512_mullo_epi32(checksums, _mm512_set1_epi32(static_cast<int>(BlockMap::kBitFactor)));
  const __m512i folded = _mm512_xor_si512(hash, _mm512_srli_epi32(hash, 16));
  const __m512i fields =
      _mm512_and_si512(_mm512_srli_epi32(folded, 5), _mm512_set1_epi8(static_cast<char>(7)));
  const __m512i bit =
      _mm512_broadcast_i32x4(_mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 0, 0, 0, 0, 0, 0, 0, 0));
  const __m512i mask = _mm512_shuffle_epi8(bit, fields);
  const __m512i found = _mm512_i32gather_epi32(word, words, 4);
  return _mm512_cmpeq_epi32_mask(_mm512_and_si512(found, mask), mask);
}

// The AVX2 scan with thirty-two windows at a time.
__attribute__((target("avx512f,avx512bw"))) int32_t ScanLiteralRunAvx512(
    const BlockMap& blocks, const int8_t* in, const int8_t* out, int32_t count, uint32_t length,
    uint32_t* a, uint32_t* b) {
  const int* words = reinterpret_cast<const int*>(blocks.FilterWords());
  const __m128i wordShift = _mm_cvtsi32_si128(blocks.FilterShift());
  const __m512i n = _mm512_set1_epi16(static_cast<int16_t>(length));
  const __m512i lastLane = _mm512_set1_epi16(31);
  __m512i sumA = _mm512_set1_epi16(static_cast<int16_t>(*a));
  __m512i sumB = _mm512_set1_epi16(static_cast<int16_t>(*b));
  int32_t i = 0;
  for (; i + 32 <= count; i += 32) {
    const __m512i leaving =
        _mm512_cvtepi8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(out + i)));
    const __m512i entering =
        _mm512_cvtepi8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i)));
    const __m512i windowA =
        _mm512_add_epi16(sumA, PrefixSums512(_mm512_sub_epi16(entering, leaving)));
    const __m512i windowB = _mm512_add_epi16(
        sumB, PrefixSums512(_mm512_sub_epi16(windowA, _mm512_mullo_epi16(leaving, n))));
    const __mmask16 low = Probe512(_mm512_unpacklo_epi16(windowA, windowB), words, wordShift);
    const __mmask16 high = Probe512(_mm512_unpackhi_epi16(windowA, windowB), words, wordShift);
    if ((low | high) != 0) {
      const int at = __builtin_ctz(WindowBits(low, high));
      alignas(64) uint16_t sumsA[32];
      alignas(64) uint16_t sumsB[32];
      _mm512_store_si512(sumsA, windowA);
      _mm512_store_si512(sumsB, windowB);
      *a = sumsA[at];
      *b = sumsB[at];
      return i + at;
    }
    sumA = _mm512_permutexvar_epi16(lastLane, windowA);
    sumB = _mm512_permutexvar_epi16(lastLane, windowB);
  }
  uint32_t runA = static_cast<uint16_t>(_mm_extract_epi16(_mm512_castsi512_si128(sumA), 0));
  uint32_t runB = static_cast<uint16_t>(_mm_extract_epi16(_mm512_castsi512_si128(sumB), 0));
  i += ScanLiteralRun(blocks, in + i, out + i, count - i, length, &runA, &runB);
  *a = runA;
  *b = runB;
  return i;
}

#pragma GCC diagnostic pop

}  // namespace
#endif

std::vector<LiteralRunScan> LiteralRunScans() {
  std::vector<LiteralRunScan> scans{ScanLiteralRun};
#ifdef VAULTLINE_AVX2_SCAN
  if (__builtin_cpu_supports("avx2")) scans.push_back(ScanLiteralRunAvx2);
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) {
    scans.push_back(ScanLiteralRunAvx512);
  }
#endif
  return scans;
}

LiteralRunScan FastestLiteralRunScan() {
  static const LiteralRunScan fastest = LiteralRunScans().back();
  return fastest;
}

int64_t PassLiterals(const BlockMap& blocks, const RingBuffer& ring, int32_t start, int32_t length,
                     int64_t turns, WeakChecksum* sum, bool* hit) {
  const LiteralRunScan scan = FastestLiteralRunScan();
  const int32_t capacity = ring.Capacity();
  uint32_t a = sum->A();
  uint32_t b = sum->B();
  *hit = false;
  // The bytes leaving and entering the window, as ring positions kept
  // without a division.
  int32_t out = start == 0 ? capacity - 1 : start - 1;
  int32_t in = ring.Wrap(static_cast<int64_t>(start) + length - 1);
  int64_t done = 0;
  while (done < turns) {
    // As far as neither position wraps.
    const int32_t stretch =
        static_cast<int32_t>(std::min<int64_t>({turns - done, capacity - out, capacity - in}));
    const int32_t passed = scan(blocks, reinterpret_cast<const int8_t*>(ring.Data() + in),
                                reinterpret_cast<const int8_t*>(ring.Data() + out), stretch,
                                static_cast<uint32_t>(length), &a, &b);
    if (passed < stretch) {
      *sum = WeakChecksum::FromParts(a, b);
      *hit = true;
      return done + passed;
    }
    done += stretch;
    out += stretch;
    if (out == capacity) out = 0;
    in += stretch;
    if (in == capacity) in = 0;
  }
  *sum = WeakChecksum::FromParts(a, b);
  return done;
}

}  // namespace vaultline
