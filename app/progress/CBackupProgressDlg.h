// The modal progress window of a backup or a restore, and the status sink the
// engine reports to while the operation runs on a worker thread.
//
// Thread rules: every IBackupRestoreStatus operation may be called on the
// worker thread. Each one hands its work to the window's own thread with a
// blocking call (the worker waits, so the error message box holds the engine
// until the user dismisses it); only the progress position is posted. Widgets
// and all fields except the cancel flag are touched on the window's thread
// only. The cancel flag is atomic.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "progress/RemainingTime.h"
#include "vaultline/Vaultline.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QWidget;

class CBackupProgressDlg : public QDialog, public IBackupRestoreStatus {
  Q_OBJECT

 public:
  // Compaction and verify have no files to count: their window shows the bar
  // and the messages alone.
  enum Mode { kBackupMode = 0, kRestoreMode = 1, kCompactMode = 2, kVerifyMode = 3 };
  enum Status {
    kCompleted = 0,
    kCompletedWithWarnings = 1,
    kFailed = 2,
    kInProcess = 3,
    kCancelPressed = 4,
  };
  enum ButtonState { kCancelButton = 0, kCancelingButton = 1, kCloseButton = 2 };

  explicit CBackupProgressDlg(QWidget* owner);
  ~CBackupProgressDlg() override;

  // Starts a new operation: clears the cancel flag, counters, sizes, limits
  // and messages; the status becomes "in process". `storageFolder` is the
  // selection's folder on the drive (backup only; may be empty).
  void Prepare(Mode mode, const std::wstring& storageFolder);
  void SetCaption(const QString& caption);
  void SetItemName(const QString& name);
  // 0 = no limit. A file above it is listed as skipped.
  void SetMaxFileSize(int64_t bytes);
  // Bytes the backup may still add to the drive; negative = no quota.
  void SetBackupAllowance(int64_t bytes);
  void SetDestinationFreeSpace(int64_t bytes);
  void SetTraceLevel(int16_t level);
  void SetShowTimeTick(int16_t flag);

  // Shows the window modally; returns once the user closed it, which is only
  // possible after OnFinished.
  void Run();

  // The computer is kept from sleeping while this backup runs: the window
  // says so.
  void SetKeptAwake(bool keptAwake);

  Status GetStatus() const { return status_; }
  ButtonState GetButtonState() const { return buttonState_; }
  bool DetailsExpanded() const { return detailsExpanded_; }
  QString FailureReason() const { return failureReason_; }

  // Back Up All: several backups in one window. An error is listed without a
  // message box and ends only the backup it belongs to; Cancel ends them all.
  // The calls below come from the worker thread.
  //
  // The next backup of the series begins, with what the quota still allows
  // it (negative: no quota). False once the user pressed Cancel.
  bool BeginSeriesItem(const QString& name, int64_t allowance);
  // How the current backup of the series ended so far, and why it failed.
  Status SeriesItemStatus(QString* reason);
  // Closes the series before OnFinished: its overall status and text, and one
  // line for each selection, shown with the details open.
  void EndSeries(Status status, const QString& text, const QStringList& outcomes);

  // A backup the quota would stop, when the keep rules can make room: the
  // window stops it without a word, and the worker makes room and resumes
  // it, or has the refusal told after all. From the worker thread.
  void SetQuietQuota(bool quiet);
  // What the backup stopped without a word needed; 0 when none was, or the
  // user pressed Cancel. The window no longer asks the engine to stop.
  int64_t QuotaRefusal();
  // The backup starts again with what the quota now allows; false once the
  // user pressed Cancel.
  bool ResumeAfterRoom(int64_t allowance);
  // The refusal kept quiet, told against what the quota now allows.
  void ReportQuotaRefusal(int64_t allowance);

  bool OnTotalSize(int64_t total) override;
  bool OnFile(int64_t size, const wchar_t* path) override;
  bool OnProgress(int64_t done, int64_t currentFileSize) override;
  void OnFileDone() override;
  void OnFinished(const wchar_t* text) override;
  void OnMessage(int level, const wchar_t* text) override;
  bool OnSummary(unsigned skippedFiles, unsigned files, int64_t bytes) override;
  bool IsCancelled() override;

 signals:
  // A finished backup offers to remove the drive safely.
  void driveRemovalRequested();

 public slots:
  // Cancel while the operation runs, Close after it ended (also Escape and
  // the close box).
  void reject() override;

 private:
  template <typename Work>
  void OnWindowThread(Work&& work);
  Q_INVOKABLE void RunPendingWork();
  Q_INVOKABLE void ShowProgress();

  void ApplyOpening();
  void ApplyModeLayout();
  void ToggleDetails();
  void SetDetailsExpanded(bool expanded);
  void ListLine(const QString& line);
  // A warning arrived: "completed with warnings" unless it failed or was cancelled.
  void MarkWarned();
  QString TickPrefix() const;
  void RefreshStatusText();
  void RefreshSummary();
  void SetProgressRange(int64_t total);
  // "No space available..." as an error, with the quota's ways out.
  void RefuseBackupSize(int64_t total, int64_t available);
  // "42 %  ·  3 min remaining" under the bar; 100 % alone once finished.
  void RefreshProgressText(bool finished);

  // Set by the window's thread (Cancel, errors, space checks), read by the
  // worker through the sink's results.
  std::atomic<bool> cancelled_{false};
  // The worker's one waiting call (and, taken after it, its results), and the
  // latest progress position posted.
  std::mutex pendingMutex_;
  std::function<void()> pendingWork_;
  std::atomic<int64_t> progressPosition_{0};
  std::atomic<bool> progressPosted_{false};

  QString failureReason_;
  bool series_ = false;
  bool userCancelled_ = false;
  bool quietQuota_ = false;
  int64_t quotaRefusal_ = 0;
  QString seriesText_;  // the series' final status text
  // Counters of the earlier backups of a series, under the current one's.
  unsigned seriesFilesDone_ = 0;
  unsigned seriesFilesSkipped_ = 0;
  int64_t seriesBytesDone_ = 0;
  QString itemName_;
  std::wstring storageFolder_;
  ButtonState buttonState_ = kCancelButton;
  Mode mode_ = kBackupMode;
  uint32_t storageSizeBefore_ = 0;
  uint32_t storageSizeAfter_ = 0;
  int16_t traceLevel_ = 3;
  int16_t showTimeTick_ = 0;
  bool detailsExpanded_ = false;
  int64_t maxFileSize_ = 0;
  int64_t backupAllowance_ = -1;
  unsigned filesSkipped_ = 0;
  unsigned filesDone_ = 0;
  unsigned filesStored_ = 0;  // of filesDone_, those the backups stored
  bool summarized_ = false;   // filesDone_ counts every file of the snapshots
  int64_t bytesDone_ = 0;
  Status status_ = kInProcess;
  int64_t destinationFreeSpace_ = 0;
  // The bar holds an int; totals beyond it are shifted down by this much.
  int progressShift_ = 0;
  RemainingTime remaining_;  // window thread only

  QLabel* statusLabel_;
  QProgressBar* progressBar_;
  QLabel* progressText_;
  QLabel* filesDoneCaption_;
  QLabel* filesDoneLabel_;
  QLabel* filesSkippedCaption_;
  QLabel* filesSkippedLabel_;
  QLabel* bytesDoneCaption_;
  QLabel* bytesDoneLabel_;
  QLabel* capacityUsedCaption_;
  QLabel* capacityUsedLabel_;
  QWidget* summaryGroup_;
  QWidget* detailsPanel_;
  QListWidget* messageList_;
  QPushButton* detailsButton_;
  QPushButton* cancelButton_;
  QLabel* keptAwakeLabel_;
  QPushButton* safelyRemoveButton_;
};
