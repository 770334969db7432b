// One 40-byte piece of a file stored in blocks: the first `length` bytes of
// the data-file block at `dataPosition`.
//
//   0  i32  weak checksum of the block    24  i64  position in the source file
//   4  16   MD5 of the block              32  i64  position of the block's header
//  20  i32  length of the piece (> 0)
#pragma once

#include <cstring>

#include "blockstore/Md5.h"
#include "util/ByteOrder.h"

namespace vaultline {

struct FpEntry {
  static constexpr int kSize = 40;

  int32_t weakChecksum = 0;
  Md5Digest digest{};
  int32_t length = 0;
  int64_t sourcePosition = 0;
  int64_t dataPosition = 0;

  void Encode(uint8_t* out) const {
    StoreLe32(static_cast<uint32_t>(weakChecksum), out);
    std::memcpy(out + 4, digest.data(), digest.size());
    StoreLe32(static_cast<uint32_t>(length), out + 20);
    StoreLe64(static_cast<uint64_t>(sourcePosition), out + 24);
    StoreLe64(static_cast<uint64_t>(dataPosition), out + 32);
  }

  static FpEntry Decode(const uint8_t* in) {
    FpEntry e;
    e.weakChecksum = static_cast<int32_t>(LoadLe32(in));
    std::memcpy(e.digest.data(), in + 4, e.digest.size());
    e.length = static_cast<int32_t>(LoadLe32(in + 20));
    e.sourcePosition = static_cast<int64_t>(LoadLe64(in + 24));
    e.dataPosition = static_cast<int64_t>(LoadLe64(in + 32));
    return e;
  }
};

}  // namespace vaultline
