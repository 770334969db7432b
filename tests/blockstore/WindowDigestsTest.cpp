#include <gtest/gtest.h>

#include <cstring>

#include "TestSupport.h"
#include "blockstore/WindowDigests.h"
#include "util/WorkerThread.h"

namespace vaultline {
namespace {

// A digest of the bytes copied out whole, the way no window is hashed.
Md5Digest DigestOfRing(const RingBuffer& ring, int32_t start, int32_t length) {
  test::Bytes bytes;
  for (int32_t i = 0; i < length; ++i)
    bytes.push_back(static_cast<uint8_t>(ring.ByteAt(start + i)));
  return Md5::Of(bytes.data(), bytes.size());
}

TEST(WindowDigestsTest, WindowsHandedOverAreTakenInOrderWithTheirOwnDigests) {
  for (bool threaded : {false, true}) {
    WorkerThread worker(threaded, 4);
    RingBuffer ring(4096);
    test::Bytes bytes = test::RandomBytes(4096, 21);
    std::memcpy(ring.Data(), bytes.data(), bytes.size());
    WindowDigests ahead(worker);
    // A chain that wraps around the end of the ring.
    ahead.HandOver(ring, 3000, 500, 3);
    Md5Digest digest{};
    EXPECT_TRUE(ahead.Take(3000, 500, &digest));
    EXPECT_EQ(digest, DigestOfRing(ring, 3000, 500));
    // The chain goes on from the window taken next; the one after is kept.
    ahead.HandOver(ring, 3500, 500, 4);
    EXPECT_TRUE(ahead.Take(3500, 500, &digest));
    EXPECT_EQ(digest, DigestOfRing(ring, 3500, 500)) << "wraps";
    // Skipping a window drops it; a window never handed over is not found.
    EXPECT_TRUE(ahead.Take(ring.Wrap(4500), 500, &digest));
    EXPECT_EQ(digest, DigestOfRing(ring, ring.Wrap(4500), 500));
    EXPECT_FALSE(ahead.Take(ring.Wrap(4000), 500, &digest));
    // Another chain replaces what is left; a different length is not a match.
    ahead.HandOver(ring, 100, 700, 2);
    EXPECT_FALSE(ahead.Take(100, 699, &digest));
    ahead.HandOver(ring, 100, 700, 2);
    ahead.Clear();
    EXPECT_FALSE(ahead.Take(100, 700, &digest));
  }
}

// A long chain goes over in several tasks, and is topped up as it is taken:
// every window still comes with its own digest, in order.
TEST(WindowDigestsTest, ALongChainIsHashedInTasksAndToppedUp) {
  for (bool threaded : {false, true}) {
    WorkerThread worker(threaded, 2, true);
    constexpr int32_t kLength = 1000;
    RingBuffer ring(64 * kLength);
    test::Bytes bytes = test::RandomBytes(64 * kLength, 22);
    std::memcpy(ring.Data(), bytes.data(), bytes.size());
    WindowDigests ahead(worker);
    int32_t next = 0;
    for (int round = 0; round < 5; ++round) {
      ahead.HandOver(ring, next, kLength, 40);
      // The chain runs round the ring more than once.
      for (int i = 0; i < 20; ++i, next = ring.Wrap(static_cast<int64_t>(next) + kLength)) {
        Md5Digest digest{};
        ASSERT_TRUE(ahead.Take(next, kLength, &digest)) << round << " " << i;
        EXPECT_EQ(digest, DigestOfRing(ring, next, kLength)) << round << " " << i;
      }
    }
  }
}

}  // namespace
}  // namespace vaultline
