// The scenario with its Nth write, then its Nth fsync, failing with ENOSPC
// and with EIO, for every N: the step that met the error reports failure
// with the system's text for it, and every snapshot listed before is listed
// afterwards and restores whole. (The command line exits 1 on a failed
// engine call: tests/cli/test_full_drive.py.)
#include <gtest/gtest.h>

#include <cerrno>
#include <iostream>

#include "FaultScenario.h"
#include "platform/Format.h"
#include "platform/Text.h"

namespace vaultline::testing {
namespace {

class InjectedError : public FaultScenario {
 protected:
  struct Tally {
    int injected = 0, onSidecar = 0, reportedSuccess = 0, withoutText = 0, lost = 0, damaged = 0;
  };

  void FailOne(DriveRecorder::Fail what, int count, int error, Tally* tally) {
    const std::string where =
        std::string(what == DriveRecorder::Fail::kWrite ? "write " : "fsync ") +
        std::to_string(count) + " failing with " + std::to_string(error);
    DriveRecorder recorder(drive_);
    recorder.FailAt(what, count, error);
    RecordingStatus status;
    Run(recorder, &status);
    if (!recorder.Failed()) return;
    ++tally->injected;
    // The step that met the error and the backups that came before it.
    size_t failed = 0;
    while (failed + 1 < steps_.size() && steps_[failed + 1].end > 0) ++failed;
    if (recorder.FailedOnSidecar()) ++tally->onSidecar;
    if (steps_[failed].succeeded && !recorder.FailedAfterRemoval() && !recorder.FailedOnSidecar()) {
      ++tally->reportedSuccess;
      ADD_FAILURE() << where << ": " << steps_[failed].name << " reported success";
    }
    const std::wstring text = platform::SystemErrorText(error);
    bool named = false;
    for (const std::wstring& message : status.MessagesAt(kMessageError))
      named = named || message.find(text) != std::wstring::npos;
    if (!named && steps_[failed].name.starts_with("backup") && !recorder.FailedOnSidecar()) {
      ++tally->withoutText;
      ADD_FAILURE() << where << ": " << steps_[failed].name << " did not report \""
                    << platform::ToDisplayUtf8(text) << "\" but "
                    << (status.MessagesAt(kMessageError).empty()
                            ? std::string("nothing")
                            : platform::ToDisplayUtf8(status.MessagesAt(kMessageError).front()));
    }
    std::vector<int> kept;  // backups taken before the failing step
    int backup = 0;
    for (size_t i = 0; i < failed; ++i) {
      if (!steps_[i].name.starts_with("backup")) continue;
      if (!(backup == 0 && failed >= 4)) kept.push_back(backup);
      ++backup;
    }
    auto engine = StartEngine();
    const std::vector<int> found = ListedBackups(*engine);
    for (size_t i = 0; i < found.size(); ++i) {
      if (found[i] < 0) {
        ++tally->damaged;
        ADD_FAILURE() << where << ": listed snapshot " << i << " does not restore whole";
      }
    }
    for (int each : kept) {
      if (std::find(found.begin(), found.end(), each) == found.end()) {
        ++tally->lost;
        ADD_FAILURE() << where << ": snapshot of backup " << each + 1 << " lost";
      }
    }
  }
};

TEST_F(InjectedError, EveryWriteAndFsyncFailingKeepsWhatWasListed) {
  // How many writes and fsyncs the scenario makes, on a copy of the drive.
  const fs::path base = drive_.string() + "-base";
  fs::copy(drive_, base, fs::copy_options::recursive);
  const fs::path sourceBase = source_.string() + "-base";
  fs::copy(source_, sourceBase, fs::copy_options::recursive);
  int writes = 0, syncs = 0;
  {
    DriveRecorder recorder(drive_);
    RecordingStatus status;
    Run(recorder, &status);
    writes = recorder.Writes();
    syncs = recorder.Syncs();
  }
  Tally tally;
  for (DriveRecorder::Fail what : {DriveRecorder::Fail::kWrite, DriveRecorder::Fail::kSync}) {
    const int calls = what == DriveRecorder::Fail::kWrite ? writes : syncs;
    for (int count = 1; count <= calls; ++count) {
      for (int error : {ENOSPC, EIO}) {
        fs::remove_all(drive_);
        fs::copy(base, drive_, fs::copy_options::recursive);
        fs::remove_all(source_);
        fs::copy(sourceBase, source_, fs::copy_options::recursive);
        images_.clear();
        for (Step& step : steps_) step = Step{step.name, step.run};
        FailOne(what, count, error, &tally);
      }
    }
  }
  fs::remove_all(base);
  fs::remove_all(sourceBase);
  std::cout << "injected errors: " << writes << " writes and " << syncs
            << " fsyncs, each failing with ENOSPC and with EIO: " << tally.injected << " injected ("
            << tally.onSidecar << " on the derived sidecars, which a backup may go on without), "
            << tally.reportedSuccess << " reported as success, " << tally.withoutText
            << " without the system's text, " << tally.lost << " lost, " << tally.damaged
            << " damaged listed, 0 crashes\n";
  EXPECT_EQ(tally.reportedSuccess + tally.withoutText + tally.lost + tally.damaged, 0);
}

}  // namespace
}  // namespace vaultline::testing
