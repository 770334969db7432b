#include "blockstore/FarCandidates.h"

#include <algorithm>

namespace vaultline {

void FarCandidates::Reset() {
  candidates_.clear();
  head_ = 0;
  sorted_ = 0;
  recent_.clear();
}

void FarCandidates::Add(std::vector<Anchor>* anchors) {
  const AnchorTable& table = lookup_.Table();
  for (const Anchor& anchor : *anchors) {
    table.ForEach(anchor.key, [&](const AnchoredBlock& block) {
      const int64_t position = anchor.position - block.offset;
      if (position >= 0) candidates_.push_back({position, block.record, block.weakChecksum});
    });
    recent_.push_back(anchor);
  }
  anchors->clear();
}

int64_t FarCandidates::NextAt(int64_t position) {
  // A new block begins at most one block length before the scan.
  while (!recent_.empty() && recent_.front().position < position - blockLength_) {
    recent_.pop_front();
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
  while (!recent_.empty() && recent_.front().position < position + kQuiet) recent_.pop_front();
  if (recent_.empty() || recent_.front().position > position + length - kWindow) return false;
  *offset = static_cast<int32_t>(recent_.front().position - position);
  *key = recent_.front().key;
  return true;
}

}  // namespace vaultline
