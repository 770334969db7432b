// A selection with a history for the tests of finding versions: three
// snapshots of "docs" in which files change, go and come, and a source that
// has changed again since.
//
//   snapshot 0: notes.md "one two three", A/b.txt, A/keep.txt, gone.txt
//   snapshot 1: notes.md "one TWO three four", gone.txt removed, A/new.txt
//   snapshot 2: as snapshot 1
//   now:        notes.md "... four five", A/b.txt changed, fresh.txt added
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

#include "support/TestDrive.h"

class CMainFrame;
class QTreeWidget;
class QWidget;
class QTreeWidgetItem;
class QMenu;

inline const QByteArray kNotesFirst = "one\ntwo\nthree\n";
inline const QByteArray kNotesSecond = "one\nTWO\nthree\nfour\n";
inline const QByteArray kNotesNow = "one\nTWO\nthree\nfour\nfive\n";

// Builds the history above on `drive` as selection "Documents".
bool MakeHistory(TestDrive& drive);
// The source file `relative` ('|' for the separator) as it is now.
QString SourceFile(const TestDrive& drive, const QString& relative);
// Writes `contents` to `path`, dated `secondsAgo` before now.
bool WriteDated(const QString& path, const QByteArray& contents, int secondsAgo);

// The main window on the drive the tests prepared, shown and active.
std::unique_ptr<CMainFrame> OpenMainWindow();
// Clicks the Restore button of `window` and answers the restore dialog with
// the folder `target`; once `frame`'s progress window has closed, returns what
// the dialog said it restores (empty when it did not close).
QString RestoreInto(CMainFrame* frame, QWidget* window, const QString& target);

// Clicks the centre of `item` of `view` with the left button.
void ClickItem(QTreeWidget* view, QTreeWidgetItem* item,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Double-clicks `item` as a person does: the first click, then the second.
void DoubleClickItem(QTreeWidget* view, QTreeWidgetItem* item);
// The item of `view` whose column `column` reads `text`, at any depth.
QTreeWidgetItem* ItemWithText(QTreeWidget* view, const QString& text, int column = 0);
// Clicks the item of the open context menu whose text is `text`, once the
// menu shows; call before the click that opens it.
void ChooseFromNextMenu(const QString& text);
