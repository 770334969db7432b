#include "dialogs/PageDialog.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWizard>
#include <QWizardPage>

QDialog* HostDialogOf(QWizardPage* page) {
  if (qobject_cast<QWizard*>(page->window()) != nullptr) return nullptr;
  return qobject_cast<QDialog*>(page->window());
}

bool RunPageAsDialog(QWizardPage* page, QWidget* owner, const QString& caption) {
  QDialog host(owner);
  host.setObjectName(page->objectName() + QStringLiteral("Window"));
  host.setWindowTitle(caption);
  auto* layout = new QVBoxLayout(&host);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(page);
  page->show();
  const bool accepted = host.exec() == QDialog::Accepted;
  layout->removeWidget(page);
  page->hide();
  page->setParent(nullptr);
  return accepted;
}

PageButtons AddPageButtons(QWizardPage* page, bool inWizard, const QString& acceptText,
                           const QString& acceptName, const QString& cancelText,
                           std::function<bool()> accept) {
  PageButtons buttons{new QHBoxLayout, new QPushButton(acceptText), new QPushButton(cancelText)};
  buttons.accept->setObjectName(acceptName);
  buttons.accept->setDefault(true);
  buttons.cancel->setObjectName(QStringLiteral("cancelButton"));
  buttons.row->addStretch(1);
  buttons.row->addWidget(buttons.accept);
  buttons.row->addWidget(buttons.cancel);
  buttons.accept->setVisible(!inWizard);
  buttons.cancel->setVisible(!inWizard);
  QObject::connect(buttons.accept, &QPushButton::clicked, page, [page, accept] {
    QDialog* host = HostDialogOf(page);
    if (accept() && host != nullptr) host->accept();
  });
  QObject::connect(buttons.cancel, &QPushButton::clicked, page, [page] {
    if (QDialog* host = HostDialogOf(page)) host->reject();
  });
  return buttons;
}
