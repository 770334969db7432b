// The main window: owns the engine, lays out the three views, the toolbar,
// the menus and the status bar, and carries out the commands. It is also the
// engine's string provider.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frontend/TextProvider.h"
#include "vaultline/Vaultline.h"

class QAction;
class QLabel;
class QLineEdit;
class QTimer;
class QProgressBar;
class QSplitter;
class QToolBar;
class CMarrowbyView;
class CSnapshotView;
class CContentView;
class CBackupProgressDlg;
class SnapshotMounts;
class CPreferenceDlg;
struct RestoreJob;
struct HistorySource;

class CMainFrame : public QMainWindow, public frontend::TextProvider {
  Q_OBJECT

 public:
  // Creates the engine for the drive that holds the program's folder.
  explicit CMainFrame(QWidget* parent = nullptr);
  ~CMainFrame() override;

  // IResourceProvider: the texts of the resource module in use.
  uint16_t GetLanguage() override;

  IVaultline* Engine() const { return m_pIVaultline; }
  CMarrowbyView* SelectionView() const { return m_pSelectionView; }
  CSnapshotView* SnapshotView() const { return m_pSnapshotView; }
  CContentView* ContentView() const { return m_pContentView; }
  const std::wstring& DriveRoot() const { return m_driveRoot; }

  // Whether a command can run now; the menus, the toolbar and the context
  // menus follow this.
  bool IsCommandEnabled(unsigned command) const;
  QAction* CommandAction(unsigned command) const { return m_actions.value(command); }
  // Shows a context menu of the resource module at a global position; its
  // commands come back to this window.
  void TrackPopupMenu(unsigned menuId, const QPoint& globalPos);

  // Height of the snapshot row for a client height.
  static int SnapshotRowHeight(int clientHeight);
  // Gauge position 0..kGaugeRange for the storage used against the backup limit.
  static constexpr int kGaugeRange = 1000;
  static int GaugePosition(int64_t limit, int64_t used);

  // Started by the drive's autorun: once the window is up, asks "Back up now?".
  // Asked before the start's own check, it takes the place of the offer of
  // the selections past the reminder age: one question at start, not two.
  void OfferBackupAtStart();

 public slots:
  void OnCommand(unsigned command);
  void UpdateStatusBar();
  void UpdateCommandStates();
  // Refills the snapshot list of the selected selection and clears the tree.
  void FillSnapshotList();
  // Refills the content tree from the selected snapshot.
  void FillContentTree();
  // Each selection's last backup in the list, the selected one's in the
  // status bar, marked when past the reminder age.
  void UpdateReminders();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  std::wstring ProvidedText(unsigned id) override;

 private:
  bool IsTextFieldOfThisWindow(const QObject* object) const;
  // True when `key` is bound to one of this window's commands.
  bool IsCommandKey(const class QKeyEvent& key) const;
  // Selection commands carried out here.
  void OnRenameSelection();
  void OnRename(int index, const QString& name);
  void OnDeleteSelection();
  // Removes the selected selection; with askFirst the user confirms first.
  void DeleteSelectedSelection(bool askFirst);
  void OnHelpContents();
  void OnAbout();
  void OnFirstRunCheck();
  // At start: offers to back up the selections past the reminder age.
  void OfferOverdueBackup();
  // "Back up now?"; Yes backs up every selection.
  void AskBackUpNow();
  void FillSelectionList();

  // Commands whose dialogs and worker threads live in MainFrameOperations.cpp.
  void OnNewSelection();
  void OnBackup();
  // Every selection in turn in one progress window, with one summary.
  void OnBackupAll();
  void RunBackupSeries(const std::vector<unsigned>& profiles);
  // The indices of the selections that are not deleted.
  std::vector<unsigned> LiveSelections() const;
  void OnRestore();
  // Before a restore writes: says how many files `rule` replaces at the
  // destination and asks to go on; true when none would be or the user agrees.
  bool ConfirmReplacedFiles(const RestoreJob& job, int rule);
  void OnVerify();
  // The keep-rules page of the selected selection (MainFrameKeepRules.cpp).
  void OnKeepRules();
  void ShowForgetLog(QWidget* owner);
  // What the keep rules did after the last backups, in the status bar.
  void ShowKeepRulesNotes(const QStringList& notes);
  // Forgets the selected snapshot after the user confirms, then offers to
  // give its space back.
  void OnDeleteSnapshot();
  // Verifies or compacts selection `index` in the progress window; the list
  // (and after a compaction the gauge) follow.
  enum class SelectionTask { kVerify, kCompact };
  void RunSelectionTask(SelectionTask task, int index, const std::wstring& name);
  void OnViewFile();
  // Mounts the selection (once) and shows the selected snapshot's folder in
  // the desktop's file manager; unmounted when this window goes.
  void OnOpenInFileManager();
  // This program's own mount of `selection` (every one for -1) gives way
  // before the program reads or writes the selection: it holds it.
  void EndSnapshotMount(int selection);
  // Finding versions (MainFrameHistory.cpp): the search field over the
  // content tree, Find in all snapshots, a file's versions and comparing a
  // folder with now or with another snapshot.
  QWidget* CreateContentPane(QWidget* parent);
  void OnFindInSnapshots();
  void OnFileVersions();
  void OnCompareFolder(bool withNow);
  // The selected selection's snapshots; false when none is selected.
  bool SelectedHistory(HistorySource* history) const;
  // A history window's restore and view of the version that snapshot
  // `snapshot` holds at `treePath`.
  void OnHistoryRestore(int snapshot, const QString& treePath);
  void OnHistoryView(int snapshot, const QString& treePath);
  // The restore dialog and the progress window for `treePath` (the content
  // tree's path) of snapshot `snapshot`; OnRestore's own for the tree.
  void RestoreItem(int snapshot, const std::wstring& treePath);
  void OnProperties();
  // Points selection `index` (named `name`) at `source`, where its files
  // were moved to; a refusal is shown in a message box.
  void ChangeSource(int index, const std::wstring& name, const QString& source);
  // Adds or removes one exclusion pattern of selection `index`; a refusal is
  // shown in a message box.
  void ApplyExclusionChange(int index, const QString& pattern, bool add);
  void OnPreferences();
  // "Back up when this drive is plugged into this computer": shown from and
  // applied to this computer's user services.
  void ShowPluggedInBackup(CPreferenceDlg& dialog);
  void ApplyPluggedInBackup(const CPreferenceDlg& dialog);
  void OnSafelyRemoveDrive();
  void RunFirstRunWizard();
  // Creates a selection, backs it up at once and removes it again when that
  // backup fails. True when the selection stays.
  bool CreateSelectionAndBackUp(const std::wstring& name, const std::wstring& source);
  // Backs up the selected selection with the progress window; true when it
  // completed (with or without warnings).
  bool RunBackup();
  CBackupProgressDlg* ProgressWindow();

  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void CreateStatusBar();
  void CreatePanes();
  void ApplyRowHeights();
  // Geometry and splitters of the last session, from the user's settings.
  void RestoreWindowState();
  void SaveWindowState();
  // A folder dropped on the selection list: offer a Backup Selection for it.
  void OnFolderDropped(const QString& folder);

  IVaultline* m_pIVaultline = nullptr;
  std::unique_ptr<SnapshotMounts> m_pMounts;     // made by the first Open in the File Manager
  IBackupRestoreStatus* m_pStatus = nullptr;     // current status sink
  CBackupProgressDlg* m_pProgressDlg = nullptr;  // created on first use, a child of this window
  std::wstring m_driveRoot;
  std::wstring m_restoreDestination;
  bool m_panesReady = false;
  bool m_startChecked = false;        // the first-run check has run
  bool m_offerBackupAtStart = false;  // the check asks "Back up now?" instead
  bool m_rowSplitterMoved = false;    // the one-third rule holds until the user drags

  CMarrowbyView* m_pSelectionView = nullptr;
  CSnapshotView* m_pSnapshotView = nullptr;
  CContentView* m_pContentView = nullptr;
  QLineEdit* m_pSearchEdit = nullptr;      // filters the content tree by name
  QTimer* m_pSearchTimer = nullptr;        // applies the filter once typing pauses
  QSplitter* m_pRowSplitter = nullptr;     // upper row over the snapshot list
  QSplitter* m_pColumnSplitter = nullptr;  // selection list beside the content tree
  QToolBar* m_pToolBar = nullptr;
  QLabel* m_pStoragePane = nullptr;
  QLabel* m_pLastBackupPane = nullptr;
  QProgressBar* m_pGauge = nullptr;
  QHash<unsigned, QAction*> m_actions;
};
