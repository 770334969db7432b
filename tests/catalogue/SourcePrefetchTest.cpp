#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "catalogue/SourcePrefetch.h"
#include "platform/File.h"
#include "platform/Processors.h"
#include "util/ThreadPlan.h"

namespace vaultline {
namespace {

size_t OpenDescriptors() {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++count;
  }
  return count;
}

class SourcePrefetchTest : public ::testing::Test {
 protected:
  SourcePrefetchTest() {
    std::filesystem::create_directories(folder_);
    for (const char* name : {"a", "b", "c", "d"}) {
      std::ofstream(folder_ / name) << std::string(100, name[0]);
      paths_.push_back((folder_ / name).wstring());
    }
    std::ofstream(folder_ / "large") << std::string(300 << 10, 'l');
    paths_.push_back((folder_ / "large").wstring());
  }
  ~SourcePrefetchTest() override { std::filesystem::remove_all(folder_); }

  // Until `count` more descriptors are open than `before`.
  static bool AwaitOpen(size_t before, size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (OpenDescriptors() < before + count) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

  const std::filesystem::path folder_ =
      std::filesystem::temp_directory_path() / ("prefetch-test-" + std::to_string(::getpid()));
  std::vector<std::wstring> paths_;
};

// Files are claimed in the order handed over, small ones already read
// whole; those passed are closed, and nothing stays open once the prefetch
// ends.
TEST_F(SourcePrefetchTest, FilesPassedOrNotClaimedAreClosed) {
  if (platform::AvailableProcessors() < 2) GTEST_SKIP() << "nothing is opened ahead";
  const size_t before = OpenDescriptors();
  {
    ThreadPlan threads;
    SourcePrefetch prefetch(threads);
    prefetch.Ahead(paths_);
    ASSERT_TRUE(AwaitOpen(before, paths_.size()));
    SourceFile c = prefetch.Claim(paths_[2]);
    ASSERT_GE(c.fd, 0);
    EXPECT_EQ(c.size, 100);
    EXPECT_EQ(c.head, std::vector<uint8_t>(100, 'c'));
    uint8_t bytes[200];
    EXPECT_EQ(c.Read(bytes, sizeof bytes), 100);
    EXPECT_EQ(bytes[99], 'c');
    EXPECT_TRUE(platform::CloseFile(c.fd));
    EXPECT_EQ(prefetch.Claim(paths_[0]).fd, -1);  // passed
    EXPECT_EQ(prefetch.Claim((folder_ / "never handed over").wstring()).fd, -1);

    SourceFile large = prefetch.Claim(paths_[4]);  // opened, left for the store to read
    ASSERT_GE(large.fd, 0);
    EXPECT_EQ(large.size, 300 << 10);
    EXPECT_TRUE(large.head.empty());
    EXPECT_TRUE(platform::CloseFile(large.fd));
  }
  EXPECT_EQ(OpenDescriptors(), before);
}

// A claim that finds its file not opened yet (the store got there first)
// opens nothing twice and leaves the files after it to be claimed.
TEST_F(SourcePrefetchTest, AClaimAheadOfTheThreadLeavesTheRestClaimable) {
  if (platform::AvailableProcessors() < 2) GTEST_SKIP() << "nothing is opened ahead";
  const size_t before = OpenDescriptors();
  {
    ThreadPlan threads;
    SourcePrefetch prefetch(threads);
    prefetch.Ahead(paths_);
    SourceFile a = prefetch.Claim(paths_[0]);  // may or may not be open by now
    if (a.fd >= 0) {
      EXPECT_TRUE(platform::CloseFile(a.fd));
    }
    ASSERT_TRUE(AwaitOpen(before, paths_.size() - 1));
    SourceFile d = prefetch.Claim(paths_[3]);
    ASSERT_GE(d.fd, 0);
    EXPECT_EQ(d.head, std::vector<uint8_t>(100, 'd'));
    EXPECT_TRUE(platform::CloseFile(d.fd));
  }
  EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
}  // namespace vaultline
