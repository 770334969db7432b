// The lookup file beside a store's data file (its name + ".lookup"): the
// anchor table of the stored blocks and the record numbers of those without
// an anchor, so that a backup finds the blocks stored before it without
// reading the index. Derived data: it says how many index records it covers
// and the CRC-32 of the last of them, and is rebuilt when the index no longer
// agrees. A block it misses is stored again; it never decides a match alone.
//
//   header (64 bytes, then zeros to 4096)
//    0 u32 magic 0x4B4F4F4C ("LOOK")   16 u64 index records covered
//    4 u16 version 2, u16 zero          24 u32 CRC-32 of the last of them, 0 if none
//    8 u32 table slots                  28 u32 records without an anchor
//   12 u32 slots in use                 32..59 zero, 60 u32 CRC-32 of bytes 0..59
//   the tags (a u16 per slot, then zeros to a multiple of 4096), the slots
//   (16 bytes each, see AnchorTable), then the records without an anchor
//   (u32 each), in the order they were added.
//
// The tags and the slots are read as look-ups reach them. A
// backup's blocks are entered when the store is synced or closed (its own
// blocks it finds in memory): their slots, then the changed pages of tags,
// the header last. Slots of records the
// header does not cover are harmless: every block found is confirmed from
// the index.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "blockstore/AnchorTable.h"

namespace vaultline {

class LookupFile {
 public:
  static constexpr int kHeaderSize = 64;
  static constexpr uint32_t kMagic = 0x4B4F4F4C;
  static constexpr uint16_t kVersion = 2;

  struct Coverage {
    uint64_t records = 0;
    uint32_t lastRecordCrc = 0;
    bool operator==(const Coverage&) const = default;
  };

  explicit LookupFile(std::wstring path) : path_(std::move(path)) {}
  ~LookupFile();
  LookupFile(const LookupFile&) = delete;
  LookupFile& operator=(const LookupFile&) = delete;

  // Opens the file; false when it is missing, damaged or of another version.
  bool Open();
  // Replaces it by an empty one with room for `blocks`; false when it cannot
  // be written (blocks are then looked up in memory alone).
  bool Create(uint64_t blocks);
  bool IsOpen() const { return fd_ >= 0; }
  const Coverage& Covered() const { return covered_; }
  const AnchorTable& Table() const { return table_; }
  const std::vector<uint32_t>& Anchorless() const { return anchorless_; }

  // Enter a block; the table grows (the file is rewritten) when full.
  void AddAnchored(const AnchoredBlock& block);
  // As AddAnchored, for a block of the running backup, which finds its own
  // blocks in memory: entered with the others when the file is saved.
  void AddStored(const AnchoredBlock& block) {
    if (IsOpen()) stored_.push_back(block);
  }
  void AddAnchorless(uint32_t record);
  // Writes what was entered and the coverage; false when that failed (the
  // file is then deleted: it would be rebuilt anyway).
  bool Save(const Coverage& coverage);
  // Deletes the file: a store whose index is rebuilt.
  void Remove();

 private:
  bool Grow(uint64_t more);
  void SortStoredByKey();
  bool WriteTags(int fd, const AnchorTable& table, const std::vector<uint32_t>& pages);
  bool WriteHeader(int fd, const Coverage& coverage, uint32_t capacity, uint32_t used,
                   uint32_t anchorless);
  void Close();

  std::wstring path_;
  int fd_ = -1;
  AnchorTable table_;
  Coverage covered_;
  std::deque<AnchoredBlock> stored_;  // grows without copying what it holds
  std::vector<uint32_t> anchorless_;
  size_t savedAnchorless_ = 0;  // of those, the ones in the file
};

}  // namespace vaultline
