// The status sink of a short engine call made on the window's own thread
// (forgetting a snapshot only rewrites one small file, counting what a
// restore would replace writes nothing): it shows nothing
// while the call runs and keeps the errors and warnings, to be shown in one
// message box afterwards.
#pragma once

#include <QString>
#include <QStringList>

#include "vaultline/Vaultline.h"

class CollectedMessages : public IBackupRestoreStatus {
 public:
  CollectedMessages() = default;
  ~CollectedMessages() = default;

  bool HasAny() const { return !lines_.isEmpty(); }
  // The messages kept, one a line.
  QString Text() const { return lines_.join(u'\n'); }
  // How many files the call named (a restore that only counts names those
  // it would replace).
  int FilesNamed() const { return filesNamed_; }

  bool OnTotalSize(int64_t) override { return false; }
  bool OnFile(int64_t, const wchar_t*) override {
    ++filesNamed_;
    return false;
  }
  bool OnProgress(int64_t, int64_t) override { return false; }
  void OnFileDone() override {}
  void OnFinished(const wchar_t*) override {}
  void OnMessage(int level, const wchar_t* text) override;
  bool OnSummary(unsigned, unsigned, int64_t) override { return false; }
  bool IsCancelled() override { return false; }

 private:
  QStringList lines_;
  int filesNamed_ = 0;
};
