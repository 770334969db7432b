// A temporary folder standing for the removable drive, with the engine's
// program folder pointed at it, and small helpers for the trees tests back up.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/Engine.h"
#include "platform/DiagnosticLog.h"
#include "platform/MessageBox.h"
#include "platform/Path.h"

namespace vaultline::testing {

namespace fs = std::filesystem;

inline fs::path NewTemporaryFolder() {
  // ctest runs tests in parallel processes: the random part keeps them apart.
  static std::atomic<int> counter{0};
  static const unsigned processTag = std::random_device{}();
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path path =
      fs::temp_directory_path() / ("core-test-" + std::to_string(processTag) + "-" +
                                   std::to_string(stamp) + "-" + std::to_string(counter++));
  fs::create_directories(path);
  return path;
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Relative path -> contents (folders map to "<folder>") of everything below `root`.
inline std::map<std::string, std::string> TreeOf(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string relative = fs::relative(entry.path(), root).string();
    tree[relative] = entry.is_directory() ? "<folder>" : ReadBytes(entry.path());
  }
  return tree;
}

using Image = std::map<std::string, std::string>;

// Contents and modification times of everything below `root`.
inline Image ImageOf(const fs::path& root) {
  Image image;
  if (!fs::exists(root)) return image;
  for (const auto& [path, contents] : TreeOf(root)) {
    const auto time = fs::last_write_time(root / path).time_since_epoch().count();
    image[path] = contents + "@" + (contents == "<folder>" ? "" : std::to_string(time));
  }
  return image;
}

// Records what the engine reports; cancels when asked to.
class RecordingStatus : public IBackupRestoreStatus {
 public:
  struct Summary {
    unsigned skipped, files;
    int64_t bytes;
  };

  bool OnTotalSize(int64_t total) override {
    totals.push_back(total);
    return cancel || stopAtTotal;
  }
  bool OnFile(int64_t, const wchar_t*) override { return cancel; }
  bool OnProgress(int64_t, int64_t) override { return cancel; }
  void OnFileDone() override {}
  void OnFinished(const wchar_t*) override {}
  void OnMessage(int level, const wchar_t* text) override { messages.push_back({level, text}); }
  bool OnSummary(unsigned skipped, unsigned files, int64_t bytes) override {
    summaries.push_back({skipped, files, bytes});
    return false;
  }
  bool IsCancelled() override { return cancel; }

  std::vector<std::wstring> MessagesAt(int level) const {
    std::vector<std::wstring> texts;
    for (const auto& [messageLevel, text] : messages) {
      if (messageLevel == level) texts.push_back(text);
    }
    return texts;
  }

  bool cancel = false;
  bool stopAtTotal = false;  // a front end that refuses the size itself
  std::vector<int64_t> totals;
  std::vector<std::pair<int, std::wstring>> messages;
  std::vector<Summary> summaries;
};

// Captures the start-up message box instead of printing it.
struct MessageBoxLog {
  static std::vector<std::wstring>& Texts() {
    static std::vector<std::wstring> texts;
    return texts;
  }
  static void Record(const std::wstring& caption, const std::wstring& text) {
    Texts().push_back(caption + L"|" + text);
  }
};

class DriveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    drive_ = NewTemporaryFolder();
    platform::SetProgramFolderOverride(drive_.wstring());
    MessageBoxLog::Texts().clear();
    platform::SetMessageBoxHandler(&MessageBoxLog::Record);
    platform::SetDiagnosticSink([](std::wstring_view) {});
  }
  void TearDown() override {
    platform::SetMessageBoxHandler(nullptr);
    platform::SetDiagnosticSink({});
    platform::SetProgramFolderOverride(L"");
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(drive_, ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(drive_, ignored);
  }

  // A new engine on the drive, as a restart of the program makes it.
  std::unique_ptr<Engine> StartEngine(IResourceProvider* provider = nullptr) {
    auto engine = std::make_unique<Engine>(provider, drive_.wstring().c_str());
    engine->Initialize();
    return engine;
  }

  fs::path Storage() const { return drive_ / "BackupStorage"; }

  static std::vector<std::wstring> Items(IVaultline& engine, StringList list) {
    std::vector<std::wstring> items;
    for (int i = 0; i < engine.GetListCount(list); ++i) {
      items.push_back(engine.GetListItem(list, static_cast<unsigned>(i)));
    }
    engine.ReleaseList(list);
    return items;
  }

  static int Create(IVaultline& engine, const std::wstring& name, const fs::path& source) {
    std::wstring path = source.wstring();
    const wchar_t* contents[] = {path.c_str()};
    int index = -1;
    EXPECT_TRUE(engine.CreateProfile(name.c_str(), contents, 1, &index));
    return index;
  }

  fs::path drive_;
};

}  // namespace vaultline::testing
