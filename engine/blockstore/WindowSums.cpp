#include "blockstore/WindowSums.h"

namespace vaultline {

WindowSums::WindowSums(int32_t capacity)
    : s_sums_(new uint16_t[static_cast<size_t>(capacity + kBatch)]()),
      t_sums_(new uint16_t[static_cast<size_t>(capacity + kBatch)]()) {}

void WindowSums::Extend(const RingBuffer& ring, int32_t position, int32_t count) {
  const int8_t* bytes = reinterpret_cast<const int8_t*>(ring.Data() + position);
  uint16_t* s = s_sums_.get() + position;
  uint16_t* t = t_sums_.get() + position;
  uint16_t sSum = s_;
  uint16_t tSum = t_;
  for (int32_t i = 0; i < count; ++i) {
    sSum = static_cast<uint16_t>(sSum + bytes[i]);
    tSum = static_cast<uint16_t>(tSum + sSum);
    s[i] = sSum;
    t[i] = tSum;
  }
  s_ = sSum;
  t_ = tSum;
}

void WindowSums::Compute(int32_t before, int32_t last, int32_t length, uint32_t* values) const {
  const uint16_t* __restrict sBefore = s_sums_.get() + before;
  const uint16_t* __restrict tBefore = t_sums_.get() + before;
  const uint16_t* __restrict sLast = s_sums_.get() + last;
  const uint16_t* __restrict tLast = t_sums_.get() + last;
  const uint16_t n = static_cast<uint16_t>(length);
  for (int32_t i = 0; i < kBatch; ++i) {
    const uint16_t a = static_cast<uint16_t>(sLast[i] - sBefore[i]);
    const uint16_t b = static_cast<uint16_t>(tLast[i] - tBefore[i] - n * sBefore[i]);
    values[i] = static_cast<uint32_t>(b) << 16 | a;
  }
}

}  // namespace vaultline
