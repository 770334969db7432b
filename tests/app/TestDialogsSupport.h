// Helpers shared by the tests of the progress window, the dialogs and the
// wizard.
#pragma once

#include <QString>
#include <QWidget>

#include "support/TestDrive.h"

// The text of child `name` of `parent` (a label, line edit or button).
template <typename Widget>
QString TextOf(QWidget* parent, const char* name) {
  auto* child = parent->findChild<Widget*>(QString::fromLatin1(name));
  return child ? child->text() : QStringLiteral("<missing %1>").arg(QString::fromLatin1(name));
}
