// The engine's only message box (a warning at start-up). The handler is the
// front end's to set (vaultline/FrontEnd.h); the default writes caption and
// text to standard error.
#pragma once

#include <string>

#include "vaultline/FrontEnd.h"

namespace vaultline::platform {

void ShowWarningMessageBox(const std::wstring& caption, const std::wstring& text);

}  // namespace vaultline::platform
