#include "ConsoleStatus.h"

#include <algorithm>
#include <atomic>
#include <csignal>

#include "Console.h"
#include "EnglishResources.h"
#include "frontend/BackupQuota.h"
#include "vaultline/Format.h"

namespace vaultline::cli {
namespace {

// Ctrl+C may be taken by any thread, the engine's helpers included, while the
// operation's thread reads it: an atomic, which a handler may set only when
// it needs no lock.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
  interrupted = true;
}

}  // namespace

ConsoleStatus::ConsoleStatus(int verbosity, bool showProgress)
    : verbosity_(verbosity), progress_(showProgress) {
  interrupted = false;
  std::signal(SIGINT, OnInterrupt);
}

ConsoleStatus::~ConsoleStatus() {
  progress_.Clear();
  std::signal(SIGINT, SIG_DFL);
}

bool ConsoleStatus::OnTotalSize(int64_t total) {
  progress_.SetTotal(total);
  totalSize_ = total;
  if (frontend::OverQuota(total, backupAllowance_)) {
    refusedSize_ = total;
    stopped_ = true;
    if (!quietQuota_) ReportQuotaRefusal(backupAllowance_);
  }
  return IsCancelled();
}

void ConsoleStatus::ReportQuotaRefusal(int64_t allowance) {
  OnMessage(kMessageError, platform::FormatWide(EnglishText(kTextNoSpaceAvailable).c_str(),
                                                refusedSize_ / 1024, allowance / 1024)
                               .c_str());
}

bool ConsoleStatus::OnFile(int64_t size, const wchar_t* path) {
  if (size == -1) {
    ++announcedSkips_;
    return IsCancelled();
  }
  currentFileSize_ = size;
  currentFile_ = path ? path : L"";
  progress_.SetFile(currentFile_);
  return IsCancelled();
}

bool ConsoleStatus::OnProgress(int64_t done, int64_t) {
  progress_.SetDone(done);
  return IsCancelled();
}

void ConsoleStatus::OnFileDone() {
  ++filesDone_;
  if (keepFinished_) finishedFiles_.push_back(std::move(currentFile_));
  currentFile_.clear();
  doneByFiles_ += std::max<int64_t>(currentFileSize_, 0);
  currentFileSize_ = 0;
  progress_.SetDone(doneByFiles_);
}

void ConsoleStatus::OnFinished(const wchar_t*) {
  progress_.Clear();
}

bool ConsoleStatus::Warned(const std::wstring& path) const {
  for (const std::wstring& text : warningTexts_) {
    if (text.find(path) != std::wstring::npos) return true;
  }
  return false;
}

void ConsoleStatus::OnMessage(int level, const wchar_t* text) {
  const std::wstring_view message = text ? text : L"";
  if (level == kMessageError) {
    ++errors_;
    lastError_ = message;
    if (quietErrors_) return;
  } else if (level == kMessageWarning) {
    ++warnings_;
    warningTexts_.emplace_back(message);
  } else if (verbosity_ < (level == kMessageInfo ? 1 : 2)) {
    return;
  }
  progress_.Clear();
  if (level == kMessageError) {
    PrintError(message);
  } else if (level == kMessageWarning) {
    PrintWarning(message);
  } else {
    PrintDiagnostic(message);
  }
}

bool ConsoleStatus::OnSummary(unsigned skippedFiles, unsigned files, int64_t bytes) {
  hasSummary_ = true;
  summarySkips_ = skippedFiles;
  summaryFiles_ = files;
  summaryBytes_ = bytes;
  return false;
}

bool ConsoleStatus::IsCancelled() {
  return interrupted || stopped_;
}

unsigned ConsoleStatus::skippedFiles() const {
  return std::max(announcedSkips_, summarySkips_);
}

}  // namespace vaultline::cli
