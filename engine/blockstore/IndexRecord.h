// One 32-byte record of the index file per block of the data file.
//
//   0  i32  weak checksum    20  4    reserved
//   4  16   MD5 of the block 24  i64  position of the block's header
#pragma once

#include <cstring>

#include "blockstore/ByteOrder.h"
#include "blockstore/Md5.h"

namespace vaultline {

struct IndexRecord {
  static constexpr int kSize = 32;

  int32_t weakChecksum = 0;
  Md5Digest digest{};
  int64_t position = 0;

  void Encode(uint8_t* out) const {
    std::memset(out, 0, kSize);
    StoreLe32(static_cast<uint32_t>(weakChecksum), out);
    std::memcpy(out + 4, digest.data(), digest.size());
    StoreLe64(static_cast<uint64_t>(position), out + 24);
  }

  static IndexRecord Decode(const uint8_t* in) {
    IndexRecord r;
    r.weakChecksum = static_cast<int32_t>(LoadLe32(in));
    std::memcpy(r.digest.data(), in + 4, r.digest.size());
    r.position = static_cast<int64_t>(LoadLe64(in + 24));
    return r;
  }
};

}  // namespace vaultline
