// Parsing of the signed decimal 64-bit numbers of config.ini and
// diagnostics.ini, as "%I64d" reads them.
#pragma once

#include <cstdint>
#include <string_view>

namespace vaultline {

// Leading blanks and a sign are allowed and reading stops at the first
// character that is not a digit; false when no digit comes or the number does
// not fit in 64 bits.
bool ParseDecimal(std::wstring_view text, int64_t* value);

}  // namespace vaultline
