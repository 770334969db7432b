#include "blockstore/WindowDigests.h"

#include "blockstore/WorkerThread.h"

namespace vaultline {

Md5Digest DigestOfWindow(const RingBuffer& ring, int32_t start, int32_t length) {
  const int32_t first = ring.Contiguous(start, length);
  Md5 md5;
  md5.Init();
  md5.Update(ring.Data() + start, static_cast<size_t>(first));
  md5.Update(ring.Data(), static_cast<size_t>(length - first));
  Md5Digest digest;
  md5.Final(&digest);
  return digest;
}

void WindowDigests::HandOver(const RingBuffer& ring, int32_t start, int32_t length, int32_t count) {
  int32_t next = start;
  if (count_ > 0) {
    const Window& last = windows_[(first_ + count_ - 1) % kAhead];
    const bool sameChain = windows_[first_].start == start && last.length == length;
    if (!sameChain) {
      first_ = 0;
      count_ = 0;
    } else {
      count -= static_cast<int32_t>(count_);
      next = ring.Wrap(static_cast<int64_t>(last.start) + length);
    }
  }
  for (; count > 0 && count_ < kAhead; --count) {
    Window& window = windows_[(first_ + count_) % kAhead];
    // A dropped window in this slot may still be being hashed.
    worker_.WaitFor(window.ticket);
    ++count_;
    window.start = next;
    window.length = length;
    Window* hashed = &window;
    const RingBuffer* bytes = &ring;
    window.ticket = worker_.Submit([hashed, bytes] {
      hashed->digest = DigestOfWindow(*bytes, hashed->start, hashed->length);
    });
    lastTicket_ = window.ticket;
    next = ring.Wrap(static_cast<int64_t>(next) + length);
  }
}

bool WindowDigests::Take(int32_t start, int32_t length, Md5Digest* digest) {
  while (count_ > 0) {
    const Window& window = windows_[first_];
    first_ = (first_ + 1) % kAhead;
    --count_;
    if (window.start == start && window.length == length) {
      worker_.WaitFor(window.ticket);
      *digest = window.digest;
      return true;
    }
  }
  return false;
}

void WindowDigests::Settle() {
  if (lastTicket_ > 0) worker_.WaitFor(lastTicket_);
}

void WindowDigests::Clear() {
  Settle();
  first_ = 0;
  count_ = 0;
}

}  // namespace vaultline
