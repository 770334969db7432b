// The store's read buffer: one allocation used as a circle, filled a half at
// a time so that a read never wraps. Positions are in [0, Capacity()).
#pragma once

#include <cstdint>
#include <memory>

namespace vaultline {

// Final, so that calls through a RingBuffer reference are resolved at compile
// time: the matching loop calls these once per byte.
class RingBuffer final {
 public:
  explicit RingBuffer(int32_t capacity);
  virtual ~RingBuffer();
  RingBuffer(const RingBuffer&) = delete;
  RingBuffer& operator=(const RingBuffer&) = delete;

  virtual int32_t Next(int32_t i) const { return i + 1 == capacity_ ? 0 : i + 1; }
  virtual int32_t Wrap(int64_t i) const {
    int64_t r = i % capacity_;
    return static_cast<int32_t>(r < 0 ? r + capacity_ : r);
  }
  // Bytes from b forward to a.
  virtual int32_t Distance(int32_t a, int32_t b) const {
    return a >= b ? a - b : a + capacity_ - b;
  }
  virtual int8_t ByteAt(int64_t i) const { return static_cast<int8_t>(data_[Wrap(i)]); }
  // How much of a run of `length` bytes from `position` lies before the end
  // of the allocation.
  virtual int32_t Contiguous(int32_t position, int32_t length) const {
    return length < capacity_ - position ? length : capacity_ - position;
  }

  int32_t Capacity() const { return capacity_; }
  uint8_t* Data() { return data_.get(); }
  const uint8_t* Data() const { return data_.get(); }

 private:
  int32_t capacity_;
  std::unique_ptr<uint8_t[]> data_;
};

}  // namespace vaultline
