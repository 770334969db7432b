#include "dialogs/CFirstRunWizard.h"

#include "AppStrings.h"
#include "dialogs/CCreateProfileDlg.h"
#include "dialogs/CPreferenceDlg.h"
#include "dialogs/CWelcomeScreenDlg.h"
#include "resources/ResourceIds.h"

using namespace marrowby;

CFirstRunWizard::CFirstRunWizard(const std::wstring& driveRoot, QWidget* owner) : QWizard(owner) {
  setObjectName(QStringLiteral("firstRunWizard"));
  setWindowTitle(DialogString(dlg::kWelcome, dlg::kCaption));
  setWizardStyle(QWizard::ClassicStyle);
  setOption(QWizard::NoBackButtonOnStartPage);
  welcome_ = new CWelcomeScreenDlg;
  preferences_ = new CPreferenceDlg(driveRoot, CPreferenceDlg::Use::kWizardPage, owner);
  createProfile_ = new CCreateProfileDlg(CCreateProfileDlg::Use::kWizardPage);
  setPage(kWelcomePage, welcome_);
  setPage(kPreferencesPage, preferences_);
  setPage(kCreateProfilePage, createProfile_);
  setMinimumSize(640, 420);
}

bool CFirstRunWizard::RunAgainOnLastPage() {
  if (pageIds().size() > 1) setCurrentId(kCreateProfilePage);
  return exec() == QDialog::Accepted;
}
