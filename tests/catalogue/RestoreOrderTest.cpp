// A restore writes files on two threads; what it reports, and the tree it
// leaves, are those of a restore on one thread, call for call, also where
// it fails, finds damage or is stopped.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "CatalogueFixture.h"

namespace vaultline::test {
namespace {

// Every call, in order, with its arguments; stops at the n-th file announced.
class CallLog : public IBackupRestoreStatus {
 public:
  bool OnTotalSize(int64_t total) override {
    calls.push_back(L"total " + std::to_wstring(total));
    return false;
  }
  bool OnFile(int64_t size, const wchar_t* path) override {
    calls.push_back(L"file " + std::to_wstring(size) + L" " + path);
    ++files;
    return Stop();
  }
  bool OnProgress(int64_t done, int64_t current) override {
    calls.push_back(L"progress " + std::to_wstring(done) + L" " + std::to_wstring(current));
    return Stop();
  }
  void OnFileDone() override { calls.push_back(L"done"); }
  void OnFinished(const wchar_t*) override {}
  void OnMessage(int level, const wchar_t* text) override {
    calls.push_back(L"message " + std::to_wstring(level) + L" " + text);
  }
  bool OnSummary(unsigned, unsigned, int64_t) override { return false; }
  bool IsCancelled() override { return false; }

  bool Stop() const { return stopAtFile != 0 && files >= stopAtFile; }

  std::vector<std::wstring> calls;
  int files = 0;
  int stopAtFile = 0;
};

// A tree image with each item's mode and time as well.
using Described = std::map<std::string, std::string>;

class RestoreOrder : public CatalogueFixture {
 protected:
  void BuildTree() {
    for (int folder = 0; folder < 3; ++folder) {
      const fs::path where = Src() / ("d" + std::to_string(folder));
      for (int i = 0; i < 12; ++i) {
        std::string contents = "file " + std::to_string(folder) + "/" + std::to_string(i) + ":";
        while (contents.size() < static_cast<size_t>(300 + 1700 * i)) {
          contents += std::to_string(contents.size() * 31 + static_cast<size_t>(i));
        }
        Write(where / ("f" + std::to_string(i) + ".txt"), contents);
        fs::permissions(where / ("f" + std::to_string(i) + ".txt"),
                        i % 3 == 0 ? fs::perms::owner_read : fs::perms::owner_all);
      }
    }
    // Several runs of blocks, reported as it is written.
    std::string large(600000, '\0');
    for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>((i * 7919) >> 5);
    Write(Src() / "d1" / "large.bin", large);
    Write(Src() / "d1" / "zeros.bin", std::string(70000, '\0'));
    for (const auto& entry : fs::recursive_directory_iterator(Src())) {
      SetTime(entry.path(), 5000 + static_cast<int64_t>(entry.path().string().size()));
    }
  }

  // Restores the snapshot with helper threads or without; what was reported.
  std::vector<std::wstring> RestoreWith(bool threaded, int stopAtFile, const fs::path& target) {
    CallLog log;
    log.stopAtFile = stopAtFile;
    {
      auto store = std::make_unique<BlockStore>(W(Location()), 163840, 8192, threaded);
      SnapshotManager manager(W(CatalogueFile(".fp")), W(CatalogueFile(".dir")),
                              W(CatalogueFile(".snp")), std::move(store), &log);
      EXPECT_FALSE(manager.ListSnapshots().empty());
      manager.RestoreItemUnder(0, W(Src()), L"", W(target), true);
    }
    // The paths differ by the target only.
    for (std::wstring& call : log.calls) {
      const size_t at = call.find(W(target));
      if (at != std::wstring::npos) call.replace(at, W(target).size(), L"<to>");
    }
    return log.calls;
  }

  // A folder's time is set once its contents are in place: not where the
  // restore stopped before.
  static Described Describe(const fs::path& folder, bool folderTimes) {
    Described described;
    if (!fs::exists(folder)) return described;
    const TreeImage image = Image(folder);
    for (const auto& [relative, contents] : image) {
      struct stat info {};
      ::lstat((folder / relative).c_str(), &info);
      const bool timed = folderTimes || !S_ISDIR(info.st_mode);
      described[relative] = contents + " mode " + std::to_string(info.st_mode) + " time " +
                            (timed ? std::to_string(info.st_mtim.tv_sec) : "-");
    }
    return described;
  }

  // Restores into a fresh folder both ways, and compares.
  void ExpectTheSame(int stopAtFile, const char* what) {
    const fs::path one = root_ / ("one-" + std::to_string(round_));
    const fs::path two = root_ / ("two-" + std::to_string(round_));
    ++round_;
    fs::create_directories(one);
    fs::create_directories(two);
    Prepare(one);
    Prepare(two);
    const std::vector<std::wstring> inOrder = RestoreWith(false, stopAtFile, one);
    const std::vector<std::wstring> onTwo = RestoreWith(true, stopAtFile, two);
    EXPECT_EQ(onTwo, inOrder) << what;
    EXPECT_EQ(Describe(two, stopAtFile == 0), Describe(one, stopAtFile == 0)) << what;
  }
  // What is in the target before the restore.
  virtual void Prepare(const fs::path&) {}

  int round_ = 0;
};

TEST_F(RestoreOrder, ReportsAndTreeAreThoseOfOneThread) {
  BuildTree();
  ASSERT_TRUE(Backup());
  ExpectTheSame(0, "whole");
  // Stopped at the first file, in the middle of a folder, at the large file
  // (it stops while its progress is reported), and at the last file.
  for (int stop : {1, 7, 14, 20, 38}) ExpectTheSame(stop, "stopped");
}

class RestoreOrderOverFiles : public RestoreOrder {
 protected:
  // Files already there in the middle of a folder, one of them read-only,
  // and a folder where a file goes.
  void Prepare(const fs::path& target) override {
    Write(target / "src" / "d0" / "f4.txt", "older");
    Write(target / "src" / "d0" / "f5.txt", "older");
    fs::permissions(target / "src" / "d0" / "f5.txt", fs::perms::owner_read);
    fs::create_directories(target / "src" / "d2" / "f6.txt");
  }
};

TEST_F(RestoreOrderOverFiles, FailuresAndDamageAreReportedInOrder) {
  BuildTree();
  ASSERT_TRUE(Backup());
  // A block of the second folder's file 3 damaged: the file after it is
  // written ahead meanwhile.
  {
    std::fstream data(Location(), std::ios::in | std::ios::out | std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(data)), {});
    const size_t at = bytes.find("file 1/3:");
    ASSERT_NE(at, std::string::npos);
    data.seekp(static_cast<std::streamoff>(at + 20));
    data.put(static_cast<char>(bytes[at + 20] ^ 1));
  }
  ExpectTheSame(0, "whole");
  for (int stop : {5, 6, 16, 30}) ExpectTheSame(stop, "stopped");
}

}  // namespace
}  // namespace vaultline::test
