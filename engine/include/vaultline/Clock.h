// Time services: the C library's time functions and the tick count, exported
// so that the front ends show times as the engine reckons them.
#pragma once

#include <cstdint>
#include <string>

#include "vaultline/Api.h"

namespace vaultline::platform {

VAULTLINE_API int32_t CurrentTime();  // time(): seconds since 1970-01-01 UTC

struct LocalDateTime {
  int year, month, day, hour, minute, second;  // month 1..12
  int dayOfWeek;                               // 0 = Sunday
  int utcOffset = 0;                           // seconds east of UTC
};
VAULTLINE_API bool ToLocalTime(int32_t time, LocalDateTime* local);

// ctime-style text "Www Mmm dd hh:mm:ss yyyy\n" in local time, the day
// zero-padded as the Windows C library prints it; empty when it cannot convert.
VAULTLINE_API std::wstring CtimeText(int32_t time);

// ISO 8601 text in local time with its offset from UTC,
// "2026-12-10T09:42:14+01:00"; empty when it cannot convert.
VAULTLINE_API std::wstring Iso8601Text(int32_t time);

// Milliseconds of CLOCK_MONOTONIC, as 32 bits.
VAULTLINE_API uint32_t TickCount();

}  // namespace vaultline::platform
