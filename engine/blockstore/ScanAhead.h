// The second processor's share of scanning new data. New data ends a span
// of one block length as a new block, window after window rejected by the
// filter. While the store's thread scans the next spans of a file itself,
// a helper scans the spans after those, as they will be scanned if every
// span before them ends so: their blocks' checksums are then in the filter,
// and the helper sets them there itself. It keeps every window that passes
// its filter, and the store's thread looks up just those. A window that no
// block matches can only pass more filters, never fewer, so the store finds
// exactly what its own scan would find; once a span ends otherwise (a
// match), what the helper found is dropped.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "blockstore/BlockMap.h"
#include "blockstore/RingBuffer.h"
#include "blockstore/WeakChecksum.h"

namespace vaultline {

class WorkerThread;

class ScanAhead {
 public:
  // Spans the store's thread scans before those handed over, and as many
  // handed over: the ring must hold both and one window more.
  static constexpr int32_t kSpans = 8;
  // Windows kept of a span; one with more is left to the store's thread.
  static constexpr int32_t kMostStops = 64;

  ScanAhead(WorkerThread& helper, BlockMap& blocks, const RingBuffer& ring, int32_t length)
      : helper_(helper), blocks_(blocks), ring_(ring), length_(length) {}
  ~ScanAhead() { Drop(); }
  ScanAhead(const ScanAhead&) = delete;
  ScanAhead& operator=(const ScanAhead&) = delete;

  // Whether spans are handed over and not yet forgotten.
  bool Busy() const { return ticket_ != 0; }
  // Bytes from the start of the next span that must be in the ring.
  int64_t BytesNeeded() const { return int64_t{2 * kSpans + 1} * length_; }
  // Hands over the kSpans spans after the kSpans that start at `start`
  // (source position `position`). The ring's bytes there must not change
  // and the filter must not be rebuilt until Drop.
  void Start(int32_t start, int64_t position);
  // As PassLiterals, for the windows from `offset` to the last but one of
  // the span at source position `spanStart`: false if it was not scanned
  // ahead. A span the helper has not finished is then left to the caller,
  // and so are the ones after it.
  bool Pass(int64_t spanStart, int32_t offset, int64_t* passed, WeakChecksum* sum, bool* hit);
  // Whether the store's thread took spans back: the helper may still be
  // reading one of them, and must have let go before a read lands there.
  bool TakenBack() const;
  // Forgets the spans once the store's thread is past them, or once the
  // helper has let go of them after spans were taken back.
  void Passed(int64_t position);
  // Stops the helper and forgets every span.
  void Drop();

 private:
  struct Stop {
    int32_t offset;  // from the start of its span
    uint32_t a;
    uint32_t b;
  };
  struct Span {
    int32_t stops;
    WeakChecksum last;  // of the window before its last
    std::array<Stop, kMostStops> stop;
  };

  // On the helper.
  void Scan(int32_t start);
  bool ScanSpan(int32_t at, Span* span, WeakChecksum* sum);

  WorkerThread& helper_;
  BlockMap& blocks_;
  const RingBuffer& ring_;
  int32_t length_;
  uint64_t ticket_ = 0;  // of the spans handed over, or 0
  // Spans are taken one by one by the helper, or all that are left by the
  // store's thread, and published as the helper has scanned them.
  std::atomic<int32_t> next_{0};
  int32_t taken_ = kSpans;  // the first span the store's thread took
  std::atomic<int32_t> scanned_{0};
  int64_t first_ = 0;                   // source position of the first span handed over
  std::array<int32_t, kSpans> before_;  // checksums of the spans before
  std::array<Span, kSpans> spans_;
  int32_t cursorSpan_ = -1;  // the span Pass was last asked for
  int32_t cursor_ = 0;       // its next stop
};

}  // namespace vaultline
