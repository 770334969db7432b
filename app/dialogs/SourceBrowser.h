// The browser for the source of a new Backup Selection, which may be a file
// or a folder (the stock dialogs pick one kind only). Tests queue the next
// answer instead of clicking it.
#pragma once

#include <QString>

class QWidget;

class SourceBrowser {
 public:
  // Opens on `start` when it exists; returns a readable file or folder, or
  // empty when nothing was chosen.
  static QString Browse(QWidget* owner, const QString& caption, const QString& start);

  // The next Browse returns `answer` without opening anything.
  static void SetNextAnswer(const QString& answer);
};
