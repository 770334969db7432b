// The first-run wizard: welcome, the backup limits, the first Backup
// Selection. Its pages live as long as the wizard, so a failed first backup
// can bring the user back to the last page with everything still filled in.
#pragma once

#include <QWizard>
#include <string>

class CCreateProfileDlg;
class CPreferenceDlg;
class CWelcomeScreenDlg;

class CFirstRunWizard : public QWizard {
  Q_OBJECT

 public:
  enum PageId { kWelcomePage = 0, kPreferencesPage = 1, kCreateProfilePage = 2 };

  CFirstRunWizard(const std::wstring& driveRoot, QWidget* owner);

  CPreferenceDlg* Preferences() const { return preferences_; }
  CCreateProfileDlg* CreateProfile() const { return createProfile_; }

  // Runs it again on the create-selection page.
  bool RunAgainOnLastPage();

 private:
  CWelcomeScreenDlg* welcome_;
  CPreferenceDlg* preferences_;
  CCreateProfileDlg* createProfile_;
};
