#include "blockstore/WindowDigests.h"

#include <algorithm>

#include "blockstore/Md5Lanes.h"
#include "util/WorkerThread.h"

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
      // Windows go over a batch at a time, so that they are hashed side
      // by side; more are wanted once half of them are taken.
      if (count_ > kAhead / 2) return;
      count -= static_cast<int32_t>(count_);
      next = ring.Wrap(static_cast<int64_t>(last.start) + length);
    }
  }
  std::array<Window*, kAhead> batch{};
  size_t handed = 0;
  for (; count > 0 && count_ < kAhead; --count) {
    Window& window = windows_[(first_ + count_) % kAhead];
    // A dropped window in this slot may still be being hashed.
    worker_.WaitFor(window.ticket);
    ++count_;
    window.start = next;
    window.length = length;
    batch[handed++] = &window;
    next = ring.Wrap(static_cast<int64_t>(next) + length);
  }
  const RingBuffer* bytes = &ring;
  // The first lookups wait for the first task alone.
  for (size_t from = 0; from < handed; from += kTask) {
    std::array<Window*, kTask> task{};
    const size_t count = std::min(kTask, handed - from);
    std::copy_n(batch.begin() + static_cast<std::ptrdiff_t>(from), count, task.begin());
    // Wanted by the next lookups, unlike new blocks, whose digests wait.
    lastTicket_ = worker_.Submit([task, count, bytes] { Hash(*bytes, task.data(), count); }, true);
    for (size_t i = 0; i < count; ++i) task[i]->ticket = lastTicket_;
  }
}

void WindowDigests::Hash(const RingBuffer& ring, Window* const* windows, size_t count) {
  // Windows that do not wrap round the ring are hashed side by side.
  const uint8_t* messages[kAhead] = {};
  Md5Digest digests[kAhead];
  Window* whole[kAhead] = {};
  size_t wholeCount = 0;
  for (size_t i = 0; i < count; ++i) {
    Window* window = windows[i];
    if (ring.Contiguous(window->start, window->length) == window->length) {
      whole[wholeCount] = window;
      messages[wholeCount++] = ring.Data() + window->start;
    } else {
      window->digest = DigestOfWindow(ring, window->start, window->length);
    }
  }
  if (wholeCount == 0) return;
  Md5OfEach(messages, wholeCount, static_cast<size_t>(whole[0]->length), digests);
  for (size_t i = 0; i < wholeCount; ++i) whole[i]->digest = digests[i];
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
