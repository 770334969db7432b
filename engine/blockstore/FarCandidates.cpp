#include "blockstore/FarCandidates.h"

#include <algorithm>

namespace vaultline {

namespace {

// A hash of the key as a fraction of the table: any number of slots.
size_t KeySlot(uint32_t key, size_t slots) {
  return static_cast<size_t>((((uint64_t{key} * 0x9E3779B97F4A7C15u) >> 32) * slots) >> 32);
}

}  // namespace

void FarCandidates::Reset() {
  candidates_.clear();
  head_ = 0;
  sorted_ = 0;
  Pass(recent_.size() - recentHead_);
  recent_.clear();
  recentHead_ = 0;
}

void FarCandidates::Pass(size_t count) {
  for (size_t i = recentHead_; i < recentHead_ + count; ++i)
    --recentKeys_[recent_[i].key & kRecentKeyMask];
  recentHead_ += count;
}

void FarCandidates::Add(std::vector<Anchor>* anchors) {
  const AnchorTable& table = lookup_.Table();
  const bool stored = table.Used() > 0;
  const bool kept = keptCount_ > 0;
  // The batch's tags are all on their way into the cache before the first
  // is read: in a large table each is a miss, and they overlap this way.
  if (stored) {
    for (const Anchor& anchor : *anchors) table.Prefetch(anchor.key);
  }
  if (stored || kept) {
    for (const Anchor& anchor : *anchors) {
      if (stored) {
        table.ForEach(anchor.key, [&](const AnchoredBlock& block) {
          const int64_t position = anchor.position - block.offset;
          if (position >= 0) candidates_.push_back({position, block.record, block.weakChecksum});
        });
      }
      if (kept) {
        ForEachKept(anchor.key, [&](Kept block) {
          const int64_t position = anchor.position - OffsetOf(block);
          if (position >= 0) candidates_.push_back({position, kThisBackup, CheckOf(block)});
        });
      }
    }
  }
  if (recentHead_ > recent_.size() / 2) {
    recent_.erase(recent_.begin(), recent_.begin() + static_cast<std::ptrdiff_t>(recentHead_));
    recentHead_ = 0;
  }
  for (const Anchor& anchor : *anchors) ++recentKeys_[anchor.key & kRecentKeyMask];
  recent_.insert(recent_.end(), anchors->begin(), anchors->end());
  anchors->clear();
}

int64_t FarCandidates::NextAt(int64_t position) {
  // A new block begins at most one block length before the scan.
  size_t passed = 0;
  while (recentHead_ + passed < recent_.size() &&
         recent_[recentHead_ + passed].position < position - blockLength_) {
    ++passed;
  }
  Pass(passed);
  if (sorted_ < candidates_.size()) {
    // Anchors come in order, but blocks sit at different offsets from them.
    std::sort(candidates_.begin() + static_cast<std::ptrdiff_t>(head_), candidates_.end(),
              [](const Candidate& a, const Candidate& b) {
                return a.position != b.position ? a.position < b.position : a.record < b.record;
              });
    sorted_ = candidates_.size();
  }
  while (head_ < candidates_.size() && candidates_[head_].position < position) ++head_;
  if (head_ == candidates_.size()) {
    candidates_.clear();
    head_ = 0;
    sorted_ = 0;
    return kNone;
  }
  return candidates_[head_].position;
}

std::span<const FarCandidates::Candidate> FarCandidates::AtNext() const {
  size_t end = head_;
  while (end < candidates_.size() && candidates_[end].position == candidates_[head_].position) {
    ++end;
  }
  return {candidates_.data() + head_, end - head_};
}

int64_t FarCandidates::WindowRun(int64_t position, int64_t count, bool* placed) const {
  using namespace block_anchor;
  // The first anchor a window holds is the first at least kQuiet bytes in.
  const auto first = std::lower_bound(
      recent_.begin() + static_cast<std::ptrdiff_t>(recentHead_), recent_.end(), position + kQuiet,
      [](const Anchor& anchor, int64_t at) { return anchor.position < at; });
  if (first == recent_.end()) {
    *placed = false;
    return count;
  }
  if (first->position + kKeyed <= position + blockLength_) {
    // It stays the first of every window up to kQuiet bytes before it.
    *placed = !lookup_.CommonKeys().Contains(first->key);
    return std::min(count, first->position - kQuiet - position + 1);
  }
  // Windows that end before the anchor's key does hold none.
  *placed = false;
  return std::min(count, first->position + kKeyed - blockLength_ - position);
}

bool FarCandidates::AnchorOf(int64_t position, int32_t length, int32_t* offset, uint32_t* key) {
  using namespace block_anchor;
  size_t passed = 0;
  while (recentHead_ + passed < recent_.size() &&
         recent_[recentHead_ + passed].position < position + kQuiet) {
    ++passed;
  }
  Pass(passed);
  if (recentHead_ == recent_.size() || recent_[recentHead_].position > position + length - kKeyed) {
    return false;
  }
  *offset = static_cast<int32_t>(recent_[recentHead_].position - position);
  *key = recent_[recentHead_].key;
  return true;
}

bool FarCandidates::AddBlockOfThisBackup(uint32_t key, int32_t offset, int32_t weakChecksum,
                                         int64_t from) {
  const Kept block = uint64_t{key} << 32 | (static_cast<uint32_t>(weakChecksum) & 0xFFFF) << 16 |
                     static_cast<uint32_t>(offset + 1);
  if (!Keep(block)) return false;
  if (recentKeys_[key & kRecentKeyMask] == 0) return true;
  for (size_t i = recentHead_; i < recent_.size(); ++i) {
    const int64_t position = recent_[i].position - offset;
    if (recent_[i].key == key && position >= from) {
      candidates_.push_back({position, kThisBackup, CheckOf(block)});
    }
  }
  return true;
}

void FarCandidates::ExpectBlocks(size_t count) {
  if (keptCount_ == 0) kept_.assign(std::max<size_t>(1024, count * 4 / 3 + 1), 0);
}

bool FarCandidates::Keep(Kept block) {
  if ((keptCount_ + 1) * 4 > kept_.size() * 3) {
    std::vector<Kept> old(std::max<size_t>(1024, kept_.size() * 2), 0);
    old.swap(kept_);
    keptCount_ = 0;
    for (const Kept there : old) {
      if (there != 0) Keep(there);
    }
  }
  const auto key = static_cast<uint32_t>(block >> 32);
  size_t slot = KeySlot(key, kept_.size());
  int sameKey = 0;
  for (; kept_[slot] != 0; slot = Following(slot)) {
    if (kept_[slot] == block) return true;
    if (static_cast<uint32_t>(kept_[slot] >> 32) == key && ++sameKey == kMostPerKey) return false;
  }
  kept_[slot] = block;
  ++keptCount_;
  return true;
}

template <typename Visit>
void FarCandidates::ForEachKept(uint32_t key, Visit visit) const {
  for (size_t slot = KeySlot(key, kept_.size()); kept_[slot] != 0; slot = Following(slot)) {
    if (static_cast<uint32_t>(kept_[slot] >> 32) == key) visit(kept_[slot]);
  }
}

}  // namespace vaultline
