// The 2072-byte header (a file's backup identifier) that begins every record
// of the content file.
//
//    0  u16  magic 0xBCAE                 1040  u16  layout: 0 raw bytes follow,
//    4  u32  name length (UTF-16 units)               1 FpEntry records follow
//    8  1024 name, UTF-16LE[512], NUL-ended 1044  u32  second name length
// 1032  i64  size of the source file      1048  1024 second name (always empty)
#pragma once

#include <cstdint>
#include <string>

namespace vaultline {

struct FpHeader {
  static constexpr int kSize = 2072;
  static constexpr uint16_t kMagic = 0xBCAE;
  static constexpr size_t kNameCapacity = 512;  // UTF-16 units, with the NUL
  static constexpr uint16_t kLayoutRaw = 0;
  static constexpr uint16_t kLayoutBlocks = 1;

  std::wstring name;
  int64_t size = 0;
  uint16_t layout = kLayoutRaw;
  std::wstring secondName;

  // Fails, writing nothing, when a name does not fit its field.
  bool Encode(uint8_t* out) const;
  // Fails on a wrong magic or a name length above 511.
  static bool Decode(const uint8_t* in, FpHeader* header);
};

}  // namespace vaultline
