#include "ShellOpen.h"

#include <QDesktopServices>
#include <QUrl>

namespace {
std::function<bool(const QString&)>& Handler() {
  static std::function<bool(const QString&)> handler;
  return handler;
}
}  // namespace

bool ShellOpen(const QString& path) {
  if (Handler()) return Handler()(path);
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void SetShellOpenHandler(std::function<bool(const QString&)> handler) {
  Handler() = std::move(handler);
}
