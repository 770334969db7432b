#include "blockstore/Crc32.h"

#include <array>

#include "blockstore/ByteOrder.h"

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

uint32_t Update(uint32_t crc, const uint8_t* p, size_t length) {
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
