// Pieces the history windows share: their buttons, the line that names
// records that could not be read, their lists of rows, and the list of a
// version's snapshots.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "history/HistorySource.h"

class QDialog;
class QDialogButtonBox;
class QHBoxLayout;
class QLabel;
class QLayout;
class QPushButton;
class QTreeWidget;

// Versions larger than this are not read into memory to be compared.
inline constexpr int64_t kMaxCompareBytes = int64_t{32} << 20;
// The data role under which a row keeps the index of its version.
inline constexpr int kVersionRole = Qt::UserRole;

// A button with string `textId`, which never takes Enter from the lists.
QPushButton* CommandButton(unsigned textId, const QString& objectName);
// A flat list of rows under `headers`: `stretchColumn` takes the room left,
// the others fit their contents, and `sizeColumn`'s figures align right.
QTreeWidget* HistoryList(const QString& objectName, const QStringList& headers, int stretchColumn,
                         int sizeColumn);
// A line of text that wraps, above a list.
QLabel* SummaryLabel(const QString& objectName);
// The Close button of a history window.
QDialogButtonBox* CloseButtonBox();
// The row under the list: `buttons` on the left, `close` on the right.
QHBoxLayout* ActionRow(std::initializer_list<QPushButton*> buttons, QDialogButtonBox* close);
// Lays `dialog` out from top to bottom: `top` (none when null), the summary,
// the list taking the room left, the problems line and the action row.
void LayOutHistoryWindow(QDialog* dialog, QLayout* top, QLabel* summary, QTreeWidget* list,
                         QLabel* problems, QLayout* actions);
// A hidden warning line, shown by ShowProblems.
QLabel* ProblemsLabel();
// Shows what the engine could not read: every damaged record when `read`, or
// why nothing could be read when not; hides the label when there is nothing.
void ShowProblems(QLabel* label, const std::vector<std::wstring>& problems, bool read);
// The index the one selected row of `list` keeps under `role` in `column`;
// -1 unless exactly one row is selected.
int SelectedRowIndex(const QTreeWidget* list, int column, int role);
// The item of `items` the one selected row stands for; null when none is.
template <typename Item>
const Item* SelectedRowItem(const QTreeWidget* list, int column, int role,
                            const std::vector<Item>& items) {
  const int index = SelectedRowIndex(list, column, role);
  return index >= 0 && static_cast<size_t>(index) < items.size()
             ? &items[static_cast<size_t>(index)]
             : nullptr;
}
// Every snapshot of `indices`, one time a line (a tooltip).
QString SnapshotListText(const HistorySource& history, const std::vector<unsigned>& indices);
