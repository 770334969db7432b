// New blocks waiting for their digest: copied out of the ring and hashed on
// the helper thread in the order they came, so that the scan goes on while
// MD5 runs. They are handed over sixteen at a time and hashed side by side
// (Md5OfEach); a digest wanted before that is hashed by the caller. The store takes them back
// oldest first and only then appends them; until then the filter of the known blocks holds their
// checksums, so that a window with such a checksum stops the scan and waits for them.
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
    uint8_t* bytes = nullptr;  // room for the longest block
    int32_t length = 0;
    int32_t weakChecksum = 0;
    Md5Digest digest{};
    bool gathered = false;  // not yet handed over
    uint64_t ticket = 0;    // of the task that hashes it, once handed over (0: none)
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
  // The oldest block once it is hashed (on the caller's thread when it is
  // among those gathered); not Empty.
  const Block& Oldest();
  // Whether the oldest block is hashed, without waiting.
  bool OldestReady() const;
  void DropOldest();
  // Waits for every block handed over and forgets them all.
  void Clear();
  // Whether a block waiting here has this checksum.
  bool Holds(int32_t weakChecksum) const;

 private:
  static constexpr size_t kBlocks = 64;
  static constexpr size_t kBatch = 16;

  // Hands the blocks gathered since the last batch to the helper.
  void HandOverGathered();
  // On the helper: the digests of `count` blocks from slot `from` on.
  void Hash(size_t from, size_t count);

  WorkerThread& worker_;
  // The blocks' bytes, left untouched until used: a store that cuts few
  // files into blocks would otherwise pay for pages it never needs.
  std::unique_ptr<uint8_t[]> storage_;
  std::array<Block, kBlocks> blocks_;
  size_t first_ = 0;
  size_t count_ = 0;
  size_t gathered_ = 0;  // the newest blocks, not yet handed over
};

}  // namespace vaultline
