#include "ProgressLine.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "Terminal.h"
#include "vaultline/Text.h"

namespace vaultline::cli {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr const wchar_t* kEllipsis = L"...";

}  // namespace

std::wstring ByteText(int64_t bytes) {
  static const wchar_t* const kUnits[] = {L"KiB", L"MiB", L"GiB", L"TiB"};
  if (bytes < 1024) return std::to_wstring(bytes) + L" B";
  double value = static_cast<double>(bytes);
  int unit = -1;
  while (value >= 1024 && unit < 3) {
    value /= 1024;
    ++unit;
  }
  // One decimal, rounded: tenths as an integer keeps the text locale-free.
  const int64_t tenths = static_cast<int64_t>(value * 10 + 0.5);
  return std::to_wstring(tenths / 10) + L"." + std::to_wstring(tenths % 10) + L" " + kUnits[unit];
}

std::wstring ProgressText(int64_t done, int64_t total, const std::wstring& file, int columns) {
  const int64_t percent = total > 0 ? std::clamp<int64_t>(done * 100 / total, 0, 100) : 0;
  std::wstring text = std::to_wstring(percent) + L"%";
  text.insert(0, text.size() < 4 ? 4 - text.size() : 0, L' ');
  text += L"  " + ByteText(done) + L" of " + ByteText(total);
  // One column stays free: writing into the last one wraps on some terminals.
  const size_t width = columns > 1 ? static_cast<size_t>(columns - 1) : 0;
  if (text.size() >= width) return text.substr(0, width);
  if (!file.empty()) {
    const size_t room = width - text.size() - 2;
    std::wstring shown = file;
    if (shown.size() > room) {
      const size_t ellipsis = std::wcslen(kEllipsis);
      shown = room > ellipsis ? kEllipsis + shown.substr(shown.size() - (room - ellipsis))
                              : std::wstring();
    }
    if (!shown.empty()) text += L"  " + shown;
  }
  return text;
}

ProgressLine::ProgressLine(bool enabled) : enabled_(enabled) {}

void ProgressLine::SetTotal(int64_t total) {
  total_ = total;
  Draw();
}

void ProgressLine::SetFile(const std::wstring& file) {
  file_ = file;
  Draw();
}

void ProgressLine::SetDone(int64_t done) {
  done_ = std::max(done_, done);
  Draw();
}

void ProgressLine::Clear() {
  if (!shown_) return;
  std::fputs("\r\x1b[K", stderr);
  std::fflush(stderr);
  shown_ = false;
}

void ProgressLine::Draw() {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  std::string line = "\r";
  line.append(platform::ToDisplayUtf8(ProgressText(done_, total_, file_, StandardErrorColumns())));
  line.append("\x1b[K");
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  shown_ = true;
}

}  // namespace vaultline::cli
