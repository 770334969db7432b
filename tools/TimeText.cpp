#include "TimeText.h"

#include <cwchar>

#include "vaultline/Clock.h"
#include "vaultline/Format.h"

namespace vaultline::cli {
namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

int64_t AsUtc(const platform::LocalDateTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

// Local time minus UTC at `seconds`.
int64_t UtcOffset(int64_t seconds) {
  platform::LocalDateTime local{};
  if (!platform::ToLocalTime(static_cast<int32_t>(seconds), &local)) return 0;
  return AsUtc(local) - seconds;
}

}  // namespace

std::wstring LocalTimeText(int64_t seconds) {
  platform::LocalDateTime t{};
  if (!platform::ToLocalTime(static_cast<int32_t>(seconds), &t)) return L"?";
  return platform::FormatWide(L"%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                              t.minute, t.second);
}

std::string IsoTimeText(int64_t seconds) {
  // Digits, separators and the offset's sign: plain ASCII.
  const std::wstring text = platform::Iso8601Text(static_cast<int32_t>(seconds));
  return std::string(text.begin(), text.end());
}

std::optional<int64_t> ParseTimeArgument(const std::wstring& text) {
  if (text.size() > 1 && text[0] == L'@') {
    wchar_t* end = nullptr;
    const long long value = std::wcstoll(text.c_str() + 1, &end, 10);
    if (end != text.c_str() + text.size()) return std::nullopt;
    return value;
  }
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, used = 0;
  if (std::swscanf(text.c_str(), L"%4d-%2d-%2d%n", &year, &month, &day, &used) != 3 || used != 10) {
    return std::nullopt;
  }
  std::wstring rest = text.substr(10);
  if (!rest.empty() && (rest[0] == L' ' || rest[0] == L'T')) {
    int more = 0;
    if (std::swscanf(rest.c_str() + 1, L"%2d:%2d%n", &hour, &minute, &more) != 2 || more != 5) {
      return std::nullopt;
    }
    rest = rest.substr(6);
    if (rest.size() >= 3 && rest[0] == L':') {
      if (std::swscanf(rest.c_str() + 1, L"%2d%n", &second, &more) != 1 || more != 2) {
        return std::nullopt;
      }
      rest = rest.substr(3);
    }
  }
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) {
    return std::nullopt;
  }
  const int64_t asUtc =
      DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  if (rest == L"Z") return asUtc;
  if (rest.size() == 6 && (rest[0] == L'+' || rest[0] == L'-') && rest[3] == L':') {
    int offsetHours = 0, offsetMinutes = 0;
    if (std::swscanf(rest.c_str() + 1, L"%2d:%2d", &offsetHours, &offsetMinutes) != 2) {
      return std::nullopt;
    }
    const int64_t offset = (offsetHours * 60 + offsetMinutes) * 60;
    return rest[0] == L'+' ? asUtc - offset : asUtc + offset;
  }
  if (!rest.empty()) return std::nullopt;
  // Local time: the offset of the moment itself, found from a first guess.
  const int64_t guess = asUtc - UtcOffset(asUtc);
  return asUtc - UtcOffset(guess);
}

}  // namespace vaultline::cli
