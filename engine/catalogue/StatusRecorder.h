// Holds back what a status sink is told, to be told later in the same order.
// A restore writes a file ahead while the one before it is still being
// finished: what the file ahead reports must wait until the file before has
// reported its own end. Every question it is asked meanwhile is answered
// "go on"; Replay asks the sink itself and stops where the sink says stop.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vaultline/Vaultline.h"

namespace vaultline {

class StatusRecorder : public IBackupRestoreStatus {
 public:
  StatusRecorder() = default;
  ~StatusRecorder() = default;
  StatusRecorder(const StatusRecorder&) = delete;
  StatusRecorder& operator=(const StatusRecorder&) = delete;

  bool OnTotalSize(int64_t total) override;
  bool OnFile(int64_t size, const wchar_t* path) override;
  bool OnProgress(int64_t done, int64_t currentFileSize) override;
  void OnFileDone() override;
  void OnFinished(const wchar_t*) override {}
  void OnMessage(int level, const wchar_t* text) override;
  bool OnSummary(unsigned skippedFiles, unsigned files, int64_t bytes) override;
  bool IsCancelled() override { return false; }

  bool Empty() const { return calls_.empty(); }
  // Tells `sink` (null: nobody) everything held, in order; `*cancelled` is
  // set to the answer of each question, as the engine sets its flag. Stops
  // after an OnFile answered with stop: false then, and nothing after it is
  // told.
  bool Replay(IBackupRestoreStatus* sink, bool* cancelled) const;

 private:
  enum class Kind { kTotalSize, kFile, kProgress, kFileDone, kMessage, kSummary };
  struct Call {
    Kind kind;
    int64_t first{};   // total, size, done, bytes; the level of a message
    int64_t second{};  // the current file's size, skipped files
    unsigned files{};
    std::wstring text{};
  };
  std::vector<Call> calls_;
};

}  // namespace vaultline
