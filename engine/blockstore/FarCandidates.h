// The blocks stored before this backup that may start at a position of the
// file being stored: for each anchor of the file, the stored blocks with
// that anchor key, placed at the anchor less their anchor offset. The scan
// looks up these positions, and the filter of the blocks in memory, alone.
// Also keeps the file's recent anchors, from which a new block takes its own.
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
  // The anchor of a new block of `length` bytes at `position`, from the
  // file's anchors; false when it has none. Blocks are asked for in the
  // order of their positions.
  bool AnchorOf(int64_t position, int32_t length, int32_t* offset, uint32_t* key);

 private:
  const LookupFile& lookup_;
  int32_t blockLength_;
  std::vector<Candidate> candidates_;  // sorted from head_ on
  size_t head_ = 0;
  size_t sorted_ = 0;           // candidates_ up to here are in order
  std::vector<Anchor> recent_;  // from recentHead_ on
  size_t recentHead_ = 0;
};

}  // namespace vaultline
