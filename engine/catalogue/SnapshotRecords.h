// Layout of the snapshot file (".snp"): a sequence of entries, each an entry
// record carrying its first source record inline, followed by
// (sourceCount - 1) further source records. No header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "catalogue/RecordText.h"

namespace vaultline {

inline constexpr uint16_t kSnapEntryMagic = 0xBCEB;
// Flag of the entry's `extension` field: its records carry checksums, and
// every directory record in its ranges is an extended record.
inline constexpr uint16_t kSnapExtended = 0x8000;

struct SnapSourceRecord {
  uint32_t pathLength;  // UTF-16 units, without terminator
  uint8_t path[kRecordTextUnits * 2];
  uint32_t checksum;   // reserved in the plain layout
  int64_t rootOffset;  // root record of this source's tree in the directory file
  int64_t endOffset;   // just past the last record written for this source
};

struct SnapEntryRecord {
  uint16_t magic;
  uint16_t extension;  // reserved in the plain layout
  uint32_t fileNameLength;
  uint8_t fileName[kRecordTextUnits * 2];  // the snapshot file's own path; read by nobody
  int32_t snapshotTime;                    // seconds since 1970 UTC
  int32_t sourceCount;                     // at least 1, the inline source included
  SnapSourceRecord source;
};

static_assert(sizeof(SnapSourceRecord) == 1048);
static_assert(offsetof(SnapSourceRecord, path) == 4);
static_assert(offsetof(SnapSourceRecord, checksum) == 1028);
static_assert(offsetof(SnapSourceRecord, rootOffset) == 1032);
static_assert(offsetof(SnapSourceRecord, endOffset) == 1040);
static_assert(sizeof(SnapEntryRecord) == 2088);
static_assert(offsetof(SnapEntryRecord, fileNameLength) == 4);
static_assert(offsetof(SnapEntryRecord, fileName) == 8);
static_assert(offsetof(SnapEntryRecord, snapshotTime) == 1032);
static_assert(offsetof(SnapEntryRecord, sourceCount) == 1036);
static_assert(offsetof(SnapEntryRecord, source) == 1040);

}  // namespace vaultline
