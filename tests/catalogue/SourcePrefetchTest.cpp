#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "catalogue/SourcePrefetch.h"
#include "platform/File.h"
#include "platform/Processors.h"

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

// Files are claimed in the order handed over; those passed are closed, and
// nothing stays open once the prefetch ends.
TEST(SourcePrefetchTest, FilesPassedOrNotClaimedAreClosed) {
  if (platform::AvailableProcessors() < 2) GTEST_SKIP() << "nothing is opened ahead";
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("prefetch-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::vector<std::wstring> paths;
  for (const char* name : {"a", "b", "c", "d"}) {
    std::ofstream(folder / name) << std::string(100, 'x');
    paths.push_back((folder / name).wstring());
  }
  const size_t before = OpenDescriptors();
  {
    SourcePrefetch prefetch;
    prefetch.Ahead(paths);
    int fd = -1;
    int64_t size = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((fd = prefetch.Claim(paths[2], &size)) < 0 &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_GE(fd, 0);
    EXPECT_EQ(size, 100);
    uint8_t bytes[200];
    EXPECT_EQ(platform::ReadFile(fd, bytes, sizeof bytes), 100);
    EXPECT_TRUE(platform::CloseFile(fd));
    EXPECT_EQ(prefetch.Claim(paths[0], &size), -1);  // passed
    EXPECT_EQ(prefetch.Claim((folder / "never handed over").wstring(), &size), -1);
  }
  EXPECT_EQ(OpenDescriptors(), before);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace vaultline
