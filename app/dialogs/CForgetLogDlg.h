// The forget log, as the user reads it: what the keep rules forgot after
// each backup and what the compactions after them gave back, newest last.
#pragma once

#include <QDialog>

#include "vaultline/Vaultline.h"

class QPlainTextEdit;

class CForgetLogDlg : public QDialog {
  Q_OBJECT

 public:
  CForgetLogDlg(IVaultline* engine, QWidget* owner);

  QString Text() const;

 private:
  QPlainTextEdit* text_;
};
