#include "util/Crc32.h"

#include <array>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

#include "util/ByteOrder.h"

namespace vaultline {

namespace {

// Slicing by eight: table k gives the CRC of a byte followed by k zero
// bytes, so eight bytes are folded in with eight independent lookups. Every
// record read or written is checked, a catalogue load is mostly this.
using Tables = std::array<std::array<uint32_t, 256>, 8>;

constexpr Tables kTables = [] {
  Tables tables{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    tables[0][i] = c;
  }
  for (size_t k = 1; k < tables.size(); ++k) {
    for (uint32_t i = 0; i < 256; ++i) {
      const uint32_t c = tables[k - 1][i];
      tables[k][i] = tables[0][c & 0xFF] ^ (c >> 8);
    }
  }
  return tables;
}();

uint32_t UpdateBySlices(uint32_t crc, const uint8_t* p, size_t length) {
  for (; length >= 8; p += 8, length -= 8) {
    const uint32_t low = LoadLe32(p) ^ crc;
    const uint32_t high = LoadLe32(p + 4);
    crc = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^ kTables[5][(low >> 16) & 0xFF] ^
          kTables[4][low >> 24] ^ kTables[3][high & 0xFF] ^ kTables[2][(high >> 8) & 0xFF] ^
          kTables[1][(high >> 16) & 0xFF] ^ kTables[0][high >> 24];
  }
  for (; length > 0; ++p, --length) crc = kTables[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
  return crc;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VAULTLINE_CLMUL_CRC 1

#define VAULTLINE_CLMUL __attribute__((target("pclmul,sse4.1"), always_inline)) inline

VAULTLINE_CLMUL __m128i Load(const uint8_t* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// The lane moved on by the distance its constant stands for, plus `next`.
VAULTLINE_CLMUL __m128i Fold(__m128i lane, __m128i by, __m128i next) {
  return _mm_xor_si128(
      _mm_xor_si128(_mm_clmulepi64_si128(lane, by, 0x00), _mm_clmulepi64_si128(lane, by, 0x11)),
      next);
}

// Folding with carry-less multiplication: 64 bytes at a time in four
// lanes of 128 bits, each multiplied by x^(512+-32) mod P, then folded
// into one lane and reduced to 32 bits (Barrett). The constants are
// bit-reflected like the CRC. `length` is at least 64 and a multiple of 16.
__attribute__((target("pclmul,sse4.1"))) uint32_t UpdateByFolding(uint32_t crc, const uint8_t* p,
                                                                  size_t length) {
  const __m128i fold4 = _mm_set_epi64x(0x1c6e41596, 0x154442bd4);
  const __m128i fold1 = _mm_set_epi64x(0x0ccaa009e, 0x1751997d0);
  const __m128i fold32 = _mm_set_epi64x(0, 0x163cd6124);
  const __m128i barrett = _mm_set_epi64x(0x1f7011641, 0x1db710641);
  const __m128i low32 = _mm_set_epi32(0, 0, 0, -1);
  __m128i x0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x1 = Load(p + 16);
  __m128i x2 = Load(p + 32);
  __m128i x3 = Load(p + 48);
  for (p += 64, length -= 64; length >= 64; p += 64, length -= 64) {
    x0 = Fold(x0, fold4, Load(p));
    x1 = Fold(x1, fold4, Load(p + 16));
    x2 = Fold(x2, fold4, Load(p + 32));
    x3 = Fold(x3, fold4, Load(p + 48));
  }
  x0 = Fold(Fold(Fold(x0, fold1, x1), fold1, x2), fold1, x3);
  for (; length >= 16; p += 16, length -= 16) x0 = Fold(x0, fold1, Load(p));
  // 128 bits to 64, then to 32, then the remainder.
  x0 = _mm_xor_si128(_mm_srli_si128(x0, 8), _mm_clmulepi64_si128(x0, fold1, 0x10));
  x0 = _mm_xor_si128(_mm_srli_si128(x0, 4),
                     _mm_clmulepi64_si128(_mm_and_si128(x0, low32), fold32, 0x00));
  __m128i t = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(x0, low32), barrett, 0x10), low32);
  x0 = _mm_xor_si128(x0, _mm_clmulepi64_si128(t, barrett, 0x00));
  return static_cast<uint32_t>(_mm_extract_epi32(x0, 1));
}
#endif

uint32_t Update(uint32_t crc, const uint8_t* p, size_t length) {
#ifdef VAULTLINE_CLMUL_CRC
  static const bool folding = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  if (folding && length >= 64) {
    const size_t folded = length & ~size_t{15};
    crc = UpdateByFolding(crc, p, folded);
    p += folded;
    length -= folded;
  }
#endif
  return UpdateBySlices(crc, p, length);
}

}  // namespace

uint32_t Crc32(const void* bytes, size_t length) {
  return Update(0xFFFFFFFFu, static_cast<const uint8_t*>(bytes), length) ^ 0xFFFFFFFFu;
}

uint32_t Crc32Without(const void* bytes, size_t length, size_t fieldOffset) {
  const uint8_t* p = static_cast<const uint8_t*>(bytes);
  static constexpr uint8_t kZeros[4] = {};
  uint32_t crc = Update(0xFFFFFFFFu, p, fieldOffset);
  crc = Update(crc, kZeros, 4);
  crc = Update(crc, p + fieldOffset + 4, length - fieldOffset - 4);
  return crc ^ 0xFFFFFFFFu;
}

}  // namespace vaultline
