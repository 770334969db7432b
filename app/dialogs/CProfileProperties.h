// Shows a Backup Selection's name and source path. Nothing it shows is
// stored; the edit mode only makes the name writable.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPlainTextEdit;

class CProfileProperties : public QDialog {
  Q_OBJECT

 public:
  enum class Mode { kReadOnly, kEdit };
  // An empty caption becomes string 171 (read-only) or 172 (edit).
  CProfileProperties(const QString& name, const QString& description, const QString& caption,
                     QWidget* owner, Mode mode = Mode::kReadOnly);

  QString Name() const { return name_; }

 private:
  QString name_;
  QLineEdit* nameEdit_;
  QPlainTextEdit* descriptionEdit_;
};
