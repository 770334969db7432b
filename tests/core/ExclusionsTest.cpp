// A selection's exclusion patterns: kept on the drive with the selection,
// applied to the space check and the snapshot alike, tried by TestExclusion.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestDrive.h"

namespace vaultline::testing {
namespace {

class ExclusionsTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    source_ = drive_ / "home";
    engine_ = StartEngine();
    engine_->SetStatusCallback(&status_);
  }

  int CreateSelection() { return Create(*engine_, L"home", source_); }

  void Exclude(int index, std::initializer_list<const wchar_t*> patterns) {
    for (const wchar_t* pattern : patterns) {
      ASSERT_TRUE(engine_->AddExclusion(index, pattern)) << pattern;
    }
  }

  // The latest snapshot's paths, relative to the source, folders ending in '/'.
  std::vector<std::string> LatestContents(int index) {
    EXPECT_TRUE(engine_->RefreshSnapshots(index));
    const auto snapshots = Items(*engine_, engine_->GetSnapshots(index));
    std::vector<std::string> paths;
    if (snapshots.empty()) return paths;
    const unsigned latest = static_cast<unsigned>(snapshots.size() - 1);
    for (const std::wstring& item : Items(*engine_, engine_->GetSnapshotContents(index, latest))) {
      std::string path = fs::path(item).string();
      path = path.substr(path.find('/') + 1);  // drop the source's name
      if (!path.empty() && path != "/") paths.push_back(path);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  // 1 when left out, 0 when backed up; `pattern` receives what decided.
  int Test(int index, const fs::path& path, std::wstring* pattern = nullptr,
           std::wstring* at = nullptr) {
    StringList decidedBy = nullptr;
    const int verdict = engine_->TestExclusion(index, path.wstring().c_str(), &decidedBy);
    const auto reason = Items(*engine_, decidedBy);
    if (pattern != nullptr) *pattern = reason.empty() ? L"" : reason.at(0);
    if (at != nullptr) *at = reason.empty() ? L"" : reason.at(1);
    return verdict;
  }

  fs::path source_;
  RecordingStatus status_;
  std::unique_ptr<Engine> engine_;
};

TEST_F(ExclusionsTest, EachKindOfPatternLeavesOutWhatIgnoreFilesWould) {
  for (const char* file : {"keep.txt", "a.tmp", "sub/b.tmp", "sub/keep.tmp", "node_modules/x.js",
                           "sub/node_modules/y.js", "file/node_modules", ".cache/c", "sub/.cache/d",
                           "build/out.o", "sub/build/kept.o", "docs/a.pdf", "docs/deep/b.pdf"}) {
    WriteBytes(source_ / file, file);
  }
  const int index = CreateSelection();
  Exclude(index, {L"*.tmp", L"!keep.tmp", L"node_modules/", L".cache/", L"/build", L"docs/*.pdf"});
  ASSERT_TRUE(engine_->BackUp(index));
  EXPECT_EQ(LatestContents(index),
            (std::vector<std::string>{"docs/", "docs/deep/", "docs/deep/b.pdf", "file/",
                                      "file/node_modules", "keep.txt", "sub/", "sub/build/",
                                      "sub/build/kept.o", "sub/keep.tmp"}));
  EXPECT_TRUE(status_.MessagesAt(kMessageError).empty());

  std::wstring pattern, at;
  EXPECT_EQ(Test(index, source_ / "sub" / "b.tmp", &pattern, &at), 1);
  EXPECT_EQ(pattern, L"*.tmp");
  EXPECT_EQ(at, (source_ / "sub" / "b.tmp").wstring());
  EXPECT_EQ(Test(index, source_ / "sub" / "keep.tmp", &pattern), 0);
  EXPECT_EQ(pattern, L"!keep.tmp");
  // Inside a folder that is left out, the folder's pattern decides.
  EXPECT_EQ(Test(index, source_ / "sub" / "node_modules" / "y.js", &pattern, &at), 1);
  EXPECT_EQ(pattern, L"node_modules/");
  EXPECT_EQ(at, (source_ / "sub" / "node_modules").wstring());
  EXPECT_EQ(Test(index, source_ / "file" / "node_modules", &pattern), 0);
  EXPECT_EQ(pattern, L"");
  // A path that does not exist yet is a folder when it ends in a separator.
  EXPECT_EQ(Test(index, source_ / "new" / "node_modules"), 0);
  EXPECT_EQ(Test(index, (source_ / "new" / "node_modules").wstring() + L"/"), 1);
  EXPECT_EQ(Test(index, source_), 0);
  EXPECT_EQ(Test(index, drive_ / "elsewhere.tmp"), -1);
  EXPECT_EQ(Test(index, drive_ / "homework" / "a.tmp"), -1);
}

TEST_F(ExclusionsTest, AnExcludedFolderIsNeverOpened) {
  WriteBytes(source_ / "keep.txt", "keep");
  // Walking it would warn twice: of a folder it cannot read (as a user) and
  // of a path too long for a record (also as root, who reads everything).
  fs::path deep = source_ / "node_modules";
  for (int level = 0; level < 6; ++level) deep /= std::string(100, 'd');
  WriteBytes(deep / "f", "f");
  fs::permissions(source_ / "node_modules", fs::perms::none);
  const int index = CreateSelection();
  Exclude(index, {L"node_modules/"});
  ASSERT_TRUE(engine_->BackUp(index));
  EXPECT_TRUE(status_.MessagesAt(kMessageWarning).empty());
  EXPECT_TRUE(status_.MessagesAt(kMessageError).empty());
  EXPECT_EQ(LatestContents(index), std::vector<std::string>{"keep.txt"});
  ASSERT_EQ(status_.summaries.size(), 1u);
  EXPECT_EQ(status_.summaries[0].skipped, 0u);
  fs::permissions(source_ / "node_modules", fs::perms::owner_all);
}

TEST_F(ExclusionsTest, TheSpaceCheckLeavesOutExcludedBytes) {
  WriteBytes(source_ / "small.txt", std::string(1000, 's'));
  WriteBytes(source_ / "video.tmp", std::string(200000, 'v'));
  WriteBytes(source_ / "cache" / "CACHEDIR.TAG",
             "Signature: 8a477f597d28d172789f06886806bc55\n# a cache\n");
  WriteBytes(source_ / "cache" / "blob", std::string(200000, 'c'));
  const int index = CreateSelection();
  engine_->SetMaxBackupSize(20000);
  ASSERT_FALSE(engine_->BackUp(index));  // 400 KB would not fit
  EXPECT_EQ(status_.MessagesAt(kMessageError),
            std::vector<std::wstring>{L"There is not enough space available for this backup"});

  status_.messages.clear();
  Exclude(index, {L"*.tmp"});
  ASSERT_TRUE(engine_->BackUp(index));
  ASSERT_EQ(status_.summaries.size(), 1u);
  EXPECT_EQ(status_.summaries[0].files, 1u);
  EXPECT_EQ(status_.summaries[0].bytes, 1000);
  EXPECT_EQ(LatestContents(index), std::vector<std::string>{"small.txt"});

  std::wstring pattern, at;
  EXPECT_EQ(Test(index, source_ / "cache" / "blob", &pattern, &at), 1);
  EXPECT_EQ(pattern, L"CACHEDIR.TAG");
  EXPECT_EQ(at, (source_ / "cache").wstring());
}

TEST_F(ExclusionsTest, OnlyATagWithTheSignatureMarksACache) {
  WriteBytes(source_ / "fake" / "CACHEDIR.TAG", "Signature: 0000\n");
  WriteBytes(source_ / "fake" / "kept", "k");
  WriteBytes(source_ / "short" / "CACHEDIR.TAG", "Signature");
  fs::create_directories(source_ / "folder" / "CACHEDIR.TAG");
  const int index = CreateSelection();
  ASSERT_TRUE(engine_->BackUp(index));
  EXPECT_EQ(LatestContents(index),
            (std::vector<std::string>{"fake/", "fake/CACHEDIR.TAG", "fake/kept", "folder/",
                                      "folder/CACHEDIR.TAG/", "short/", "short/CACHEDIR.TAG"}));
}

TEST_F(ExclusionsTest, APatternAddedLaterLeavesItemsOutOfTheNextSnapshotOnly) {
  WriteBytes(source_ / "sub" / "deep" / "x.log", "log");
  WriteBytes(source_ / "sub" / "deep" / "y.txt", "text");
  const int index = CreateSelection();
  ASSERT_TRUE(engine_->BackUp(index));
  Exclude(index, {L"*.log"});
  ASSERT_TRUE(engine_->BackUp(index));
  EXPECT_EQ(LatestContents(index),
            (std::vector<std::string>{"sub/", "sub/deep/", "sub/deep/y.txt"}));
  // Removing it brings the file back; the first snapshot kept it throughout.
  ASSERT_TRUE(engine_->RemoveExclusion(index, L"*.log"));
  ASSERT_TRUE(engine_->BackUp(index));
  EXPECT_EQ(LatestContents(index).size(), 4u);
  fs::path out = drive_ / "out";
  fs::create_directories(out);
  ASSERT_TRUE(engine_->Restore(index, 0, L"", out.wstring().c_str()));
  EXPECT_EQ(ReadBytes(out / "home" / "sub" / "deep" / "x.log"), "log");
}

TEST_F(ExclusionsTest, PatternsSurviveARestartAndARename) {
  fs::create_directories(source_);
  const int index = CreateSelection();
  Exclude(index, {L"*.tmp", L"/Über große/", L"*.tmp"});
  ASSERT_TRUE(engine_->RenameProfile(index, L"renamed"));
  engine_ = StartEngine();
  EXPECT_EQ(Items(*engine_, engine_->GetExclusions(index)),
            (std::vector<std::wstring>{L"*.tmp", L"/Über große/"}));
  // The file is plain UTF-8 beside the selection's data file; lines a person
  // added by hand (comments, CR LF endings) are kept by a change.
  const fs::path file =
      fs::path(Items(*engine_, engine_->GetProfileLocation(index)).at(0)).parent_path() / "exclude";
  EXPECT_EQ(ReadBytes(file),
            "*.tmp\n/\xC3\x9C"
            "ber gro\xC3\x9F"
            "e/\n");
  WriteBytes(file, "# mine\r\n*.tmp\r\n\r\n*.bak\r\n");
  ASSERT_TRUE(engine_->RemoveExclusion(index, L"*.tmp"));
  EXPECT_EQ(Items(*engine_, engine_->GetExclusions(index)), std::vector<std::wstring>{L"*.bak"});
  EXPECT_EQ(ReadBytes(file), "# mine\n\n*.bak\n");
}

TEST_F(ExclusionsTest, ChangesThatCannotBeMadeAreRefused) {
  fs::create_directories(source_);
  const int index = CreateSelection();
  for (const wchar_t* bad : {L"", L"   ", L"# comment", L"a\nb", L"a\rb"}) {
    EXPECT_FALSE(engine_->AddExclusion(index, bad)) << bad;
  }
  EXPECT_FALSE(engine_->RemoveExclusion(index, L"*.tmp"));
  EXPECT_FALSE(engine_->AddExclusion(index + 1, L"*.tmp"));
  EXPECT_EQ(engine_->GetExclusions(index + 1), nullptr);
  EXPECT_TRUE(Items(*engine_, engine_->GetExclusions(index)).empty());

  // A file that cannot be read stops the backup rather than taking in
  // everything the user left out.
  const fs::path file =
      fs::path(Items(*engine_, engine_->GetProfileLocation(index)).at(0)).parent_path() / "exclude";
  fs::create_directories(file);
  EXPECT_FALSE(engine_->BackUp(index));
  EXPECT_FALSE(engine_->AddExclusion(index, L"*.tmp"));
  EXPECT_EQ(status_.MessagesAt(kMessageError).size(), 2u);
  EXPECT_EQ(status_.MessagesAt(kMessageError)
                .at(0)
                .rfind(L"The exclusion patterns of this Backup Selection could not be read", 0),
            0u);
}

}  // namespace
}  // namespace vaultline::testing
