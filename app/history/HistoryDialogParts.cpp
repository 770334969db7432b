#include "history/HistoryDialogParts.h"

#include <QLabel>
#include <QPushButton>

#include "AppStrings.h"
#include "resources/ResourceIds.h"

using namespace marrowby;

QPushButton* CommandButton(unsigned textId, const QString& objectName) {
  auto* button = new QPushButton(LoadString(textId));
  button->setObjectName(objectName);
  button->setAutoDefault(false);
  return button;
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
