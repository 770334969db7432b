// Formatting of the system's message texts, exported so that the front ends
// fill in the same texts the engine does.
#pragma once

#include <string>

#include "vaultline/Api.h"

namespace vaultline::platform {

// The Windows wide-printf dialect the system's texts are written in: %s and
// %ls take const wchar_t*, %d %ld %u %x take 32-bit ints (flags and width as
// in %08ld), %I64d and %I64u take 64-bit ints, %% is a percent sign. Unknown
// conversions are copied as they stand. Also %c, %x/%X, %lld, %hs (a UTF-8
// char text), flags - 0 + # and precision (string length, integer digits). Do
// not pass these texts to swprintf.
VAULTLINE_API std::wstring FormatWide(const wchar_t* format, ...);

// Positional formatting (FormatMessage): %N!s! and %N (N = 1..99) insert
// arguments[N-1] as text, %% is a percent sign; an insert beyond argCount
// is copied as it stands; any "!format!" after N is taken as text. The
// result is allocated with malloc-compatible storage and must be freed with
// ReleaseMessage (the counterpart of LocalFree). Null when `format` is null.
VAULTLINE_API wchar_t* FormatMessageAlloc(const wchar_t* format, const wchar_t* const* arguments,
                                          int argCount);
VAULTLINE_API void ReleaseMessage(wchar_t* message);
// The highest N of the %N and %N!s! inserts of a positional format text: how
// many arguments the caller's array must hold, as FormatMessage expects.
VAULTLINE_API int HighestPositionalInsert(const std::wstring& format);

// The system's text for an error number (strerror_r).
VAULTLINE_API std::wstring SystemErrorText(int error);

}  // namespace vaultline::platform
