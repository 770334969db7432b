#include "blockstore/Crc32.h"

#include <array>

namespace vaultline {

namespace {

constexpr std::array<uint32_t, 256> kTable = [] {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}();

uint32_t Update(uint32_t crc, const uint8_t* p, size_t length) {
  for (size_t i = 0; i < length; ++i) crc = kTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
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
