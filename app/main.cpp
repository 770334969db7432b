// Marrowby: starts the application object and runs the event loop.
#include <QApplication>

#include "CMarrowbyApp.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  CMarrowbyApp marrowby;
  if (!marrowby.InitInstance(QApplication::arguments())) return 1;
  return QApplication::exec();
}
