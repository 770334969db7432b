#include <gtest/gtest.h>

#include "TestDrive.h"
#include "core/SelectionLock.h"
#include "platform/File.h"
#include "platform/Format.h"
#include "vaultline/SnapshotDetails.h"

namespace vaultline::testing {
namespace {

class BackupRestoreTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    source_ = drive_ / "Documents";
    WriteBytes(source_ / "a.txt", "alpha");
    WriteBytes(source_ / "docs" / "b.txt", std::string(20000, 'b') + "tail");
    WriteBytes(source_ / "docs" / "deeper" / "c.bin", std::string("\0\1\2", 3));
    fs::create_directories(source_ / "empty");
    engine_ = StartEngine();
    engine_->SetStatusCallback(&status_);
  }

  std::wstring LocationOf(unsigned index) {
    return Items(*engine_, engine_->GetProfileLocation(index)).at(0);
  }

  int SnapshotCount(unsigned index) {
    return static_cast<int>(Items(*engine_, engine_->GetSnapshots(index)).size());
  }

  fs::path source_;
  RecordingStatus status_;
  std::unique_ptr<Engine> engine_;
};

TEST_F(BackupRestoreTest, RestoresAByteIdenticalTree) {
  int index = Create(*engine_, L"docs", source_);
  EXPECT_EQ(engine_->GetSnapshots(index), nullptr);
  ASSERT_TRUE(engine_->BackUp(index));
  EXPECT_EQ(engine_->GetSnapshots(index), nullptr);  // listed only after a refresh
  ASSERT_TRUE(engine_->RefreshSnapshots(index));
  WriteBytes(source_ / "a.txt", "changed");
  ASSERT_TRUE(engine_->BackUp(index));
  ASSERT_TRUE(engine_->RefreshSnapshots(index));
  EXPECT_EQ(SnapshotCount(index), 2);
  for (const std::wstring& descriptor : Items(*engine_, engine_->GetSnapshots(index))) {
    EXPECT_FALSE(descriptor.empty());
    EXPECT_NE(descriptor.back(), L'\n');
  }

  auto expected = TreeOf(source_);
  fs::path out = drive_ / "out";
  fs::create_directories(out);
  ASSERT_TRUE(engine_->Restore(index, 1, L"", out.wstring().c_str()));
  EXPECT_EQ(TreeOf(out / "Documents"), expected);

  // The first snapshot still holds the old text; one item restores alone.
  fs::path single = drive_ / "single";
  fs::create_directories(single);
  ASSERT_TRUE(engine_->Restore(index, 0, L"a.txt", single.wstring().c_str()));
  EXPECT_EQ(ReadBytes(single / "a.txt"), "alpha");
  EXPECT_TRUE(status_.MessagesAt(kMessageError).empty());
}

TEST_F(BackupRestoreTest, ContentsArePrefixedWithTheSourceNameAndCached) {
  int folder = Create(*engine_, L"folder", source_);
  WriteBytes(drive_ / "report.doc", "report");
  int file = Create(*engine_, L"file", drive_ / "report.doc");
  ASSERT_TRUE(engine_->BackUp(folder));
  ASSERT_TRUE(engine_->BackUp(file));
  ASSERT_TRUE(engine_->RefreshSnapshots(folder));

  EXPECT_EQ(Items(*engine_, engine_->GetSnapshotContents(file, 0)),
            std::vector<std::wstring>{L"report.doc"});
  auto contents = Items(*engine_, engine_->GetSnapshotContents(folder, 0));
  const std::wstring prefix = std::wstring(L"Documents") + platform::kSeparator;
  fs::path documents = "Documents";
  for (const std::wstring& item :
       {(documents / "a.txt").wstring(), (documents / "docs").wstring() + platform::kSeparator,
        (documents / "docs" / "b.txt").wstring(),
        (documents / "docs" / "deeper" / "c.bin").wstring(),
        (documents / "empty").wstring() + platform::kSeparator}) {
    EXPECT_NE(std::find(contents.begin(), contents.end(), item), contents.end()) << item;
  }
  for (const std::wstring& item : contents) EXPECT_EQ(item.rfind(prefix, 0), 0u) << item;

  // While another process holds the selection its catalogue cannot be opened,
  // so an answer now comes from the cache.
  bool inUse = false;
  int held = platform::LockFileExclusive(SelectionLock::PathFor(LocationOf(folder)), &inUse);
  ASSERT_GE(held, 0);
  EXPECT_EQ(Items(*engine_, engine_->GetSnapshotContents(folder, 0)), contents);
  platform::UnlockFile(held);

  // A refresh drops the cache: the next question reads the catalogue again.
  ASSERT_TRUE(engine_->RefreshSnapshots(folder));
  held = platform::LockFileExclusive(SelectionLock::PathFor(LocationOf(folder)), &inUse);
  EXPECT_EQ(engine_->GetSnapshotContents(folder, 0), nullptr);
  platform::UnlockFile(held);
}

TEST_F(BackupRestoreTest, OversizeFilesAreWarnedOfAndCounted) {
  int index = Create(*engine_, L"docs", source_);
  engine_->SetMaxFileSize(10);
  ASSERT_TRUE(engine_->BackUp(index));
  std::vector<std::wstring> warnings = status_.MessagesAt(kMessageWarning);
  std::wstring big = (source_ / "docs" / "b.txt").wstring();
  EXPECT_EQ(warnings,
            std::vector<std::wstring>{L"The file " + big +
                                      L" was skipped. File size exceeds predefined limit."});
  ASSERT_EQ(status_.summaries.size(), 1u);
  EXPECT_EQ(status_.summaries[0].skipped, 1u);
  EXPECT_EQ(status_.summaries[0].files, 2u);
  EXPECT_EQ(status_.summaries[0].bytes, 8);

  WriteBytes(source_ / "big2", std::string(11, 'z'));
  status_.messages.clear();
  status_.summaries.clear();
  ASSERT_TRUE(engine_->BackUp(index));
  EXPECT_EQ(status_.MessagesAt(kMessageWarning).size(), 2u);
  ASSERT_EQ(status_.summaries.size(), 1u);
  EXPECT_EQ(status_.summaries[0].skipped, 2u);

  engine_->SetMaxFileSize(0);
  status_.summaries.clear();
  ASSERT_TRUE(engine_->BackUp(index));
  EXPECT_EQ(status_.summaries.at(0).skipped, 0u);
  EXPECT_EQ(status_.summaries.at(0).files, 4u);
}

// Formats text 229 in its own words, as the desktop program's string table does.
class FormattingProvider : public IResourceProvider {
 public:
  void TimeToFileTime(int32_t, int64_t*) override {}
  bool TimeToSystemTime(int32_t, SystemTime*) override { return false; }
  int LoadText(unsigned, wchar_t*, int) override { return 0; }
  uint16_t GetLanguage() override { return 1033; }
  int FormatText(unsigned flags, unsigned id, void* buffer, int,
                 const wchar_t* const* arguments) override {
    EXPECT_EQ(flags, kFormatAllocateBuffer | kFormatArgumentArray);
    std::wstring format = L"Text " + std::to_wstring(id) + L": %1!s!";
    *static_cast<wchar_t**>(buffer) = platform::FormatMessageAlloc(format.c_str(), arguments, 1);
    return 1;
  }
};

TEST_F(BackupRestoreTest, SkippedFileWarningsComeFromTheProvider) {
  FormattingProvider provider;
  engine_ = StartEngine(&provider);
  engine_->SetStatusCallback(&status_);
  int index = Create(*engine_, L"docs", source_);
  engine_->SetMaxFileSize(10);
  ASSERT_TRUE(engine_->BackUp(index));
  EXPECT_EQ(status_.MessagesAt(kMessageWarning),
            std::vector<std::wstring>{L"Text 229: " + (source_ / "docs" / "b.txt").wstring()});
}

TEST_F(BackupRestoreTest, ASnapshotThatDoesNotFitIsRefused) {
  const int64_t newBytes = 5 + 20004 + 3;
  int index = Create(*engine_, L"docs", source_);
  engine_->SetMaxBackupSize(100);
  EXPECT_FALSE(engine_->BackUp(index));
  // The sink is told what the refused snapshot needs.
  EXPECT_EQ(status_.totals, std::vector<int64_t>{newBytes});
  EXPECT_EQ(status_.MessagesAt(kMessageError),
            std::vector<std::wstring>{L"There is not enough space available for this backup"});
  EXPECT_TRUE(status_.summaries.empty());
  EXPECT_FALSE(engine_->RefreshSnapshots(index));

  // A sink that stops at that size has given its own reason.
  status_.messages.clear();
  status_.stopAtTotal = true;
  EXPECT_FALSE(engine_->BackUp(index));
  EXPECT_TRUE(status_.messages.empty());
  EXPECT_FALSE(engine_->RefreshSnapshots(index));
}

TEST_F(BackupRestoreTest, AQuotaOfZeroIsNoQuota) {
  int index = Create(*engine_, L"docs", source_);
  engine_->SetMaxBackupSize(0);
  ASSERT_TRUE(engine_->BackUp(index));
  EXPECT_TRUE(status_.MessagesAt(kMessageError).empty());
  ASSERT_TRUE(engine_->RefreshSnapshots(index));
  EXPECT_EQ(SnapshotCount(index), 1);
}

TEST_F(BackupRestoreTest, CancelledOperationsFail) {
  int index = Create(*engine_, L"docs", source_);
  status_.cancel = true;
  EXPECT_FALSE(engine_->BackUp(index));
  EXPECT_TRUE(status_.summaries.empty());
  status_.cancel = false;
  ASSERT_TRUE(engine_->BackUp(index));
  ASSERT_TRUE(engine_->RefreshSnapshots(index));
  EXPECT_EQ(SnapshotCount(index), 1);

  status_.cancel = true;
  EXPECT_FALSE(engine_->Restore(index, 0, L"", drive_.wstring().c_str()));
}

TEST_F(BackupRestoreTest, ASelectionInUseElsewhereIsLeftAlone) {
  int index = Create(*engine_, L"docs", source_);
  ASSERT_TRUE(engine_->BackUp(index));
  std::wstring location = LocationOf(index);
  auto sizeOf = [&](const wchar_t* extension) { return fs::file_size(location + extension); };
  auto before =
      std::vector<uintmax_t>{sizeOf(L""), sizeOf(L".fp"), sizeOf(L".snp"), sizeOf(L".dir")};

  // Another open file description stands for the other process.
  bool inUse = false;
  int held = platform::LockFileExclusive(SelectionLock::PathFor(location), &inUse);
  ASSERT_GE(held, 0);
  WriteBytes(source_ / "new.txt", "new");
  fs::path out = drive_ / "out";
  fs::create_directories(out);
  EXPECT_FALSE(engine_->BackUp(index));
  EXPECT_FALSE(engine_->Restore(index, 0, L"", out.wstring().c_str()));
  EXPECT_FALSE(engine_->DeleteProfile(index));
  auto errors = status_.MessagesAt(kMessageError);
  ASSERT_EQ(errors.size(), 3u);
  for (const std::wstring& error : errors) {
    EXPECT_NE(error.find(L"is in use by another process"), std::wstring::npos) << error;
  }
  EXPECT_EQ(before, (std::vector<uintmax_t>{sizeOf(L""), sizeOf(L".fp"), sizeOf(L".snp"),
                                            sizeOf(L".dir")}));
  EXPECT_TRUE(fs::is_empty(out));
  EXPECT_EQ(Items(*engine_, engine_->GetProfileNames()), std::vector<std::wstring>{L"docs"});
  platform::UnlockFile(held);

  // Once the other holder is gone the engine works again, and frees the lock
  // when it is done.
  EXPECT_TRUE(engine_->BackUp(index));
  held = platform::LockFileExclusive(SelectionLock::PathFor(location), &inUse);
  EXPECT_GE(held, 0);
  platform::UnlockFile(held);
}

TEST_F(BackupRestoreTest, EverythingSurvivesARestart) {
  int first = Create(*engine_, L"first", source_);
  int second = Create(*engine_, L"second", source_);
  Create(*engine_, L"third", source_);
  ASSERT_TRUE(engine_->DeleteProfile(first));
  ASSERT_TRUE(engine_->BackUp(second));
  ASSERT_TRUE(engine_->RenameProfile(second, L"second renamed"));
  ASSERT_TRUE(engine_->RefreshSnapshots(second));
  auto snapshots = Items(*engine_, engine_->GetSnapshots(second));
  auto location = LocationOf(second);
  engine_.reset();

  auto restarted = StartEngine();
  EXPECT_EQ(Items(*restarted, restarted->GetProfileNames()),
            (std::vector<std::wstring>{L"second renamed", L"third"}));
  EXPECT_EQ(Items(*restarted, restarted->GetProfileLocation(0)),
            std::vector<std::wstring>{location});
  EXPECT_EQ(Items(*restarted, restarted->GetSnapshots(0)), snapshots);
  fs::path out = drive_ / "out";
  fs::create_directories(out);
  ASSERT_TRUE(restarted->Restore(0, 0, L"", out.wstring().c_str()));
  EXPECT_EQ(TreeOf(out / "Documents"), TreeOf(source_));
}

TEST_F(BackupRestoreTest, AVerifyStoppedBeforeReadingTheDataReportsNoDamage) {
  int index = Create(*engine_, L"docs", source_);
  ASSERT_TRUE(engine_->BackUp(index));
  status_.stopAtTotal = true;
  EXPECT_EQ(engine_->Verify(index, true), nullptr);
  for (const std::wstring& error : status_.MessagesAt(kMessageError)) {
    EXPECT_EQ(error.find(L"damaged"), std::wstring::npos)
        << std::string(error.begin(), error.end());
  }
  status_.stopAtTotal = false;
  status_.messages.clear();
  StringList found = engine_->Verify(index, true);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(engine_->GetListCount(found), 0);
  engine_->ReleaseList(found);
  EXPECT_TRUE(status_.MessagesAt(kMessageError).empty());
  EXPECT_FALSE(engine_->IsSnapshotDamaged(index, 0));
}

TEST_F(BackupRestoreTest, EachListedItemHasItsSizeAndTime) {
  int index = Create(*engine_, L"docs", source_);
  fs::last_write_time(source_ / "a.txt",
                      fs::file_time_type::clock::now() - std::chrono::hours(24 * 400));
  ASSERT_TRUE(engine_->BackUp(index));
  ASSERT_TRUE(engine_->RefreshSnapshots(index));
  const auto paths = Items(*engine_, engine_->GetSnapshotContents(index, 0));
  const auto details = Items(*engine_, GetSnapshotItemDetails(engine_.get(), index, 0));
  ASSERT_EQ(details.size(), paths.size());
  const std::wstring file =
      std::wstring(L"Documents") + platform::kSeparator + L"docs" + platform::kSeparator + L"b.txt";
  const std::wstring old = std::wstring(L"Documents") + platform::kSeparator + L"a.txt";
  const int64_t yearAgo =
      std::chrono::duration_cast<std::chrono::seconds>(
          (std::chrono::system_clock::now() - std::chrono::hours(24 * 365)).time_since_epoch())
          .count();
  int seen = 0;
  for (size_t i = 0; i < paths.size(); ++i) {
    const size_t tab = details[i].find(L'\t');
    ASSERT_NE(tab, std::wstring::npos);
    const int64_t size = std::stoll(details[i].substr(0, tab));
    const int64_t modified = std::stoll(details[i].substr(tab + 1));
    if (paths[i] == file) {
      EXPECT_EQ(size, 20004);
      EXPECT_GT(modified, yearAgo);
      ++seen;
    }
    if (paths[i] == old) {
      EXPECT_LT(modified, yearAgo);
      ++seen;
    }
    if (paths[i].back() == platform::kSeparator) {
      EXPECT_EQ(size, 0);
    }
  }
  EXPECT_EQ(seen, 2);
  // The cached listing answers again, and an index beyond the list has none.
  EXPECT_EQ(Items(*engine_, GetSnapshotItemDetails(engine_.get(), index, 0)), details);
  EXPECT_EQ(GetSnapshotItemDetails(engine_.get(), index, 5), nullptr);
}

}  // namespace
}  // namespace vaultline::testing
