#include "EnglishResources.h"

#include <algorithm>
#include <chrono>
#include <cwctype>

#include "platform/Format.h"
#include "resources/EnglishTables.h"

namespace vaultline::cli {
namespace {

constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
constexpr int64_t kFileTimeUnitsPerSecond = 10000000;
constexpr uint16_t kLanguageEnglishUs = 1033;
constexpr int kTextBufferLength = 260;

}  // namespace

std::wstring EnglishText(unsigned id) {
  const auto* end = marrowby::kEnglishStrings + marrowby::kEnglishStringCount;
  const auto* found = std::find_if(marrowby::kEnglishStrings, end,
                                   [id](const MarrowbyString& entry) { return entry.id == id; });
  return found == end || found->text == nullptr ? std::wstring() : std::wstring(found->text);
}

void EnglishResources::TimeToFileTime(int32_t time, int64_t* fileTime) {
  *fileTime = (static_cast<int64_t>(time) + kSecondsFrom1601To1970) * kFileTimeUnitsPerSecond;
}

bool EnglishResources::TimeToSystemTime(int32_t time, SystemTime* systemTime) {
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

int EnglishResources::LoadText(unsigned id, wchar_t* buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return 0;
  const std::wstring text = EnglishText(id);
  const int length = std::min(static_cast<int>(text.size()), capacity - 1);
  std::copy_n(text.data(), length, buffer);
  buffer[length] = L'\0';
  return length;
}

uint16_t EnglishResources::GetLanguage() {
  return kLanguageEnglishUs;
}

int EnglishResources::FormatText(unsigned flags, unsigned id, void* buffer, int size,
                                 const wchar_t* const* arguments) {
  if (buffer == nullptr) return 0;
  wchar_t text[kTextBufferLength];
  LoadText(id, text, kTextBufferLength);
  const std::wstring format = text;
  const int argumentCount =
      (flags & kFormatArgumentArray) && arguments ? platform::HighestPositionalInsert(format) : 0;
  wchar_t* message = platform::FormatMessageAlloc(format.c_str(), arguments, argumentCount);
  if (message == nullptr) return 0;
  if (flags & kFormatAllocateBuffer) {
    *static_cast<wchar_t**>(buffer) = message;
    return 0;
  }
  if (size > 0) {
    auto* out = static_cast<wchar_t*>(buffer);
    const std::wstring_view formatted(message);
    const size_t length = std::min(formatted.size(), static_cast<size_t>(size - 1));
    std::copy_n(formatted.data(), length, out);
    out[length] = L'\0';
  }
  platform::ReleaseMessage(message);
  return 0;
}

}  // namespace vaultline::cli
