#include <gtest/gtest.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "TestSupport.h"
#include "blockstore/SyncBehind.h"
#include "platform/File.h"
#include "platform/FileOperationHook.h"

namespace vaultline {
namespace {

// Sees the syncs of one descriptor; can hold them until released and fail
// them.
class SyncWatch : public platform::FileOperationHook {
 public:
  explicit SyncWatch(int fd) : fd_(fd) {}
  int Before(const platform::FileOperation& operation) override {
    if (operation.kind != platform::FileOperationKind::kSync || operation.fd != fd_) return 0;
    std::unique_lock<std::mutex> lock(mutex_);
    ++syncs_;
    if (std::this_thread::get_id() == caller_) ++syncsOnCaller_;
    started_.notify_all();
    released_.wait(lock, [&] { return !holding_; });
    return syncs_ == 1 ? failFirst_ : 0;
  }
  void After(const platform::FileOperation&) override {}

  void Hold() { holding_ = true; }
  void Release() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      holding_ = false;
    }
    released_.notify_all();
  }
  void FailFirst(int error) { failFirst_ = error; }
  void WaitForSyncs(int count) {
    std::unique_lock<std::mutex> lock(mutex_);
    started_.wait(lock, [&] { return syncs_ >= count; });
  }
  int Syncs() {
    std::lock_guard<std::mutex> lock(mutex_);
    return syncs_;
  }
  int SyncsOnCaller() {
    std::lock_guard<std::mutex> lock(mutex_);
    return syncsOnCaller_;
  }

 private:
  int fd_;
  std::thread::id caller_ = std::this_thread::get_id();
  std::mutex mutex_;
  std::condition_variable started_;
  std::condition_variable released_;
  bool holding_ = false;
  int failFirst_ = 0;
  int syncs_ = 0;
  int syncsOnCaller_ = 0;
};

class SyncBehindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fd_ = platform::OpenFile((folder_ / "data").wstring(), platform::OpenMode::kReadWriteStore,
                             nullptr);
    ASSERT_GE(fd_, 0);
    watch_ = std::make_unique<SyncWatch>(fd_);
    platform::SetFileOperationHook(watch_.get());
  }
  void TearDown() override {
    platform::SetFileOperationHook(nullptr);
    platform::CloseFile(fd_);
  }

  static constexpr int64_t kStep = 1000;
  test::TempFolder folder_;
  int fd_ = -1;
  std::unique_ptr<SyncWatch> watch_;
};

TEST_F(SyncBehindTest, SyncsOnItsOwnThreadAStepAfterTheLastAndOneAtATime) {
  ThreadPlan threads(true);
  SyncBehind behind(fd_, threads, kStep);
  behind.Grown(5000);  // where the writing starts: nothing is due yet
  behind.Grown(5000 + kStep - 1);
  EXPECT_FALSE(behind.Finish());
  EXPECT_EQ(watch_->Syncs(), 0);

  watch_->Hold();
  behind.Grown(5000 + kStep);
  watch_->WaitForSyncs(1);
  // While that sync runs, more steps written start none.
  behind.Grown(5000 + 3 * kStep);
  behind.Grown(5000 + 4 * kStep);
  watch_->Release();
  EXPECT_FALSE(behind.Finish());
  EXPECT_EQ(watch_->Syncs(), 1);
  EXPECT_EQ(watch_->SyncsOnCaller(), 0);

  // The next step counts from where the last sync began.
  behind.Grown(5000 + 2 * kStep - 1);
  EXPECT_FALSE(behind.Finish());
  EXPECT_EQ(watch_->Syncs(), 1);
  behind.Grown(5000 + 2 * kStep);
  EXPECT_FALSE(behind.Finish());
  EXPECT_EQ(watch_->Syncs(), 2);
}

TEST_F(SyncBehindTest, AFailedSyncIsReportedOnceByFinishWithItsError) {
  ThreadPlan threads(true);
  SyncBehind behind(fd_, threads, kStep);
  watch_->FailFirst(EIO);
  behind.Grown(0);
  // A later sync that succeeds does not hide the failure. The second starts
  // only once the first is done.
  for (int64_t end = kStep; watch_->Syncs() < 2; end += kStep) {
    behind.Grown(end);
    std::this_thread::yield();
  }
  EXPECT_EQ(behind.Finish(), std::error_code(EIO, std::generic_category()));
  EXPECT_FALSE(behind.Finish());
}

TEST_F(SyncBehindTest, WithOneProcessorNothingIsSyncedBehind) {
  ThreadPlan threads(false);
  SyncBehind behind(fd_, threads, kStep);
  behind.Grown(0);
  behind.Grown(10 * kStep);
  EXPECT_FALSE(behind.Finish());
  EXPECT_EQ(watch_->Syncs(), 0);
}

}  // namespace
}  // namespace vaultline
