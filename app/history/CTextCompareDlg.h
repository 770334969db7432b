// Two versions of a file side by side: the lines both hold, and where they
// differ, marked by colour (changed, only on the left, only on the right).
// Files that are no text are only said to be the same or to differ.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

class QLabel;
class QTreeWidget;

class CTextCompareDlg : public QDialog {
  Q_OBJECT

 public:
  struct Side {
    QString title;  // what this version is: a snapshot's time, or "now"
    QByteArray contents;
  };

  CTextCompareDlg(const QString& itemName, const Side& left, const Side& right, QWidget* owner);

  enum Column { kLeftLine, kLeftText, kRightLine, kRightText };
  // The rows that differ (changed, removed or added lines).
  int DifferingRows() const { return differing_; }

  // True when `contents` reads as text: UTF-8 without NUL bytes.
  static bool IsText(const QByteArray& contents);

 private:
  void ShowLines(const QByteArray& left, const QByteArray& right);

  QLabel* summary_;
  QTreeWidget* rows_;
  int differing_ = 0;
};
