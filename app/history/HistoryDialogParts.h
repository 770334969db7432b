// Pieces the history windows share: their buttons, the line that names
// records that could not be read, their lists of rows, and the list of a
// version's snapshots.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

#include "history/HistorySource.h"

class QLabel;
class QPushButton;
class QTreeWidget;

// Versions larger than this are not read into memory to be compared.
inline constexpr int64_t kMaxCompareBytes = int64_t{32} << 20;

// A button with string `textId`, which never takes Enter from the lists.
QPushButton* CommandButton(unsigned textId, const QString& objectName);
// A flat list of rows under `headers`: `stretchColumn` takes the room left,
// the others fit their contents, and `sizeColumn`'s figures align right.
QTreeWidget* HistoryList(const QString& objectName, const QStringList& headers, int stretchColumn,
                         int sizeColumn);
// A hidden warning line, shown by ShowProblems.
QLabel* ProblemsLabel();
// Shows what the engine could not read: every damaged record when `read`, or
// why nothing could be read when not; hides the label when there is nothing.
void ShowProblems(QLabel* label, const std::vector<std::wstring>& problems, bool read);
// Every snapshot of `indices`, one time a line (a tooltip).
QString SnapshotListText(const HistorySource& history, const std::vector<unsigned>& indices);
