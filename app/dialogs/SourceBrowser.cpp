#include "dialogs/SourceBrowser.h"

#include <QFileDialog>
#include <QFileInfo>
#include <optional>

namespace {

std::optional<QString>& NextAnswer() {
  static std::optional<QString> answer;
  return answer;
}

// In folder mode with files shown, so that Choose takes the selected file as
// well as a folder; only a path the user may read is taken.
class FileOrFolderDialog : public QFileDialog {
 public:
  FileOrFolderDialog(QWidget* owner, const QString& caption) : QFileDialog(owner, caption) {
    setObjectName(QStringLiteral("sourceBrowserDialog"));
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly, false);
  }

  QString Chosen() const { return chosen_; }

  void accept() override {
    const QStringList files = selectedFiles();
    const QFileInfo info(files.isEmpty() ? directory().absolutePath() : files.first());
    if (!info.exists() || !info.isReadable()) return;
    chosen_ = info.absoluteFilePath();
    QDialog::accept();
  }

 private:
  QString chosen_;
};

}  // namespace

QString SourceBrowser::Browse(QWidget* owner, const QString& caption, const QString& start) {
  if (NextAnswer()) {
    const QString answer = *NextAnswer();
    NextAnswer().reset();
    return answer;
  }
  FileOrFolderDialog browser(owner, caption);
  const QFileInfo info(start);
  if (info.isDir()) {
    browser.setDirectory(info.absoluteFilePath());
  } else if (info.exists()) {
    browser.setDirectory(info.absolutePath());
    browser.selectFile(info.fileName());
  }
  return browser.exec() == QDialog::Accepted ? browser.Chosen() : QString();
}

void SourceBrowser::SetNextAnswer(const QString& answer) {
  NextAnswer() = answer;
}
