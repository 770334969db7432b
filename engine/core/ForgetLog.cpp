// The forget log beside config.ini: what the keep rules forgot and what the
// compactions after them gave back, for the user to read.
#include <string_view>

#include "core/Engine.h"
#include "core/StringList.h"
#include "core/WholeFile.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace vaultline {

namespace {

// The log keeps its newest lines: past kTrimAt bytes it is cut to about
// kTrimTo, at a line's start, so that it never grows without end on the drive.
constexpr int64_t kTrimAt = 256 * 1024;
constexpr size_t kTrimTo = 128 * 1024;
// A file larger than this is not a log of ours.
constexpr int64_t kMaxLogSize = 4 * 1024 * 1024;

}  // namespace

std::wstring Engine::ForgetLogPath() const {
  return storageRoot_ + L"forget.log";
}

bool Engine::AppendForgetLog(const std::wstring& line) {
  const std::wstring path = ForgetLogPath();
  std::string bytes;
  if (platform::PathExists(path) && !ReadWholeFile(path, kMaxLogSize, &bytes)) return false;
  if (static_cast<int64_t>(bytes.size()) > kTrimAt) {
    const size_t start = bytes.find('\n', bytes.size() - kTrimTo);
    bytes.erase(0, start == std::string::npos ? bytes.size() : start + 1);
  }
  std::wstring text = line;
  // One entry, one line.
  for (wchar_t& c : text) {
    if (c == L'\n' || c == L'\r') c = L' ';
  }
  bytes +=
      platform::EncodeName(platform::Iso8601Text(platform::CurrentTime()) + L"  " + text) + '\n';
  // A pulled drive leaves the old log or the new one.
  const std::wstring temporary = path + L".new";
  return WriteSyncedFile(temporary, bytes) && platform::RenameFile(temporary, path);
}

StringList Engine::ReadForgetLog() {
  std::string bytes;
  if (!ReadWholeFile(ForgetLogPath(), kMaxLogSize, &bytes)) return nullptr;
  std::vector<std::wstring> lines;
  std::string_view rest(bytes);
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    lines.push_back(platform::DecodeName(rest.substr(0, end)));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  return MakeStringList(lines);
}

}  // namespace vaultline
