// Layout of the directory file (".dir"): fixed records of 1072 bytes, one per
// file or folder of a snapshot's tree. No header; little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "catalogue/ItemTail.h"
#include "catalogue/RecordText.h"

namespace vaultline {

inline constexpr uint16_t kDirRecordMagic = 0xBCFB;
inline constexpr uint32_t kFolderAttribute = 0x10;
inline constexpr uint32_t kReadOnlyAttribute = 0x01;

// Flags of the `extension` field, which a reader of the plain layout ignores.
inline constexpr uint16_t kDirExtended = 0x8000;      // checksum at `checksum`
inline constexpr uint16_t kDirHasMode = 0x4000;       // permission bits in bits 0-8
inline constexpr uint16_t kDirHasExactTime = 0x2000;  // nanoseconds and era in `timeExtra`
inline constexpr uint16_t kDirHasTail = 0x1000;       // an ItemTail ends the name array
inline constexpr uint16_t kDirModeBits = 0x01FF;

struct DirRecord {
  uint16_t magic;
  uint16_t extension;  // reserved in the plain layout
  int32_t level;       // depth in the tree; written, never read back
  uint32_t nameLength;
  uint8_t name[kRecordTextUnits * 2];  // full path, zero-terminated, zeros after it
  uint32_t attributes;                 // 0x10 folder, 0x01 read-only; plain file 0
  int32_t modifyTime;
  uint32_t timeExtra;     // reserved in the plain layout
  int64_t size;           // 0 for folders and for files that could not be stored
  int32_t count;          // folder: its children; file: 1, or -1 when not stored
  uint32_t checksum;      // reserved in the plain layout
  int64_t contentOffset;  // file: content file offset; folder: first child record
};

static_assert(sizeof(DirRecord) == 1072);
static_assert(offsetof(DirRecord, level) == 4);
static_assert(offsetof(DirRecord, nameLength) == 8);
static_assert(offsetof(DirRecord, name) == 12);
static_assert(offsetof(DirRecord, attributes) == 1036);
static_assert(offsetof(DirRecord, modifyTime) == 1040);
static_assert(offsetof(DirRecord, timeExtra) == 1044);
static_assert(offsetof(DirRecord, size) == 1048);
static_assert(offsetof(DirRecord, count) == 1056);
static_assert(offsetof(DirRecord, checksum) == 1060);
static_assert(offsetof(DirRecord, contentOffset) == 1064);

inline constexpr int64_t kDirRecordSize = sizeof(DirRecord);

// What the reader found wrong with a record on its own; whether it belongs
// where it was found is the walk's to judge.
enum class RecordDamage {
  kNone,
  kMagic,         // not a directory record
  kChecksum,      // an extended record whose checksum fails
  kInconsistent,  // fields no writer produces (offsets outside the file, ...)
};

// A record as the readers deliver it.
struct DirEntry {
  std::wstring name;
  int32_t level = 0;
  uint16_t extension = 0;
  uint32_t timeExtra = 0;
  RecordDamage damage = RecordDamage::kNone;
  uint32_t attributes = 0;
  int32_t modifyTime = 0;
  int64_t size = 0;
  int32_t count = 0;
  int64_t contentOffset = 0;
  ItemTail tail;  // with kDirHasTail

  bool HasTail() const { return (extension & kDirHasTail) != 0; }
  platform::ItemKind Kind() const { return HasTail() ? tail.kind : platform::ItemKind::kPlain; }
  bool IsFolder() const { return (attributes & kFolderAttribute) != 0; }
  bool IsExtended() const { return (extension & kDirExtended) != 0; }
  bool IsSound() const { return damage == RecordDamage::kNone; }
};

}  // namespace vaultline
