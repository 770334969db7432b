// The 2072-byte header (a file's backup identifier) that begins every record
// of the content file.
//
//    0  u16  magic 0xBCAE                 1040  u16  layout: 0 raw bytes follow,
//    4  u32  name length (UTF-16 units)               1 FpEntry records follow
//    8  1024 name, UTF-16LE[512], NUL-ended 1044  u32  second name length
// 1032  i64  size of the source file      1048  1024 second name (always empty)
//
// In the bytes after the second name's terminator, which readers of the plain
// layout ignore: 1052 u32 CRC-32 of the header, 1056 16 bytes MD5 of a raw
// record's bytes; the flags at offset 2 tell which are there.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "blockstore/Md5.h"

namespace vaultline {

struct FpHeader {
  static constexpr int kSize = 2072;
  static constexpr uint16_t kMagic = 0xBCAE;
  static constexpr size_t kNameCapacity = 512;  // UTF-16 units, with the NUL
  static constexpr uint16_t kLayoutRaw = 0;
  static constexpr uint16_t kLayoutBlocks = 1;
  static constexpr uint16_t kExtended = 0x8000;      // checksum at 1052
  static constexpr uint16_t kHasRawDigest = 0x4000;  // MD5 of the raw bytes at 1056

  std::wstring name;
  int64_t size = 0;
  uint16_t layout = kLayoutRaw;
  std::wstring secondName;
  // Layout 0: the MD5 of the bytes that follow, when the writer kept it.
  std::optional<Md5Digest> rawDigest;
  // Set by Decode: the header was written with a checksum, and it fails.
  bool checksumFails = false;

  // Fails, writing nothing, when a name does not fit its field. A header
  // with an empty second name carries the checksum (and the raw digest).
  bool Encode(uint8_t* out) const;
  // Fails on a wrong magic or a name length above 511; a failing checksum
  // is left to the caller to judge (checksumFails).
  static bool Decode(const uint8_t* in, FpHeader* header);
};

}  // namespace vaultline
