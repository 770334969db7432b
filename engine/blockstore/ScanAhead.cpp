#include "blockstore/ScanAhead.h"

#include "blockstore/LiteralScan.h"
#include "util/WorkerThread.h"

namespace vaultline {

void ScanAhead::Start(int32_t start, int64_t position) {
  Drop();
  // The store's thread moves on through these spans, and a read may land
  // on them once it is past: their checksums are taken here.
  for (int32_t span = 0; span < kSpans; ++span) {
    before_[static_cast<size_t>(span)] =
        WeakChecksum::Of(ring_, ring_.Wrap(static_cast<int64_t>(start) + int64_t{span} * length_),
                         length_)
            .Value();
  }
  first_ = position + int64_t{kSpans} * length_;
  ticket_ = helper_.Submit([this, start] { Scan(start); }, true);
}

void ScanAhead::Scan(int32_t start) {
  if (next_.load(std::memory_order_relaxed) != 0) return;
  // The blocks the store's thread is expected to cut meanwhile.
  for (const int32_t checksum : before_) blocks_.SetFilterBit(checksum);
  const int32_t first = ring_.Wrap(static_cast<int64_t>(start) + int64_t{kSpans} * length_);
  WeakChecksum sum = WeakChecksum::Of(ring_, first, length_);
  for (int32_t span = 0; span < kSpans; ++span) {
    int32_t expected = span;
    if (!next_.compare_exchange_strong(expected, span + 1, std::memory_order_relaxed)) return;
    const int32_t at = ring_.Wrap(static_cast<int64_t>(first) + int64_t{span} * length_);
    const int32_t blockChecksum = sum.Value();
    if (!ScanSpan(at, &spans_[static_cast<size_t>(span)], &sum)) return;
    scanned_.store(span + 1, std::memory_order_release);
    blocks_.SetFilterBit(blockChecksum);
    if (span + 1 == kSpans) break;
    // On to the next span's first window.
    for (int64_t leaving = int64_t{at} + length_ - 2; leaving < int64_t{at} + length_; ++leaving) {
      sum.Roll(ring_.ByteAt(leaving), ring_.ByteAt(leaving + length_), length_);
    }
  }
}

bool ScanAhead::ScanSpan(int32_t at, Span* span, WeakChecksum* sum) {
  // The span's first and last windows are looked up by the store's thread
  // as it moves on from the window before each.
  span->stops = 0;
  for (int32_t offset = 1;;) {
    bool hit;
    offset += static_cast<int32_t>(PassLiterals(blocks_, ring_, ring_.Wrap(int64_t{at} + offset),
                                                length_, length_ - 1 - offset, sum, &hit));
    if (!hit) break;
    if (span->stops == kMostStops) return false;
    span->stop[static_cast<size_t>(span->stops++)] = Stop{offset, sum->A(), sum->B()};
    ++offset;
  }
  span->last = *sum;
  return true;
}

bool ScanAhead::Pass(int64_t spanStart, int32_t offset, int64_t* passed, WeakChecksum* sum,
                     bool* hit) {
  if (ticket_ == 0 || spanStart < first_ || (spanStart - first_) % length_ != 0 ||
      spanStart - first_ >= int64_t{kSpans} * length_) {
    return false;
  }
  const auto index = static_cast<int32_t>((spanStart - first_) / length_);
  if (index >= taken_) return false;
  if (scanned_.load(std::memory_order_acquire) <= index) {
    // Not scanned yet: this span and the rest are the caller's to scan,
    // rather than wait for a helper that may not even be running. The one
    // the helper may be scanning is not looked at again.
    next_.store(kSpans, std::memory_order_relaxed);
    taken_ = index;
    return false;
  }
  const Span& span = spans_[static_cast<size_t>(index)];
  if (index != cursorSpan_) {
    cursorSpan_ = index;
    cursor_ = 0;
  }
  while (cursor_ < span.stops && span.stop[static_cast<size_t>(cursor_)].offset < offset) {
    ++cursor_;
  }
  if (cursor_ < span.stops) {
    const Stop& stop = span.stop[static_cast<size_t>(cursor_++)];
    *passed = stop.offset - offset;
    *sum = WeakChecksum::FromParts(stop.a, stop.b);
    *hit = true;
  } else {
    *passed = length_ - 1 - offset;
    *sum = span.last;
    *hit = false;
  }
  return true;
}

void ScanAhead::Passed(int64_t position) {
  if (ticket_ == 0) return;
  // Spans taken back are scanned here: the helper may as well start on
  // the next ones, once it has let go of these. One it may still be
  // scanning is not waited for; a read waits for it before landing there.
  const bool past = position >= first_ + int64_t{kSpans} * length_;
  if (taken_ < kSpans ? helper_.Done(ticket_) : past) Drop();
}

bool ScanAhead::TakenBack() const {
  return ticket_ != 0 && taken_ < kSpans;
}

void ScanAhead::Drop() {
  if (ticket_ == 0) return;
  next_.store(kSpans, std::memory_order_relaxed);
  helper_.WaitFor(ticket_);
  ticket_ = 0;
  taken_ = kSpans;
  next_.store(0, std::memory_order_relaxed);
  scanned_.store(0, std::memory_order_relaxed);
  cursorSpan_ = -1;
}

}  // namespace vaultline
