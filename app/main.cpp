// Marrowby: starts the application object and runs the event loop.
#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <string_view>

#include "CMarrowbyApp.h"

namespace {

// A start-up check for a made drive, where no test program can reach inside:
// $MARROWBY_GRAB_WINDOW names a PNG file that receives the main window once it
// is shown, and the program then ends (exit status 0 when the file is written).
// Each question open over the window is named on standard output first, as
// "question: TEXT", so that the check sees what the start asked.
void GrabMainWindowWhenAsked() {
  const QString file = qEnvironmentVariable("MARROWBY_GRAB_WINDOW");
  if (file.isEmpty()) return;
  QTimer::singleShot(300, [file] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (box != nullptr && box->isVisible()) {
        std::fputs(qPrintable(QStringLiteral("question: ") + box->text().simplified() + u'\n'),
                   stdout);
      }
    }
    std::fflush(stdout);
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* window = qobject_cast<QMainWindow*>(widget);
      if (window != nullptr && window->isVisible()) {
        QApplication::exit(window->grab().save(file, "PNG") ? 0 : 1);
        return;
      }
    }
    QApplication::exit(1);
  });
}

}  // namespace

// Answered before any window system is asked for: `marrowby --help` works on
// a terminal without a display.
bool PrintHelpWhenAsked(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument(argv[i]);
    if (argument == "--help" || argument == "-h") {
      std::fputs(
          "usage: marrowby [--drive DIR] [--offer-backup]\n"
          "  --drive DIR     take DIR as the drive: the backups are in DIR/BackupStorage/\n"
          "                  (by default the folder of the program)\n"
          "  --offer-backup  ask \"Back up now?\" once the window is up (the drive's\n"
          "                  autorun starts the program so)\n"
          "  --help          show this text\n",
          stdout);
      return true;
    }
  }
  return false;
}

int main(int argc, char** argv) {
  if (PrintHelpWhenAsked(argc, argv)) return 0;
  QApplication application(argc, argv);
  CMarrowbyApp marrowby;
  if (!marrowby.InitInstance(QApplication::arguments())) return 1;
  GrabMainWindowWhenAsked();
  return QApplication::exec();
}
