#include "progress/CBackupProgressDlg.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QThread>
#include <QVBoxLayout>
#include <climits>
#include <utility>

#include "AppStrings.h"
#include "DesktopNotification.h"
#include "MessageBox.h"
#include "ScreenScale.h"
#include "SizeText.h"
#include "frontend/BackupQuota.h"
#include "resources/ResourceIds.h"
#include "vaultline/Clock.h"
#include "vaultline/FileUtilities.h"

using namespace marrowby;

namespace {

QString Text(unsigned control) {
  return DialogString(dlg::kProgress, control);
}

constexpr int kDetailsHeight = 150;
constexpr int kWindowWidth = 580;

QLabel* AddSummaryRow(QGridLayout* grid, int row, const QString& caption, QLabel** value,
                      const char* name) {
  auto* captionLabel = new QLabel(caption);
  captionLabel->setObjectName(QString::fromLatin1(name) + QStringLiteral("Caption"));
  *value = new QLabel(QStringLiteral("0"));
  (*value)->setObjectName(QString::fromLatin1(name) + QStringLiteral("Label"));
  (*value)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  (*value)->setMinimumWidth(Scaled(*value, 90));
  grid->addWidget(captionLabel, row, 0);
  grid->addWidget(*value, row, 1);
  return captionLabel;
}

uint32_t StorageSize(const std::wstring& folder) {
  int32_t fileCount = 0;
  return GetDirInfo(folder.c_str(), fileCount);
}

int64_t NowMs() {
  return static_cast<int64_t>(vaultline::platform::TickCount());
}

// "3 min" and the like; the largest unit that says enough, rounded up.
QString DurationText(int64_t seconds) {
  if (seconds < 60) return FormatString(ids::kSecondsLeft, static_cast<int>(seconds));
  const int64_t minutes = (seconds + 59) / 60;
  if (minutes < 60) return FormatString(ids::kMinutesLeft, static_cast<int>(minutes));
  return FormatString(ids::kHoursMinutesLeft, static_cast<int>(minutes / 60),
                      static_cast<int>(minutes % 60));
}

}  // namespace

CBackupProgressDlg::CBackupProgressDlg(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("backupProgressDialog"));
  setWindowTitle(Text(dlg::kCaption));
  setModal(true);

  auto* statusCaption = new QLabel(Text(progress_dlg::kStatusLabel));
  statusLabel_ = new QLabel(Text(progress_dlg::kStatusLine));
  statusLabel_->setObjectName(QStringLiteral("statusLabel"));
  statusLabel_->setTextFormat(Qt::PlainText);
  // A long text must not widen the fixed window: a final status wraps onto a
  // second line, a file name is shortened in the middle.
  statusLabel_->setWordWrap(true);
  statusLabel_->setMinimumWidth(1);
  statusLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  statusLabel_->setFixedHeight(2 * statusLabel_->fontMetrics().lineSpacing() + 4);
  statusLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  auto* statusRow = new QHBoxLayout;
  statusCaption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  statusRow->addWidget(statusCaption, 0, Qt::AlignTop);
  statusRow->addWidget(statusLabel_, 1);

  progressBar_ = new QProgressBar;
  progressBar_->setObjectName(QStringLiteral("progressBar"));
  progressBar_->setRange(0, 0);
  progressBar_->setValue(0);
  progressBar_->setTextVisible(false);
  progressText_ = new QLabel;
  progressText_->setObjectName(QStringLiteral("progressText"));
  progressText_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  auto* summary = new QGroupBox(Text(progress_dlg::kSummaryGroup));
  summary->setObjectName(QStringLiteral("summaryGroupBox"));
  summaryGroup_ = summary;
  auto* grid = new QGridLayout(summary);
  filesDoneCaption_ =
      AddSummaryRow(grid, 0, Text(progress_dlg::kFilesDoneLabel), &filesDoneLabel_, "filesDone");
  filesSkippedCaption_ = AddSummaryRow(grid, 1, Text(progress_dlg::kFilesSkippedLabel),
                                       &filesSkippedLabel_, "filesSkipped");
  bytesDoneCaption_ =
      AddSummaryRow(grid, 2, Text(progress_dlg::kBytesDoneLabel), &bytesDoneLabel_, "bytesDone");
  capacityUsedCaption_ = AddSummaryRow(grid, 3, Text(progress_dlg::kCapacityUsedLabel),
                                       &capacityUsedLabel_, "capacityUsed");
  grid->setColumnStretch(3, 1);

  detailsPanel_ = new QWidget;
  detailsPanel_->setObjectName(QStringLiteral("detailsPanel"));
  detailsPanel_->setFixedHeight(Scaled(this, kDetailsHeight));
  auto* detailsLayout = new QVBoxLayout(detailsPanel_);
  detailsLayout->setContentsMargins(0, 0, 0, 0);
  auto* messagesLabel = new QLabel(Text(progress_dlg::kMessagesLabel));
  messagesLabel->setObjectName(QStringLiteral("messagesLabel"));
  messageList_ = new QListWidget;
  messageList_->setObjectName(QStringLiteral("messageList"));
  messageList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  messageList_->setSelectionMode(QAbstractItemView::NoSelection);
  detailsLayout->addWidget(messagesLabel);
  detailsLayout->addWidget(messageList_);

  detailsButton_ = new QPushButton(LoadString(ids::kDetailsCollapsed));
  detailsButton_->setObjectName(QStringLiteral("detailsButton"));
  detailsButton_->setAutoDefault(false);
  cancelButton_ = new QPushButton(LoadString(ids::kCancel));
  cancelButton_->setObjectName(QStringLiteral("cancelButton"));
  cancelButton_->setDefault(true);
  safelyRemoveButton_ = new QPushButton(LoadString(ids::kSafelyRemoveButton));
  safelyRemoveButton_->setObjectName(QStringLiteral("safelyRemoveButton"));
  safelyRemoveButton_->setAutoDefault(false);
  safelyRemoveButton_->setIcon(style()->standardIcon(QStyle::SP_DriveFDIcon));
  safelyRemoveButton_->hide();
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addWidget(detailsButton_);
  buttonRow->addStretch(1);
  buttonRow->addWidget(safelyRemoveButton_);
  buttonRow->addWidget(cancelButton_);

  keptAwakeLabel_ = new QLabel(LoadString(ids::kKeepingAwake));
  keptAwakeLabel_->setObjectName(QStringLiteral("keptAwakeLabel"));
  keptAwakeLabel_->setWordWrap(true);
  keptAwakeLabel_->hide();

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(statusRow);
  layout->addWidget(progressBar_);
  layout->addWidget(progressText_);
  layout->addWidget(keptAwakeLabel_);
  layout->addWidget(summary);
  layout->addWidget(detailsPanel_);
  layout->addLayout(buttonRow);
  // The window grows and shrinks by the details panel alone.
  layout->setSizeConstraint(QLayout::SetFixedSize);
  // At least this wide; wider where a language's captions and figures need
  // it, rather than cutting a figure short.
  summary->setMinimumWidth(Scaled(this, kWindowWidth));
  // Without the summary (compaction) the bar keeps the window as wide.
  progressBar_->setMinimumWidth(Scaled(this, kWindowWidth));

  connect(detailsButton_, &QPushButton::clicked, this, &CBackupProgressDlg::ToggleDetails);
  connect(cancelButton_, &QPushButton::clicked, this, &CBackupProgressDlg::reject);
  connect(safelyRemoveButton_, &QPushButton::clicked, this,
          &CBackupProgressDlg::driveRemovalRequested);

  Prepare(kBackupMode, std::wstring());
  ApplyOpening();
}

CBackupProgressDlg::~CBackupProgressDlg() = default;

template <typename Work>
void CBackupProgressDlg::OnWindowThread(Work&& work) {
  if (QThread::currentThread() == thread()) {
    work();
    return;
  }
  // The work travels under our own mutex rather than inside Qt's call
  // object, and so do its results on the way back (the caller's variables it
  // wrote, read once Qt's blocking call returns): both hand-overs are ordered
  // by a lock that race checkers see, not only by Qt's own.
  {
    const std::lock_guard<std::mutex> lock(pendingMutex_);
    pendingWork_ = std::forward<Work>(work);
  }
  QMetaObject::invokeMethod(this, "RunPendingWork", Qt::BlockingQueuedConnection);
  const std::lock_guard<std::mutex> lock(pendingMutex_);
}

void CBackupProgressDlg::RunPendingWork() {
  std::function<void()> work;
  {
    const std::lock_guard<std::mutex> lock(pendingMutex_);
    work.swap(pendingWork_);
  }
  if (work) work();
  const std::lock_guard<std::mutex> lock(pendingMutex_);  // releases what the work wrote
}

void CBackupProgressDlg::ShowProgress() {
  progressPosted_ = false;
  const int64_t done = std::max<int64_t>(0, progressPosition_.load());
  const int position = static_cast<int>(std::min<int64_t>(done >> progressShift_, INT_MAX));
  progressBar_->setValue(std::min(position, progressBar_->maximum()));
  remaining_.Update(done, NowMs());
  RefreshProgressText(false);
}

void CBackupProgressDlg::RefreshProgressText(bool finished) {
  if (!finished && remaining_.Percent() == 0 && remaining_.SecondsLeft() < 0) {
    progressText_->clear();
    return;
  }
  // The bar is filled at every end; the text tells how far a stopped one got.
  const bool complete = finished && (status_ == kCompleted || status_ == kCompletedWithWarnings);
  QString text = FormatString(ids::kPercentDone, complete ? 100 : remaining_.Percent());
  const int64_t seconds = remaining_.SecondsLeft();
  if (!finished && seconds > 0) {
    const std::wstring left = FromQString(DurationText(seconds));
    text += QStringLiteral("  \u00b7  ") + FormatString(ids::kTimeRemaining, left.c_str());
  }
  progressText_->setText(text);
}

void CBackupProgressDlg::Prepare(Mode mode, const std::wstring& storageFolder) {
  mode_ = mode;
  storageFolder_ = storageFolder;
  cancelled_ = false;
  buttonState_ = kCancelButton;
  filesSkipped_ = 0;
  filesDone_ = 0;
  filesStored_ = 0;
  summarized_ = false;
  bytesDone_ = 0;
  storageSizeBefore_ = 0;
  storageSizeAfter_ = 0;
  maxFileSize_ = 0;
  backupAllowance_ = -1;
  destinationFreeSpace_ = 0;
  status_ = kInProcess;
  itemName_.clear();
  failureReason_.clear();
  series_ = false;
  userCancelled_ = false;
  quietQuota_ = false;
  quotaRefusal_ = 0;
  seriesText_.clear();
  seriesFilesDone_ = 0;
  seriesFilesSkipped_ = 0;
  seriesBytesDone_ = 0;
  // A reused window must not show the previous operation's lines.
  messageList_->clear();
  detailsButton_->setEnabled(false);
  SetProgressRange(0);
  progressBar_->setValue(0);
  remaining_.Start(0, NowMs());
  progressText_->clear();
  keptAwakeLabel_->hide();
  safelyRemoveButton_->hide();
  ApplyModeLayout();
}

void CBackupProgressDlg::SetKeptAwake(bool keptAwake) {
  keptAwakeLabel_->setVisible(keptAwake && mode_ == kBackupMode);
}

void CBackupProgressDlg::SetCaption(const QString& caption) {
  setWindowTitle(caption);
}
void CBackupProgressDlg::SetItemName(const QString& name) {
  itemName_ = name;
}
void CBackupProgressDlg::SetMaxFileSize(int64_t bytes) {
  maxFileSize_ = bytes;
}
void CBackupProgressDlg::SetBackupAllowance(int64_t bytes) {
  backupAllowance_ = bytes;
}
void CBackupProgressDlg::SetDestinationFreeSpace(int64_t bytes) {
  destinationFreeSpace_ = bytes;
}
void CBackupProgressDlg::SetTraceLevel(int16_t level) {
  traceLevel_ = level;
}
void CBackupProgressDlg::SetShowTimeTick(int16_t flag) {
  showTimeTick_ = flag;
}

void CBackupProgressDlg::Run() {
  ApplyOpening();
  exec();
}

void CBackupProgressDlg::ApplyOpening() {
  statusLabel_->clear();
  buttonState_ = kCancelButton;
  cancelButton_->setText(LoadString(ids::kCancel));
  SetDetailsExpanded(false);
  ApplyModeLayout();
  RefreshStatusText();
  RefreshSummary();
}

void CBackupProgressDlg::ApplyModeLayout() {
  const bool restore = mode_ != kBackupMode;
  summaryGroup_->setVisible(mode_ == kBackupMode || mode_ == kRestoreMode);
  filesSkippedCaption_->setVisible(!restore);
  filesSkippedLabel_->setVisible(!restore);
  capacityUsedCaption_->setVisible(!restore);
  capacityUsedLabel_->setVisible(!restore);
  filesDoneCaption_->setText(restore ? LoadString(ids::kFilesRestored)
                                     : Text(progress_dlg::kFilesDoneLabel));
  bytesDoneCaption_->setText(restore ? LoadString(ids::kSizeRestored)
                                     : Text(progress_dlg::kBytesDoneLabel));
}

void CBackupProgressDlg::ToggleDetails() {
  SetDetailsExpanded(!detailsExpanded_);
}

void CBackupProgressDlg::SetDetailsExpanded(bool expanded) {
  detailsExpanded_ = expanded;
  detailsButton_->setText(LoadString(expanded ? ids::kDetailsExpanded : ids::kDetailsCollapsed));
  detailsPanel_->setVisible(expanded);
  // Resize now, not at the next layout pass, so the window never shows a gap.
  layout()->activate();
}

void CBackupProgressDlg::reject() {
  if (buttonState_ == kCloseButton) {
    QDialog::reject();
    return;
  }
  cancelled_ = true;
  userCancelled_ = true;
  cancelButton_->setText(LoadString(ids::kCanceling));
  buttonState_ = kCancelingButton;
  status_ = kCancelPressed;
  RefreshStatusText();
}

void CBackupProgressDlg::SetProgressRange(int64_t total) {
  int shift = 0;
  while ((total >> shift) > INT_MAX) ++shift;
  progressShift_ = shift;
  progressBar_->setRange(0, total > 0 ? static_cast<int>(total >> shift) : 0);
}

bool CBackupProgressDlg::BeginSeriesItem(const QString& name, int64_t allowance) {
  // A series measures its storage once, before its first backup.
  const bool first = !series_;
  const uint32_t sizeBefore = first && !storageFolder_.empty() ? StorageSize(storageFolder_) : 0;
  bool begun = false;
  OnWindowThread([this, &begun, name, allowance, first, sizeBefore] {
    if (userCancelled_) return;
    series_ = true;
    if (first) storageSizeBefore_ = sizeBefore;
    seriesFilesDone_ = filesDone_;
    seriesFilesSkipped_ = filesSkipped_;
    seriesBytesDone_ = bytesDone_;
    cancelled_ = false;
    status_ = kInProcess;
    failureReason_.clear();
    backupAllowance_ = allowance;
    ListLine(FormatString(ids::kBackupAllStarting, FromQString(name).c_str()));
    SetProgressRange(0);
    progressBar_->setValue(0);
    remaining_.Start(0, NowMs());
    RefreshStatusText();
    begun = true;
  });
  return begun;
}

CBackupProgressDlg::Status CBackupProgressDlg::SeriesItemStatus(QString* reason) {
  Status status = kInProcess;
  OnWindowThread([this, &status, reason] {
    // A backup that returned while still "in process" met nothing to report.
    status = userCancelled_ ? kCancelPressed : status_ == kInProcess ? kCompleted : status_;
    if (reason != nullptr) *reason = failureReason_;
  });
  return status;
}

void CBackupProgressDlg::EndSeries(Status status, const QString& text,
                                   const QStringList& outcomes) {
  OnWindowThread([this, status, text, outcomes] {
    status_ = status;
    seriesText_ = text;
    ListLine(Text(progress_dlg::kSummaryGroup));
    for (const QString& line : outcomes) ListLine(line);
    SetDetailsExpanded(true);
  });
}

bool CBackupProgressDlg::OnTotalSize(int64_t total) {
  const bool measure = mode_ == kBackupMode && !storageFolder_.empty() && !series_;
  const uint32_t sizeBefore = measure ? StorageSize(storageFolder_) : 0;
  OnWindowThread([this, total, measure, sizeBefore] {
    SetProgressRange(total);
    remaining_.Start(total, NowMs());
    if (total <= 0) {
      OnMessage(kMessageInfo,
                FromQString(FormatString(ids::kProgressRangeSet, static_cast<int>(total))).c_str());
    }
    if (measure) storageSizeBefore_ = sizeBefore;
    const int64_t available = mode_ == kRestoreMode ? destinationFreeSpace_ : backupAllowance_;
    // Only what is written needs room; a verify only reads.
    const bool refused = mode_ == kRestoreMode
                             ? total > available
                             : mode_ == kBackupMode && frontend::OverQuota(total, available);
    if (refused) {
      if (mode_ == kBackupMode && quietQuota_) {
        // The engine stops at once; the worker makes room or tells why.
        quotaRefusal_ = total;
        cancelled_ = true;
        return;
      }
      RefuseBackupSize(total, available);
      return;
    }
    // A Cancel, an error or a warning from before this phase must survive it,
    // or a stopped backup would end as "Completed".
    if (status_ == kCompleted) status_ = kInProcess;
    RefreshStatusText();
  });
  return cancelled_;
}

void CBackupProgressDlg::RefuseBackupSize(int64_t total, int64_t available) {
  QString reason = FormatString(ids::kNoSpaceAvailable, total / 1024, available / 1024);
  // A backup over the quota is told the ways out.
  if (mode_ == kBackupMode) reason += QStringLiteral("\n") + LoadString(ids::kQuotaWayOut);
  // The engine stops at once; the box shows why.
  OnMessage(kMessageError, FromQString(reason).c_str());
}

void CBackupProgressDlg::SetQuietQuota(bool quiet) {
  OnWindowThread([this, quiet] {
    quietQuota_ = quiet;
    quotaRefusal_ = 0;
  });
}

int64_t CBackupProgressDlg::QuotaRefusal() {
  int64_t refusal = 0;
  OnWindowThread([this, &refusal] {
    if (userCancelled_ || quotaRefusal_ == 0) return;
    refusal = quotaRefusal_;
    // The stop was the window's own; making room must not read as cancelled.
    cancelled_ = false;
  });
  return refusal;
}

bool CBackupProgressDlg::ResumeAfterRoom(int64_t allowance) {
  bool resumed = false;
  OnWindowThread([this, &resumed, allowance] {
    if (userCancelled_) return;
    quietQuota_ = false;
    quotaRefusal_ = 0;
    backupAllowance_ = allowance;
    cancelled_ = false;
    resumed = true;
  });
  return resumed;
}

void CBackupProgressDlg::ReportQuotaRefusal(int64_t allowance) {
  OnWindowThread([this, allowance] {
    quietQuota_ = false;
    if (quotaRefusal_ > 0 && !userCancelled_) RefuseBackupSize(quotaRefusal_, allowance);
  });
}

bool CBackupProgressDlg::OnFile(int64_t size, const wchar_t* path) {
  const QString name = QString::fromWCharArray(path ? path : L"");
  OnWindowThread([this, size, name] {
    const int width =
        statusLabel_->width() > 100 ? statusLabel_->width() : Scaled(this, kWindowWidth - 120);
    statusLabel_->setText(statusLabel_->fontMetrics().elidedText(name, Qt::ElideMiddle, width));
    if (size < 0) {
      // The engine's mark of a file it leaves out for size; it names the
      // file itself once the snapshot is taken.
      ++filesSkipped_;
    } else if (mode_ == kBackupMode && maxFileSize_ > 0 && size > maxFileSize_) {
      ++filesSkipped_;
      ListLine(FormatString(
          ids::kWarningLine,
          FromQString(FormatString(ids::kFileSkipped, FromQString(name).c_str())).c_str()));
      MarkWarned();
    } else {
      // The engine announces only the files it stores: new or changed ones.
      ++filesDone_;
      ++filesStored_;
      bytesDone_ += size;
    }
    RefreshSummary();
  });
  return cancelled_;
}

bool CBackupProgressDlg::OnProgress(int64_t done, int64_t) {
  progressPosition_ = done;
  // One pending update is enough: it shows the latest position when it runs.
  if (!progressPosted_.exchange(true)) {
    QMetaObject::invokeMethod(this, "ShowProgress", Qt::QueuedConnection);
  }
  return cancelled_;
}

void CBackupProgressDlg::OnFileDone() {
  OnWindowThread([this] { statusLabel_->clear(); });
}

void CBackupProgressDlg::OnFinished(const wchar_t* text) {
  const bool measure = mode_ == kBackupMode && !storageFolder_.empty();
  const uint32_t sizeAfter = measure ? StorageSize(storageFolder_) : 0;
  // The engine's operations end with an empty text; a text says why the
  // operation never ran, which must not read as "completed".
  const QString reason = QString::fromWCharArray(text ? text : L"");
  OnWindowThread([this, measure, sizeAfter, reason] {
    if (!reason.isEmpty()) {
      ListLine(FormatString(ids::kErrorLine, FromQString(reason).c_str()));
      failureReason_ = reason;
      status_ = kFailed;
    }
    statusLabel_->setText(LoadString(ids::kDone));
    buttonState_ = kCloseButton;
    cancelButton_->setText(LoadString(ids::kClose));
    if (measure) storageSizeAfter_ = sizeAfter;
    detailsButton_->setEnabled(messageList_->count() > 0);
    if (status_ == kInProcess) status_ = kCompleted;
    // Only a finished operation fills the bar; a failed or cancelled one keeps
    // how far it got, as the percentage beside it says.
    if (status_ == kCompleted || status_ == kCompletedWithWarnings) {
      if (progressBar_->maximum() == 0) progressBar_->setRange(0, 1);
      progressBar_->setValue(progressBar_->maximum());
    }
    RefreshStatusText();
    RefreshSummary();
    RefreshProgressText(true);
    safelyRemoveButton_->setVisible(mode_ == kBackupMode);
    // The user may have turned to other work during a long operation.
    if (!isActiveWindow()) NotifyDesktop(this, windowTitle(), statusLabel_->text());
  });
}

void CBackupProgressDlg::OnMessage(int level, const wchar_t* text) {
  const QString message = QString::fromWCharArray(text ? text : L"");
  OnWindowThread([this, level, message] {
    if (level != kMessageError && level > traceLevel_) return;
    switch (level) {
      case 0:
      case 1:
        return;
      case kMessageError:
        ListLine(FormatString(ids::kErrorLine, FromQString(message).c_str()));
        // In a series the box would hold every later backup until answered.
        if (!series_) {
          MessageBox::Show(this, message, QMessageBox::Critical, QMessageBox::Ok,
                           QMessageBox::NoButton, windowTitle());
        }
        status_ = kFailed;
        failureReason_ = message;
        cancelled_ = true;
        RefreshStatusText();
        break;
      case kMessageWarning:
        ListLine(FormatString(ids::kWarningLine, FromQString(message).c_str()));
        MarkWarned();
        RefreshStatusText();
        break;
      case kMessageInfo:
        ListLine(TickPrefix() + FormatString(ids::kPlainLine, FromQString(message).c_str()));
        break;
      default:
        ListLine(TickPrefix() + FormatString(ids::kUnknownErrorCode, level));
        break;
    }
  });
}

bool CBackupProgressDlg::OnSummary(unsigned skippedFiles, unsigned files, int64_t bytes) {
  OnWindowThread([this, skippedFiles, files, bytes] {
    filesSkipped_ = seriesFilesSkipped_ + skippedFiles;
    filesDone_ = seriesFilesDone_ + files;
    summarized_ = true;
    bytesDone_ = seriesBytesDone_ + bytes;
  });
  return true;
}

bool CBackupProgressDlg::IsCancelled() {
  return cancelled_;
}

QString CBackupProgressDlg::TickPrefix() const {
  if (showTimeTick_ == 0) return QString();
  return FormatString(ids::kTickPrefix, static_cast<int>(vaultline::platform::TickCount()));
}

void CBackupProgressDlg::MarkWarned() {
  // A warning must not turn a failure or a cancelled operation into a success.
  if (status_ == kInProcess || status_ == kCompleted) status_ = kCompletedWithWarnings;
}

void CBackupProgressDlg::ListLine(const QString& line) {
  messageList_->addItem(line);
  detailsButton_->setEnabled(true);
}

void CBackupProgressDlg::RefreshStatusText() {
  struct StatusTexts {
    unsigned completed, notCompleted, inProcess;
  };
  static constexpr StatusTexts kTexts[] = {
      {ids::kBackupCompleted, ids::kBackupNotCompleted, ids::kSnapshotInProcess},
      {ids::kRestoreCompleted, ids::kRestoreNotCompleted, ids::kRestoreInProcess},
      {ids::kCompactCompleted, ids::kCompactNotCompleted, ids::kCompactInProcess},
      {ids::kVerifyCompleted, ids::kVerifyNotCompleted, ids::kVerifyInProcess},
  };
  const StatusTexts& texts = kTexts[mode_];
  const std::wstring item = FromQString(itemName_);
  QString text;
  switch (status_) {
    case kCompleted:
      text = FormatString(texts.completed, item.c_str());
      break;
    case kCompletedWithWarnings:
      text = LoadString(ids::kConsultDetails);
      break;
    case kFailed:
      text = FormatString(texts.notCompleted, item.c_str(), FromQString(failureReason_).c_str());
      // A reason that is a sentence of its own brings its period; the text
      // around it ends in one too.
      if (text.endsWith(QStringLiteral("..")) && !text.endsWith(QStringLiteral("...")))
        text.chop(1);
      break;
    case kInProcess:
      text = LoadString(texts.inProcess);
      break;
    case kCancelPressed:
      text = LoadString(ids::kCancelPressed);
      break;
  }
  if (!seriesText_.isEmpty()) text = seriesText_;
  statusLabel_->setText(text);
  // A long reason (a path, a system's text) is shown whole, on as many lines
  // as it takes.
  const int lines =
      statusLabel_->fontMetrics()
          .boundingRect(QRect(0, 0,
                              statusLabel_->width() > 100 ? statusLabel_->width()
                                                          : Scaled(this, kWindowWidth - 120),
                              INT_MAX),
                        Qt::TextWordWrap, text)
          .height();
  statusLabel_->setFixedHeight(std::max(lines, 2 * statusLabel_->fontMetrics().lineSpacing()) + 4);
}

void CBackupProgressDlg::RefreshSummary() {
  // Once the summary counts every file of the snapshot, most of them
  // unchanged, the files stored are told apart from those.
  QString files = QString::number(filesDone_);
  if (summarized_ && mode_ == kBackupMode) {
    const unsigned stored = std::min(filesStored_, filesDone_);
    files += QStringLiteral(" (") +
             FormatString(ids::kFilesChanged, static_cast<int>(stored),
                          static_cast<int>(filesDone_ - stored)) +
             u')';
  }
  filesDoneLabel_->setText(files);
  filesSkippedLabel_->setText(QString::number(filesSkipped_));
  // In units a person reads, each figure with its own unit.
  bytesDoneLabel_->setText(SizeText(bytesDone_));
  const int32_t used = static_cast<int32_t>(storageSizeAfter_ - storageSizeBefore_);
  const int64_t grown = storageSizeAfter_ == 0 ? 0 : used;
  capacityUsedLabel_->setText(grown < 0 ? u'-' + SizeText(-grown) : SizeText(grown));
}
