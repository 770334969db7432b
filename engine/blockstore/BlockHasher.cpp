#include "blockstore/BlockHasher.h"

#include <algorithm>

#include "blockstore/DataRecordHeader.h"
#include "blockstore/Md5Lanes.h"
#include "util/WorkerThread.h"

namespace vaultline {

BlockHasher::BlockHasher(WorkerThread& worker)
    : worker_(worker), storage_(new uint8_t[kBlocks * DataRecordHeader::kMaxLength]) {
  for (size_t i = 0; i < kBlocks; ++i)
    blocks_[i].bytes = &storage_[i * DataRecordHeader::kMaxLength];
}

BlockHasher::~BlockHasher() = default;

void BlockHasher::Add(const RingBuffer& ring, int32_t start, int32_t length, int32_t weakChecksum) {
  Block& block = blocks_[(first_ + count_) % kBlocks];
  ++count_;
  const int32_t first = ring.Contiguous(start, length);
  std::copy_n(ring.Data() + start, first, block.bytes);
  std::copy_n(ring.Data(), length - first, block.bytes + first);
  block.length = length;
  block.weakChecksum = weakChecksum;
  block.gathered = true;
  block.ticket = 0;
  if (++gathered_ == kBatch) HandOverGathered();
}

void BlockHasher::HandOverGathered() {
  if (gathered_ == 0) return;
  const size_t from = (first_ + count_ - gathered_) % kBlocks;
  const size_t count = gathered_;
  gathered_ = 0;
  for (size_t i = 0; i < count; ++i) blocks_[(from + i) % kBlocks].gathered = false;
  const uint64_t ticket = worker_.Submit([this, from, count] { Hash(from, count); });
  for (size_t i = 0; i < count; ++i) blocks_[(from + i) % kBlocks].ticket = ticket;
}

void BlockHasher::Hash(size_t from, size_t count) {
  const uint8_t* messages[kBatch] = {};
  size_t lengths[kBatch] = {};
  for (size_t i = 0; i < count; ++i) {
    const Block& block = blocks_[(from + i) % kBlocks];
    messages[i] = block.bytes;
    lengths[i] = static_cast<size_t>(block.length);
  }
  Md5Digest digests[kBatch];
  Md5OfEach(messages, lengths, count, digests);
  for (size_t i = 0; i < count; ++i) blocks_[(from + i) % kBlocks].digest = digests[i];
}

const BlockHasher::Block& BlockHasher::Oldest() {
  const Block& block = blocks_[first_];
  if (block.gathered) {
    // Every block is gathered, and the caller waits for them: waking the
    // helper would only cost it the time to hand them back.
    Hash(first_, gathered_);
    for (size_t i = 0; i < gathered_; ++i) blocks_[(first_ + i) % kBlocks].gathered = false;
    gathered_ = 0;
    return block;
  }
  worker_.WaitFor(block.ticket);
  return block;
}

bool BlockHasher::OldestReady() const {
  const Block& block = blocks_[first_];
  return !block.gathered && worker_.Done(block.ticket);
}

void BlockHasher::DropOldest() {
  first_ = (first_ + 1) % kBlocks;
  --count_;
}

void BlockHasher::Clear() {
  // Blocks not handed over yet need no hashing; those handed over may be
  // being hashed.
  gathered_ = 0;
  for (size_t i = 0; i < count_; ++i) {
    const uint64_t ticket = blocks_[(first_ + i) % kBlocks].ticket;
    if (ticket != 0) worker_.WaitFor(ticket);
  }
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
