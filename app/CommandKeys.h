// Which of the keys that the menu texts show ("\tCtrl+B") are bound. The texts
// stay as they are, but a key the desktop already gives a standard meaning
// (Ctrl+V is Paste, Ctrl+P Print, Ctrl+B Bold) is left to that meaning: only
// keys that clash with none are bound.
#pragma once

#include <QKeySequence>
#include <QList>

// The standard key whose meaning `command` carries (New for New Backup
// Selection), QKeySequence::UnknownKey for none.
QKeySequence::StandardKey StandardMeaning(unsigned command);
// The keys with a standard meaning: this platform's bindings of every
// standard key, and those the Linux desktops add (Ctrl+R reloads, Ctrl+D
// and Ctrl+E edit text), so the rule does not change with the desktop.
QList<QKeySequence> StandardKeys();
// True when `key` is taken by a standard key other than `meaning`.
bool ClashesWithStandardKey(const QKeySequence& key, QKeySequence::StandardKey meaning);
// The key to bind for `command` whose menu text shows `shown`; empty when it
// would clash.
QKeySequence BoundKey(unsigned command, const QKeySequence& shown);
