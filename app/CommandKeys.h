// The key each command of the main window is bound to: the one its menu text
// shows ("\tCtrl+B"), and F1 for the help. A text field that has the focus
// keeps these keys for its own editing (see CMainFrame::eventFilter).
#pragma once

#include <QKeySequence>

// The key to bind for `command` whose menu text shows `shown` (empty when it
// shows none).
QKeySequence CommandKey(unsigned command, const QKeySequence& shown);
