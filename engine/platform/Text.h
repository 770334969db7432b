// Text conversion inside the engine: on the drive texts are UTF-16LE. The
// conversions of names and display texts are exported (vaultline/Text.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "vaultline/Text.h"

namespace vaultline::platform {

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
