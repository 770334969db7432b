// The command line's status sink: engine messages on standard error, the
// progress line, the counters that decide the exit status, and Ctrl-C as a
// request to stop.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ProgressLine.h"
#include "vaultline/Vaultline.h"

namespace vaultline::cli {

class ConsoleStatus final : public IBackupRestoreStatus {
 public:
  // verbosity 0: errors and warnings; 1 adds information; 2 adds trace.
  ConsoleStatus(int verbosity, bool showProgress);
  ~ConsoleStatus();
  ConsoleStatus(const ConsoleStatus&) = delete;
  ConsoleStatus& operator=(const ConsoleStatus&) = delete;

  bool OnTotalSize(int64_t total) override;
  bool OnFile(int64_t size, const wchar_t* path) override;
  bool OnProgress(int64_t done, int64_t currentFileSize) override;
  void OnFileDone() override;
  void OnFinished(const wchar_t* text) override;
  void OnMessage(int level, const wchar_t* text) override;
  bool OnSummary(unsigned skippedFiles, unsigned files, int64_t bytes) override;
  bool IsCancelled() override;

  unsigned errors() const { return errors_; }
  unsigned warnings() const { return warnings_; }
  // Whether a warning named `path`.
  bool Warned(const std::wstring& path) const;
  // Files left out for size, as announced during the walk or summed up.
  unsigned skippedFiles() const;
  bool hasSummary() const { return hasSummary_; }
  unsigned summaryFiles() const { return summaryFiles_; }
  int64_t summaryBytes() const { return summaryBytes_; }
  unsigned filesDone() const { return filesDone_; }
  // The paths (as OnFile named them) of the files written whole, once
  // asked to keep them: a backup of many files has no use for them.
  void keepFinishedFiles() { keepFinished_ = true; }
  const std::vector<std::wstring>& finishedFiles() const { return finishedFiles_; }
  // The size the last OnTotalSize announced.
  int64_t totalSize() const { return totalSize_; }
  // The size the allowance refused; 0 when it refused nothing.
  int64_t refusedSize() const { return refusedSize_; }
  // What the backup quota still allows (MaxBackupSize less the storage in
  // use); a backup whose work exceeds it is stopped with text 185, as the
  // desktop program does. Negative: no quota.
  void SetBackupAllowance(int64_t bytes) { backupAllowance_ = bytes; }
  // A refusal by the quota stops the backup without a word, for a caller that
  // can make room and try again; it reports the refusal itself otherwise.
  void SetQuietQuota(bool quiet) { quietQuota_ = quiet; }
  // Reports the refusal kept quiet, against what the quota now allows.
  void ReportQuotaRefusal(int64_t allowance);
  // Errors are still counted but not printed, for a command that prints its
  // own report of them.
  void SetQuietErrors(bool quiet) { quietErrors_ = quiet; }
  // The text of the last error; empty when there was none.
  const std::wstring& lastError() const { return lastError_; }

 private:
  int verbosity_;
  ProgressLine progress_;
  unsigned errors_ = 0;
  unsigned warnings_ = 0;
  std::vector<std::wstring> warningTexts_;
  std::wstring lastError_;
  unsigned announcedSkips_ = 0;
  unsigned summarySkips_ = 0;
  bool hasSummary_ = false;
  unsigned summaryFiles_ = 0;
  int64_t summaryBytes_ = 0;
  unsigned filesDone_ = 0;
  // Restores report whole files only; their sizes stand in for OnProgress.
  int64_t currentFileSize_ = 0;
  int64_t doneByFiles_ = 0;
  int64_t backupAllowance_ = -1;
  int64_t refusedSize_ = 0;
  int64_t totalSize_ = 0;
  std::wstring currentFile_;
  bool keepFinished_ = false;
  std::vector<std::wstring> finishedFiles_;
  bool quietErrors_ = false;
  bool quietQuota_ = false;
  bool stopped_ = false;
};

}  // namespace vaultline::cli
