// The lookup file beside a store's data file (its name + ".lookup"): the
// anchor table of the stored blocks and the record numbers of those held
// by weak checksum instead (without an anchor, or under a common key), so
// that a backup finds the blocks stored before it without reading the
// index. Derived data: it says how many index records it covers and the
// CRC-32 of the last of them, and is rebuilt when the index no longer
// agrees. It never decides a match alone: every block found is confirmed
// from the index.
//
//   header (64 bytes, then zeros to 4096)
//    0 u32 magic 0x4B4F4F4C ("LOOK")   16 u64 index records covered
//    4 u16 version 3, u16 zero          24 u32 CRC-32 of the last of them, 0 if none
//    8 u32 table slots                  28 u32 records held by weak checksum
//   12 u32 slots in use                 32 u32 common anchor keys
//                                       36..59 zero, 60 u32 CRC-32 of bytes 0..59
//   the tags (a u16 per slot, then zeros to a multiple of 4096), the slots
//   (16 bytes each, see AnchorTable), the records held by weak checksum
//   (u32 each), in the order they were added, then the common anchor keys
//   (u32 each, see CommonAnchorKeys), in the order they were added.
//
// The tags and the slots are read as look-ups reach them. A
// backup's blocks are entered when the store is synced or closed (its own
// blocks it finds in memory): their slots, then the changed pages of tags,
// the lists, the header last. Slots of records the header does not cover
// are harmless: every block found is confirmed from the index.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "blockstore/AnchorTable.h"
#include "blockstore/CommonAnchorKeys.h"

namespace vaultline {

class ThreadPlan;

class LookupFile {
 public:
  static constexpr int kHeaderSize = 64;
  static constexpr uint32_t kMagic = 0x4B4F4F4C;
  static constexpr uint16_t kVersion = 3;

  struct Coverage {
    uint64_t records = 0;
    uint32_t lastRecordCrc = 0;
    bool operator==(const Coverage&) const = default;
  };

  // `threads`, when given, lends a helper that reads the tags ahead of
  // dense look-ups.
  explicit LookupFile(std::wstring path, ThreadPlan* threads = nullptr)
      : path_(std::move(path)), threads_(threads) {}
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
  // The records of the blocks held by weak checksum.
  const std::vector<uint32_t>& Anchorless() const { return anchorless_; }
  const CommonAnchorKeys& CommonKeys() const { return commonKeys_; }
  // About `lookups` anchors are to be looked up.
  void ExpectLookups(uint64_t lookups) const { table_.Tags().ExpectLookups(lookups); }

  // Enter a block; the table grows (the file is rewritten) when full.
  void AddAnchored(const AnchoredBlock& block);
  // As AddAnchored, but entered with the others when the file is saved, in
  // the order of their keys and a window of slots at a time: the blocks of
  // the running backup (which finds its own blocks in memory) and those of
  // a file being made again.
  void AddStored(const AnchoredBlock& block) {
    if (IsOpen()) stored_.push_back(block);
  }
  void AddAnchorless(uint32_t record);
  // A block of the running backup under a key too common to place it by:
  // entered by AddAnchorless, and the key remembered.
  void AddCommonKey(uint32_t key) {
    if (IsOpen()) commonKeys_.Add(key);
  }
  // The records that found no room in the table since the last call: they
  // were entered among those held by weak checksum, under a common key.
  std::vector<uint32_t> TakeCrowded() { return std::move(crowded_); }
  // Writes what was entered and the coverage; false when that failed (the
  // file is then deleted: it would be rebuilt anyway).
  bool Save(const Coverage& coverage);
  // Deletes the file: a store whose index is rebuilt.
  void Remove();

 private:
  bool Grow(uint64_t more);
  // Inserts the block into `table`, or lists it as crowded; false when the
  // slot could not be written.
  bool Enter(AnchorTable& table, const AnchoredBlock& block);
  // The lists after the table: those held by weak checksum and the common
  // keys, from the `saved` first of the former on.
  bool WriteLists(int fd, uint32_t capacity, size_t saved);
  void ClearLists();
  void SortStoredByKey();
  bool WriteTags(int fd, const AnchorTable& table, const std::vector<uint32_t>& pages);
  bool WriteHeader(int fd, const Coverage& coverage, uint32_t capacity, uint32_t used);
  void Close();

  std::wstring path_;
  ThreadPlan* threads_;
  int fd_ = -1;
  AnchorTable table_;
  Coverage covered_;
  std::deque<AnchoredBlock> stored_;  // grows without copying what it holds
  std::vector<uint32_t> anchorless_;
  size_t savedAnchorless_ = 0;  // of those, the ones in the file
  CommonAnchorKeys commonKeys_;
  std::vector<uint32_t> crowded_;
};

}  // namespace vaultline
