// Runs a wizard page on its own as a modal dialog, so that a page and its
// standalone dialog are one class. The page keeps its own buttons; it calls
// accept() or reject() on the dialog it runs in through `finished`.
#pragma once

#include <QString>
#include <functional>

class QDialog;
class QHBoxLayout;
class QPushButton;
class QWidget;
class QWizardPage;

// The dialog the page runs in, or null when it runs inside a wizard.
QDialog* HostDialogOf(QWizardPage* page);

// Shows `page` in a modal dialog owned by `owner` with `caption`; true when
// it was accepted. The page is handed back unparented afterwards.
bool RunPageAsDialog(QWizardPage* page, QWidget* owner, const QString& caption);

// The accept and Cancel buttons of a page that runs on its own, in a row
// aligned right. In a wizard they are hidden and the wizard's buttons serve.
// Accepting closes the dialog only when `accept` returns true.
struct PageButtons {
  QHBoxLayout* row;
  QPushButton* accept;
  QPushButton* cancel;
};
PageButtons AddPageButtons(QWizardPage* page, bool inWizard, const QString& acceptText,
                           const QString& acceptName, const QString& cancelText,
                           std::function<bool()> accept);
