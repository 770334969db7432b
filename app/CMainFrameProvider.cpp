// The main window as the engine's string provider. It keeps no state besides
// the resource module, so the engine may call it from a worker thread.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "CMainFrame.h"
#include "ResourceModule.h"
#include "platform/Format.h"

namespace {

constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
constexpr int64_t kTicksPerSecond = 10000000;
constexpr int kFormatBufferLength = 260;

}  // namespace

void CMainFrame::TimeToFileTime(int32_t time, int64_t* fileTime) {
  if (fileTime != nullptr) *fileTime = (time + kSecondsFrom1601To1970) * kTicksPerSecond;
}

bool CMainFrame::TimeToSystemTime(int32_t time, SystemTime* systemTime) {
  if (systemTime == nullptr) return false;
  int64_t fileTime = 0;
  TimeToFileTime(time, &fileTime);
  if (fileTime < 0) return false;
  using namespace std::chrono;
  sys_seconds seconds{std::chrono::seconds(fileTime / kTicksPerSecond - kSecondsFrom1601To1970)};
  sys_days days = floor<std::chrono::days>(seconds);
  year_month_day date{days};
  hh_mm_ss<std::chrono::seconds> clock{seconds - days};
  systemTime->year = static_cast<uint16_t>(static_cast<int>(date.year()));
  systemTime->month = static_cast<uint16_t>(static_cast<unsigned>(date.month()));
  systemTime->day = static_cast<uint16_t>(static_cast<unsigned>(date.day()));
  systemTime->dayOfWeek = static_cast<uint16_t>(weekday{days}.c_encoding());
  systemTime->hour = static_cast<uint16_t>(clock.hours().count());
  systemTime->minute = static_cast<uint16_t>(clock.minutes().count());
  systemTime->second = static_cast<uint16_t>(clock.seconds().count());
  systemTime->milliseconds = 0;
  return true;
}

int CMainFrame::LoadText(unsigned id, wchar_t* buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return 0;
  std::wstring text = ResourceModule::Current().Text(id);
  size_t length = std::min(text.size(), static_cast<size_t>(capacity - 1));
  std::wmemcpy(buffer, text.data(), length);
  buffer[length] = L'\0';
  return static_cast<int>(length);
}

uint16_t CMainFrame::GetLanguage() {
  return static_cast<uint16_t>(ResourceModule::LanguageInUse());
}

int CMainFrame::FormatText(unsigned flags, unsigned id, void* buffer, int size,
                           const wchar_t* const* arguments) {
  if (buffer == nullptr) return 0;
  wchar_t format[kFormatBufferLength];
  LoadText(id, format, kFormatBufferLength);
  // Without an argument array there is nothing to insert.
  int argCount = (flags & kFormatArgumentArray) && arguments != nullptr
                     ? vaultline::platform::HighestPositionalInsert(format)
                     : 0;
  wchar_t* message = vaultline::platform::FormatMessageAlloc(format, arguments, argCount);
  if (message == nullptr) return 0;
  if (flags & kFormatAllocateBuffer) {
    *static_cast<wchar_t**>(buffer) = message;
    return 0;
  }
  if (size > 0) {
    auto* out = static_cast<wchar_t*>(buffer);
    size_t length = std::min(std::wcslen(message), static_cast<size_t>(size - 1));
    std::wmemcpy(out, message, length);
    out[length] = L'\0';
  }
  vaultline::platform::ReleaseMessage(message);
  return 0;
}
