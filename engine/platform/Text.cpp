#include "platform/Text.h"

#include <algorithm>
#include <cstring>
#include <cwctype>

namespace vaultline::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kEscapeBase = 0xDC00;  // escaped byte b is U+DC00 + b (b >= 0x80)

bool IsSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}
bool IsEscapedByte(char32_t c) {
  return c >= 0xDC80 && c <= 0xDCFF;
}

// Decodes one strict UTF-8 sequence at `p` (no overlongs, no encoded
// surrogates, nothing above U+10FFFF). Returns its length, or 0 when the byte
// at `p` does not start a valid sequence.
size_t DecodeUtf8Sequence(const unsigned char* p, size_t available, char32_t* out) {
  const unsigned char lead = p[0];
  if (lead < 0x80) {
    *out = lead;
    return 1;
  }
  size_t length;
  char32_t value;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (available < length) return 0;
  if (p[1] < low || p[1] > high) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (p[i] & 0x3F);
  }
  *out = value;
  return length;
}

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// wchar_t is signed on Linux: anything outside 0..U+10FFFF is not a code point.
char32_t CodePointOf(wchar_t c) {
  const auto value = static_cast<uint32_t>(c);
  return value > 0x10FFFF ? kReplacement : static_cast<char32_t>(value);
}

}  // namespace

std::wstring DecodeName(std::string_view bytes) {
  std::wstring text;
  text.reserve(bytes.size());
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t i = 0;
  while (i < bytes.size()) {
    char32_t c;
    const size_t length = DecodeUtf8Sequence(p + i, bytes.size() - i, &c);
    if (length == 0) {
      text.push_back(static_cast<wchar_t>(kEscapeBase + p[i]));
      ++i;
    } else {
      text.push_back(static_cast<wchar_t>(c));
      i += length;
    }
  }
  return text;
}

namespace {

// Escaped bytes are either given back as they were (names) or shown as U+FFFD
// together with every other surrogate (display).
enum class EscapedBytes { kRestore, kReplace };

std::string ToUtf8(std::wstring_view text, EscapedBytes escaped) {
  std::string bytes;
  bytes.reserve(text.size());
  for (wchar_t w : text) {
    const char32_t c = CodePointOf(w);
    if (escaped == EscapedBytes::kRestore && IsEscapedByte(c)) {
      bytes.push_back(static_cast<char>(c - kEscapeBase));
    } else if (escaped == EscapedBytes::kReplace && IsSurrogate(c)) {
      AppendUtf8(kReplacement, &bytes);
    } else {
      // Other lone surrogates of a name get their three-byte form.
      AppendUtf8(c, &bytes);
    }
  }
  return bytes;
}

// Calls `put` with each UTF-16 unit of `text` in order.
template <typename PutUnit>
void ForEachUtf16Unit(std::wstring_view text, PutUnit put) {
  for (wchar_t w : text) {
    const char32_t c = CodePointOf(w);
    if (c < 0x10000) {
      put(static_cast<char16_t>(c));
    } else {
      put(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      put(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
  }
}

}  // namespace

std::string EncodeName(std::wstring_view text) {
  return ToUtf8(text, EscapedBytes::kRestore);
}

std::wstring AnsiToWide(std::string_view text) {
  return DecodeName(text);
}

std::string ToDisplayUtf8(std::wstring_view text) {
  return ToUtf8(text, EscapedBytes::kReplace);
}

std::u16string ToUtf16(std::wstring_view text) {
  std::u16string units;
  units.reserve(text.size());
  ForEachUtf16Unit(text, [&units](char16_t unit) { units.push_back(unit); });
  return units;
}

namespace {

// Lone surrogates (escaped name bytes among them) are kept as they stand.
template <typename UnitAt>
std::wstring DecodeUtf16(size_t count, UnitAt unitAt) {
  // Written through a pointer into storage sized for the worst case: this runs
  // for every name of every record read.
  std::wstring text(count, L'\0');
  wchar_t* out = text.data();
  for (size_t i = 0; i < count; ++i) {
    const char16_t unit = unitAt(i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count) {
      const char16_t next = unitAt(i + 1);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        *out++ = static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
        ++i;
        continue;
      }
    }
    *out++ = static_cast<wchar_t>(unit);
  }
  text.resize(static_cast<size_t>(out - text.data()));
  return text;
}

}  // namespace

std::wstring FromUtf16(std::u16string_view units) {
  return DecodeUtf16(units.size(), [&](size_t i) { return units[i]; });
}

size_t Utf16Length(std::wstring_view text) {
  size_t units = text.size();
  for (wchar_t w : text) {
    if (CodePointOf(w) >= 0x10000) ++units;
  }
  return units;
}

bool PutFixedUtf16(std::wstring_view text, uint8_t* bytes, size_t capacity, uint32_t* length) {
  // A text of fewer than capacity / 2 characters fits whatever it holds, so
  // only long ones are counted before anything is written.
  if (2 * text.size() >= capacity && Utf16Length(text) >= capacity) return false;
  uint8_t* out = bytes;
  ForEachUtf16Unit(text, [&out](char16_t unit) {
    out[0] = static_cast<uint8_t>(unit & 0xFF);
    out[1] = static_cast<uint8_t>(unit >> 8);
    out += 2;
  });
  const size_t units = static_cast<size_t>(out - bytes) / 2;
  std::memset(out, 0, 2 * (capacity - units));
  if (length != nullptr) *length = static_cast<uint32_t>(units);
  return true;
}

std::wstring GetFixedUtf16(const uint8_t* bytes, size_t capacity, uint32_t length) {
  if (capacity == 0) return {};
  const size_t count = std::min<size_t>(length, capacity - 1);
  return DecodeUtf16(count, [bytes](size_t i) {
    return static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  });
}

std::wstring ToUpper(std::wstring_view text) {
  std::wstring upper(text);
  for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return upper;
}

}  // namespace vaultline::platform
