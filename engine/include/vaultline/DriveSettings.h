// Settings of the front ends that travel with the drive, kept in config.ini
// beside the engine's two sizes as further "KEY";"VALUE" lines (which
// readers of the sizes skip). Keys are case-sensitive; MaxFileSize and
// MaxBackupSize are the engine's own and refused here.
#pragma once

#include <cstdint>

#include "vaultline/Vaultline.h"

// The number stored under `key`; `fallback` when there is none or it is no
// whole decimal number.
VAULTLINE_API int64_t GetDriveSetting(IVaultline* engine, const wchar_t* key, int64_t fallback);
// Stores `value` under `key` and saves config.ini at once. False for a key
// that is empty, holds a line break or is one of the engine's, or when the
// configuration cannot be saved.
VAULTLINE_API bool SetDriveSetting(IVaultline* engine, const wchar_t* key, int64_t value);
