#include "blockstore/BlockHasher.h"

#include <algorithm>

#include "blockstore/DataRecordHeader.h"
#include "blockstore/WorkerThread.h"

namespace vaultline {

BlockHasher::BlockHasher(WorkerThread& worker) : worker_(worker) {
  for (Block& block : blocks_) block.bytes.resize(DataRecordHeader::kMaxLength);
}

BlockHasher::~BlockHasher() = default;

void BlockHasher::Add(const RingBuffer& ring, int32_t start, int32_t length, int32_t weakChecksum) {
  Block& block = blocks_[(first_ + count_) % kBlocks];
  ++count_;
  const int32_t first = ring.Contiguous(start, length);
  std::copy_n(ring.Data() + start, first, block.bytes.data());
  std::copy_n(ring.Data(), length - first, block.bytes.data() + first);
  block.length = length;
  block.weakChecksum = weakChecksum;
  Block* hashed = &block;
  block.ticket = worker_.Submit([hashed] {
    hashed->digest = Md5::Of(hashed->bytes.data(), static_cast<size_t>(hashed->length));
  });
}

const BlockHasher::Block& BlockHasher::Oldest() {
  const Block& block = blocks_[first_];
  worker_.WaitFor(block.ticket);
  return block;
}

bool BlockHasher::OldestReady() const {
  return worker_.Done(blocks_[first_].ticket);
}

void BlockHasher::DropOldest() {
  first_ = (first_ + 1) % kBlocks;
  --count_;
}

void BlockHasher::Clear() {
  if (count_ > 0) worker_.WaitFor(blocks_[(first_ + count_ - 1) % kBlocks].ticket);
  first_ = 0;
  count_ = 0;
}

bool BlockHasher::Holds(int32_t weakChecksum) const {
  for (size_t i = 0; i < count_; ++i) {
    if (blocks_[(first_ + i) % kBlocks].weakChecksum == weakChecksum) return true;
  }
  return false;
}

}  // namespace vaultline
