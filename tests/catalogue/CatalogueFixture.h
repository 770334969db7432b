// A selection in a private temporary folder: a source tree to back up, the
// catalogue files on a "drive" beside it, a recording status sink and a
// capture of the diagnostic log.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "blockstore/BlockStore.h"
#include "catalogue/SnapshotManager.h"
#include "platform/DiagnosticLog.h"
#include "vaultline/Vaultline.h"

namespace vaultline::test {

namespace fs = std::filesystem;

class RecordingStatus : public IBackupRestoreStatus {
 public:
  bool OnTotalSize(int64_t total) override {
    totals.push_back(total);
    return false;
  }
  bool OnFile(int64_t size, const wchar_t* path) override {
    if (size >= 0) ++files;
    paths.emplace_back(path);
    return cancelAtFile != 0 && files >= cancelAtFile;
  }
  bool OnProgress(int64_t, int64_t) override { return cancelAtFile != 0 && files >= cancelAtFile; }
  void OnFileDone() override {}
  void OnFinished(const wchar_t*) override {}
  void OnMessage(int level, const wchar_t* text) override {
    if (level <= kMessageWarning) problems.emplace_back(text);
  }
  bool OnSummary(unsigned, unsigned, int64_t) override { return false; }
  bool IsCancelled() override { return false; }

  std::vector<int64_t> totals;
  std::vector<std::wstring> paths;
  std::vector<std::wstring> problems;  // errors and warnings
  int files = 0;
  int cancelAtFile = 0;  // stop when the n-th file to store is announced
};

// What a tree holds: relative path -> contents (folders map to "/").
using TreeImage = std::map<std::string, std::string>;

class CatalogueFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    root_ = fs::temp_directory_path() / ("catalogue-test-" + std::to_string(seed()));
    fs::create_directories(root_ / "src");
    fs::create_directories(root_ / "drive");
    fs::create_directories(root_ / "out");
    platform::SetDiagnosticSink([this](std::wstring_view line) { log_ += line; });
  }
  void TearDown() override {
    platform::SetDiagnosticSink(nullptr);
    manager_.reset();
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(root_, ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(root_, ignored);
  }

  fs::path Src() const { return root_ / "src"; }
  fs::path Out() const { return root_ / "out"; }
  fs::path Location() const { return root_ / "drive" / "sel"; }
  fs::path CatalogueFile(const char* extension) const {
    return fs::path(Location().string() + extension);
  }
  static std::wstring W(const fs::path& path) { return path.wstring(); }

  // A new manager on the selection, as each engine operation opens one.
  SnapshotManager& Open() {
    manager_.reset();
    status_ = RecordingStatus();
    auto store = std::make_unique<BlockStore>(W(Location()), 163840, 8192);
    manager_ =
        std::make_unique<SnapshotManager>(W(CatalogueFile(".fp")), W(CatalogueFile(".dir")),
                                          W(CatalogueFile(".snp")), std::move(store), &status_);
    return *manager_;
  }

  // CheckSpace and TakeSnapshot as the backup operation calls them.
  bool Backup(const std::vector<std::wstring>& sources, int64_t sizeLimit = 0) {
    SnapshotManager& manager = Open();
    if (!manager.CheckSpace(sources, INT64_MAX / 2, sizeLimit)) return false;
    return manager.TakeSnapshot(sources, INT64_MAX / 2, sizeLimit);
  }
  bool Backup() { return Backup({W(Src())}); }

  static void Write(const fs::path& path, const std::string& contents) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
  }
  static void SetTime(const fs::path& path, int64_t secondsSinceEpoch) {
    const auto time = std::chrono::file_clock::from_sys(
        std::chrono::sys_seconds(std::chrono::seconds(secondsSinceEpoch)));
    fs::last_write_time(path, time);
  }
  static int64_t TimeOf(const fs::path& path) {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::file_clock::to_sys(fs::last_write_time(path)).time_since_epoch())
        .count();
  }
  static void SetReadOnly(const fs::path& path) {
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
  }
  static bool IsReadOnly(const fs::path& path) {
    return (fs::status(path).permissions() & fs::perms::owner_write) == fs::perms::none;
  }

  static TreeImage Image(const fs::path& folder) {
    TreeImage image;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      const std::string relative = fs::relative(entry.path(), folder).string();
      if (entry.is_directory()) {
        image[relative] = "/";
      } else {
        std::ifstream in(entry.path(), std::ios::binary);
        image[relative] = std::string(std::istreambuf_iterator<char>(in), {});
      }
    }
    return image;
  }

  // A random change of the source: new, rewritten, grown and removed files
  // and folders, with contents that share blocks with earlier ones.
  void Change(std::mt19937& random, int round) {
    std::uniform_int_distribution<int> pick(0, 9);
    for (int i = 0; i < 6; ++i) {
      // Appended rather than concatenated: GCC 12 warns falsely of an
      // overlapping copy in "literal" + std::string at -O3.
      const fs::path folder = Src() / std::string("d").append(std::to_string(pick(random) % 4));
      const fs::path file =
          folder / std::string("f").append(std::to_string(pick(random))).append(".bin");
      fs::create_directories(folder);
      switch (pick(random) % 4) {
        case 0:
          fs::remove(file);
          break;
        case 1:
          Write(file, std::string(static_cast<size_t>(pick(random)) * 3000 + 10,
                                  static_cast<char>('a' + round % 26)));
          break;
        default: {
          std::string bytes(static_cast<size_t>(pick(random) + 1) * 5000, '\0');
          for (char& byte : bytes) byte = static_cast<char>(random());
          Write(file, bytes);
        }
      }
      SetTime(file.parent_path(), 1000 + round * 10 + i);
      if (fs::exists(file)) SetTime(file, 2000 + round * 10 + i);
    }
    if (round % 3 == 2) fs::remove_all(Src() / "d3");
  }

  int64_t DirRecords() const {
    return static_cast<int64_t>(fs::file_size(CatalogueFile(".dir"))) / 1072;
  }

  fs::path root_;
  std::wstring log_;
  RecordingStatus status_;
  std::unique_ptr<SnapshotManager> manager_;
};

}  // namespace vaultline::test
