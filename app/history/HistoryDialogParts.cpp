#include "history/HistoryDialogParts.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTreeWidget>

#include "AppStrings.h"
#include "resources/ResourceIds.h"

using namespace marrowby;

QPushButton* CommandButton(unsigned textId, const QString& objectName) {
  auto* button = new QPushButton(LoadString(textId));
  button->setObjectName(objectName);
  button->setAutoDefault(false);
  return button;
}

QTreeWidget* HistoryList(const QString& objectName, const QStringList& headers, int stretchColumn,
                         int sizeColumn) {
  auto* list = new QTreeWidget;
  list->setObjectName(objectName);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setHeaderLabels(headers);
  list->header()->setStretchLastSection(false);
  for (int column = 0; column < headers.size(); ++column) {
    list->header()->setSectionResizeMode(
        column, column == stretchColumn ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
  }
  list->headerItem()->setTextAlignment(sizeColumn, Qt::AlignRight | Qt::AlignVCenter);
  return list;
}

QLabel* SummaryLabel(const QString& objectName) {
  auto* label = new QLabel;
  label->setObjectName(objectName);
  label->setWordWrap(true);
  return label;
}

QDialogButtonBox* CloseButtonBox() {
  auto* box = new QDialogButtonBox(QDialogButtonBox::Close);
  box->button(QDialogButtonBox::Close)->setText(LoadString(ids::kClose));
  return box;
}

QHBoxLayout* ActionRow(std::initializer_list<QPushButton*> buttons, QDialogButtonBox* close) {
  auto* row = new QHBoxLayout;
  for (QPushButton* button : buttons) row->addWidget(button);
  row->addStretch(1);
  row->addWidget(close);
  return row;
}

void LayOutHistoryWindow(QDialog* dialog, QLayout* top, QLabel* summary, QTreeWidget* list,
                         QLabel* problems, QLayout* actions) {
  auto* layout = new QVBoxLayout(dialog);
  if (top != nullptr) layout->addLayout(top);
  layout->addWidget(summary);
  layout->addWidget(list, 1);
  layout->addWidget(problems);
  layout->addLayout(actions);
}

QLabel* ProblemsLabel() {
  auto* label = new QLabel;
  label->setObjectName(QStringLiteral("problemsLabel"));
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setStyleSheet(QStringLiteral("color: #a4000f;"));
  label->hide();
  return label;
}

void ShowProblems(QLabel* label, const std::vector<std::wstring>& problems, bool read) {
  QString text;
  if (!read) {
    const std::wstring why = problems.empty() ? std::wstring() : problems.front();
    text = FormatString(ids::kHistoryFailed, why.c_str());
  } else {
    text = ProblemsText(problems);
  }
  label->setText(text);
  label->setVisible(!text.isEmpty());
}

int SelectedRowIndex(const QTreeWidget* list, int column, int role) {
  const QList<QTreeWidgetItem*> selected = list->selectedItems();
  return selected.size() == 1 ? selected.front()->data(column, role).toInt() : -1;
}

QString SnapshotListText(const HistorySource& history, const std::vector<unsigned>& indices) {
  QStringList times;
  for (unsigned index : indices) times << history.SnapshotText(index);
  return times.join(u'\n');
}
