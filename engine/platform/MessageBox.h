// The engine's only message box (a warning at start-up). The handler is
// replaceable; the default writes caption and text to standard error. The
// desktop program installs a Qt message box before it creates the engine.
#pragma once

#include <string>

namespace vaultline::platform {

using MessageBoxHandler = void (*)(const std::wstring& caption, const std::wstring& text);
void SetMessageBoxHandler(MessageBoxHandler handler);  // null restores the default
void ShowWarningMessageBox(const std::wstring& caption, const std::wstring& text);

}  // namespace vaultline::platform
