// Permission bits and exact times through a backup and a restore: private
// files never more open than they were, at no moment of a restore, whatever
// the umask; times in nanoseconds and beyond the 32-bit seconds.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "TestDrive.h"
#include "catalogue/DirRecord.h"
#include "platform/FileSystem.h"
#include "util/Crc32.h"

namespace vaultline::testing {
namespace {

mode_t ModeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

struct timespec TimeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mtim;
}

void SetTime(const fs::path& path, int64_t seconds, long nanoseconds) {
  ASSERT_TRUE(platform::SetFileTime(path.wstring(), seconds, static_cast<uint32_t>(nanoseconds)));
}

// Sets the process umask for one test.
class Umask {
 public:
  explicit Umask(mode_t mask) : previous_(::umask(mask)) {}
  ~Umask() { ::umask(previous_); }

 private:
  mode_t previous_;
};

// Checks, whenever the engine reports a file, that nothing under the
// destination is more open to group or others than its recorded mode.
class ModeWatchingStatus : public RecordingStatus {
 public:
  ModeWatchingStatus(fs::path destination, std::map<std::string, mode_t> recorded)
      : destination_(std::move(destination)), recorded_(std::move(recorded)) {}

  bool OnFile(int64_t, const wchar_t*) override {
    Check();
    return false;
  }
  void OnFileDone() override { Check(); }
  int checks = 0;

 private:
  void Check() {
    ++checks;
    if (!fs::exists(destination_)) return;
    for (const auto& entry : fs::recursive_directory_iterator(destination_)) {
      const std::string relative = fs::relative(entry.path(), destination_).string();
      const auto recorded = recorded_.find(relative);
      ASSERT_NE(recorded, recorded_.end()) << relative;
      EXPECT_EQ(ModeOf(entry.path()) & 077 & ~recorded->second, 0u)
          << relative << " is more open than recorded " << std::oct << recorded->second;
    }
  }

  fs::path destination_;
  std::map<std::string, mode_t> recorded_;
};

class PermissionsTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    source_ = drive_ / "home";
    const std::pair<const char*, mode_t> files[] = {
        {"key", 0600},        {"private/notes", 0600}, {"private/deeper/id", 0400},
        {"run.sh", 0755},     {"readonly.txt", 0444},  {"shared/group.txt", 0640},
        {"setuid.bin", 04755}};
    for (const auto& [name, mode] : files) {
      WriteBytes(source_ / name, name);
      fs::permissions(source_ / name, static_cast<fs::perms>(mode));
      // Older than the snapshot, so that an unchanged file is known as one.
      SetTime(source_ / name, 1'600'000'000, 0);
    }
    fs::permissions(source_ / "private" / "deeper", static_cast<fs::perms>(0500));
    fs::permissions(source_ / "private", static_cast<fs::perms>(0700));
    fs::permissions(source_ / "shared", static_cast<fs::perms>(0750));
    fs::permissions(source_, static_cast<fs::perms>(0755));
    engine_ = StartEngine();
    engine_->SetStatusCallback(&status_);
    index_ = Create(*engine_, L"home", source_);
  }

  // Relative path below the source -> mode, all twelve bits.
  std::map<std::string, mode_t> SourceModes() {
    std::map<std::string, mode_t> modes{{"home", ModeOf(source_)}};
    for (const auto& entry : fs::recursive_directory_iterator(source_)) {
      modes["home/" + fs::relative(entry.path(), source_).string()] = ModeOf(entry.path());
    }
    return modes;
  }

  std::map<std::string, mode_t> ModesUnder(const fs::path& root) {
    std::map<std::string, mode_t> modes;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      modes[fs::relative(entry.path(), root).string()] = ModeOf(entry.path());
    }
    return modes;
  }

  bool RestoreTo(const fs::path& out, int snapshot = -1) {
    fs::create_directories(out);
    if (snapshot < 0) {
      engine_->RefreshSnapshots(index_);
      snapshot = static_cast<int>(Items(*engine_, engine_->GetSnapshots(index_)).size()) - 1;
    }
    return engine_->Restore(index_, snapshot, L"", out.wstring().c_str());
  }

  fs::path source_;
  RecordingStatus status_;
  std::unique_ptr<Engine> engine_;
  int index_ = -1;
};

TEST_F(PermissionsTest, ModesComeBackUnderAnyUmaskAndAreNeverMoreOpenOnTheWay) {
  ASSERT_TRUE(engine_->BackUp(index_));
  const auto recorded = SourceModes();
  // Restored by its owner: the set-user-ID bit stays.
  EXPECT_EQ(recorded.at("home/setuid.bin"), 04755u);
  for (const mode_t mask : {mode_t{022}, mode_t{0}, mode_t{077}}) {
    Umask umask(mask);
    const fs::path out = drive_ / ("out-" + std::to_string(mask));
    ModeWatchingStatus watching(out, recorded);
    engine_->SetStatusCallback(&watching);
    ASSERT_TRUE(RestoreTo(out)) << "umask " << std::oct << mask;
    EXPECT_EQ(watching.checks, 14);  // twice for each of the 7 files
    EXPECT_EQ(ModesUnder(out), recorded) << "umask " << std::oct << mask;
    EXPECT_TRUE(watching.MessagesAt(kMessageError).empty());
  }
  engine_->SetStatusCallback(&status_);
}

TEST_F(PermissionsTest, AChangeOfModeAloneReachesTheNextSnapshot) {
  ASSERT_TRUE(engine_->BackUp(index_));
  const uint64_t contentBefore = fs::file_size(
      fs::path(Items(*engine_, engine_->GetProfileLocation(index_)).at(0)).concat(".fp"));
  fs::permissions(source_ / "shared" / "group.txt", static_cast<fs::perms>(0600));
  fs::permissions(source_ / "run.sh", static_cast<fs::perms>(0700));
  ASSERT_TRUE(engine_->BackUp(index_));
  // Nothing was stored again: the contents are those of the first snapshot.
  EXPECT_EQ(fs::file_size(
                fs::path(Items(*engine_, engine_->GetProfileLocation(index_)).at(0)).concat(".fp")),
            contentBefore);

  ASSERT_TRUE(RestoreTo(drive_ / "new"));
  EXPECT_EQ(ModeOf(drive_ / "new" / "home" / "shared" / "group.txt"), 0600u);
  EXPECT_EQ(ModeOf(drive_ / "new" / "home" / "run.sh"), 0700u);
  ASSERT_TRUE(RestoreTo(drive_ / "old", 0));
  EXPECT_EQ(ModeOf(drive_ / "old" / "home" / "shared" / "group.txt"), 0640u);
  EXPECT_EQ(ModeOf(drive_ / "old" / "home" / "run.sh"), 0755u);

  // A third snapshot without changes is recognised as unchanged again: it
  // writes only the record of its root, pointing at the children before.
  const fs::path directory =
      fs::path(Items(*engine_, engine_->GetProfileLocation(index_)).at(0)).concat(".dir");
  const uint64_t directoryBefore = fs::file_size(directory);
  ASSERT_TRUE(engine_->BackUp(index_));
  EXPECT_EQ(fs::file_size(directory), directoryBefore + sizeof(DirRecord));
}

TEST_F(PermissionsTest, ARestoreOverFilesWithOtherModesLeavesTheRecordedOnes) {
  ASSERT_TRUE(engine_->BackUp(index_));
  const fs::path out = drive_ / "out";
  WriteBytes(out / "home" / "key", "someone else's old text");
  fs::permissions(out / "home" / "key", static_cast<fs::perms>(0666));
  WriteBytes(out / "home" / "readonly.txt", "old");
  fs::permissions(out / "home" / "readonly.txt", static_cast<fs::perms>(0444));
  fs::create_directories(out / "home" / "private");
  fs::permissions(out / "home" / "private", static_cast<fs::perms>(0777));
  fs::permissions(out / "home", static_cast<fs::perms>(0777));
  ASSERT_TRUE(RestoreTo(out));
  EXPECT_EQ(ModesUnder(out), SourceModes());
  EXPECT_EQ(ReadBytes(out / "home" / "key"), "key");
  EXPECT_EQ(ReadBytes(out / "home" / "readonly.txt"), "readonly.txt");
}

TEST_F(PermissionsTest, TimesComeBackExactlyFoldersAfterTheirContents) {
  // Times before 1901 need a file system that holds them (tmpfs does, ext4
  // stops at 1901); the other cases hold everywhere.
  fs::path times = source_ / "times";
  const std::pair<const char*, std::pair<int64_t, long>> cases[] = {
      {"nanoseconds", {1'700'000'000, 123'456'789}},
      {"2040", {2'208'988'800, 5}},
      {"1960", {-315'619'200, 999'999'999}},
      {"1900", {-2'208'988'800, 0}}};
  for (const auto& [name, time] : cases) {
    WriteBytes(times / name, name);
    SetTime(times / name, time.first, time.second);
  }
  SetTime(times, 2'000'000'000, 42);
  const bool holds1900 = TimeOf(times / "1900").tv_sec == -2'208'988'800;
  ASSERT_TRUE(engine_->BackUp(index_));
  const fs::path out = drive_ / "out";
  ASSERT_TRUE(RestoreTo(out));
  for (const auto& [name, time] : cases) {
    if (std::strcmp(name, "1900") == 0 && !holds1900) continue;
    const struct timespec back = TimeOf(out / "home" / "times" / name);
    EXPECT_EQ(back.tv_sec, time.first) << name;
    EXPECT_EQ(back.tv_nsec, time.second) << name;
  }
  EXPECT_EQ(TimeOf(out / "home" / "times").tv_sec, 2'000'000'000);
  EXPECT_EQ(TimeOf(out / "home" / "times").tv_nsec, 42);
}

TEST_F(PermissionsTest, RecordsWithoutTheExtensionRestoreFromTheReadOnlyBit) {
  SetTime(source_ / "key", 1'700'000'000, 123'456'789);
  ASSERT_TRUE(engine_->BackUp(index_));
  // Turn every record into one written without the extension (keeping its
  // checksum right), as another writer or an older version writes them.
  const fs::path directory =
      fs::path(Items(*engine_, engine_->GetProfileLocation(index_)).at(0)).concat(".dir");
  std::string bytes = ReadBytes(directory);
  ASSERT_EQ(bytes.size() % sizeof(DirRecord), 0u);
  for (size_t at = 0; at < bytes.size(); at += sizeof(DirRecord)) {
    DirRecord record;
    std::memcpy(&record, bytes.data() + at, sizeof record);
    record.extension &= kDirExtended;
    record.timeExtra = 0;
    record.checksum = Crc32Without(&record, sizeof record, offsetof(DirRecord, checksum));
    std::memcpy(bytes.data() + at, &record, sizeof record);
  }
  WriteBytes(directory, bytes);
  engine_ = StartEngine();
  engine_->SetStatusCallback(&status_);

  Umask umask(022);
  const fs::path out = drive_ / "out";
  ASSERT_TRUE(RestoreTo(out));
  EXPECT_TRUE(status_.MessagesAt(kMessageError).empty());
  EXPECT_EQ(ModeOf(out / "home" / "key"), 0644u);
  EXPECT_EQ(ModeOf(out / "home" / "readonly.txt"), 0444u);
  EXPECT_EQ(ModeOf(out / "home" / "run.sh"), 0644u);
  EXPECT_EQ(ModeOf(out / "home" / "private"), 0755u);
  EXPECT_EQ(TimeOf(out / "home" / "key").tv_sec, 1'700'000'000);
  EXPECT_EQ(TimeOf(out / "home" / "key").tv_nsec, 0);
}

}  // namespace
}  // namespace vaultline::testing
