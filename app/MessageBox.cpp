#include "MessageBox.h"

#include <QList>

#include "AppStrings.h"
#include "resources/ResourceIds.h"

namespace {
QList<QMessageBox::StandardButton> g_nextAnswers;
QString g_lastText;
int g_count = 0;
}  // namespace

QMessageBox::StandardButton MessageBox::Show(QWidget* parent, const QString& text,
                                             QMessageBox::Icon icon,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton,
                                             const QString& caption) {
  g_lastText = text;
  ++g_count;
  if (!g_nextAnswers.isEmpty()) return g_nextAnswers.takeFirst();
  QMessageBox box(icon, caption.isEmpty() ? LoadString(marrowby::ids::kAppTitle) : caption, text,
                  buttons, parent);
  box.setObjectName(QStringLiteral("messageBox"));
  if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

bool MessageBox::AskYesNo(QWidget* parent, const QString& text) {
  return Show(parent, text, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
              QMessageBox::No) == QMessageBox::Yes;
}

void MessageBox::SetNextAnswer(QMessageBox::StandardButton answer) {
  g_nextAnswers.append(answer);
}
QString MessageBox::LastText() {
  return g_lastText;
}
int MessageBox::CountSinceClear() {
  return g_count;
}
void MessageBox::ClearLastText() {
  g_lastText.clear();
  g_count = 0;
}
