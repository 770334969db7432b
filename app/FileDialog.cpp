#include "FileDialog.h"

#include <QFileDialog>
#include <QList>

namespace {
QList<QString> g_nextAnswers;
}

QString FileDialog::GetExistingDirectory(QWidget* parent, const QString& caption,
                                         const QString& start) {
  if (!g_nextAnswers.isEmpty()) return g_nextAnswers.takeFirst();
  return QFileDialog::getExistingDirectory(
      parent, caption, start, QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
}

QString FileDialog::GetOpenPath(QWidget* parent, const QString& caption, const QString& start,
                                const QString& filter) {
  if (!g_nextAnswers.isEmpty()) return g_nextAnswers.takeFirst();
  return QFileDialog::getOpenFileName(parent, caption, start, filter, nullptr,
                                      QFileDialog::DontUseNativeDialog);
}

void FileDialog::SetNextAnswer(const QString& path) {
  g_nextAnswers.append(path);
}
