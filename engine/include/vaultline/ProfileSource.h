// Pointing a Backup Selection at the place its source was moved to.
#pragma once

#include "vaultline/Vaultline.h"

enum ProfileSourceResult : int {
  kSourceChanged = 0,
  kSourceMissing = 1,      // nothing exists at the new path: nothing changed
  kSourceNotChanged = -1,  // no such selection, or the settings could not be saved
};

// Makes `path` the source of selection `profile` and saves the settings. Its
// snapshots stay, each listing and restoring below the place it was taken
// of; the next backup takes the new place, and stores of its files only the
// blocks that are not stored already. A ProfileSourceResult.
VAULTLINE_API int SetProfileSource(IVaultline* engine, unsigned profile, const wchar_t* path);
