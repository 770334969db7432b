// The 40-byte header in front of every block of the data file.
//
//   0  u16  magic 0xBCDB        24  i32  block length (> 0)
//   2  u16  version, 1          28  u32  CRC-32 of the header, 0 = none
//   4  i32  weak checksum       32  i64  position of this header
//   8  16   MD5 of the block
#pragma once

#include <cstring>

#include "blockstore/Md5.h"
#include "util/ByteOrder.h"
#include "util/Crc32.h"

namespace vaultline {

struct DataRecordHeader {
  static constexpr int kSize = 40;
  static constexpr uint16_t kMagic = 0xBCDB;
  // Blocks are at most a final window: under two block lengths.
  static constexpr int32_t kMaxLength = 16383;
  static constexpr size_t kChecksumOffset = 28;

  uint16_t magic = kMagic;
  int32_t weakChecksum = 0;
  Md5Digest digest{};
  int32_t length = 0;
  int64_t position = 0;
  // False when the header carries a checksum and it does not match.
  bool checksumMatches = true;

  void Encode(uint8_t* out) const {
    std::memset(out, 0, kSize);
    StoreLe16(magic, out);
    StoreLe16(1, out + 2);
    StoreLe32(static_cast<uint32_t>(weakChecksum), out + 4);
    std::memcpy(out + 8, digest.data(), digest.size());
    StoreLe32(static_cast<uint32_t>(length), out + 24);
    StoreLe64(static_cast<uint64_t>(position), out + 32);
    StoreLe32(NonZeroCrc(Crc32Without(out, kSize, kChecksumOffset)), out + kChecksumOffset);
  }

  static DataRecordHeader Decode(const uint8_t* in) {
    DataRecordHeader h;
    h.magic = LoadLe16(in);
    h.weakChecksum = static_cast<int32_t>(LoadLe32(in + 4));
    std::memcpy(h.digest.data(), in + 8, h.digest.size());
    h.length = static_cast<int32_t>(LoadLe32(in + 24));
    h.position = static_cast<int64_t>(LoadLe64(in + 32));
    const uint32_t stored = LoadLe32(in + kChecksumOffset);
    h.checksumMatches =
        stored == 0 || stored == NonZeroCrc(Crc32Without(in, kSize, kChecksumOffset));
    return h;
  }
};

}  // namespace vaultline
