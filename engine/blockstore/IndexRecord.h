// One 32-byte record of the index file per block of the data file.
//
//   0  i32  weak checksum    20  u32  CRC-32 of the record, 0 = none
//   4  16   MD5 of the block 24  i64  position of the block's header
#pragma once

#include <cstring>

#include "blockstore/Md5.h"
#include "util/ByteOrder.h"
#include "util/Crc32.h"

namespace vaultline {

struct IndexRecord {
  static constexpr int kSize = 32;
  static constexpr size_t kChecksumOffset = 20;

  int32_t weakChecksum = 0;
  Md5Digest digest{};
  int64_t position = 0;
  // False when the record carries a checksum and it does not match.
  bool checksumMatches = true;

  void Encode(uint8_t* out) const {
    std::memset(out, 0, kSize);
    StoreLe32(static_cast<uint32_t>(weakChecksum), out);
    std::memcpy(out + 4, digest.data(), digest.size());
    StoreLe64(static_cast<uint64_t>(position), out + 24);
    StoreLe32(NonZeroCrc(Crc32Without(out, kSize, kChecksumOffset)), out + kChecksumOffset);
  }

  static IndexRecord Decode(const uint8_t* in) {
    IndexRecord r;
    r.weakChecksum = static_cast<int32_t>(LoadLe32(in));
    std::memcpy(r.digest.data(), in + 4, r.digest.size());
    r.position = static_cast<int64_t>(LoadLe64(in + 24));
    const uint32_t stored = LoadLe32(in + kChecksumOffset);
    r.checksumMatches =
        stored == 0 || stored == NonZeroCrc(Crc32Without(in, kSize, kChecksumOffset));
    return r;
  }
};

}  // namespace vaultline
