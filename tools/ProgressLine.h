// The one-line progress display of a backup or restore on a terminal:
// percentage, bytes done of total and the current file, redrawn in place on
// standard error at most ten times a second.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace vaultline::cli {

// "42%  1.5 MiB of 3.6 MiB  FILE", cut to `columns` by shortening the file
// from its start.
std::wstring ProgressText(int64_t done, int64_t total, const std::wstring& file, int columns);
// 1536 -> "1.5 KiB"; below 1 KiB "N B".
std::wstring ByteText(int64_t bytes);

class ProgressLine {
 public:
  // A disabled line draws nothing (standard error is not a terminal).
  explicit ProgressLine(bool enabled);

  void SetTotal(int64_t total);
  void SetFile(const std::wstring& file);
  void SetDone(int64_t done);
  // Erases the line, so that a message can be printed in its place; the next
  // update draws it again.
  void Clear();

 private:
  void Draw();

  bool enabled_;
  bool shown_ = false;
  int64_t total_ = 0;
  int64_t done_ = 0;
  std::wstring file_;
  std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace vaultline::cli
