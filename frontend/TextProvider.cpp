#include "frontend/TextProvider.h"

#include <algorithm>
#include <chrono>
#include <cwchar>

#include "vaultline/Format.h"

namespace frontend {
namespace {

constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
constexpr int64_t kFileTimeUnitsPerSecond = 10000000;
// The engine's texts to be filled in are short; longer ones are cut here.
constexpr int kFormatBufferLength = 260;

// Copies `text` into `buffer`, zero-terminated and cut to `capacity`.
int CopyText(std::wstring_view text, wchar_t* buffer, int capacity) {
  const size_t length = std::min(text.size(), static_cast<size_t>(capacity - 1));
  std::wmemcpy(buffer, text.data(), length);
  buffer[length] = L'\0';
  return static_cast<int>(length);
}

}  // namespace

void TextProvider::TimeToFileTime(int32_t time, int64_t* fileTime) {
  if (fileTime == nullptr) return;
  *fileTime = (static_cast<int64_t>(time) + kSecondsFrom1601To1970) * kFileTimeUnitsPerSecond;
}

bool TextProvider::TimeToSystemTime(int32_t time, SystemTime* systemTime) {
  if (systemTime == nullptr) return false;
  using namespace std::chrono;
  const sys_seconds moment{seconds{time}};
  const sys_days day = floor<days>(moment);
  const year_month_day date{day};
  const hh_mm_ss clock{moment - day};
  systemTime->year = static_cast<uint16_t>(static_cast<int>(date.year()));
  systemTime->month = static_cast<uint16_t>(static_cast<unsigned>(date.month()));
  systemTime->day = static_cast<uint16_t>(static_cast<unsigned>(date.day()));
  systemTime->dayOfWeek = static_cast<uint16_t>(weekday{day}.c_encoding());
  systemTime->hour = static_cast<uint16_t>(clock.hours().count());
  systemTime->minute = static_cast<uint16_t>(clock.minutes().count());
  systemTime->second = static_cast<uint16_t>(clock.seconds().count());
  systemTime->milliseconds = 0;
  // Years before 1601 have no file time; the Windows conversion fails there.
  return static_cast<int>(date.year()) >= 1601;
}

int TextProvider::LoadText(unsigned id, wchar_t* buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return 0;
  return CopyText(ProvidedText(id), buffer, capacity);
}

int TextProvider::FormatText(unsigned flags, unsigned id, void* buffer, int size,
                             const wchar_t* const* arguments) {
  if (buffer == nullptr) return 0;
  wchar_t text[kFormatBufferLength];
  LoadText(id, text, kFormatBufferLength);
  const std::wstring format = text;
  // Without an argument array there is nothing to insert.
  const int argumentCount = (flags & kFormatArgumentArray) && arguments != nullptr
                                ? vaultline::platform::HighestPositionalInsert(format)
                                : 0;
  wchar_t* message =
      vaultline::platform::FormatMessageAlloc(format.c_str(), arguments, argumentCount);
  if (message == nullptr) return 0;
  if (flags & kFormatAllocateBuffer) {
    *static_cast<wchar_t**>(buffer) = message;
    return 0;
  }
  if (size > 0) CopyText(message, static_cast<wchar_t*>(buffer), size);
  vaultline::platform::ReleaseMessage(message);
  return 0;
}

}  // namespace frontend
