// Which records and contents a snapshot writes: everything the first time,
// one record per source when nothing changed, and exactly the folders on the
// path to a change.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>

#include "CatalogueFixture.h"
#include "platform/FileOperationHook.h"
#include "platform/Text.h"

namespace vaultline::test {
namespace {

class SnapshotTree : public CatalogueFixture {
 protected:
  // src/{a/{b/{deep.txt}, x.txt}, c/{g.txt}, top.txt}, all with fixed times.
  void BuildTree() {
    Write(Src() / "a" / "b" / "deep.txt", "deep contents");
    Write(Src() / "a" / "x.txt", "x");
    Write(Src() / "c" / "g.txt", std::string(5000, 'g'));
    Write(Src() / "top.txt", "top");
    for (const auto& entry : fs::recursive_directory_iterator(Src())) SetTime(entry.path(), 1000);
    SetTime(Src(), 1000);
  }
  // c/new.txt, with it and c at `time`.
  void AddNewFileToC(int64_t time) {
    Write(Src() / "c" / "new.txt", "new");
    SetTime(Src() / "c" / "new.txt", time);
    SetTime(Src() / "c", time);
  }
  std::vector<std::wstring> Listing(int index) {
    SnapshotManager& manager = Open();
    manager.ListSnapshots();
    std::vector<std::wstring> listing = manager.ListFiles(index, W(Src()));
    std::sort(listing.begin(), listing.end());
    return listing;
  }
  int64_t ContentBytes() const { return static_cast<int64_t>(fs::file_size(CatalogueFile(".fp"))); }
};

TEST_F(SnapshotTree, UnchangedSnapshotWritesOneRecordAndStoresNothing) {
  BuildTree();
  ASSERT_TRUE(Backup());
  EXPECT_EQ(DirRecords(), 8);
  EXPECT_EQ(status_.files, 4);
  ASSERT_EQ(status_.totals.size(), 1u);
  EXPECT_EQ(status_.totals[0], 13 + 1 + 5000 + 3);
  uint32_t files = 0;
  int64_t bytes = 0;
  manager_->GetTotals(&files, &bytes);
  EXPECT_EQ(files, 4u);
  EXPECT_EQ(bytes, 5017);

  const int64_t content = ContentBytes();
  ASSERT_TRUE(Backup());
  EXPECT_EQ(DirRecords(), 9);
  EXPECT_EQ(status_.files, 0);
  EXPECT_EQ(status_.totals, std::vector<int64_t>{0});
  EXPECT_EQ(ContentBytes(), content);
  manager_->GetTotals(&files, &bytes);
  EXPECT_EQ(files, 4u);  // unchanged files still count in the totals

  const std::vector<std::wstring> expected = {L"a/b/deep.txt", L"a/x.txt", L"c/g.txt", L"top.txt"};
  EXPECT_EQ(Listing(0), expected);
  EXPECT_EQ(Listing(1), expected);
  EXPECT_TRUE(status_.problems.empty());
}

TEST_F(SnapshotTree, ChangeDeepInTheTreeExpandsExactlyTheFoldersOnItsPath) {
  BuildTree();
  ASSERT_TRUE(Backup());
  Write(Src() / "a" / "b" / "deep.txt", "changed, and longer");
  SetTime(Src() / "a" / "b" / "deep.txt", 2000);
  ASSERT_TRUE(Backup());
  // src, a, b, deep.txt, x.txt, c (one record, not walked), top.txt
  EXPECT_EQ(DirRecords(), 8 + 7);
  EXPECT_EQ(status_.files, 1);
  EXPECT_EQ(status_.paths, std::vector<std::wstring>{W(Src() / "a" / "b" / "deep.txt")});
  EXPECT_EQ(Listing(1).size(), 4u);
}

TEST_F(SnapshotTree, AddedFileChangesItsFolderEvenAtTheSameTime) {
  BuildTree();
  ASSERT_TRUE(Backup());
  AddNewFileToC(1000);
  ASSERT_TRUE(Backup());
  // src, a (one record), c, g.txt, new.txt, top.txt
  EXPECT_EQ(DirRecords(), 8 + 6);
  EXPECT_EQ(status_.files, 1);
  EXPECT_EQ(Listing(1).size(), 5u);
  EXPECT_EQ(Listing(0).size(), 4u);
}

TEST_F(SnapshotTree, AFileBackInAnEarlierStateIsTakenFromTheListingOfNow) {
  // Put back with its old time (a copy that keeps times does that), a file
  // has its first key again while its folders kept theirs throughout: the
  // folders' newest listing holds the edited state, so it must not be reused.
  const fs::path deep = Src() / "a" / "b" / "deep.txt";
  auto put = [&](const char* contents, int64_t time) {
    Write(deep, contents);
    SetTime(deep, time);
    SetTime(deep.parent_path(), 1000);
  };
  BuildTree();
  ASSERT_TRUE(Backup());
  put("edited", 2000);
  ASSERT_TRUE(Backup());
  put("deep contents", 1000);
  ASSERT_TRUE(Backup());  // the index read back from the drive
  put("edited", 2000);
  SnapshotManager& manager = Open();
  const std::vector<std::wstring> sources{W(Src())};
  ASSERT_TRUE(manager.TakeSnapshot(sources, INT64_MAX / 2, 0));
  put("deep contents", 1000);
  ASSERT_TRUE(manager.TakeSnapshot(sources, INT64_MAX / 2, 0));  // what it wrote itself
  SnapshotManager& reader = Open();
  ASSERT_EQ(reader.ListSnapshots().size(), 5u);
  const char* expected[] = {"deep contents", "edited", "deep contents", "edited", "deep contents"};
  for (int index = 0; index < 5; ++index) {
    fs::remove_all(Out());
    fs::create_directories(Out());
    ASSERT_TRUE(reader.RestoreItemUnder(index, W(Src()), L"", W(Out()), true));
    EXPECT_EQ(Image(Out() / "src").at("a/b/deep.txt"), expected[index]) << index;
  }
}

TEST_F(SnapshotTree, FileChangedInTheSecondOfItsSnapshotIsReadAgain) {
  BuildTree();
  // A time no earlier than the snapshot's: the file may have been rewritten
  // in that second after it was read, and kept its key.
  const fs::path racy = Src() / "top.txt";
  const int64_t time = static_cast<int64_t>(std::time(nullptr)) + 3600;
  auto rewrite = [&](const char* contents) {
    Write(racy, contents);
    SetTime(racy, time);
  };
  rewrite("top");
  ASSERT_TRUE(Backup());
  rewrite("TOP");
  ASSERT_TRUE(Backup());  // knows the file from the catalogue read back
  rewrite("ToP");
  SnapshotManager& manager = Open();
  const std::vector<std::wstring> sources{W(Src())};
  ASSERT_TRUE(manager.TakeSnapshot(sources, INT64_MAX / 2, 0));
  rewrite("tOp");
  ASSERT_TRUE(manager.TakeSnapshot(sources, INT64_MAX / 2, 0));  // knows what it stored itself
  SnapshotManager& reader = Open();
  ASSERT_EQ(reader.ListSnapshots().size(), 4u);
  const char* expected[] = {"top", "TOP", "ToP", "tOp"};
  for (int index = 1; index < 4; ++index) {
    fs::remove_all(Out());
    fs::create_directories(Out());
    ASSERT_TRUE(reader.RestoreItemUnder(index, W(Src()), L"", W(Out()), true));
    EXPECT_EQ(Image(Out() / "src").at("top.txt"), expected[index]) << index;
  }
}

TEST_F(SnapshotTree, FilesOfOtherErasAreTrustedByTheirFullTime) {
  // Low 32 bits of 1894 and 2166 lie after any snapshot of now; 2040's are
  // negative; the last lies past the recordable range and is recorded at its
  // end. None was written in the second of a snapshot.
  const int64_t times[] = {1'900'000'000 - (int64_t{1} << 32), 1'900'000'000 + (int64_t{1} << 32),
                           2'208'988'800, int64_t{9'000'000'000}};
  for (int64_t time : times) {
    const fs::path file = Src() / ("at-" + std::to_string(time));
    Write(file, std::to_string(time));
    SetTime(file, time);
  }
  SetTime(Src(), 1000);
  ASSERT_TRUE(Backup());
  EXPECT_EQ(status_.files, 4);
  const int64_t records = DirRecords();
  ASSERT_TRUE(Backup());
  EXPECT_EQ(status_.files, 0);
  EXPECT_EQ(DirRecords(), records + 1);  // the root alone, pointing at the first listing
}

TEST_F(SnapshotTree, UnreadableFileIsRecordedAsNotStoredAndRetried) {
  BuildTree();
  const fs::path lost = Src() / "c" / "g.txt";
  SnapshotManager& manager = Open();
  ASSERT_TRUE(manager.CheckSpace({W(Src())}, INT64_MAX / 2, 0));
  // Gone after the listing that the walk uses and before the walk opens
  // it (a file opened ahead is stored as it was opened).
  fs::remove(lost);
  ASSERT_TRUE(manager.TakeSnapshot({W(Src())}, INT64_MAX / 2, 0));
  ASSERT_EQ(status_.problems.size(), 1u);
  EXPECT_NE(status_.problems[0].find(L"wasn't converted"), std::wstring::npos);
  EXPECT_EQ(Listing(0).size(), 3u);

  Write(lost, std::string(5000, 'g'));
  SetTime(lost, 1000);
  SetTime(Src() / "c", 1000);
  ASSERT_TRUE(Backup());
  EXPECT_EQ(status_.paths, std::vector<std::wstring>{W(lost)});
  EXPECT_EQ(Listing(1).size(), 4u);
}

TEST_F(SnapshotTree, UnreadableFolderIsReportedInEverySnapshotUntilItCanBeRead) {
  BuildTree();
  const fs::path closed = Src() / "c";
  fs::permissions(closed, fs::perms::none);
  std::error_code error;
  fs::directory_iterator probe(closed, error);
  if (!error) {
    fs::permissions(closed, fs::perms::owner_all);
    GTEST_SKIP() << "this user reads every folder";
  }
  for (int snapshot = 0; snapshot < 2; ++snapshot) {
    ASSERT_TRUE(Backup());
    ASSERT_EQ(status_.problems.size(), 1u) << snapshot;
    EXPECT_NE(status_.problems[0].find(L"could not be read"), std::wstring::npos);
  }
  fs::permissions(closed, fs::perms::owner_all);
  ASSERT_TRUE(Backup());
  EXPECT_TRUE(status_.problems.empty());
  EXPECT_EQ(Listing(2).size(), 4u);
}

TEST_F(SnapshotTree, FilesOverTheSizeLimitAreLeftOutAndListed) {
  BuildTree();
  ASSERT_TRUE(Backup({W(Src())}, 100));
  ASSERT_NE(manager_->GetOversizeFiles(), nullptr);
  EXPECT_EQ(*manager_->GetOversizeFiles(), std::vector<std::wstring>{W(Src() / "c" / "g.txt")});
  EXPECT_EQ(manager_->GetSkippedCount(), 1u);
  EXPECT_EQ(Listing(0).size(), 3u);

  // A single-file source over the limit records nothing, so nothing is published.
  const std::wstring big = W(Src() / "c" / "g.txt");
  EXPECT_FALSE(Backup({big}, 100));
  EXPECT_EQ(Open().ListSnapshots().size(), 1u);
}

TEST_F(SnapshotTree, RulesSetAfterThePrescanHoldForTheSnapshot) {
  // The snapshot walks what its pre-scan listed; listings made under other
  // rules would bring back what the new ones leave out.
  BuildTree();
  SnapshotManager& manager = Open();
  ASSERT_TRUE(manager.CheckSpace({W(Src())}, INT64_MAX / 2, 0));
  manager.SetExclusions(ExclusionRules({L"deep.txt"}));
  ASSERT_TRUE(manager.TakeSnapshot({W(Src())}, INT64_MAX / 2, 0));
  EXPECT_EQ(Listing(0), (std::vector<std::wstring>{L"a/x.txt", L"c/g.txt", L"top.txt"}));
}

TEST_F(SnapshotTree, SourceWithoutRecordsGetsAnEmptyRange) {
  BuildTree();
  const std::wstring big = W(Src() / "c" / "g.txt");
  ASSERT_TRUE(Backup({big, W(Src() / "a")}, 100));
  SnapshotManager& manager = Open();
  ASSERT_EQ(manager.ListSnapshots().size(), 1u);
  EXPECT_TRUE(manager.ListEntries(0, big).empty());
  EXPECT_FALSE(manager.ListingFailed());
}

TEST_F(SnapshotTree, SpaceCheckAllowsThreeQuartersOfTheNewBytes) {
  Write(Src() / "f.txt", std::string(400, 'f'));
  EXPECT_TRUE(Open().CheckSpace({W(Src())}, 300, 0));
  EXPECT_FALSE(Open().CheckSpace({W(Src())}, 299, 0));
}

TEST_F(SnapshotTree, MissingSourceEndsTheSnapshotWithoutAnEntry) {
  BuildTree();
  EXPECT_FALSE(Backup({W(Src()), W(Src() / "gone")}));
  ASSERT_EQ(status_.problems.size(), 1u);
  EXPECT_NE(status_.problems[0].find(L"doesn't exist, File  " + W(Src() / "gone")),
            std::wstring::npos);
  EXPECT_TRUE(Open().ListSnapshots().empty());
}

TEST_F(SnapshotTree, PathTooLongForARecordIsReportedAndSkipped) {
  const std::string part(200, 'p');
  Write(Src() / "ok.txt", "ok");
  Write(Src() / part / part / part / "lost.txt", "lost");
  ASSERT_TRUE(Backup());
  EXPECT_EQ(manager_->GetSkippedCount(), 1u);
  ASSERT_EQ(status_.problems.size(), 1u);
  EXPECT_NE(status_.problems[0].find(W(Src() / part / part / part)), std::wstring::npos);
  SnapshotManager& manager = Open();
  manager.ListSnapshots();
  const std::vector<std::wstring>& entries = manager.ListEntries(0, W(Src()));
  EXPECT_FALSE(manager.ListingFailed());
  EXPECT_EQ(entries.size(), 4u);  // "/", ok.txt and the two folders that fit
}

// Fails the first write of directory records (a whole number of them).
// Directory records may be written on a thread of their own.
class FailRecordWrite : public platform::FileOperationHook {
 public:
  int Before(const platform::FileOperation& operation) override {
    if (operation.kind != platform::FileOperationKind::kWrite || operation.pieceCount != 1 ||
        operation.pieces[0].length % kDirRecordSize != 0) {
      return 0;
    }
    return failed.exchange(true) ? 0 : ENOSPC;
  }
  void After(const platform::FileOperation&) override {}
  std::atomic<bool> failed{false};
};

// Files of the source tree this process holds open.
int OpenFilesUnder(const fs::path& root) {
  int open = 0;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const std::string target = fs::read_symlink(entry.path(), error).string();
    if (target.rfind(root.string() + "/", 0) == 0) ++open;
  }
  return open;
}

TEST_F(SnapshotTree, RecordsLostToAFailedWriteAreNotBuiltOnByTheNextSnapshot) {
  BuildTree();
  ASSERT_TRUE(Backup());
  AddNewFileToC(2000);
  // One manager for both, as the desktop program keeps it: the failed
  // snapshot's records of c were handed out, then lost.
  SnapshotManager& manager = Open();
  FailRecordWrite hook;
  platform::SetFileOperationHook(&hook);
  ASSERT_TRUE(manager.CheckSpace({W(Src())}, INT64_MAX / 2, 0));
  const bool taken = manager.TakeSnapshot({W(Src())}, INT64_MAX / 2, 0);
  platform::SetFileOperationHook(nullptr);
  ASSERT_TRUE(hook.failed);
  EXPECT_FALSE(taken);
  ASSERT_TRUE(manager.CheckSpace({W(Src())}, INT64_MAX / 2, 0));
  ASSERT_TRUE(manager.TakeSnapshot({W(Src())}, INT64_MAX / 2, 0));
  ASSERT_EQ(Open().ListSnapshots().size(), 2u);
  EXPECT_EQ(Listing(1), (std::vector<std::wstring>{L"a/b/deep.txt", L"a/x.txt", L"c/g.txt",
                                                   L"c/new.txt", L"top.txt"}));
}

// The store closes the files it read a batch at a time, behind its back;
// none is left open once a backup returns, whether it failed or not.
TEST_F(SnapshotTree, NoSourceStaysOpenAfterABackup) {
  for (int i = 0; i < 100; ++i) Write(Src() / ("f" + std::to_string(i)), std::string(500, 'x'));
  SnapshotManager& manager = Open();
  FailRecordWrite hook;
  platform::SetFileOperationHook(&hook);
  ASSERT_TRUE(manager.CheckSpace({W(Src())}, INT64_MAX / 2, 0));
  EXPECT_FALSE(manager.TakeSnapshot({W(Src())}, INT64_MAX / 2, 0));
  platform::SetFileOperationHook(nullptr);
  ASSERT_TRUE(hook.failed);
  EXPECT_EQ(OpenFilesUnder(Src()), 0);
  ASSERT_TRUE(manager.CheckSpace({W(Src())}, INT64_MAX / 2, 0));
  ASSERT_TRUE(manager.TakeSnapshot({W(Src())}, INT64_MAX / 2, 0));
  EXPECT_EQ(OpenFilesUnder(Src()), 0);
}

TEST_F(SnapshotTree, CancelledSnapshotPublishesNothingAndTheNextSucceeds) {
  BuildTree();
  SnapshotManager& manager = Open();
  status_.cancelAtFile = 3;
  ASSERT_TRUE(manager.CheckSpace({W(Src())}, INT64_MAX / 2, 0));
  EXPECT_FALSE(manager.TakeSnapshot({W(Src())}, INT64_MAX / 2, 0));
  EXPECT_GT(DirRecords(), 0);
  EXPECT_TRUE(manager.ListSnapshots().empty());
  ASSERT_TRUE(Backup());
  SnapshotManager& reopened = Open();
  ASSERT_EQ(reopened.ListSnapshots().size(), 1u);
  reopened.ListFiles(0, W(Src()));
  EXPECT_EQ(reopened.ListFiles(0, W(Src())).size(), 4u);
}

// Cancel pressed while a large file is being stored: the backup stops, and
// the file is not reported as one that could not be read.
TEST_F(SnapshotTree, CancelInsideAFileReportsNoUnreadFile) {
  class CancelWhileStoring : public RecordingStatus {
   public:
    bool OnProgress(int64_t, int64_t) override { return files > 0 && ++progress_ > 1; }

   private:
    int progress_ = 0;
  } status;
  std::string big(6 << 20, '\0');
  std::mt19937 random(7);
  for (char& byte : big) byte = static_cast<char>(random());
  Write(Src() / "film.mkv", big);
  SetTime(Src() / "film.mkv", 1000);
  auto store = std::make_unique<BlockStore>(W(Location()), 163840, 8192);
  SnapshotManager manager(W(CatalogueFile(".fp")), W(CatalogueFile(".dir")),
                          W(CatalogueFile(".snp")), std::move(store), &status);
  ASSERT_TRUE(manager.CheckSpace({W(Src())}, INT64_MAX / 2, 0));
  EXPECT_FALSE(manager.TakeSnapshot({W(Src())}, INT64_MAX / 2, 0));
  EXPECT_EQ(status.files, 1);
  EXPECT_TRUE(manager.ListSnapshots().empty());
  for (const std::wstring& problem : status.problems) {
    EXPECT_EQ(problem.find(L"wasn't converted"), std::wstring::npos)
        << platform::ToDisplayUtf8(problem);
  }
}

}  // namespace
}  // namespace vaultline::test
