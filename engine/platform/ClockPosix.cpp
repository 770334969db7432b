#include <time.h>

#include "platform/Clock.h"
#include "platform/Format.h"

namespace vaultline::platform {

int32_t CurrentTime() {
  return static_cast<int32_t>(::time(nullptr));
}

bool ToLocalTime(int32_t time, LocalDateTime* local) {
  const time_t seconds = time;
  // localtime_r need not look at TZ again; a changed zone should show at once.
  ::tzset();
  struct tm parts;
  if (::localtime_r(&seconds, &parts) == nullptr) return false;
  local->year = parts.tm_year + 1900;
  local->month = parts.tm_mon + 1;
  local->day = parts.tm_mday;
  local->hour = parts.tm_hour;
  local->minute = parts.tm_min;
  local->second = parts.tm_sec;
  local->dayOfWeek = parts.tm_wday;
  local->utcOffset = static_cast<int>(parts.tm_gmtoff);
  return true;
}

std::wstring CtimeText(int32_t time) {
  static const wchar_t* const kDays[] = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
  static const wchar_t* const kMonths[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                           L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
  LocalDateTime local;
  if (!ToLocalTime(time, &local)) return {};
  return FormatWide(L"%s %s %02d %02d:%02d:%02d %d\n", kDays[local.dayOfWeek],
                    kMonths[local.month - 1], local.day, local.hour, local.minute, local.second,
                    local.year);
}

std::wstring Iso8601Text(int32_t time) {
  LocalDateTime local;
  if (!ToLocalTime(time, &local)) return {};
  const int offset = local.utcOffset < 0 ? -local.utcOffset : local.utcOffset;
  return FormatWide(L"%04d-%02d-%02dT%02d:%02d:%02d%lc%02d:%02d", local.year, local.month,
                    local.day, local.hour, local.minute, local.second,
                    local.utcOffset < 0 ? L'-' : L'+', offset / 3600, offset / 60 % 60);
}

uint32_t TickCount() {
  struct timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t milliseconds =
      static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
  return static_cast<uint32_t>(milliseconds);
}

}  // namespace vaultline::platform
