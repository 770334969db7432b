// Marrowby: starts the application object and runs the event loop.
#include <QApplication>
#include <QMainWindow>
#include <QTimer>

#include "CMarrowbyApp.h"

namespace {

// A start-up check for a made drive, where no test program can reach inside:
// $MARROWBY_GRAB_WINDOW names a PNG file that receives the main window once it
// is shown, and the program then ends (exit status 0 when the file is written).
void GrabMainWindowWhenAsked() {
  const QString file = qEnvironmentVariable("MARROWBY_GRAB_WINDOW");
  if (file.isEmpty()) return;
  QTimer::singleShot(300, [file] {
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

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  CMarrowbyApp marrowby;
  if (!marrowby.InitInstance(QApplication::arguments())) return 1;
  GrabMainWindowWhenAsked();
  return QApplication::exec();
}
