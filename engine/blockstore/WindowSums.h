// Prefix sums of the bytes in the store's ring, from which the weak checksum
// of any window follows without a loop over its bytes. With S(k) the sum of
// the signed bytes of the file up to and including k and T(k) the sum of
// S up to k, the window of n bytes after position b and ending at e has
//   A = S(e) - S(b)
//   B = T(e) - T(b) - n * S(b)
// (B sums S(k) - S(b) over the window, which weighs each byte by the number
// of window positions from it to the end). Only the low 16 bits of A and B
// count, so the sums are kept in 16 bits, and every window is computed
// independently of the others: many at a time, in vector registers.
#pragma once

#include <cstdint>
#include <memory>

#include "blockstore/RingBuffer.h"

namespace vaultline {

class WindowSums {
 public:
  // Windows computed by one call to Compute.
  static constexpr int32_t kBatch = 64;

  explicit WindowSums(int32_t capacity);

  // A new file: the sums before its first byte are zero.
  void Restart() { s_ = t_ = 0; }
  // Takes in the `count` bytes just read into the ring at `position`, the
  // bytes after those taken in before (reads never wrap).
  void Extend(const RingBuffer& ring, int32_t position, int32_t count);

  // The checksums (as WeakChecksum::Compose gives them) of kBatch windows of
  // `length` bytes: window i lies after ring position before + i and ends at
  // last + i. Neither may wrap within the batch, and the windows must lie
  // within the bytes taken in since Restart (values past the ring's end are
  // meaningless and the caller ignores them).
  void Compute(int32_t before, int32_t last, int32_t length, uint32_t* values) const;

 private:
  // kBatch spare entries past the end, so that a batch never needs a
  // shorter loop near the end of the ring.
  std::unique_ptr<uint16_t[]> s_sums_;
  std::unique_ptr<uint16_t[]> t_sums_;
  uint16_t s_ = 0;
  uint16_t t_ = 0;
};

}  // namespace vaultline
