// Tells the desktop that a backup or restore ended while the user was looking
// elsewhere: a message from a tray icon where the desktop has a tray, else the
// window asks for attention (the taskbar entry is marked). Harmless on a
// desktop with neither. Tests replace the handler so that nothing is shown.
#pragma once

#include <QString>
#include <functional>

class QWidget;

void NotifyDesktop(QWidget* window, const QString& title, const QString& text);
// An empty function restores the desktop's notification.
void SetDesktopNotificationHandler(std::function<void(const QString&, const QString&)> handler);
