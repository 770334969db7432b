#include "core/DecimalNumber.h"

#include <limits>

namespace vaultline {

bool ParseDecimal(std::wstring_view text, int64_t* value) {
  size_t at = 0;
  while (at < text.size() && (text[at] == L' ' || text[at] == L'\t')) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == L'-' || text[at] == L'+')) negative = text[at++] == L'-';
  // Accumulate as a negative number so that the most negative value fits.
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  int64_t result = 0;
  size_t digits = 0;
  for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at, ++digits) {
    int digit = text[at] - L'0';
    if (result < (kMin + digit) / 10) return false;
    result = result * 10 - digit;
  }
  if (digits == 0) return false;
  if (!negative) {
    if (result == kMin) return false;
    result = -result;
  }
  *value = result;
  return true;
}

}  // namespace vaultline
