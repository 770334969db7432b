// The scenario that power-cut and injected-error tests put through the
// recorder: three backups of a changing tree (a file growing past a block, a
// folder added and one removed), a configuration save, a forget and a
// compaction. Each step remembers the operations it made on the drive.
#pragma once

#include <algorithm>
#include <functional>
#include <iostream>
#include <optional>

#include "DriveRecorder.h"

namespace vaultline::testing {

class FaultScenario : public DriveTest {
 protected:
  struct Step {
    std::string name;
    std::function<bool(Engine&)> run;
    size_t begin = 0, end = 0;  // recorded operations
    bool succeeded = false;
    int listedBefore = 0;
  };

  void SetUp() override {
    DriveTest::SetUp();
    // Thousands of drive states: keep them in memory where there is a RAM disk.
    if (fs::is_directory("/dev/shm")) {
      fs::remove_all(drive_);
      drive_ = fs::path("/dev/shm") / drive_.filename();
      fs::create_directories(drive_);
      platform::SetProgramFolderOverride(drive_.wstring());
    }
    work_ = drive_.parent_path() / (drive_.filename().string() + "-work");
    source_ = work_ / "src";
    std::mt19937 random(11);
    noise_ = [random](size_t n) mutable {
      std::string bytes(n, '\0');
      for (char& c : bytes) c = static_cast<char>(random());
      return bytes;
    };
    WriteBytes(source_ / "small.txt", std::string(120, 's'));
    WriteBytes(source_ / "grow.bin", noise_(8000));
    WriteBytes(source_ / "a" / "one.bin", noise_(5000));
    WriteBytes(source_ / "a" / "deep" / "x.txt", "deep");
    WriteBytes(source_ / "gone" / "old.txt", "old");
    WriteBytes(work_ / "src2" / "only.txt", "second selection");
    auto engine = StartEngine();
    selection_ = Create(*engine, L"sel", source_);
    steps_ = {
        {"backup 1", [this](Engine& e) { return Snapshot(e); }},
        {"backup 2",
         [this](Engine& e) {
           WriteBytes(source_ / "grow.bin", ReadBytes(source_ / "grow.bin") + noise_(1000));
           fs::remove_all(source_ / "gone");
           WriteBytes(source_ / "new" / "fresh.txt", noise_(700));
           return Snapshot(e);
         }},
        {"configuration save",
         [this](Engine& e) {
           std::wstring source = (work_ / "src2").wstring();
           const wchar_t* contents[] = {source.c_str()};
           int index = -1;
           return e.CreateProfile(L"second", contents, 1, &index) && e.SaveConfiguration();
         }},
        {"backup 3",
         [this](Engine& e) {
           WriteBytes(source_ / "small.txt", "changed");
           WriteBytes(source_ / "b" / "more.bin", noise_(3000));
           return Snapshot(e);
         }},
        {"forget",
         [this](Engine& e) {
           const unsigned first = 0;
           return e.ForgetSnapshots(selection_, &first, 1);
         }},
        {"compaction", [this](Engine& e) { return e.CompactProfile(selection_); }},
    };
  }

  void TearDown() override {
    platform::SetFileOperationHook(nullptr);
    std::error_code ignored;
    fs::remove_all(work_, ignored);
    DriveTest::TearDown();
  }

  // Runs the steps under `recorder`, up to the one in which the recorder
  // failed a call; `status` receives the reports.
  void Run(DriveRecorder& recorder, RecordingStatus* status) {
    auto engine = StartEngine();
    engine->SetStatusCallback(status);
    HookGuard guard(&recorder);
    for (Step& step : steps_) {
      step.listedBefore = Listed(*engine);
      step.begin = recorder.Size();
      step.succeeded = step.run(*engine);
      step.end = recorder.Size();
      if (recorder.Failed()) break;
    }
    engine->SetStatusCallback(nullptr);
  }

  bool Snapshot(Engine& engine) {
    // Distinct times: every snapshot's tree differs from the others'.
    for (const auto& entry : fs::recursive_directory_iterator(source_)) {
      const std::chrono::sys_seconds time{std::chrono::seconds(1000000000 + images_.size())};
      fs::last_write_time(entry.path(), std::chrono::file_clock::from_sys(time));
    }
    images_.push_back(ImageOf(source_));
    return engine.BackUp(selection_);
  }

  // Restores `snapshot` of the selection; its image, or nothing on a report
  // of an error.
  std::optional<Image> RestoreOf(Engine& engine, int snapshot) {
    const fs::path out = work_ / "out";
    fs::remove_all(out);
    fs::create_directories(out);
    RecordingStatus status;
    engine.SetStatusCallback(&status);
    const bool restored = engine.Restore(selection_, snapshot, L"", out.wstring().c_str());
    engine.SetStatusCallback(nullptr);
    if (!restored || !status.MessagesAt(kMessageError).empty()) return std::nullopt;
    return ImageOf(out / "src");
  }

  int Listed(Engine& engine) const {
    engine.RefreshSnapshots(selection_);
    return static_cast<int>(Items(engine, engine.GetSnapshots(selection_)).size());
  }

  // Which backup's tree `image` is, or -1.
  int BackupOf(const Image& image) const {
    for (size_t i = 0; i < images_.size(); ++i) {
      if (images_[i] == image) return static_cast<int>(i);
    }
    return -1;
  }

  // The selection "sel" of a restarted engine: for each listed snapshot,
  // which backup's tree it restores, or -1 when it does not restore whole.
  std::vector<int> ListedBackups(Engine& engine) {
    const std::vector<std::wstring> names = Items(engine, engine.GetProfileNames());
    selection_ = static_cast<int>(std::find(names.begin(), names.end(), L"sel") - names.begin());
    std::vector<int> found;
    for (int i = 0, listed = Listed(engine); i < listed; ++i) {
      const std::optional<Image> image = RestoreOf(engine, i);
      found.push_back(image ? BackupOf(*image) : -1);
    }
    return found;
  }

  fs::path work_, source_;
  std::function<std::string(size_t)> noise_;
  int selection_ = -1;
  std::vector<Step> steps_;
  std::vector<Image> images_;  // by backup
};

}  // namespace vaultline::testing
