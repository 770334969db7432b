#include "blockstore/Crc32.h"

#include <array>

namespace vaultline {

namespace {

// Slicing by eight: table k gives the CRC of a byte followed by k zero
// bytes, so eight bytes are folded in with eight independent lookups
// instead of a chain of eight. Every record header of a backup is summed.
using Tables = std::array<std::array<uint32_t, 256>, 8>;

constexpr Tables kTables = [] {
  Tables tables{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    tables[0][i] = c;
  }
  for (size_t t = 1; t < tables.size(); ++t) {
    for (uint32_t i = 0; i < 256; ++i) {
      const uint32_t prior = tables[t - 1][i];
      tables[t][i] = tables[0][prior & 0xFF] ^ (prior >> 8);
    }
  }
  return tables;
}();

uint32_t Load32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint32_t Update(uint32_t crc, const uint8_t* p, size_t length) {
  const auto& t = kTables;
  for (; length >= 8; p += 8, length -= 8) {
    const uint32_t low = crc ^ Load32(p);
    const uint32_t high = Load32(p + 4);
    crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
          t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^
          t[0][high >> 24];
  }
  for (; length > 0; ++p, --length) crc = t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
  return crc;
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
