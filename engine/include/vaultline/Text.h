// Text conversion, exported so that a front end reads and shows names exactly
// as the engine does. In memory texts are std::wstring (one UTF-32 code point
// per wchar_t); names from the operating system are bytes, decoded as UTF-8
// with surrogate escapes (an invalid byte b becomes U+DC80 + b and encodes
// back to b), so every name survives a round trip.
#pragma once

#include <string>
#include <string_view>

#include "vaultline/Api.h"

namespace vaultline::platform {

// OS name bytes <-> wide text (surrogate escapes for bytes that are not UTF-8).
VAULTLINE_API std::wstring DecodeName(std::string_view bytes);
// Other lone surrogates get their three-byte form; values that are no code
// point become U+FFFD.
VAULTLINE_API std::string EncodeName(std::wstring_view text);

// Narrow text of the C library or an exception (the "ANSI code page"): UTF-8,
// with the same surrogate escapes as names (an exception may quote a path).
VAULTLINE_API std::wstring AnsiToWide(std::string_view text);

// Wide text -> valid UTF-8 for display (escaped bytes become U+FFFD).
VAULTLINE_API std::string ToDisplayUtf8(std::wstring_view text);

}  // namespace vaultline::platform
