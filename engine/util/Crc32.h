// CRC-32 (IEEE 802.3, reflected) of the records that carry a checksum in
// their reserved bytes. The checksum field itself is taken as zero.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vaultline {

uint32_t Crc32(const void* bytes, size_t length);
// The CRC of `length` bytes with the four at `fieldOffset` read as zero.
uint32_t Crc32Without(const void* bytes, size_t length, size_t fieldOffset);
// For fields whose zero means "no checksum": a CRC of 0 is stored as all ones.
inline uint32_t NonZeroCrc(uint32_t crc) {
  return crc == 0 ? 0xFFFFFFFFu : crc;
}

}  // namespace vaultline
