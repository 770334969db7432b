// The first page of the first-run wizard: the picture and a greeting.
#pragma once

#include <QWizardPage>

class CWelcomeScreenDlg : public QWizardPage {
  Q_OBJECT

 public:
  explicit CWelcomeScreenDlg(QWidget* parent = nullptr);
};
