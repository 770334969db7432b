// The blocks that may start at a position of the file being stored: for
// each anchor of the file, the blocks with that anchor key, placed at the
// anchor less their anchor offset. Those stored before this backup come
// from the lookup file; those this backup stored, from a table in memory
// (their copies are then found by weak checksum in the store's map, which
// leaves them out of its filter). The scan looks up these positions, and
// those the filter of the other blocks in memory names, alone. Also keeps
// the file's recent anchors, from which a new block takes its own.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "blockstore/BlockAnchor.h"
#include "blockstore/LookupFile.h"

namespace vaultline {

class FarCandidates {
 public:
  struct Candidate {
    int64_t position;
    uint32_t record;
    int32_t weakChecksum;
  };
  static constexpr int64_t kNone = std::numeric_limits<int64_t>::max();
  // The record of a candidate that is a block of this backup.
  static constexpr uint32_t kThisBackup = std::numeric_limits<uint32_t>::max();

  FarCandidates(const LookupFile& lookup, int32_t blockLength)
      : lookup_(lookup), blockLength_(blockLength) {}

  // A new file.
  void Reset();
  // The anchors found in the file since the last call, in order; `anchors`
  // is left empty.
  void Add(std::vector<Anchor>* anchors);
  // The first candidate position at or after `position` (those before are
  // forgotten), or kNone.
  int64_t NextAt(int64_t position);
  // The candidates at NextAt's answer, by index record number.
  std::span<const Candidate> AtNext() const;
  // Of the `count` windows of a block length from `position`, how many
  // in a row are alike from the first on: `*placed` when each holds an
  // anchor (with its quiet bytes and key) and the first of those has a key
  // that is not common. A stored block equal to such a window has that
  // anchor, at that offset, and is placed among the candidates or kept out
  // of the filter: the filter need not be asked about the window. The others
  // must be probed. The file's anchors must be known up to the last window's
  // end.
  int64_t WindowRun(int64_t position, int64_t count, bool* placed) const;
  // The anchor of a new block of `length` bytes at `position`, from the
  // file's anchors; false when it has none. Blocks are asked for in the
  // order of their positions.
  bool AnchorOf(int64_t position, int32_t length, int32_t* offset, uint32_t* key);
  // A block of this backup with that anchor, whose copies may start at
  // `from` or later: placed at the file's anchors found already, and at
  // those found from now on, in this file and the next ones.
  // Their candidates carry part of the weak checksum. False
  // when the key is common to many blocks already (a phrase that recurs at
  // many offsets): its anchors would each place all of them, and the block
  // is better found by its checksum.
  bool AddBlockOfThisBackup(uint32_t key, int32_t offset, int32_t weakChecksum, int64_t from);
  // The low 16 bits of the weak checksum that a candidate of this backup
  // carries: a window without them cannot be its block.
  static int32_t ThisBackupCheck(int32_t weakChecksum) { return weakChecksum & 0xFFFF; }
  // Sizes the table of this backup's blocks for about `count` of them:
  // growing it would hold the old table and the new at once.
  void ExpectBlocks(size_t count);
  // Once the lookup file holds them.
  void ForgetBlocksOfThisBackup() {
    kept_ = {};
    keptCount_ = 0;
  }

 private:
  // Open addressing, linear probes, three quarters full at most (a probe
  // is rare beside the memory a big backup's blocks take): the key in the
  // high half, then ThisBackupCheck, then the offset + 1 (0: a free slot).
  using Kept = uint64_t;
  static int32_t OffsetOf(Kept block) { return static_cast<int32_t>(block & 0xFFFF) - 1; }
  static int32_t CheckOf(Kept block) { return static_cast<int32_t>(block >> 16 & 0xFFFF); }
  static constexpr int kMostPerKey = 8;
  bool Keep(Kept block);
  size_t Following(size_t slot) const { return slot + 1 == kept_.size() ? 0 : slot + 1; }
  template <typename Visit>
  void ForEachKept(uint32_t key, Visit visit) const;
  void Pass(size_t count);  // forgets recent anchors before recentHead_ + count

  const LookupFile& lookup_;
  int32_t blockLength_;
  std::vector<Candidate> candidates_;  // sorted from head_ on
  size_t head_ = 0;
  size_t sorted_ = 0;           // candidates_ up to here are in order
  std::vector<Anchor> recent_;  // from recentHead_ on
  size_t recentHead_ = 0;
  // How many of the recent anchors from recentHead_ on have each low 17
  // bits of key: a new block's key is nearly always absent among the few
  // thousand anchors read ahead.
  static constexpr uint32_t kRecentKeyMask = (uint32_t{1} << 17) - 1;
  std::vector<uint16_t> recentKeys_ = std::vector<uint16_t>(size_t{kRecentKeyMask} + 1);
  std::vector<Kept> kept_;
  size_t keptCount_ = 0;
};

}  // namespace vaultline
