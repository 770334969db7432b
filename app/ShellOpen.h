// The shell's "open" verb: hands a file to the desktop's default application.
// Tests replace the handler so that nothing is launched.
#pragma once

#include <QString>
#include <functional>

// True when the desktop accepted the file.
bool ShellOpen(const QString& path);
// An empty function restores the desktop's handler.
void SetShellOpenHandler(std::function<bool(const QString&)> handler);
