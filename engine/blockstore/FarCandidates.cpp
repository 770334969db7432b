#include "blockstore/FarCandidates.h"

#include <algorithm>

namespace vaultline {

void FarCandidates::Reset() {
  candidates_.clear();
  head_ = 0;
  sorted_ = 0;
  recent_.clear();
  recentHead_ = 0;
}

void FarCandidates::Add(std::vector<Anchor>* anchors) {
  const AnchorTable& table = lookup_.Table();
  if (table.Used() > 0) {
    for (const Anchor& anchor : *anchors) {
      table.ForEach(anchor.key, [&](const AnchoredBlock& block) {
        const int64_t position = anchor.position - block.offset;
        if (position >= 0) candidates_.push_back({position, block.record, block.weakChecksum});
      });
    }
  }
  if (recentHead_ > recent_.size() / 2) {
    recent_.erase(recent_.begin(), recent_.begin() + static_cast<std::ptrdiff_t>(recentHead_));
    recentHead_ = 0;
  }
  recent_.insert(recent_.end(), anchors->begin(), anchors->end());
  anchors->clear();
}

int64_t FarCandidates::NextAt(int64_t position) {
  // A new block begins at most one block length before the scan.
  while (recentHead_ < recent_.size() && recent_[recentHead_].position < position - blockLength_) {
    ++recentHead_;
  }
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

bool FarCandidates::AnchorOf(int64_t position, int32_t length, int32_t* offset, uint32_t* key) {
  using namespace block_anchor;
  while (recentHead_ < recent_.size() && recent_[recentHead_].position < position + kQuiet) {
    ++recentHead_;
  }
  if (recentHead_ == recent_.size() || recent_[recentHead_].position > position + length - kKeyed) {
    return false;
  }
  *offset = static_cast<int32_t>(recent_[recentHead_].position - position);
  *key = recent_[recentHead_].key;
  return true;
}

}  // namespace vaultline
