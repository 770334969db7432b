// What the desktop program alone needs of the operating system: the
// single-instance mutex, language libraries, locale identifiers, the runtime
// locale and the private temporary folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace desktop {

// CreateMutex with a name: a lock file named `name` in the per-user runtime
// folder, held with flock until ReleaseInstanceLock or process exit.
// `existedBefore` is true when another holder has it (ERROR_ALREADY_EXISTS).
// Returns the handle, or -1 when the lock is held elsewhere or cannot be made.
int AcquireInstanceLock(std::wstring_view name, bool* existedBefore);
void ReleaseInstanceLock(int handle);

// LoadLibrary: a trailing ".dll" is read as ".so"; a name without separator
// goes through the loader's ordinary search. Null when it does not load.
void* LoadLibraryFile(std::wstring_view path);
// GetProcAddress; null when the library lacks the symbol.
void* LibrarySymbol(void* library, const char* name);
void FreeLibraryFile(void* library);

// Windows locale identifier of a POSIX locale name such as "de_DE.UTF-8"
// (1031); a language alone maps to its main country; "C", "POSIX" and
// unknown names give 1033.
uint32_t LocaleIdFromName(std::string_view name);
// The POSIX name ("de_DE") of a locale identifier; empty when unknown.
std::string LocaleNameFromId(uint32_t id);
// GetUserDefaultLCID: from LC_ALL, LC_MESSAGES or LANG, the first set.
uint32_t UserDefaultLocaleId();
// GetSystemDefaultLCID: from LANG in /etc/default/locale (1033 without it).
uint32_t SystemDefaultLocaleId();
// setlocale(LC_ALL, "") for the runtime library.
void SetRuntimeLocaleFromUser();

// The per-user runtime folder ($XDG_RUNTIME_DIR), or the private temporary
// folder when that is unset; with a trailing separator.
std::wstring UserRuntimeFolder();
// GetTempPath: a private folder of this user (mode 0700, checked to be owned
// by the user and not a link), with a trailing separator; empty when no such
// folder can be had.
std::wstring PrivateTempFolder();

}  // namespace desktop
