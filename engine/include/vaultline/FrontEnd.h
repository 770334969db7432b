// What a front end tells the engine before it creates it: how the engine's
// one warning box is shown, and where its diagnostic log goes. The engine
// library holds the only copy of the platform layer in the process, so these
// settings reach every part of the engine.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "vaultline/Api.h"

namespace vaultline::platform {

// The engine's only message box (a warning at start-up). The default writes
// caption and text to standard error; the desktop program shows a Qt box.
using MessageBoxHandler = void (*)(const std::wstring& caption, const std::wstring& text);
VAULTLINE_API void SetMessageBoxHandler(MessageBoxHandler handler);  // null: the default

// The diagnostic log goes to standard error unless a sink is installed; a
// sink that does nothing keeps it off (the command line, unless verbose).
// An empty function restores standard error.
using DiagnosticSink = std::function<void(std::wstring_view)>;
VAULTLINE_API void SetDiagnosticSink(DiagnosticSink sink);

}  // namespace vaultline::platform
