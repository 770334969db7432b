// A scan ahead must stop at every window the store's own scan would stop
// at, had each span before it ended as a new block, and at no window that
// scan would pass over unless the filter let it through.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "TestSupport.h"
#include "blockstore/BlockMap.h"
#include "blockstore/LiteralScan.h"
#include "blockstore/RingBuffer.h"
#include "blockstore/ScanAhead.h"
#include "util/WorkerThread.h"

namespace vaultline {
namespace {

constexpr int32_t kLength = 8192;
constexpr int32_t kSpans = ScanAhead::kSpans;

struct Stops {
  std::vector<int32_t> offsets;
  std::vector<int32_t> checksums;
  int32_t last = 0;  // the checksum of the window before the span's last
};

// The store's own scan of the windows between a span's first and last.
Stops ScanOf(const BlockMap& blocks, const RingBuffer& ring, int32_t at) {
  Stops stops;
  WeakChecksum sum = WeakChecksum::Of(ring, at, kLength);
  for (int32_t offset = 1;;) {
    bool hit;
    offset += static_cast<int32_t>(PassLiterals(blocks, ring, ring.Wrap(int64_t{at} + offset),
                                                kLength, kLength - 1 - offset, &sum, &hit));
    if (!hit) break;
    stops.offsets.push_back(offset);
    stops.checksums.push_back(sum.Value());
    ++offset;
  }
  stops.last = sum.Value();
  return stops;
}

// What the store's thread takes from the scan ahead for one span, or
// nothing when the span is left to it.
bool PassedOf(ScanAhead& ahead, int64_t spanStart, Stops* stops) {
  for (int32_t offset = 1;;) {
    int64_t passed;
    WeakChecksum sum;
    bool hit;
    if (!ahead.Pass(spanStart, offset, &passed, &sum, &hit)) return false;
    offset += static_cast<int32_t>(passed);
    if (!hit) {
      EXPECT_EQ(offset, kLength - 1);
      stops->last = sum.Value();
      return true;
    }
    stops->offsets.push_back(offset);
    stops->checksums.push_back(sum.Value());
    ++offset;
  }
}

class ScanAheadTest : public ::testing::Test {
 protected:
  // The ring holds the spans from `start`, wrapping, and a window more.
  ScanAheadTest() : ring_(3 * 163840) {}

  void Fill(const test::Bytes& bytes, int32_t start) {
    for (size_t i = 0; i < bytes.size(); ++i) {
      ring_.Data()[ring_.Wrap(static_cast<int64_t>(start) + static_cast<int64_t>(i))] = bytes[i];
    }
  }
  int32_t SpanAt(int32_t start, int32_t span) const {
    return ring_.Wrap(int64_t{start} + int64_t{span} * kLength);
  }
  int32_t ChecksumAt(int32_t at) const { return WeakChecksum::Of(ring_, at, kLength).Value(); }

  RingBuffer ring_;
  WorkerThread inline_{false};  // the scan runs as it is handed over
};

TEST_F(ScanAheadTest, StopsWhereTheStoresScanStopsAfterNewBlocks) {
  // Near the ring's end, so that spans and windows wrap.
  const int32_t start = ring_.Capacity() - 5 * kLength - 77;
  test::Bytes bytes = test::RandomBytes((2 * kSpans + 1) * kLength, 7);
  auto copy = [&](int32_t fromSpan, int64_t to) {
    std::copy_n(bytes.begin() + int64_t{fromSpan} * kLength, kLength, bytes.begin() + to);
  };
  // Copies of blocks cut before the span they land in: one the store's
  // thread cuts, one of the spans handed over, the span just before, and a
  // copy of a block cut after the span it lands in (never a stop).
  copy(3, int64_t{kSpans + 2} * kLength + 100);
  copy(kSpans + 1, int64_t{kSpans + 4} * kLength + 5000);
  copy(kSpans + 5, int64_t{kSpans + 6} * kLength + 1);
  copy(kSpans + 7, int64_t{kSpans + 3} * kLength + 200);
  Fill(bytes, start);

  BlockMap blocks;
  BlockMap expected;
  // A block known before, found in the last span handed over.
  const int32_t known = ChecksumAt(ring_.Wrap(int64_t{SpanAt(start, 2 * kSpans - 1)} + 321));
  blocks.SetFilterBit(known);
  expected.SetFilterBit(known);

  ScanAhead ahead(inline_, blocks, ring_, kLength);
  ahead.Start(start, 1000000);
  for (int32_t span = 0; span < kSpans; ++span) {
    expected.SetFilterBit(ChecksumAt(SpanAt(start, span)));
  }
  std::vector<int32_t> planted{kSpans + 2, kSpans + 4, kSpans + 6, 2 * kSpans - 1};
  for (int32_t span = kSpans; span < 2 * kSpans; ++span) {
    const int32_t at = SpanAt(start, span);
    Stops want = ScanOf(expected, ring_, at);
    Stops got;
    ASSERT_TRUE(PassedOf(ahead, 1000000 + int64_t{span} * kLength, &got)) << span;
    EXPECT_EQ(got.offsets, want.offsets) << span;
    EXPECT_EQ(got.checksums, want.checksums) << span;
    EXPECT_EQ(got.last, want.last) << span;
    if (std::count(planted.begin(), planted.end(), span) > 0) {
      EXPECT_FALSE(want.offsets.empty()) << span;
    }
    expected.SetFilterBit(ChecksumAt(at));
  }
  // Past the spans handed over, and between them.
  Stops none;
  EXPECT_FALSE(PassedOf(ahead, 1000000 + int64_t{2 * kSpans} * kLength, &none));
  EXPECT_FALSE(PassedOf(ahead, 1000000 + int64_t{kSpans} * kLength + 1, &none));
}

TEST_F(ScanAheadTest, SpansItCannotKeepOrHasNotScannedAreLeftToTheStore) {
  const int32_t start = 4096;
  Fill(test::RandomBytes((2 * kSpans + 1) * kLength, 8), start);
  // A filter that passes nearly every window: far more stops than a span
  // keeps.
  BlockMap crowded;
  for (uint32_t i = 0; i < 1u << 20; ++i) crowded.SetFilterBit(static_cast<int32_t>(i * 40503u));
  ScanAhead ahead(inline_, crowded, ring_, kLength);
  ahead.Start(start, 0);
  Stops stops;
  EXPECT_FALSE(PassedOf(ahead, int64_t{kSpans} * kLength, &stops));
  EXPECT_FALSE(PassedOf(ahead, int64_t{kSpans + 1} * kLength, &stops));

  // Dropped, and handed over again to a helper that never gets to run
  // before it is asked: the store takes the spans back.
  BlockMap empty;
  WorkerThread busy(true);
  std::mutex hold;
  hold.lock();
  busy.Submit([&hold] { std::lock_guard<std::mutex> wait(hold); }, true);
  {
    ScanAhead late(busy, empty, ring_, kLength);
    late.Start(start, 0);
    EXPECT_FALSE(PassedOf(late, int64_t{kSpans} * kLength, &stops));
    EXPECT_FALSE(PassedOf(late, int64_t{kSpans + 3} * kLength, &stops));
    hold.unlock();
  }
}

}  // namespace
}  // namespace vaultline
