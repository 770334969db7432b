// The engine's diagnostic log (its wide standard error stream). Lines are for
// diagnosis only and never shown to the user. A front end or a test installs
// a sink through vaultline/FrontEnd.h.
#pragma once

#include <string_view>

#include "vaultline/FrontEnd.h"

namespace vaultline::platform {

// Writes `text` as UTF-8 to file descriptor 2, or to the installed sink.
void WriteDiagnostic(std::wstring_view text);

// Writes `text` as UTF-8 to file descriptor 2 whatever sink is installed (the
// default message box, a front end's own error lines).
void WriteStandardError(std::wstring_view text);

}  // namespace vaultline::platform
