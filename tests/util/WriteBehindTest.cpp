#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "FileSizeLimit.h"
#include "TempFolder.h"
#include "platform/DiagnosticLog.h"
#include "platform/File.h"
#include "util/PlainRecordStream.h"
#include "util/WorkerThread.h"
#include "util/WriteBehind.h"

namespace vaultline {
namespace {

constexpr wchar_t kFailure[] = L"\nwrite failed";

std::string Bytes(char letter, size_t count) {
  return std::string(count, letter);
}

// A store file that holds `start` already, with the log kept in `log`.
class WriteBehindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = folder_.path() / "file";
    std::ofstream(path_) << start_;
    fd_ = platform::OpenFile(folder_.Wide("file"), platform::OpenMode::kReadWriteStore);
    ASSERT_GE(fd_, 0);
    platform::SetDiagnosticSink([this](std::wstring_view text) { log_.emplace_back(text); });
  }
  void TearDown() override {
    testing::UnlimitFileSize();
    platform::SetDiagnosticSink(nullptr);
    platform::CloseFile(fd_);
  }
  std::string Contents() const {
    std::ifstream in(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // The file as a record stream, its length as it is now.
  RecordStream& Stream() { return *streams_.emplace_back(PlainRecordStream::Borrow(fd_)); }
  void Append(WriteBehind& writes, const std::string& bytes) {
    writes.Append(bytes.data(), bytes.size());
  }

  platform::testing::TempFolder folder_;
  std::filesystem::path path_;
  std::string start_ = "head";
  int fd_ = -1;
  std::vector<std::unique_ptr<RecordStream>> streams_;
  std::vector<std::wstring> log_;
};

TEST_F(WriteBehindTest, AppendsGoBehindTheEndAndPartsOfThemCanBeWritten) {
  WriteBehind writes(Stream(), 4, kFailure, 0);
  Append(writes, "abc");
  Append(writes, "defg");
  EXPECT_EQ(writes.End(), 11);
  EXPECT_EQ(Contents(), "head");  // gathered only

  ASSERT_TRUE(writes.Flush(5));
  EXPECT_EQ(Contents(), "headabcde");
  EXPECT_EQ(writes.WrittenEnd(), 9);
  EXPECT_EQ(writes.GatheredBytes(), 2);
  ASSERT_TRUE(writes.Flush());
  EXPECT_EQ(Contents(), "headabcdefg");
  EXPECT_EQ(writes.PendingBytes(), 0);
  EXPECT_TRUE(writes.Flush());  // nothing left: nothing to do
  EXPECT_TRUE(log_.empty());
}

TEST_F(WriteBehindTest, PendingBytesAreReadFromMemoryWhileAWorkerWritesThem) {
  for (bool threaded : {false, true}) {
    SCOPED_TRACE(threaded);
    ASSERT_TRUE(platform::TruncateFile(fd_, 4));
    WorkerThread worker(threaded);
    WriteBehind writes(Stream(), 4, kFailure, 0);
    Append(writes, "first");
    ASSERT_TRUE(writes.FlushBehind(worker));
    Append(writes, "second");
    EXPECT_EQ(writes.End(), 4 + 5 + 6);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(writes.HeldFrom(6).data()), 3), "rst");
    EXPECT_EQ(writes.HeldFrom(6).size(), 3u);  // to the end of its batch only
    EXPECT_EQ(writes.HeldFrom(9).size(), 6u);
    EXPECT_TRUE(writes.HeldFrom(3).empty());   // written before
    EXPECT_TRUE(writes.HeldFrom(15).empty());  // not appended yet
    // The next batch waits for the one in flight.
    ASSERT_TRUE(writes.FlushBehind(worker));
    ASSERT_TRUE(writes.Finish());
    EXPECT_EQ(writes.WrittenEnd(), 15);
    EXPECT_EQ(Contents(), "headfirstsecond");
  }
}

// A batch that reaches the drive only in part, and the batch gathered behind
// it meanwhile: both are gone, the file ends where the last whole batch
// ended, and the next append goes there.
TEST_F(WriteBehindTest, AFailedBatchIsCutOffWithAllGatheredBehindIt) {
  for (bool behind : {false, true}) {
    SCOPED_TRACE(behind);
    ASSERT_TRUE(platform::TruncateFile(fd_, 4));
    log_.clear();
    WorkerThread worker(true);
    WriteBehind writes(Stream(), 4, kFailure, 0);
    Append(writes, Bytes('a', 100));
    ASSERT_TRUE(writes.Flush());
    ASSERT_TRUE(testing::LimitFileSize(4 + 100 + 4096 + 10));
    Append(writes, Bytes('b', 8192));
    if (behind) {
      ASSERT_TRUE(writes.FlushBehind(worker));
      Append(writes, Bytes('c', 50));
      errno = 0;
      EXPECT_FALSE(writes.Finish());
    } else {
      errno = 0;
      EXPECT_FALSE(writes.Flush());
    }
    EXPECT_EQ(errno, EFBIG);
    EXPECT_EQ(writes.LastError(), EFBIG);
    EXPECT_EQ(log_, std::vector<std::wstring>{kFailure});
    EXPECT_EQ(platform::FileSizeOf(fd_), 104);
    EXPECT_EQ(writes.End(), 104);

    ASSERT_TRUE(testing::UnlimitFileSize());
    Append(writes, "after");
    ASSERT_TRUE(writes.Flush());
    EXPECT_EQ(Contents(), "head" + Bytes('a', 100) + "after");
  }
}

TEST_F(WriteBehindTest, AFailureBeforeTheNextBatchHandsNothingOver) {
  WorkerThread worker(true);
  WriteBehind writes(Stream(), 4, kFailure, 0);
  ASSERT_TRUE(testing::LimitFileSize(8));
  Append(writes, Bytes('x', 4096));
  ASSERT_TRUE(writes.FlushBehind(worker));
  Append(writes, "next");
  EXPECT_FALSE(writes.FlushBehind(worker));
  EXPECT_EQ(writes.PendingBytes(), 0);
  EXPECT_TRUE(writes.Finish());  // nothing in flight
  EXPECT_EQ(Contents(), "head");
}

TEST_F(WriteBehindTest, CutBackAndAssumedEndMoveWhereAppendsGo) {
  WriteBehind writes(Stream(), 4, kFailure, 0);
  Append(writes, "abcdef");
  ASSERT_TRUE(writes.Flush());
  writes.CutBack(6);
  EXPECT_EQ(Contents(), "headab");
  // A reader that found the rest untrustworthy: the bytes stay until
  // overwritten.
  writes.AssumeEnd(5);
  Append(writes, "Z");
  writes.DropGathered();
  Append(writes, "Y");
  ASSERT_TRUE(writes.Flush());
  EXPECT_EQ(Contents(), "headaY");
}

}  // namespace
}  // namespace vaultline
