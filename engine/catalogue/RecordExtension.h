// The permission bits and the exact modification time a directory record
// carries in its reserved fields (`extension` and `timeExtra`), beside the
// 32-bit seconds of the plain layout, which keep the low 32 bits of the time.
// The full time is era * 2^32 + modifyTime (signed), eras -2 to 1; a time
// outside them is recorded as the nearest end of that range.
#pragma once

#include <cstdint>

#include "catalogue/DirRecord.h"

namespace vaultline {

struct RecordExtension {
  uint16_t extension = 0;  // kDirHasMode, kDirHasExactTime, kDirHasTail and the mode bits
  uint32_t timeExtra = 0;
  uint32_t tailState = 0;  // ItemTail::State() with kDirHasTail, else 0
  // Where the record's attribute list lies (-1: none); no part of the state.
  int64_t attributesOffset = -1;

  // What tells two states of an item apart that the key does not: the mode,
  // the nanoseconds and the era, the kind, owner and attributes. The
  // checksum flag is no part of it.
  bool SameState(const RecordExtension& other) const {
    return (extension & ~kDirExtended) == (other.extension & ~kDirExtended) &&
           timeExtra == other.timeExtra && tailState == other.tailState;
  }
  bool operator==(const RecordExtension&) const = default;
};

struct ExactTime {
  int64_t seconds = 0;
  uint32_t nanoseconds = 0;
};

// The low 32 bits of a time, as the plain layout's field holds them.
int32_t LowSeconds(int64_t seconds);
// `time` moved into the recordable range (the nearest end of it).
ExactTime RecordableTime(const ExactTime& time);
// The extension of an item with this mode and time.
RecordExtension EncodeExtension(uint16_t permissions, const ExactTime& time);

// The state a record holds beside its key.
RecordExtension StateOf(const DirEntry& entry);

// The record's full time: exact with kDirHasExactTime, else modifyTime.
ExactTime DecodeTime(const DirEntry& entry);
inline bool HasPermissions(const DirEntry& entry) {
  return (entry.extension & kDirHasMode) != 0;
}
inline uint16_t PermissionsOf(const DirEntry& entry) {
  return entry.extension & kDirModeBits;
}

}  // namespace vaultline
