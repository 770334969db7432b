// New blocks waiting for their digest: copied out of the ring and hashed on
// the helper thread in the order they came, so that the scan goes on while
// MD5 runs. The store takes them back oldest first and only then appends
// them; until then the filter of the known blocks holds their checksums, so
// that a window with such a checksum stops the scan and waits for them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "blockstore/Md5.h"
#include "blockstore/RingBuffer.h"

namespace vaultline {

class WorkerThread;

class BlockHasher {
 public:
  struct Block {
    std::vector<uint8_t> bytes;
    int32_t length = 0;
    int32_t weakChecksum = 0;
    Md5Digest digest{};
    uint64_t ticket = 0;
  };

  // Hashes on `worker`, which the store shares with other helpers' tasks.
  explicit BlockHasher(WorkerThread& worker);
  ~BlockHasher();
  BlockHasher(const BlockHasher&) = delete;
  BlockHasher& operator=(const BlockHasher&) = delete;

  bool Full() const { return count_ == kBlocks; }
  bool Empty() const { return count_ == 0; }
  // Copies the block out of the ring and hands it to the helper; not Full.
  void Add(const RingBuffer& ring, int32_t start, int32_t length, int32_t weakChecksum);
  // The oldest block once it is hashed; not Empty.
  const Block& Oldest();
  // Whether the oldest block is hashed, without waiting.
  bool OldestReady() const;
  void DropOldest();
  // Waits for every block and forgets them.
  void Clear();
  // Whether a block waiting here has this checksum.
  bool Holds(int32_t weakChecksum) const;
  template <typename Visit>
  void ForEachChecksum(Visit visit) const {
    for (size_t i = 0; i < count_; ++i) visit(blocks_[(first_ + i) % kBlocks].weakChecksum);
  }

 private:
  static constexpr size_t kBlocks = 16;

  WorkerThread& worker_;
  std::array<Block, kBlocks> blocks_;
  size_t first_ = 0;
  size_t count_ = 0;
};

}  // namespace vaultline
