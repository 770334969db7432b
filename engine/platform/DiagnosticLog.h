// The engine's diagnostic log (its wide standard error stream). Lines are for
// diagnosis only and never shown to the user.
#pragma once

#include <functional>
#include <string_view>

namespace vaultline::platform {

// Writes `text` as UTF-8 to file descriptor 2, or to the installed sink;
// nothing without a sink when the environment has BRINDLE_DIAGNOSTICS=off.
void WriteDiagnostic(std::wstring_view text);

// Writes `text` as UTF-8 to file descriptor 2 whatever sink is installed (the
// default message box, a front end's own error lines).
void WriteStandardError(std::wstring_view text);

// Tests redirect the log; an empty function restores standard error.
using DiagnosticSink = std::function<void(std::wstring_view)>;
void SetDiagnosticSink(DiagnosticSink sink);

}  // namespace vaultline::platform
