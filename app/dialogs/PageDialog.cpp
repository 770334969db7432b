#include "dialogs/PageDialog.h"

#include <QDialog>
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
