#include "platform/Format.h"

#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "platform/Text.h"

namespace vaultline::platform {
namespace {

enum class IntegerWidth { k16, k32, k64 };

struct Directive {
  bool leftAlign = false;
  bool zeroPad = false;
  bool plusSign = false;
  bool spaceSign = false;
  bool alternate = false;
  int width = 0;
  int precision = -1;  // -1: none given
  IntegerWidth integerWidth = IntegerWidth::k32;
  bool narrowText = false;  // %hs and %hc: a char text (UTF-8) or a char
};

void AppendPadded(std::wstring* out, std::wstring_view body, const Directive& directive,
                  wchar_t fill = L' ') {
  const size_t width = directive.width > 0 ? static_cast<size_t>(directive.width) : 0;
  const size_t padding = body.size() < width ? width - body.size() : 0;
  if (directive.leftAlign) {
    out->append(body);
    out->append(padding, L' ');
  } else {
    out->append(padding, fill);
    out->append(body);
  }
}

void AppendText(std::wstring* out, const wchar_t* text, const Directive& directive) {
  std::wstring_view body = text != nullptr ? std::wstring_view(text) : std::wstring_view(L"(null)");
  if (directive.precision >= 0 && body.size() > static_cast<size_t>(directive.precision)) {
    body = body.substr(0, static_cast<size_t>(directive.precision));
  }
  AppendPadded(out, body, directive);
}

// `magnitude` is the absolute value; `sign` is L'-', L'+', L' ' or 0.
void AppendInteger(std::wstring* out, uint64_t magnitude, wchar_t sign, unsigned base, bool upper,
                   const Directive& directive) {
  const wchar_t* digitSet = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
  wchar_t digits[24];
  size_t count = 0;
  do {
    digits[count++] = digitSet[magnitude % base];
    magnitude /= base;
  } while (magnitude != 0);
  std::wstring prefix;
  if (sign != 0) prefix.push_back(sign);
  if (directive.alternate && base == 16) prefix.append(upper ? L"0X" : L"0x");

  std::wstring body;
  const size_t minimumDigits =
      directive.precision >= 0 ? static_cast<size_t>(directive.precision) : 1;
  if (directive.precision == 0 && count == 1 && digits[0] == L'0') count = 0;
  if (count < minimumDigits) body.append(minimumDigits - count, L'0');
  while (count > 0) body.push_back(digits[--count]);

  if (directive.zeroPad && !directive.leftAlign && directive.precision < 0) {
    const size_t width = static_cast<size_t>(directive.width);
    const size_t used = prefix.size() + body.size();
    if (used < width) body.insert(0, width - used, L'0');
  }
  AppendPadded(out, prefix + body, directive);
}

int ReadNumber(const wchar_t** p) {
  int value = 0;
  while (**p >= L'0' && **p <= L'9') {
    if (value < 100000) value = value * 10 + (**p - L'0');
    ++*p;
  }
  return value;
}

}  // namespace

std::wstring FormatWide(const wchar_t* format, ...) {
  std::wstring out;
  if (format == nullptr) return out;
  va_list args;
  va_start(args, format);
  const wchar_t* p = format;
  while (*p != 0) {
    if (*p != L'%') {
      out.push_back(*p++);
      continue;
    }
    const wchar_t* start = p++;
    Directive directive;
    for (;; ++p) {
      if (*p == L'-') {
        directive.leftAlign = true;
      } else if (*p == L'0') {
        directive.zeroPad = true;
      } else if (*p == L'+') {
        directive.plusSign = true;
      } else if (*p == L' ') {
        directive.spaceSign = true;
      } else if (*p == L'#') {
        directive.alternate = true;
      } else {
        break;
      }
    }
    if (*p == L'*') {
      directive.width = va_arg(args, int);
      if (directive.width < 0) {
        directive.leftAlign = true;
        directive.width = -directive.width;
      }
      ++p;
    } else {
      directive.width = ReadNumber(&p);
    }
    if (*p == L'.') {
      ++p;
      if (*p == L'*') {
        directive.precision = va_arg(args, int);
        ++p;
      } else {
        directive.precision = ReadNumber(&p);
      }
    }
    // Length: h, l (32-bit here, as on Windows), ll, I64, I32, z and I (64-bit size).
    if (std::wcsncmp(p, L"I64", 3) == 0) {
      directive.integerWidth = IntegerWidth::k64;
      p += 3;
    } else if (std::wcsncmp(p, L"I32", 3) == 0) {
      p += 3;
    } else if (std::wcsncmp(p, L"ll", 2) == 0) {
      directive.integerWidth = IntegerWidth::k64;
      p += 2;
    } else if (*p == L'l') {
      ++p;
    } else if (*p == L'h') {
      directive.integerWidth = IntegerWidth::k16;
      directive.narrowText = true;
      ++p;
    } else if (*p == L'z' || *p == L'I') {
      directive.integerWidth = IntegerWidth::k64;
      ++p;
    }
    const wchar_t conversion = *p;
    switch (conversion) {
      case L'%':
        out.push_back(L'%');
        break;
      case L's':
      case L'S':
        if (directive.narrowText) {
          const char* narrow = va_arg(args, const char*);
          const std::wstring wide = narrow != nullptr ? AnsiToWide(narrow) : std::wstring();
          AppendText(&out, narrow != nullptr ? wide.c_str() : nullptr, directive);
        } else {
          AppendText(&out, va_arg(args, const wchar_t*), directive);
        }
        break;
      case L'c':
      case L'C': {
        const wint_t argument = va_arg(args, wint_t);
        const wchar_t c = directive.narrowText
                              ? static_cast<wchar_t>(static_cast<unsigned char>(argument))
                              : static_cast<wchar_t>(argument);
        AppendPadded(&out, std::wstring_view(&c, 1), directive);
        break;
      }
      case L'd':
      case L'i': {
        int64_t value;
        if (directive.integerWidth == IntegerWidth::k64) {
          value = va_arg(args, long long);
        } else if (directive.integerWidth == IntegerWidth::k16) {
          value = static_cast<int16_t>(va_arg(args, int));
        } else {
          value = va_arg(args, int);
        }
        // Negate in unsigned arithmetic so that INT64_MIN survives.
        const uint64_t magnitude =
            value < 0 ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
        const wchar_t sign = value < 0             ? L'-'
                             : directive.plusSign  ? L'+'
                             : directive.spaceSign ? L' '
                                                   : wchar_t{0};
        AppendInteger(&out, magnitude, sign, 10, false, directive);
        break;
      }
      case L'u':
      case L'x':
      case L'X':
      case L'o': {
        uint64_t value;
        if (directive.integerWidth == IntegerWidth::k64) {
          value = va_arg(args, unsigned long long);
        } else if (directive.integerWidth == IntegerWidth::k16) {
          value = static_cast<uint16_t>(va_arg(args, unsigned));
        } else {
          value = va_arg(args, unsigned);
        }
        const unsigned base = conversion == L'u' ? 10 : conversion == L'o' ? 8 : 16;
        AppendInteger(&out, value, 0, base, conversion == L'X', directive);
        break;
      }
      default:
        // Unknown or truncated conversion: copied as it stands, nothing consumed.
        if (conversion == 0) {
          out.append(start, p);
          continue;
        }
        out.append(start, p + 1);
        break;
    }
    ++p;
  }
  va_end(args);
  return out;
}

wchar_t* FormatMessageAlloc(const wchar_t* format, const wchar_t* const* arguments, int argCount) {
  if (format == nullptr) return nullptr;
  std::wstring out;
  const wchar_t* p = format;
  while (*p != 0) {
    if (*p != L'%') {
      out.push_back(*p++);
      continue;
    }
    if (p[1] == L'%') {
      out.push_back(L'%');
      p += 2;
      continue;
    }
    const wchar_t* start = p;
    const wchar_t* q = p + 1;
    int number = 0;
    for (int digits = 0; digits < 2 && *q >= L'0' && *q <= L'9'; ++digits) {
      number = number * 10 + (*q++ - L'0');
    }
    if (number < 1) {
      // Not an insert ("%x", "%0", a lone percent at the end): kept as it stands.
      out.push_back(*p++);
      continue;
    }
    // An optional "!format!" follows; every argument is text, whatever it says.
    if (*q == L'!') {
      const wchar_t* close = std::wcschr(q + 1, L'!');
      if (close != nullptr) q = close + 1;
    }
    if (number <= argCount && arguments != nullptr) {
      if (arguments[number - 1] != nullptr) out.append(arguments[number - 1]);
    } else {
      out.append(start, q);
    }
    p = q;
  }
  auto* message = static_cast<wchar_t*>(std::malloc((out.size() + 1) * sizeof(wchar_t)));
  if (message == nullptr) return nullptr;
  std::wmemcpy(message, out.c_str(), out.size() + 1);
  return message;
}

void ReleaseMessage(wchar_t* message) {
  std::free(message);
}

namespace {

// strerror_r comes in a GNU flavour (returns the text) and an XSI one (fills
// the buffer); accept either.
[[maybe_unused]] const char* ErrorTextOf(char* result, const char*) {
  return result;
}
[[maybe_unused]] const char* ErrorTextOf(int result, const char* buffer) {
  return result == 0 ? buffer : nullptr;
}

}  // namespace

std::wstring SystemErrorText(int error) {
  char buffer[256] = {};
  const char* text = ErrorTextOf(strerror_r(error, buffer, sizeof buffer), buffer);
  if (text == nullptr) return FormatWide(L"Unknown error %d", error);
  return AnsiToWide(text);
}

int HighestPositionalInsert(const std::wstring& format) {
  int highest = 0;
  for (size_t i = 0; i + 1 < format.size(); ++i) {
    if (format[i] != L'%') continue;
    if (format[i + 1] == L'%') {
      ++i;
      continue;
    }
    int number = 0;
    size_t j = i + 1;
    while (j < format.size() && j < i + 3 && format[j] >= L'0' && format[j] <= L'9') {
      number = number * 10 + (format[j] - L'0');
      ++j;
    }
    highest = number > highest ? number : highest;
  }
  return highest;
}

}  // namespace vaultline::platform
