// Helpers shared by the tests of the progress window, the dialogs and the
// wizard.
#pragma once

#include <QLabel>
#include <QString>
#include <QWidget>

#include "support/TestDrive.h"
#include "vaultline/Path.h"

// `base` with `parts` appended, each after the platform separator.
template <typename... Parts>
QString InFolder(const QString& base, const Parts&... parts) {
  QString path = base;
  ((path += QChar(vaultline::platform::kSeparator) + QString::fromUtf8(parts)), ...);
  return path;
}

// The text of child `name` of `parent` (a label, line edit or button).
template <typename Widget>
QString TextOf(QWidget* parent, const char* name) {
  auto* child = parent->findChild<Widget*>(QString::fromLatin1(name));
  return child ? child->text() : QStringLiteral("<missing %1>").arg(QString::fromLatin1(name));
}

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "progress/CBackupProgressDlg.h"

// Closes every progress window of `owner` once its operation has ended,
// taking a screenshot of it first (as `shotName`, when given). Counts the
// windows it closed.
class ProgressCloser : public QObject {
 public:
  explicit ProgressCloser(QWidget* owner, QString shotName = QString())
      : owner_(owner), shotName_(std::move(shotName)) {
    connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_.start(10);
  }
  // Watches another window (for one made after the closer).
  void Watch(QWidget* owner) { owner_ = owner; }
  int Closed() const { return closed_; }
  // Status and message lines of the last window closed.
  CBackupProgressDlg::Status LastStatus() const { return lastStatus_; }
  QString LastStatusText() const { return lastStatusText_; }
  QString LastTitle() const { return lastTitle_; }

 private:
  void Poll() {
    auto* progress = owner_ ? owner_->findChild<CBackupProgressDlg*>() : nullptr;
    if (progress == nullptr || !progress->isVisible() ||
        progress->GetButtonState() != CBackupProgressDlg::kCloseButton) {
      return;
    }
    if (!shotName_.isEmpty()) {
      // The figures just set lay the window out anew first.
      QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
      SaveScreenshot(progress, shotName_);
    }
    lastStatus_ = progress->GetStatus();
    lastStatusText_ = TextOf<QLabel>(progress, "statusLabel");
    lastTitle_ = progress->windowTitle();
    ++closed_;
    progress->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
  }

  QWidget* owner_;
  QString shotName_;
  QString lastTitle_;
  QTimer timer_;
  int closed_ = 0;
  CBackupProgressDlg::Status lastStatus_ = CBackupProgressDlg::kInProcess;
  QString lastStatusText_;
};

// Backs up the selected selection by Ctrl+B on `frame`, made active first;
// true when one progress window opened and its backup completed.
inline bool BackUpWithKeys(QWidget* frame) {
  frame->activateWindow();
  if (!QTest::qWaitForWindowActive(frame)) return false;
  ProgressCloser closer(frame);
  QTest::keyClick(frame, Qt::Key_B, Qt::ControlModifier);
  return closer.Closed() == 1 && closer.LastStatus() == CBackupProgressDlg::kCompleted;
}

// Runs `act` on the next modal window of kind `Window` that opens (polling
// until one does).
template <typename Window = QWidget>
void OnNextModal(const std::function<void(Window*)>& act) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
    auto* modal = qobject_cast<Window*>(QApplication::activeModalWidget());
    if (modal == nullptr) return;
    timer->stop();
    timer->deleteLater();
    const QPointer<QWidget> shown(modal);
    act(modal);
    // A check that failed inside `act` returned early and left the window
    // open: closed here, so that the failure is reported, not a hang.
    if (QTest::currentTestFailed() && shown != nullptr && shown->isVisible()) shown->close();
  });
  timer->start(10);
}

// The tree item named `name` below `parent` (expanding it first).
inline QTreeWidgetItem* ChildNamed(QTreeWidgetItem* parent, const QString& name) {
  parent->setExpanded(true);
  for (int i = 0; i < parent->childCount(); ++i) {
    if (parent->child(i)->text(0) == name) return parent->child(i);
  }
  return nullptr;
}
