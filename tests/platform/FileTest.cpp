#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "TempFolder.h"
#include "platform/File.h"
#include "platform/WholeTransfer.h"

namespace vaultline::platform {
namespace {

namespace fs = std::filesystem;

TEST(File, ShortWriteIsAFailure) {
  const int fd = ::vaultline::platform::OpenFile(L"/dev/full", OpenMode::kReadWriteStore);
  ASSERT_GE(fd, 0);
  const std::string block(4096, 'x');
  EXPECT_FALSE(WriteFile(fd, block.data(), block.size()));
  EXPECT_EQ(LastError(), ENOSPC);
  CloseFile(fd);
}

// A system that moves a little at a time and is interrupted now and then:
// every byte moves once, in order.
TEST(File, WholeTransferGoesOnAfterShortAndInterruptedCalls) {
  for (TransferKind kind : {TransferKind::kRead, TransferKind::kWrite}) {
    const std::string source = "abcdefghijklmnopqrstuvwxyz";
    std::string moved;
    int calls = 0;
    const int64_t done = TransferWhole(kind, source.size(), [&](size_t at) -> int64_t {
      if (++calls % 3 == 0) {
        errno = EINTR;
        return -1;
      }
      const size_t piece = std::min<size_t>(calls, source.size() - at);
      moved += source.substr(at, piece);
      return static_cast<int64_t>(piece);
    });
    EXPECT_EQ(done, static_cast<int64_t>(source.size()));
    EXPECT_EQ(moved, source);
  }
}

TEST(File, WholeTransferEndsAtNothingMovedOrAnError) {
  auto movesTenThenNothing = [](size_t at) -> int64_t { return at < 10 ? 10 : 0; };
  EXPECT_EQ(TransferWhole(TransferKind::kRead, 64, movesTenThenNothing), 10);  // end of file
  errno = 0;
  EXPECT_EQ(TransferWhole(TransferKind::kWrite, 64, movesTenThenNothing), -1);
  EXPECT_EQ(errno, ENOSPC);  // a write that moves nothing: the drive is full

  int calls = 0;
  auto fails = [&](size_t) -> int64_t {
    ++calls;
    errno = EIO;
    return -1;
  };
  EXPECT_EQ(TransferWhole(TransferKind::kRead, 64, fails), -1);
  EXPECT_EQ(errno, EIO);
  EXPECT_EQ(calls, 1);  // only an interruption is tried again
}

TEST(File, CreateTruncateNeverWritesElsewhereThanNamed) {
  testing::TempFolder folder;
  std::ofstream(folder.path() / "precious") << "keep";
  fs::create_symlink(folder.path() / "precious", folder.path() / "link");
  int error = 0;
  EXPECT_LT(OpenFile(folder.Wide("link"), OpenMode::kCreateTruncate, &error), 0);
  EXPECT_EQ(error, ELOOP);
  EXPECT_EQ(fs::file_size(folder.path() / "precious"), 4u);

  // A zero inside a name (a damaged record) must not cut it short.
  const std::wstring cut = folder.Wide("precious") + std::wstring(1, L'\0') + L"x";
  EXPECT_LT(OpenFile(cut, OpenMode::kCreateTruncate), 0);
  EXPECT_EQ(fs::file_size(folder.path() / "precious"), 4u);
}

TEST(File, ModesOfCreatedFiles) {
  testing::TempFolder folder;
  const int store = OpenFile(folder.Wide("data"), OpenMode::kReadWriteStore);
  ASSERT_GE(store, 0);
  CloseFile(store);
  EXPECT_EQ(fs::status(folder.path() / "data").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);

  int error = 0;
  EXPECT_LT(OpenFile(folder.Wide("missing"), OpenMode::kRead, &error), 0);
  EXPECT_EQ(error, ENOENT);
  EXPECT_LT(OpenFile(folder.Wide(), OpenMode::kRead, &error), 0);
  EXPECT_EQ(error, EISDIR);
}

TEST(File, SixtyFourBitOffsetsAndReadsToTheEnd) {
  testing::TempFolder folder;
  const int fd = OpenFile(folder.Wide("big"), OpenMode::kCreateTruncate);
  ASSERT_GE(fd, 0);
  const int64_t beyond4GiB = (int64_t{1} << 32) + 12345;
  ASSERT_TRUE(TruncateFile(fd, beyond4GiB));  // sparse: costs no space
  EXPECT_EQ(FileSizeOf(fd), beyond4GiB);
  EXPECT_EQ(SeekFile(fd, -5, SeekFrom::kEnd), beyond4GiB - 5);
  ASSERT_TRUE(WriteFile(fd, "abcdefgh", 8));
  EXPECT_EQ(TellFile(fd), beyond4GiB + 3);
  EXPECT_EQ(SeekFile(fd, -8, SeekFrom::kCurrent), beyond4GiB - 5);
  char buffer[32] = {};
  EXPECT_EQ(ReadFile(fd, buffer, sizeof buffer), 8);
  EXPECT_STREQ(buffer, "abcdefgh");
  EXPECT_EQ(ReadFile(fd, buffer, sizeof buffer), 0);
  EXPECT_TRUE(SyncFile(fd));
  EXPECT_TRUE(CloseFile(fd));
  EXPECT_EQ(ReadFile(fd, buffer, sizeof buffer), -1);
}

TEST(File, ExclusiveLockIsHeldOnce) {
  testing::TempFolder folder;
  bool inUse = true;
  const int first = LockFileExclusive(folder.Wide("lock"), &inUse);
  ASSERT_GE(first, 0);
  EXPECT_FALSE(inUse);
  EXPECT_LT(LockFileExclusive(folder.Wide("lock"), &inUse), 0);
  EXPECT_TRUE(inUse);
  UnlockFile(first);
  const int again = LockFileExclusive(folder.Wide("lock"), &inUse);
  EXPECT_GE(again, 0);
  EXPECT_FALSE(inUse);
  UnlockFile(again);
  EXPECT_LT(LockFileExclusive(folder.Wide("missing/lock"), &inUse), 0);
  EXPECT_FALSE(inUse);
}

}  // namespace
}  // namespace vaultline::platform
