// Every message box of the program goes through here. Tests queue the answer
// of the next box instead of clicking it; the box is then not shown.
#pragma once

#include <QMessageBox>
#include <QString>

class MessageBox {
 public:
  // Shows `text` with the program's title as caption; returns the button chosen.
  static QMessageBox::StandardButton Show(
      QWidget* parent, const QString& text, QMessageBox::Icon icon = QMessageBox::Information,
      QMessageBox::StandardButtons buttons = QMessageBox::Ok,
      QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
      const QString& caption = QString());
  // Yes/No with No as the default.
  static bool AskYesNo(QWidget* parent, const QString& text);

  // The next box answers `answer` at once.
  static void SetNextAnswer(QMessageBox::StandardButton answer);
  // Text of the last box shown or answered; tests read and reset it.
  static QString LastText();
  // How many boxes were shown or answered since the last clearing.
  static int CountSinceClear();
  static void ClearLastText();
};
