// Process-wide texts that the selection dialogs and the wizard fill and the
// main window reads: the path and name of a new Backup Selection and the
// default restore destination. User-interface thread only.
#pragma once

#include <string>

std::wstring& NewSelectionPath();
std::wstring& NewSelectionName();
std::wstring& DefaultRestoreDestination();
