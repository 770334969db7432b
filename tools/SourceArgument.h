// The SOURCE of create and the new place of relocate, checked as the
// desktop's dialogs check what the user picks.
#pragma once

#include <string>

#include "EngineSession.h"

namespace vaultline::cli {

// The path absolute, normalised and without a trailing separator. Throws
// CommandError when nothing exists there, or when it holds the drive's
// backup storage or lies inside it (a snapshot would read the store while it
// grows).
std::wstring CheckedSourcePath(EngineSession& session, const std::wstring& argument);

}  // namespace vaultline::cli
