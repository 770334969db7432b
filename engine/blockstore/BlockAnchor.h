// Where a stored block is found again far from where it was stored. Looking
// every window of new data up among millions of stored blocks would cost a
// read of main memory per byte; instead both the blocks and the data being
// stored are marked at places their own bytes choose, their anchors, and
// only those are looked up.
//
// A position passes when a hash of the 8 bytes from it falls in one value
// in 512; it is an anchor when it passes and none of the 63 positions
// before it does (a run of repeated bytes has at most one). A block's anchor
// is its first that lies, with those 63 positions and the 64 bytes its key
// is made of, wholly in the block. Both depend on the block's bytes alone,
// so wherever a stored block occurs in new data its anchor is an anchor of
// the data, at the same offset, with the same key. Every byte of every file
// stored is tested, so the test is a multiply, thirty-two positions at a
// time where the processor has 256-bit vectors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vaultline {

struct Anchor {
  int64_t position;  // in the data scanned
  uint32_t key;
  bool operator==(const Anchor&) const = default;
};

namespace block_anchor {

constexpr int32_t kQuiet = 63;  // positions before an anchor that must not pass
constexpr int32_t kKeyed = 64;  // bytes from an anchor its key is made of
constexpr int32_t kWindow = 8;  // bytes from a position its test reads
// Anchors lie about this many bytes apart in varied data: a position
// passes one time in 512, and 63 before it then pass none 88 % of the time.
constexpr int32_t kMeanSpacing = 580;

// The key of the anchor at `bytes` (kKeyed bytes).
uint32_t KeyAt(const uint8_t* bytes);
// The anchor of a block of `length` bytes: false when it has none.
bool FindInBlock(const uint8_t* block, int32_t length, int32_t* offset, uint32_t* key);

}  // namespace block_anchor

// The anchors of data fed to it in order, positions counted from its first
// byte. The last kKeyed - 1 bytes fed are tested once more bytes follow.
class AnchorFinder {
 public:
  void Reset();
  void Feed(const uint8_t* bytes, size_t length);
  // The anchors found since the last call, in order of position.
  void Take(std::vector<Anchor>* anchors);

 private:
  // Tests the positions of `bytes` (data from position `at`) that have
  // kKeyed bytes after them; returns how many.
  size_t Test(const uint8_t* bytes, size_t length, int64_t at);

  int64_t fed_ = 0;
  int64_t lastPass_ = -block_anchor::kQuiet - 1;
  std::vector<uint8_t> carry_;  // the bytes fed whose positions are not yet tested
  std::vector<uint8_t> joined_;
  std::vector<Anchor> found_;
};

}  // namespace vaultline
