// The main window's commands about the drive itself: backing up by itself
// when the drive is plugged in and removing the drive safely.
#include <QFile>
#include <QTimer>

#include "AppStrings.h"
#include "CMainFrame.h"
#include "CMarrowbyView.h"
#include "DriveRemoval.h"
#include "MessageBox.h"
#include "dialogs/CPreferenceDlg.h"
#include "linuxdesktop/DriveBackupUnit.h"
#include "linuxdesktop/DriveFileSystem.h"
#include "progress/CBackupProgressDlg.h"
#include "resources/ResourceIds.h"
#include "vaultline/Path.h"
#include "vaultline/Text.h"

using namespace marrowby;

namespace {

linuxdesktop::DriveFileSystem ProgramDrive() {
  return linuxdesktop::FindDriveFileSystem(
      vaultline::platform::EncodeName(vaultline::platform::ProgramFolder()));
}

QString DriveFolderText() {
  return ToQString(vaultline::platform::ProgramFolder());
}

QString PathText(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

}  // namespace

void CMainFrame::ShowPluggedInBackup(CPreferenceDlg& dialog) {
  const linuxdesktop::DriveFileSystem drive = ProgramDrive();
  if (!drive.removable()) {
    const std::wstring folder = FromQString(DriveFolderText());
    dialog.SetPluggedInBackup(false, false, FormatString(ids::kAutoBackupFolder, folder.c_str()));
    return;
  }
  const linuxdesktop::DriveBackupUnit unit(drive.uuid);
  const std::wstring where =
      FromQString(PathText(unit.UnitFile()) + u'\n' + PathText(unit.WantsLink()));
  dialog.SetPluggedInBackup(unit.Installed(), true,
                            FormatString(ids::kAutoBackupInstalled, where.c_str()));
}

void CMainFrame::ApplyPluggedInBackup(const CPreferenceDlg& dialog) {
  const linuxdesktop::DriveFileSystem drive = ProgramDrive();
  if (!drive.removable()) return;
  const linuxdesktop::DriveBackupUnit unit(drive.uuid);
  if (dialog.PluggedInBackup() == unit.Installed()) return;
  const std::string failure = dialog.PluggedInBackup() ? unit.Install(drive.folder) : unit.Remove();
  linuxdesktop::ReloadUserServiceManager();
  if (!failure.empty()) {
    const std::wstring reason = FromQString(QFile::decodeName(QByteArray::fromStdString(failure)));
    MessageBox::Show(this, FormatString(ids::kAutoBackupFailed, reason.c_str()),
                     QMessageBox::Warning);
  }
}

void CMainFrame::OnSafelyRemoveDrive() {
  // A mounted selection keeps files of the drive open.
  EndSnapshotMount(-1);
  const linuxdesktop::DriveFileSystem drive = ProgramDrive();
  if (!drive.removable()) {
    const std::wstring folder = FromQString(DriveFolderText());
    MessageBox::Show(this, FormatString(ids::kRemovalOfFolder, folder.c_str()),
                     QMessageBox::Information);
    return;
  }
  DriveRemovalPlan plan;
  switch (PlanDriveRemoval(QString::fromStdString(drive.uuid), &plan)) {
    case RemovalCheck::kNoService:
      MessageBox::Show(this, LoadString(ids::kRemovalNoService), QMessageBox::Warning);
      return;
    case RemovalCheck::kNotFound:
      MessageBox::Show(this, LoadString(ids::kRemovalNotFound), QMessageBox::Warning);
      return;
    case RemovalCheck::kNotRemovable:
      MessageBox::Show(this, LoadString(ids::kRemovalNotRemovable), QMessageBox::Information);
      return;
    case RemovalCheck::kReady:
      break;
  }
  if (!MessageBox::AskYesNo(this, LoadString(ids::kRemovalConfirm))) return;
  const DriveRemovalTexts texts{LoadString(ids::kRemovalDone), LoadString(ids::kRemovalFailed),
                                LoadString(ids::kRemovalBusy)};
  if (!StartDriveRemovalHelper(plan, texts)) {
    const std::wstring reason = FromQString(QStringLiteral("/bin/sh"));
    MessageBox::Show(this, FormatString(ids::kRemovalFailed, reason.c_str()), QMessageBox::Warning);
    return;
  }
  // The progress window may be the one that asked: it goes with the program.
  if (m_pProgressDlg != nullptr && m_pProgressDlg->isVisible()) {
    m_pProgressDlg->done(QDialog::Accepted);
  }
  QTimer::singleShot(0, this, [this] { close(); });
}
