#include "history/CTextCompareDlg.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStringDecoder>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "AppStrings.h"
#include "ScreenScale.h"
#include "SizeText.h"
#include "history/HistoryDialogParts.h"
#include "history/LineDiff.h"
#include "resources/ResourceIds.h"

using namespace marrowby;

namespace {

QStringList LinesOf(const QByteArray& contents) {
  QString text = QString::fromUtf8(contents);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QStringList lines = text.split(u'\n');
  // A last line break ends the last line; it starts no new one.
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
  return lines;
}

// Light tints that keep dark text readable whatever the desktop's theme.
QColor TintOf(DiffRow::Kind kind) {
  switch (kind) {
    case DiffRow::kChanged:
      return QColor(0xff, 0xf0, 0xb3);
    case DiffRow::kRemoved:
      return QColor(0xf8, 0xd0, 0xd0);
    case DiffRow::kAdded:
      return QColor(0xcf, 0xf0, 0xcf);
    case DiffRow::kSame:
      break;
  }
  return QColor();
}

}  // namespace

bool CTextCompareDlg::IsText(const QByteArray& contents) {
  if (contents.contains('\0')) return false;
  QStringDecoder decoder(QStringDecoder::Utf8);
  const QString decoded = decoder.decode(contents);
  return !decoder.hasError();
}

CTextCompareDlg::CTextCompareDlg(const QString& itemName, const Side& left, const Side& right,
                                 QWidget* owner)
    : QDialog(owner) {
  setObjectName(QStringLiteral("textCompareDialog"));
  const std::wstring name = FromQString(itemName);
  setWindowTitle(FormatString(ids::kTextCompareCaption, name.c_str()));
  summary_ = SummaryLabel(QStringLiteral("compareSummaryLabel"));
  rows_ = new QTreeWidget;
  rows_->setObjectName(QStringLiteral("compareRows"));
  rows_->setRootIsDecorated(false);
  rows_->setUniformRowHeights(true);
  rows_->setSelectionMode(QAbstractItemView::NoSelection);
  rows_->setHeaderLabels({QString(), left.title, QString(), right.title});
  rows_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  rows_->header()->setStretchLastSection(false);
  for (int column : {kLeftLine, kRightLine}) {
    rows_->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  }
  for (int column : {kLeftText, kRightText}) {
    rows_->header()->setSectionResizeMode(column, QHeaderView::Stretch);
  }

  QDialogButtonBox* buttons = CloseButtonBox();
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(summary_);
  layout->addWidget(rows_, 1);
  layout->addWidget(buttons);
  resize(Scaled(this, QSize(1000, 620)));

  if (IsText(left.contents) && IsText(right.contents)) {
    ShowLines(left.contents, right.contents);
    return;
  }
  rows_->hide();
  const bool same = left.contents == right.contents;
  if (!same) differing_ = 1;
  const std::wstring leftSize = FromQString(SizeText(left.contents.size()));
  const std::wstring rightSize = FromQString(SizeText(right.contents.size()));
  summary_->setText(
      same ? FormatString(ids::kNotTextSame, name.c_str())
           : FormatString(ids::kNotTextDiffer, name.c_str(), leftSize.c_str(), rightSize.c_str()));
  resize(Scaled(this, QSize(480, 140)));
}

void CTextCompareDlg::ShowLines(const QByteArray& left, const QByteArray& right) {
  const QStringList leftLines = LinesOf(left);
  const QStringList rightLines = LinesOf(right);
  QTreeWidgetItem* firstDifference = nullptr;
  QList<QTreeWidgetItem*> items;
  for (const DiffRow& row : DiffLines(leftLines, rightLines)) {
    auto* item = new QTreeWidgetItem;
    if (row.left >= 0) {
      item->setText(kLeftLine, QString::number(row.left + 1));
      item->setText(kLeftText, leftLines[row.left]);
    }
    if (row.right >= 0) {
      item->setText(kRightLine, QString::number(row.right + 1));
      item->setText(kRightText, rightLines[row.right]);
    }
    item->setTextAlignment(kLeftLine, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(kRightLine, Qt::AlignRight | Qt::AlignVCenter);
    if (row.kind != DiffRow::kSame) {
      ++differing_;
      if (firstDifference == nullptr) firstDifference = item;
      const QColor tint = TintOf(row.kind);
      for (int column : {kLeftText, kRightText}) {
        // An empty side of a removed or added line stays plain.
        if ((column == kLeftText ? row.left : row.right) < 0) continue;
        item->setBackground(column, tint);
        item->setForeground(column, QColor(Qt::black));
      }
    }
    items.push_back(item);
  }
  rows_->addTopLevelItems(items);
  summary_->setText(differing_ == 0 ? LoadString(ids::kSameContents)
                                    : FormatString(ids::kLinesDiffer, differing_));
  if (firstDifference != nullptr)
    rows_->scrollToItem(firstDifference, QAbstractItemView::PositionAtCenter);
}
