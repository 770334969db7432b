#include "dialogs/CForgetLogDlg.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

#include "AppStrings.h"
#include "EngineList.h"
#include "resources/ResourceIds.h"
#include "vaultline/KeepRules.h"

using namespace marrowby;

CForgetLogDlg::CForgetLogDlg(IVaultline* engine, QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("forgetLogDialog"));
  setWindowTitle(LoadString(ids::kForgetLogCaption));
  QStringList lines;
  for (const std::wstring& line : TakeList(engine, ReadForgetLog(engine))) {
    if (!line.empty()) lines << ToQString(line);
  }
  text_ =
      new QPlainTextEdit(lines.isEmpty() ? LoadString(ids::kForgetLogEmpty) : lines.join(u'\n'));
  text_->setObjectName(QStringLiteral("forgetLogText"));
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  QPushButton* close = buttons->button(QDialogButtonBox::Close);
  close->setObjectName(QStringLiteral("closeButton"));
  close->setText(LoadString(ids::kClose));
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(buttons);
  resize(720, 420);
  // The newest lines are the ones looked for.
  text_->moveCursor(QTextCursor::End);
}

QString CForgetLogDlg::Text() const {
  return text_->toPlainText();
}
