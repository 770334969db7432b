#include "CMainFrame.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>

#include "AppStrings.h"
#include "CAboutDlg.h"
#include "CContentView.h"
#include "CMarrowbyApp.h"
#include "CMarrowbyView.h"
#include "CSnapshotView.h"
#include "CommandIcons.h"
#include "CommandKeys.h"
#include "ElidedLabel.h"
#include "EngineList.h"
#include "MessageBox.h"
#include "ScreenScale.h"
#include "ShellOpen.h"
#include "SnapshotMounts.h"
#include "resources/ResourceIds.h"
#include "vaultline/Path.h"

using namespace marrowby;
namespace platform = vaultline::platform;

namespace {

constexpr int kUpperRowHeight = 360;
constexpr int kLeftColumnWidth = 300;
constexpr int kMinimumSnapshotRow = 120;
constexpr QSize kInitialSize(800, 600);
constexpr QSize kToolButtonSize(39, 38);
constexpr int kToolImageSize = 32;

// The device root of the program's folder: the part a Windows program takes
// as its drive ("E:\").
std::wstring ProgramDriveRoot() {
  std::wstring folder = platform::ProgramFolder();
  if (folder.empty()) folder = platform::CurrentDirectory();
  return platform::DeviceRootOf(folder);
}

// The key shown after a tab in a menu text.
QKeySequence ShortcutOfMenuText(const QString& text) {
  int tab = text.indexOf(u'\t');
  return tab < 0 ? QKeySequence() : QKeySequence(text.mid(tab + 1), QKeySequence::PortableText);
}

// A menu text as a name for a button or a screen reader: no mnemonic, no key.
QString PlainCommandName(QString text) {
  const int tab = text.indexOf(u'\t');
  if (tab >= 0) text.truncate(tab);
  text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
  text.remove(u'&');
  text.replace(u'\x01', u'&');
  if (text.endsWith(QStringLiteral("..."))) text.chop(3);
  return text.trimmed();
}

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("mainFrame"));
  setWindowTitle(LoadString(ids::kDocumentStrings).section(u'\n', 0, 0));
  setWindowIcon(SelectionIcon());
  m_driveRoot = ProgramDriveRoot();
  m_pIVaultline = InitializeT(this, m_driveRoot.c_str(), 1, 0, 2);

  CreateActions();
  CreatePanes();
  CreateMenus();
  CreateToolBar();
  CreateStatusBar();
  resize(Scaled(this, kInitialSize));
  // At 2x on a small screen the scaled size would not fit.
  if (const QScreen* screen = this->screen()) {
    resize(size().boundedTo(screen->availableGeometry().size() * 0.9));
  }
  RestoreWindowState();

  FillSelectionList();
  UpdateStatusBar();
  UpdateCommandStates();
  // Key presses reach the text fields before the window's shortcuts see them.
  qApp->installEventFilter(this);
  m_pContentView->setFocus();
  // "3 minutes ago" grows old while the window is open.
  auto* reminderTimer = new QTimer(this);
  connect(reminderTimer, &QTimer::timeout, this, &CMainFrame::UpdateReminders);
  reminderTimer->start(60 * 1000);
  QMetaObject::invokeMethod(
      this, [this] { OnCommand(cmd::kFirstRunCheck); }, Qt::QueuedConnection);
}

CMainFrame::~CMainFrame() {
  qApp->removeEventFilter(this);
  // The views outlive this destructor for a moment (Qt deletes children
  // later) and signal their clearing; nothing of this window may answer.
  // Saved here rather than on close: every way out of the program passes here.
  SaveWindowState();
  for (QObject* view :
       std::initializer_list<QObject*>{m_pSelectionView, m_pSnapshotView, m_pContentView}) {
    disconnect(view, nullptr, this, nullptr);
  }
  // Open snapshots are unmounted with the program.
  m_pMounts.reset();
  // The engine may use this window as its string provider until it is gone.
  Cleanup(m_pIVaultline);
  m_pIVaultline = nullptr;
}

void CMainFrame::CreateActions() {
  const ResourceModule& module = ResourceModule::Current();
  // Keys are read from the program's own texts: a translation names them in
  // its language ("Strg+N").
  QHash<unsigned, QKeySequence> keys;
  for (const MarrowbyMenuItem& item : ResourceModule::BuiltIn().Menu(menu::kMain)) {
    if (item.text != nullptr) keys.insert(item.command, ShortcutOfMenuText(ToQString(item.text)));
  }
  auto add = [this, &keys](unsigned command, const QString& text) {
    if (m_actions.contains(command)) return;
    auto* action = new QAction(CommandIcon(command), text, this);
    action->setObjectName(QStringLiteral("action%1").arg(command));
    action->setStatusTip(StatusPrompt(command));
    QString tip = ToolTipText(command);
    if (!tip.isEmpty()) action->setToolTip(tip.trimmed());
    action->setIconText(PlainCommandName(text));
    action->setShortcut(CommandKey(command, keys.value(command)));
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
    m_actions.insert(command, action);
  };
  for (const MarrowbyMenuItem& item : module.Menu(menu::kMain)) {
    if (item.command != 0 && item.text != nullptr) add(item.command, ToQString(item.text));
  }
  for (unsigned popup : {menu::kSelectionItem, menu::kContentItem, menu::kSnapshotItem}) {
    for (const MarrowbyMenuItem& item : module.Menu(popup)) {
      if (item.command != 0 && item.text != nullptr) add(item.command, ToQString(item.text));
    }
  }
}

void CMainFrame::CreateMenus() {
  QMenu* current = nullptr;
  for (const MarrowbyMenuItem& item : ResourceModule::Current().Menu(menu::kMain)) {
    if (item.level == 0) {
      current = menuBar()->addMenu(ToQString(item.text));
      current->setObjectName(QStringLiteral("menu%1").arg(menuBar()->actions().size()));
      connect(current, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
    } else if (current != nullptr && item.text == nullptr) {
      current->addSeparator();
    } else if (current != nullptr) {
      current->addAction(m_actions.value(item.command));
    }
  }
}

void CMainFrame::CreateToolBar() {
  m_pToolBar = addToolBar(LoadString(ids::kToolBarTitle));
  m_pToolBar->setObjectName(QStringLiteral("mainToolBar"));
  m_pToolBar->setMovable(false);
  // The toolbar cannot be moved or hidden, so it offers no menu to hide it by.
  m_pToolBar->toggleViewAction()->setVisible(false);
  m_pToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
  m_pToolBar->setIconSize(Scaled(this, QSize(kToolImageSize, kToolImageSize)));
  m_pToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  for (unsigned command : kToolbarCommands) {
    if (command == 0) {
      m_pToolBar->addSeparator();
      continue;
    }
    QAction* action = m_actions.value(command);
    if (action == nullptr) continue;
    m_pToolBar->addAction(action);
    if (QWidget* button = m_pToolBar->widgetForAction(action)) {
      button->setFixedSize(Scaled(this, kToolButtonSize));
      button->setObjectName(QStringLiteral("toolButton%1").arg(command));
      button->setAccessibleName(action->iconText());
    }
  }
}

void CMainFrame::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("statusBar"));
  auto* ready = new QLabel(LoadString(ids::kReady), bar);
  ready->setObjectName(QStringLiteral("messagePane"));
  bar->addWidget(ready);

  // It takes the room the storage figures leave, never theirs.
  m_pLastBackupPane = new ElidedLabel(bar);
  m_pLastBackupPane->setObjectName(QStringLiteral("lastBackupPane"));
  bar->addWidget(m_pLastBackupPane, 1);

  m_pStoragePane = new QLabel(bar);
  m_pStoragePane->setObjectName(QStringLiteral("storagePane"));
  QFontMetrics metrics(m_pStoragePane->font());
  m_pStoragePane->setMinimumWidth(metrics.horizontalAdvance(LoadString(ids::kStorageUsageSizer)) +
                                  metrics.averageCharWidth() * 2);
  bar->addPermanentWidget(m_pStoragePane);

  m_pGauge = new QProgressBar(bar);
  m_pGauge->setObjectName(QStringLiteral("storageGauge"));
  m_pGauge->setRange(0, kGaugeRange);
  m_pGauge->setValue(0);
  m_pGauge->setTextVisible(false);
  // Narrower than its sizer text of old: the storage text in words needs the room.
  m_pGauge->setFixedWidth(
      qMin(qMax(metrics.horizontalAdvance(LoadString(ids::kStatusGaugeSizer)), 60),
           metrics.averageCharWidth() * 16));
  m_pGauge->setMaximumHeight(metrics.height() + 2);
  bar->addPermanentWidget(m_pGauge);
}

void CMainFrame::CreatePanes() {
  m_pRowSplitter = new QSplitter(Qt::Vertical, this);
  m_pRowSplitter->setObjectName(QStringLiteral("rowSplitter"));
  m_pColumnSplitter = new QSplitter(Qt::Horizontal, m_pRowSplitter);
  m_pColumnSplitter->setObjectName(QStringLiteral("columnSplitter"));
  m_pSelectionView = new CMarrowbyView(m_pColumnSplitter);
  CreateContentPane(m_pColumnSplitter);
  m_pSnapshotView = new CSnapshotView(m_pRowSplitter);
  for (QSplitter* splitter : {m_pRowSplitter, m_pColumnSplitter}) {
    splitter->setChildrenCollapsible(false);
  }
  m_pRowSplitter->setSizes({kUpperRowHeight, kMinimumSnapshotRow});
  m_pColumnSplitter->setSizes({kLeftColumnWidth, 500});
  m_pColumnSplitter->setStretchFactor(1, 1);
  setCentralWidget(m_pRowSplitter);
  m_pRowSplitter->installEventFilter(this);
  // Only a drag of the handle by the user: the program's own setSizes() does
  // not count.
  connect(m_pRowSplitter, &QSplitter::splitterMoved, this, [this] { m_rowSplitterMoved = true; });

  connect(m_pSelectionView, &CMarrowbyView::backupSelectionChanged, this,
          &CMainFrame::FillSnapshotList);
  connect(m_pSelectionView, &CMarrowbyView::renameRequested, this, &CMainFrame::OnRename);
  connect(m_pSelectionView, &CMarrowbyView::commandRequested, this, &CMainFrame::OnCommand);
  connect(m_pSelectionView, &CMarrowbyView::folderDropped, this, &CMainFrame::OnFolderDropped);
  connect(m_pSnapshotView, &CSnapshotView::snapshotChanged, this, &CMainFrame::FillContentTree);
  connect(m_pContentView, &CContentView::contentSelectionChanged, this,
          &CMainFrame::UpdateCommandStates);
  connect(m_pContentView, &CContentView::viewFileRequested, this, [this] {
    if (IsCommandEnabled(cmd::kViewFile)) OnViewFile();
  });
  connect(m_pSelectionView, &CMarrowbyView::contextMenuRequested, this,
          &CMainFrame::TrackPopupMenu);
  connect(m_pSnapshotView, &CSnapshotView::contextMenuRequested, this, &CMainFrame::TrackPopupMenu);
  connect(m_pContentView, &CContentView::contextMenuRequested, this, &CMainFrame::TrackPopupMenu);

  // F6 and Shift+F6 move between the panes.
  auto cycle = [this](int step) {
    QList<QWidget*> panes = {m_pSelectionView, m_pContentView, m_pSnapshotView};
    int at = panes.indexOf(QApplication::focusWidget());
    panes.at((at + step + panes.size()) % panes.size())->setFocus(Qt::ShortcutFocusReason);
  };
  connect(new QShortcut(QKeySequence(Qt::Key_F6), this), &QShortcut::activated, this,
          [cycle] { cycle(1); });
  connect(new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6), this), &QShortcut::activated, this,
          [cycle] { cycle(-1); });
  m_panesReady = true;
}

int CMainFrame::SnapshotRowHeight(int clientHeight) {
  int lower = clientHeight / 3;
  if (lower < kMinimumSnapshotRow && clientHeight >= kMinimumSnapshotRow + 1) {
    lower = kMinimumSnapshotRow;
  }
  return lower;
}

void CMainFrame::ApplyRowHeights() {
  // Once the user placed the splitter, the rows keep what the user chose.
  if (!m_panesReady || m_rowSplitterMoved) return;
  int height = m_pRowSplitter->height();
  int lower = SnapshotRowHeight(height);
  int upper = qMax(0, height - lower - m_pRowSplitter->handleWidth());
  m_pRowSplitter->setSizes({upper, lower});
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_pRowSplitter && event->type() == QEvent::Resize) ApplyRowHeights();
  // A command key typed into a text field of this window (a label being
  // renamed) is the field's: Ctrl+V pastes there, it views no file.
  if (event->type() == QEvent::ShortcutOverride && IsTextFieldOfThisWindow(watched) &&
      IsCommandKey(*static_cast<QKeyEvent*>(event))) {
    event->accept();
  }
  return QMainWindow::eventFilter(watched, event);
}

bool CMainFrame::IsTextFieldOfThisWindow(const QObject* object) const {
  const auto* widget = qobject_cast<const QWidget*>(object);
  if (widget == nullptr || !isAncestorOf(widget)) return false;
  return qobject_cast<const QLineEdit*>(widget) != nullptr ||
         qobject_cast<const QTextEdit*>(widget) != nullptr ||
         qobject_cast<const QPlainTextEdit*>(widget) != nullptr ||
         qobject_cast<const QAbstractSpinBox*>(widget) != nullptr;
}

bool CMainFrame::IsCommandKey(const QKeyEvent& key) const {
  const QKeySequence typed(key.keyCombination());
  for (auto it = m_actions.constBegin(); it != m_actions.constEnd(); ++it) {
    // No editing key: it searches for what the search field holds.
    if (it.key() == cmd::kFindInSnapshots) continue;
    if (it.value()->shortcuts().contains(typed)) return true;
  }
  return false;
}

void CMainFrame::TrackPopupMenu(unsigned menuId, const QPoint& globalPos) {
  QMenu popup(this);
  popup.setObjectName(QStringLiteral("contextMenu%1").arg(menuId));
  for (const MarrowbyMenuItem& item : ResourceModule::Current().Menu(menuId)) {
    if (item.level == 0) continue;
    if (item.text == nullptr) {
      popup.addSeparator();
      continue;
    }
    QAction* action = popup.addAction(CommandIcon(item.command), ToQString(item.text));
    action->setData(item.command);
    action->setStatusTip(StatusPrompt(item.command));
    action->setEnabled(IsCommandEnabled(item.command));
  }
  if (QAction* chosen = popup.exec(globalPos)) OnCommand(chosen->data().toUInt());
}

void CMainFrame::OnCommand(unsigned command) {
  if (m_actions.contains(command) && !IsCommandEnabled(command)) return;
  switch (command) {
    // The commands that read or change the selected selection's store.
    case cmd::kDeleteSelection:
    case cmd::kProperties:
    case cmd::kRestore:
    case cmd::kVerify:
    case cmd::kKeepRules:
    case cmd::kDeleteSnapshot:
    case cmd::kFindInSnapshots:
    case cmd::kFileVersions:
    case cmd::kCompareWithNow:
    case cmd::kCompareWithSnapshot:
      EndSnapshotMount(m_pSelectionView->Selected());
      break;
    default:
      break;
  }
  switch (command) {
    case cmd::kNewSelection:
      OnNewSelection();
      break;
    case cmd::kRenameSelection:
    case cmd::kRenameInPlace:
      OnRenameSelection();
      break;
    case cmd::kDeleteSelection:
      OnDeleteSelection();
      break;
    case cmd::kPreferences:
      OnPreferences();
      break;
    case cmd::kSafelyRemove:
      OnSafelyRemoveDrive();
      break;
    case cmd::kProperties:
      OnProperties();
      break;
    case cmd::kExit:
      close();
      break;
    case cmd::kBackup:
      OnBackup();
      break;
    case cmd::kBackupAll:
      OnBackupAll();
      break;
    case cmd::kRestore:
      OnRestore();
      break;
    case cmd::kVerify:
      OnVerify();
      break;
    case cmd::kKeepRules:
      OnKeepRules();
      break;
    case cmd::kForgetLog:
      ShowForgetLog(this);
      break;
    case cmd::kDeleteSnapshot:
      OnDeleteSnapshot();
      break;
    case cmd::kViewFile:
      OnViewFile();
      break;
    case cmd::kOpenInFileManager:
      OnOpenInFileManager();
      break;
    case cmd::kFindInSnapshots:
      OnFindInSnapshots();
      break;
    case cmd::kFileVersions:
      OnFileVersions();
      break;
    case cmd::kCompareWithNow:
    case cmd::kCompareWithSnapshot:
      OnCompareFolder(command == cmd::kCompareWithNow);
      break;
    case cmd::kHelpContents:
      OnHelpContents();
      break;
    case cmd::kAbout:
      OnAbout();
      break;
    case cmd::kFirstRunCheck:
      OnFirstRunCheck();
      break;
    default:
      break;
  }
  UpdateCommandStates();
}

void CMainFrame::OnHelpContents() {
  QString program = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  if (program.isEmpty()) {
    MessageBox::Show(this, LoadString(ids::kNoHelpFile));
    return;
  }
  const QString page =
      QStringLiteral("HelpFiles") + QChar(platform::kSeparator) + program + QStringLiteral(".html");
  // The first place that has it; when none has, the failure names the drive's.
  const std::vector<std::wstring> folders = ProgramFolders();
  QString helpFile = ToQString(folders.front()) + page;
  for (const std::wstring& folder : folders) {
    if (QFileInfo::exists(ToQString(folder) + page)) {
      helpFile = ToQString(folder) + page;
      break;
    }
  }
  // The codes a shell reports for a missing file and for no handler.
  int code = !QFileInfo::exists(helpFile) ? 2 : ShellOpen(helpFile) ? 33 : 31;
  if (code <= 32) {
    std::wstring path = FromQString(helpFile);
    MessageBox::Show(this, FormatString(ids::kHelpLaunchFailed, code, path.c_str()),
                     QMessageBox::Warning);
  }
}

void CMainFrame::OnOpenInFileManager() {
  const int selection = m_pSelectionView->Selected();
  const int snapshot = m_pSnapshotView->Selected();
  if (m_pIVaultline == nullptr || selection < 0 || snapshot < 0) return;
  if (m_pMounts == nullptr) m_pMounts = std::make_unique<SnapshotMounts>();
  QString error;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const QString folder = m_pMounts->FolderOf(selection, snapshot, &error);
  QApplication::restoreOverrideCursor();
  if (!folder.isEmpty() && ShellOpen(folder)) return;
  // Without a file manager the folder is still there to be opened by hand.
  const std::wstring detail = FromQString(folder.isEmpty() ? error : folder);
  MessageBox::Show(this, FormatString(ids::kOpenInFileManagerFailed, detail.c_str()),
                   QMessageBox::Warning);
}

void CMainFrame::OnAbout() {
  CAboutDlg about(this);
  about.exec();
}

void CMainFrame::OnFirstRunCheck() {
  m_startChecked = true;
  if (m_pSelectionView->count() > 0) {
    if (m_offerBackupAtStart) {
      AskBackUpNow();
    } else {
      OfferOverdueBackup();
    }
    return;
  }
  RunFirstRunWizard();
}

namespace {

// In the user's configuration folder ($XDG_CONFIG_HOME/Brindle+/Marrowby.conf),
// never on the drive: the drive goes from computer to computer, each with its
// own screens.
QSettings WindowSettings() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Brindle+"),
                   QStringLiteral("Marrowby"));
}

const QString kGeometryKey = QStringLiteral("MainWindow/geometry");
const QString kRowsKey = QStringLiteral("MainWindow/rows");
const QString kColumnsKey = QStringLiteral("MainWindow/columns");
const QString kRowsMovedKey = QStringLiteral("MainWindow/rowsMovedByUser");

}  // namespace

void CMainFrame::RestoreWindowState() {
  QSettings settings = WindowSettings();
  // A damaged or foreign value is refused by Qt and the defaults stay.
  restoreGeometry(settings.value(kGeometryKey).toByteArray());
  m_pColumnSplitter->restoreState(settings.value(kColumnsKey).toByteArray());
  if (settings.value(kRowsMovedKey, false).toBool() &&
      m_pRowSplitter->restoreState(settings.value(kRowsKey).toByteArray())) {
    m_rowSplitterMoved = true;
  }
}

void CMainFrame::SaveWindowState() {
  QSettings settings = WindowSettings();
  settings.setValue(kGeometryKey, saveGeometry());
  settings.setValue(kColumnsKey, m_pColumnSplitter->saveState());
  settings.setValue(kRowsKey, m_pRowSplitter->saveState());
  settings.setValue(kRowsMovedKey, m_rowSplitterMoved);
}
