// The store's 32-bit rolling checksum of a window of n bytes x0..x(n-1),
// each taken as a signed 8-bit value s(x):
//   A = sum of s(xi)               mod 65536
//   B = sum of (n - i) * s(xi)     mod 65536 (the sum of the running A)
//   checksum = B << 16 | A
// Moving the window one byte on costs constant time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "blockstore/RingBuffer.h"

namespace vaultline {

class WeakChecksum {
 public:
  static WeakChecksum Of(const uint8_t* bytes, size_t length) {
    WeakChecksum sum;
    sum.Add(bytes, length);
    return sum;
  }
  // The window of `length` bytes of the ring from `start`, wrapping once.
  static WeakChecksum Of(const RingBuffer& ring, int32_t start, int32_t length) {
    WeakChecksum sum;
    int32_t first = ring.Contiguous(start, length);
    sum.Add(ring.Data() + start, static_cast<size_t>(first));
    sum.Add(ring.Data(), static_cast<size_t>(length - first));
    return sum;
  }

  // The window of the same length one byte on: `out` leaves at the front,
  // `in` enters at the back.
  void Roll(int8_t out, int8_t in, int32_t length) {
    a_ += static_cast<uint32_t>(static_cast<int32_t>(in) - out);
    b_ += a_ - static_cast<uint32_t>(length) * static_cast<uint32_t>(static_cast<int32_t>(out));
  }

  // A checksum carried on outside this class (the store's inner loop).
  static WeakChecksum FromParts(uint32_t a, uint32_t b) {
    WeakChecksum sum;
    sum.a_ = a;
    sum.b_ = b;
    return sum;
  }

  int32_t Value() const { return Compose(a_, b_); }
  static int32_t Compose(uint32_t a, uint32_t b) {
    return static_cast<int32_t>((b << 16) | (a & 0xFFFFu));
  }
  uint32_t A() const { return a_; }
  uint32_t B() const { return b_; }

 private:
  // Windows are summed afresh after every match, so this runs over every
  // matched byte: sixteen at a time with vectors where the processor has
  // them; thirty-two at a time with AVX2.
  void Add(const uint8_t* bytes, size_t length);

  // Kept in 32 bits; only the low 16 of each are significant.
  uint32_t a_ = 0;
  uint32_t b_ = 0;
};

}  // namespace vaultline
