// What a restore does with a file that already exists where it writes one.
#pragma once

#include "vaultline/Vaultline.h"

enum RestoreConflictRule : int {
  kReplaceLocalFile = 0,    // the stored file replaces it (the rule until one is set)
  kKeepNewerLocalFile = 1,  // it stays when it was modified after the stored file, else replaced
  kKeepBothFiles = 2,       // it stays; the stored file is written beside it, renamed
};

// Sets the rule for the later restores of `engine`. With countOnly those
// restores write nothing: they call OnFile, with the path, for each existing
// file the rule would replace, so that a caller can say how many will be.
VAULTLINE_API void SetRestoreConflict(IVaultline* engine, int rule, bool countOnly);
