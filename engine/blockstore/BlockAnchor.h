// Where a stored block is found again far from where it was stored. Looking
// every window of new data up among millions of stored blocks would cost a
// read of main memory per byte; instead both the blocks and the data being
// stored are marked at places their own bytes choose, their anchors, and
// only those are looked up.
//
// A position is an anchor when the weak checksum of the 64 bytes from it
// passes a test (one window in 512 does) and none of the 63 windows before it
// does: a run of repeated bytes has at most one. A block's anchor is its first
// one that lies, with those 63 windows, wholly in the block. Both depend on
// the block's bytes alone, so wherever a stored block occurs in new data its
// anchor is an anchor of the data, at the same offset, with the same key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vaultline {

struct Anchor {
  int64_t position;  // of the anchor's window, in the data scanned
  uint32_t key;
};

namespace block_anchor {

constexpr int32_t kWindow = 64;
// Windows before an anchor that must not pass.
constexpr int32_t kQuiet = 63;

// A bijection of the window's checksum; the anchor test and the key are
// taken from it.
constexpr uint32_t Mix(uint32_t checksum) {
  return (checksum + 0x9E3779B9u) * 0x2C1B3C6Du;
}
constexpr bool Passes(uint32_t mixed) {
  return (mixed >> 23) == 0;
}
constexpr uint32_t Key(uint32_t mixed) {
  uint32_t key = (mixed ^ (mixed >> 15)) * 0x7FEB352Du;
  return key ^ (key >> 16);
}

// The anchor of a block of `length` bytes: false when it has none.
bool FindInBlock(const uint8_t* block, int32_t length, int32_t* offset, uint32_t* key);

}  // namespace block_anchor

// The anchors of data fed to it in order, positions counted from its first
// byte.
class AnchorFinder {
 public:
  void Reset();
  void Feed(const uint8_t* bytes, size_t length);
  // The anchors found since the last call, in order of position.
  void Take(std::vector<Anchor>* anchors);

 private:
  int8_t history_[block_anchor::kWindow] = {};
  int64_t fed_ = 0;
  uint32_t a_ = 0;
  uint32_t b_ = 0;
  int64_t lastPass_ = -block_anchor::kWindow;
  std::vector<Anchor> found_;
};

}  // namespace vaultline
