// Text conversion. In memory texts are std::wstring (one UTF-32 code point per
// wchar_t); on the drive they are UTF-16LE; names from the operating system
// are bytes, decoded as UTF-8 with surrogate escapes (an invalid byte b becomes
// U+DC80 + b and encodes back to b), so every name survives a round trip.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vaultline::platform {

// OS name bytes <-> wide text (surrogate escapes for bytes that are not UTF-8).
std::wstring DecodeName(std::string_view bytes);
// Other lone surrogates get their three-byte form; values that are no code
// point become U+FFFD.
std::string EncodeName(std::wstring_view text);

// Narrow text of the C library or an exception (the "ANSI code page"): UTF-8,
// with the same surrogate escapes as names (an exception may quote a path).
std::wstring AnsiToWide(std::string_view text);

// Wide text -> valid UTF-8 for display (escaped bytes become U+FFFD).
std::string ToDisplayUtf8(std::wstring_view text);

// UTF-16 code units of a wide text (a code point above U+FFFF takes two).
// Lone surrogates (escaped name bytes) are kept as single units both ways.
std::u16string ToUtf16(std::wstring_view text);
std::wstring FromUtf16(std::u16string_view units);
size_t Utf16Length(std::wstring_view text);

// Fixed on-drive text arrays of `capacity` UTF-16 units (512 in every record):
// writes the text, a terminating zero and zeros after it as little-endian
// bytes at `bytes` (2 * capacity of them). Fails (writing nothing) when the
// text needs capacity units or more. `length` receives the units written.
bool PutFixedUtf16(std::wstring_view text, uint8_t* bytes, size_t capacity, uint32_t* length);
// Reads `length` units (clamped to capacity - 1) from such an array.
std::wstring GetFixedUtf16(const uint8_t* bytes, size_t capacity, uint32_t length);

// Upper case by the current locale's rules (diagnostics keys).
std::wstring ToUpper(std::wstring_view text);

}  // namespace vaultline::platform
