// Runs a wizard page on its own as a modal dialog, so that a page and its
// standalone dialog are one class. The page keeps its own buttons; it calls
// accept() or reject() on the dialog it runs in through `finished`.
#pragma once

#include <QString>

class QWizardPage;
class QWidget;
class QDialog;

// The dialog the page runs in, or null when it runs inside a wizard.
QDialog* HostDialogOf(QWizardPage* page);

// Shows `page` in a modal dialog owned by `owner` with `caption`; true when
// it was accepted. The page is handed back unparented afterwards.
bool RunPageAsDialog(QWizardPage* page, QWidget* owner, const QString& caption);
