#include "DesktopNotification.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include "CommandIcons.h"

namespace {

constexpr int kMessageMs = 10000;

std::function<void(const QString&, const QString&)>& Handler() {
  static std::function<void(const QString&, const QString&)> handler;
  return handler;
}

// One icon for the program's life, shown only while it carries a message.
struct Tray {
  QSystemTrayIcon* icon;
  QTimer* hide;
};

Tray& TrayOfProgram() {
  static Tray tray = [] {
    auto* icon = new QSystemTrayIcon(SelectionIcon(), qApp);
    auto* hide = new QTimer(icon);
    hide->setSingleShot(true);
    hide->setInterval(kMessageMs);
    QObject::connect(hide, &QTimer::timeout, icon, &QSystemTrayIcon::hide);
    QObject::connect(icon, &QSystemTrayIcon::messageClicked, icon, &QSystemTrayIcon::hide);
    return Tray{icon, hide};
  }();
  return tray;
}

}  // namespace

void NotifyDesktop(QWidget* window, const QString& title, const QString& text) {
  if (Handler()) {
    Handler()(title, text);
    return;
  }
  if (QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages()) {
    Tray& tray = TrayOfProgram();
    tray.icon->setToolTip(title);
    tray.icon->show();
    tray.icon->showMessage(title, text, QSystemTrayIcon::Information, kMessageMs);
    tray.hide->start();
    return;
  }
  if (window != nullptr) QApplication::alert(window->window());
}

void SetDesktopNotificationHandler(std::function<void(const QString&, const QString&)> handler) {
  Handler() = std::move(handler);
}
