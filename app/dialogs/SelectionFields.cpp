#include "dialogs/SelectionFields.h"

#include <QLineEdit>

SelectionFields::SelectionFields() : path(new QLineEdit), name(new QLineEdit) {
  path->setObjectName(QStringLiteral("pathLineEdit"));
  name->setObjectName(QStringLiteral("nameLineEdit"));
}

void SelectionFields::Show(const QString& pathText, const QString& nameText) const {
  path->setText(pathText);
  name->setText(nameText);
}
