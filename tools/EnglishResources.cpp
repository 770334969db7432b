#include "EnglishResources.h"

#include <algorithm>
#include <chrono>
#include <cwctype>
#include <map>

#include "platform/Format.h"

namespace vaultline::cli {
namespace {

constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
constexpr int64_t kFileTimeUnitsPerSecond = 10000000;
constexpr uint16_t kLanguageEnglishUs = 1033;
constexpr int kTextBufferLength = 260;

// The texts the engine asks for and those the command line shows itself.
const std::map<unsigned, std::wstring>& Table() {
  static const std::map<unsigned, std::wstring> table = {
      {149, L"%s\nPlease verify that the path or file name are correct."},
      {175, L"Please specify a name for the Backup Selection."},
      {209, L"Configuration file is missing. \nThe previous configuration will be restored!"},
      {210, L"Brindle+"},
      {211, L"There is not enough space available for this backup"},
      {212, L"The file: "},
      {213, L" was skipped. File size exceeds predefined limit."},
      {214, L"Error getting file to backup "},
      {215, L"Error writing backup identifier "},
      {216, L"Error reading file %s"},
      {217, L"Error restoring file"},
      {218, L"Error geting file information"},
      {219, L"Problem Initializing Data"},
      {220, L"The specified File/Directory doesn't exist, File  %s"},
      {221, L"Start convert, %ld bytes for %s"},
      {222, L"File %s wasn't converted, file couldn't be read or open"},
      {223, L"End convert for %s"},
      {224, L"Path: %s is not part of Profile"},
      {225, L"Failed to perform BackUp action. - Unexpected error."},
      {226, L"Failed to perform DeleteProfile action. - Unexpected error."},
      {227, L"Failed to perform RenameProfile action. - Unexpected error."},
      {228, L"Failed to perform Restore action. - Unexpected error."},
      {229, L"The file: %1!s! was skipped. File size exceeds predefined limit."},
  };
  return table;
}

// The highest N of the %N and %N!s! inserts in `text`: how many arguments the
// caller's array must hold, as FormatMessage expects.
int HighestInsert(const std::wstring& text) {
  int highest = 0;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != L'%') continue;
    if (text[i + 1] == L'%') {
      ++i;
      continue;
    }
    int number = 0;
    size_t j = i + 1;
    while (j < text.size() && j < i + 3 && std::iswdigit(text[j])) {
      number = number * 10 + (text[j] - L'0');
      ++j;
    }
    highest = std::max(highest, number);
  }
  return highest;
}

}  // namespace

std::wstring EnglishText(unsigned id) {
  auto found = Table().find(id);
  return found == Table().end() ? std::wstring() : found->second;
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
  const int argumentCount = (flags & kFormatArgumentArray) && arguments ? HighestInsert(format) : 0;
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
