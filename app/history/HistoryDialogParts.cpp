#include "history/HistoryDialogParts.h"

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

QString SnapshotListText(const HistorySource& history, const std::vector<unsigned>& indices) {
  QStringList times;
  for (unsigned index : indices) times << history.SnapshotText(index);
  return times.join(u'\n');
}
