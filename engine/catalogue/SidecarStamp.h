// What marks a sidecar's record (or its header) as one of ours and whole: a
// u32 magic at byte 0, a u16 version at byte 4, and a CRC-32 of the record
// at `checksumOffset`, computed with that field read as zero.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vaultline {

struct SidecarStamp {
  uint32_t magic;
  uint16_t version;
  size_t checksumOffset;

  // Writes the magic and the version at `at`.
  void Open(uint8_t* at) const;
  // Writes the checksum of the `length` bytes at `at`, once they are in place.
  void Seal(uint8_t* at, size_t length) const;

  // Whether `at` starts with this magic and version.
  bool Opens(const uint8_t* at) const;
  // Whether the checksum of the `length` bytes at `at` matches.
  bool IsSealed(const uint8_t* at, size_t length) const;
};

}  // namespace vaultline
