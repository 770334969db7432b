// Layout of the directory file (".dir"): fixed records of 1072 bytes, one per
// file or folder of a snapshot's tree. No header; little-endian.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vaultline {

static_assert(std::endian::native == std::endian::little, "records are read in place");

inline constexpr uint16_t kDirRecordMagic = 0xBCFB;
inline constexpr size_t kDirNameUnits = 512;
inline constexpr uint32_t kFolderAttribute = 0x10;
inline constexpr uint32_t kReadOnlyAttribute = 0x01;

struct DirRecord {
  uint16_t magic;
  uint16_t reserved0;
  int32_t level;  // depth in the tree; written, never read back
  uint32_t nameLength;
  uint8_t name[kDirNameUnits * 2];  // full path, zero-terminated, zeros after it
  uint32_t attributes;              // 0x10 folder, 0x01 read-only; plain file 0
  int32_t modifyTime;
  uint32_t reserved1;
  int64_t size;   // 0 for folders and for files that could not be stored
  int32_t count;  // folder: its children; file: 1, or -1 when not stored
  uint32_t reserved2;
  int64_t contentOffset;  // file: content file offset; folder: first child record
};

static_assert(sizeof(DirRecord) == 1072);
static_assert(offsetof(DirRecord, level) == 4);
static_assert(offsetof(DirRecord, nameLength) == 8);
static_assert(offsetof(DirRecord, name) == 12);
static_assert(offsetof(DirRecord, attributes) == 1036);
static_assert(offsetof(DirRecord, modifyTime) == 1040);
static_assert(offsetof(DirRecord, size) == 1048);
static_assert(offsetof(DirRecord, count) == 1056);
static_assert(offsetof(DirRecord, contentOffset) == 1064);

inline constexpr int64_t kDirRecordSize = sizeof(DirRecord);

// A record as the readers deliver it.
struct DirEntry {
  std::wstring name;
  int32_t level = 0;
  uint32_t attributes = 0;
  int32_t modifyTime = 0;
  int64_t size = 0;
  int32_t count = 0;
  int64_t contentOffset = 0;

  bool IsFolder() const { return (attributes & kFolderAttribute) != 0; }
};

}  // namespace vaultline
