// Round trips: what a snapshot lists and what restoring it writes back, with
// contents, read-only state and modification times.
#include <algorithm>
#include <cerrno>
#include <mutex>

#include "CatalogueFixture.h"
#include "catalogue/RestoreLookahead.h"
#include "platform/FileOperationHook.h"

namespace vaultline::test {
namespace {

class Restore : public CatalogueFixture {
 protected:
  void BuildTree() {
    Write(Src() / "a" / "b" / "deep.txt", std::string(20000, 'd') + "tail");
    Write(Src() / "a" / "x.txt", "x");
    Write(Src() / "top.txt", "top");
    fs::create_directories(Src() / "empty");
    for (const auto& entry : fs::recursive_directory_iterator(Src())) SetTime(entry.path(), 1000);
    SetTime(Src() / "a" / "x.txt", 123456);
    SetReadOnly(Src() / "a" / "x.txt");
  }
  bool RestoreUnder(int index, const std::wstring& source, const std::wstring& relative,
                    const fs::path& target, bool flatten) {
    SnapshotManager& manager = Open();
    if (manager.ListSnapshots().size() <= static_cast<size_t>(index)) return false;
    return manager.RestoreItemUnder(index, source, relative, W(target), flatten);
  }
};

TEST_F(Restore, FolderSourceListsAndRestoresWithAttributesAndTimes) {
  BuildTree();
  ASSERT_TRUE(Backup());
  SnapshotManager& manager = Open();
  ASSERT_EQ(manager.ListSnapshots().size(), 1u);
  EXPECT_EQ(manager.ListSnapshots()[0].size(), 25u);
  EXPECT_EQ(manager.ListSnapshots()[0].back(), L'\n');
  const std::vector<std::wstring> entries = manager.ListEntries(0, W(Src()));
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries[0], L"/");
  for (const wchar_t* expected : {L"a/", L"a/b/", L"a/b/deep.txt", L"a/x.txt", L"empty/"}) {
    EXPECT_NE(std::find(entries.begin(), entries.end(), expected), entries.end()) << expected;
  }
  EXPECT_EQ(manager.ListFiles(0, W(Src())).size(), 3u);

  ASSERT_TRUE(RestoreUnder(0, W(Src()), L"", Out(), true));
  const fs::path restored = Out() / "src";
  EXPECT_EQ(Image(restored), Image(Src()));
  EXPECT_TRUE(IsReadOnly(restored / "a" / "x.txt"));
  EXPECT_FALSE(IsReadOnly(restored / "top.txt"));
  EXPECT_EQ(TimeOf(restored / "a" / "x.txt"), 123456);
  EXPECT_EQ(TimeOf(restored / "a" / "b" / "deep.txt"), 1000);
  EXPECT_EQ(TimeOf(restored / "a"), 1000);

  // A folder inside the source lands in the target with its inner structure.
  fs::create_directories(Out() / "part");
  ASSERT_TRUE(RestoreUnder(0, W(Src()), L"a", Out() / "part", true));
  EXPECT_EQ(Image(Out() / "part" / "a"), Image(Src() / "a"));
}

TEST_F(Restore, WithoutFlattenTheWholeStoredPathIsJoined) {
  BuildTree();
  ASSERT_TRUE(Backup());
  // Only the last level of a destination folder is created.
  const fs::path whole = fs::path(W(Out()) + W(Src()));
  EXPECT_FALSE(RestoreUnder(0, W(Src()), L"a", Out(), false));
  fs::create_directories(whole);
  ASSERT_TRUE(RestoreUnder(0, W(Src()), L"a", Out(), false));
  EXPECT_EQ(Image(whole / "a"), Image(Src() / "a"));
}

TEST_F(Restore, SingleFileSourceRestoresIntoTheTarget) {
  BuildTree();
  const std::wstring source = W(Src() / "a" / "b" / "deep.txt");
  ASSERT_TRUE(Backup({source}));
  SnapshotManager& manager = Open();
  manager.ListSnapshots();
  EXPECT_EQ(manager.ListEntries(0, source), std::vector<std::wstring>{L""});
  ASSERT_TRUE(RestoreUnder(0, source, L"", Out(), true));
  EXPECT_EQ(Image(Out()), (TreeImage{{"deep.txt", std::string(20000, 'd') + "tail"}}));
  EXPECT_EQ(TimeOf(Out() / "deep.txt"), 1000);
}

TEST_F(Restore, EverySnapshotOfASeriesRestoresItsOwnTree) {
  BuildTree();
  std::vector<TreeImage> images;
  ASSERT_TRUE(Backup());
  images.push_back(Image(Src()));
  Write(Src() / "a" / "b" / "deep.txt", std::string(30000, 'e'));
  Write(Src() / "empty" / "now.txt", "no longer empty");
  ASSERT_TRUE(Backup());
  images.push_back(Image(Src()));
  fs::remove_all(Src() / "a" / "b");
  Write(Src() / "top.txt", "top, changed");
  SetTime(Src() / "top.txt", 5000);
  ASSERT_TRUE(Backup());
  images.push_back(Image(Src()));
  ASSERT_TRUE(Backup());  // unchanged: one record pointing back
  images.push_back(Image(Src()));

  for (int i = 0; i < 4; ++i) {
    const fs::path target = Out() / std::to_string(i);
    fs::create_directories(target);
    ASSERT_TRUE(RestoreUnder(i, W(Src()), L"", target, true)) << i;
    EXPECT_EQ(Image(target / "src"), images[static_cast<size_t>(i)]) << i;
  }
}

TEST_F(Restore, RestoringTwiceOverwritesTheReadOnlyFilesOfTheFirst) {
  BuildTree();
  ASSERT_TRUE(Backup());
  ASSERT_TRUE(RestoreUnder(0, W(Src()), L"", Out(), true));
  ASSERT_TRUE(RestoreUnder(0, W(Src()), L"", Out(), true));
  EXPECT_EQ(Image(Out() / "src"), Image(Src()));
  EXPECT_TRUE(IsReadOnly(Out() / "src" / "a" / "x.txt"));
}

TEST_F(Restore, PathOutsideTheSnapshotRestoresNothing) {
  BuildTree();
  ASSERT_TRUE(Backup());
  EXPECT_FALSE(RestoreUnder(0, W(Src()), L"nothing.txt", Out(), true));
  ASSERT_EQ(status_.problems.size(), 1u);
  EXPECT_EQ(status_.problems[0], L"Path: " + W(Src() / "nothing.txt") + L" is not part of Profile");
  EXPECT_TRUE(fs::is_empty(Out()));
}

TEST_F(Restore, SymbolicLinkAtTheDestinationIsNotWrittenThrough) {
  BuildTree();
  ASSERT_TRUE(Backup());
  Write(root_ / "victim.txt", "keep me");
  fs::create_directories(Out() / "src");
  fs::create_symlink(root_ / "victim.txt", Out() / "src" / "top.txt");
  fs::create_directory_symlink(root_ / "drive", Out() / "src" / "a");
  EXPECT_FALSE(RestoreUnder(0, W(Src()), L"", Out(), true));
  EXPECT_FALSE(status_.problems.empty());
  std::ifstream in(root_ / "victim.txt");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep me");
  EXPECT_FALSE(fs::exists(root_ / "drive" / "x.txt"));
  EXPECT_FALSE(fs::exists(root_ / "drive" / "b"));
}

// A folder where a file is to go is named as not restorable, and neither its
// mode nor what it holds is touched (it was once left closed, 0600).
TEST_F(Restore, AFolderInAFilesPlaceIsReportedAndLeftAsItWas) {
  BuildTree();
  ASSERT_TRUE(Backup());
  fs::create_directories(Out() / "src" / "top.txt");
  Write(Out() / "src" / "top.txt" / "inside", "mine");
  fs::permissions(Out() / "src" / "top.txt", fs::perms::owner_all | fs::perms::group_read |
                                                 fs::perms::group_exec | fs::perms::others_read |
                                                 fs::perms::others_exec);
  const fs::perms before = fs::status(Out() / "src" / "top.txt").permissions();
  EXPECT_FALSE(RestoreUnder(0, W(Src()), L"", Out(), true));
  EXPECT_FALSE(status_.problems.empty());
  EXPECT_EQ(fs::status(Out() / "src" / "top.txt").permissions(), before);
  std::ifstream in(Out() / "src" / "top.txt" / "inside");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "mine");
  EXPECT_EQ(Image(Out() / "src" / "a"), Image(Src() / "a"));
}

// Fails the close of the first file opened under `root`, as a write the
// system reports only at close.
class FailCloseUnder : public platform::FileOperationHook {
 public:
  explicit FailCloseUnder(std::wstring root) : root_(std::move(root)) {}
  int Before(const platform::FileOperation& operation) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (operation.kind != platform::FileOperationKind::kClose || operation.fd != fd_) return 0;
    fd_ = -1;
    failed = true;
    return EIO;
  }
  void After(const platform::FileOperation& operation) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (operation.kind == platform::FileOperationKind::kOpen && !failed && fd_ < 0 &&
        operation.path.starts_with(root_)) {
      fd_ = operation.fd;
    }
  }
  bool failed = false;

 private:
  std::mutex mutex_;
  std::wstring root_;
  int fd_ = -1;
};

TEST_F(Restore, AFileWhoseCloseFailsIsNotPassedOffAsRestored) {
  BuildTree();
  ASSERT_TRUE(Backup());
  FailCloseUnder hook(W(Out()));
  platform::SetFileOperationHook(&hook);
  const bool restored = RestoreUnder(0, W(Src()), L"", Out(), true);
  platform::SetFileOperationHook(nullptr);
  ASSERT_TRUE(hook.failed);
  EXPECT_FALSE(restored);
  EXPECT_NE(std::find(status_.problems.begin(), status_.problems.end(), L"Error restoring file"),
            status_.problems.end());
  // The file closed with an error is not left behind as if it were whole.
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(Out())) {
    files += entry.is_regular_file() ? 1 : 0;
  }
  EXPECT_LT(files, 3u);
}

// Files whose records and blocks are read and checked ahead of the one being
// written: damage is still named on the file it is in, a file that cannot be
// created costs only itself, and every other file comes back whole.
class RestoreAheadTest : public Restore {
 protected:
  // Small files of one run of blocks each, and raw ones below the
  // small-file limit, each with contents of its own.
  void BuildManyFiles() {
    for (int i = 0; i < 40; ++i) {
      std::string contents = "file-" + std::to_string(100 + i) + ":";
      for (int j = 0; contents.size() < static_cast<size_t>(500 + 300 * i); ++j) {
        contents += std::to_string(i * 7919 + j);
      }
      Write(Src() / "many" / ("f" + std::to_string(100 + i) + ".txt"), contents);
    }
    for (int i = 0; i < 5; ++i) {
      Write(Src() / "many" / ("r" + std::to_string(i) + ".txt"), "raw " + std::to_string(i));
    }
  }
  // Flips the byte after `marker` in the data file.
  void FlipAfter(const std::string& marker) {
    std::fstream data(Location(), std::ios::in | std::ios::out | std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(data)), {});
    const size_t at = bytes.find(marker);
    ASSERT_NE(at, std::string::npos);
    data.seekp(static_cast<std::streamoff>(at + marker.size()));
    data.put(static_cast<char>(bytes[at + marker.size()] ^ 1));
  }
  bool Named(const std::wstring& text) const {
    return std::any_of(
        status_.problems.begin(), status_.problems.end(),
        [&](const std::wstring& problem) { return problem.find(text) != std::wstring::npos; });
  }
};

TEST_F(RestoreAheadTest, DamageAndFailuresStayWithTheirOwnFiles) {
  BuildManyFiles();
  ASSERT_TRUE(Backup());
  FlipAfter("file-117:");
  // Files that cannot be created, one among the others and two among the
  // last ones, which the walk reaches after it has named every file.
  const std::vector<std::string> refused{"many/f125.txt", "many/r2.txt", "many/r3.txt"};
  for (const std::string& name : refused) fs::create_directories(Out() / "src" / name);
  EXPECT_FALSE(RestoreUnder(0, W(Src()), L"", Out(), true));
  EXPECT_TRUE(Named(L"f117.txt could not be restored"));
  TreeImage restored = Image(Out() / "src");
  TreeImage expected = Image(Src());
  EXPECT_EQ(restored.count("many/f117.txt"), 0u);
  expected.erase("many/f117.txt");
  for (const std::string& name : refused) {
    EXPECT_TRUE(Named(W(fs::path(name).filename())));
    EXPECT_EQ(restored.at(name), "/");
    restored.erase(name);
    expected.erase(name);
  }
  EXPECT_EQ(restored, expected);
}

// The files read ahead of the one it stopped at are never opened, and the
// file it stopped at, restored before, is left as it was (it was once cut to
// nothing).
TEST_F(RestoreAheadTest, ACancelledRestoreWritesNothingFromWhereItStopped) {
  BuildManyFiles();
  ASSERT_TRUE(Backup());
  ASSERT_TRUE(RestoreUnder(0, W(Src()), L"", Out(), true));
  const TreeImage before = Image(Out() / "src");
  fs::remove_all(Out() / "src" / "many");
  SnapshotManager& manager = Open();
  ASSERT_FALSE(manager.ListSnapshots().empty());
  status_.cancelAtFile = 10;
  EXPECT_FALSE(manager.RestoreItemUnder(0, W(Src()), L"", W(Out()), true));
  ASSERT_EQ(status_.paths.size(), 10u);
  const std::wstring stoppedAt = status_.paths.back();
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(Out())) {
    files += entry.is_regular_file() ? 1 : 0;
  }
  EXPECT_EQ(files, 9u);
  EXPECT_FALSE(fs::exists(stoppedAt));
  // Over a whole earlier restore: the file it stopped at keeps its contents.
  ASSERT_TRUE(RestoreUnder(0, W(Src()), L"", Out(), true));
  SnapshotManager& again = Open();
  status_.cancelAtFile = 10;
  EXPECT_FALSE(again.RestoreItemUnder(0, W(Src()), L"", W(Out()), true));
  EXPECT_EQ(Image(Out() / "src"), before);
}

// Records what a walk hands on, and stops at the file named `stopAt`.
class VisitLog : public RecordVisitor {
 public:
  bool VisitFile(const DirEntry& entry, int64_t) override {
    log.push_back(L"file " + entry.name);
    return entry.name != stopAt;
  }
  bool EnterFolder(const DirEntry& entry, int64_t) override {
    log.push_back(L"enter " + entry.name);
    return true;
  }
  bool LeaveFolder(const DirEntry& entry) override {
    log.push_back(L"leave " + entry.name);
    return true;
  }
  std::vector<std::wstring> log;
  std::wstring stopAt;
};

TEST_F(Restore, LookaheadHandsVisitsOnInOrderAndAStopDropsThoseHeldBack) {
  BlockStore store(W(root_ / "lookahead"), 163840, 8192, false);
  auto walk = [&](RecordVisitor& visitor) {
    bool goOn = true;
    for (int folderIndex = 0; folderIndex < 3 && goOn; ++folderIndex) {
      DirEntry folderEntry;
      folderEntry.name = L"d" + std::to_wstring(folderIndex);
      goOn = visitor.EnterFolder(folderEntry, 0);
      for (int file = 0; file < folderIndex * 2 && goOn; ++file) {
        DirEntry fileEntry;
        fileEntry.name = folderEntry.name + L"/f" + std::to_wstring(file);
        goOn = visitor.VisitFile(fileEntry, 0);
      }
      if (goOn) goOn = visitor.LeaveFolder(folderEntry);
    }
    return goOn;
  };
  VisitLog direct;
  ASSERT_TRUE(walk(direct));
  VisitLog late;
  RestoreLookahead lookahead(late, store, -1);
  EXPECT_TRUE(walk(lookahead));
  EXPECT_LT(late.log.size(), direct.log.size());
  EXPECT_TRUE(lookahead.Finish());
  EXPECT_EQ(late.log, direct.log);

  VisitLog stopped;
  stopped.stopAt = L"d2/f1";
  VisitLog stoppedDirect;
  stoppedDirect.stopAt = L"d2/f1";
  EXPECT_FALSE(walk(stoppedDirect));
  RestoreLookahead stopping(stopped, store, -1);
  walk(stopping);
  EXPECT_FALSE(stopping.Finish());
  EXPECT_EQ(stopped.log, stoppedDirect.log);
}

TEST(JoinPathRule, LeadingSeparatorStandsForTheDroppedDrive) {
  EXPECT_EQ(SnapshotManager::JoinPath(L"/restore/", L"/data/a.txt"), L"/restore/data/a.txt");
  EXPECT_EQ(SnapshotManager::JoinPath(L"/restore", L"docs/a.txt"), L"/restore/docs/a.txt");
  EXPECT_EQ(SnapshotManager::JoinPath(L"", L"/x"), L"/x");
  EXPECT_EQ(SnapshotManager::JoinPath(L"/restore/", L""), L"/restore");
  EXPECT_EQ(SnapshotManager::JoinPath(L"/", L"/data"), L"/data");
}

}  // namespace
}  // namespace vaultline::test
