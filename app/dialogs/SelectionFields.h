// The two fields both creation dialogs show for a new Backup Selection: the
// folder to back up and the selection's name.
#pragma once

#include <QString>

class QLineEdit;

struct SelectionFields {
  // Makes both line edits, without a parent yet.
  SelectionFields();

  // Fills both fields.
  void Show(const QString& pathText, const QString& nameText) const;

  QLineEdit* path;
  QLineEdit* name;
};
