// Shows a Backup Selection's name and source path and, when given them, its
// exclusion patterns, which the user may add to and remove from, and a way
// to point the selection at the place its source was moved to. The edit
// mode makes the name writable. Nothing is stored here: the caller reads
// Name(), Source() and Exclusions() after the dialog was accepted.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QWidget;

class CProfileProperties : public QDialog {
  Q_OBJECT

 public:
  enum class Mode { kReadOnly, kEdit };
  // An empty caption becomes string 171 (read-only) or 172 (edit).
  CProfileProperties(const QString& name, const QString& description, const QString& caption,
                     QWidget* owner, Mode mode = Mode::kReadOnly);

  // Shows the exclusions list filled with `patterns`, and a Cancel button.
  void ShowExclusions(const QStringList& patterns);

  QString Name() const { return name_; }
  // The source path as shown: the one given, or the place the user chose.
  QString Source() const { return source_; }
  // The patterns as the list holds them, in order.
  QStringList Exclusions() const;

 private:
  void AddPattern();
  void UpdateButtons();
  // The user points the selection at another file or folder.
  void ChangeSource();

  QString name_;
  QString source_;
  QLineEdit* nameEdit_;
  QPlainTextEdit* descriptionEdit_;
  QWidget* exclusionsPanel_;
  QListWidget* exclusionsList_;
  QLineEdit* patternEdit_;
  QPushButton* addButton_;
  QPushButton* removeButton_;
  QPushButton* cancelButton_;
};
