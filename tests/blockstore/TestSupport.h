// Helpers of the block store tests: a private temporary folder, whole-file
// reads and writes, random bytes, a recording status sink and a capture of
// the diagnostic log.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/DiagnosticLog.h"
#include "vaultline/Vaultline.h"

namespace vaultline::test {

using Bytes = std::vector<uint8_t>;

inline Bytes RandomBytes(size_t length, uint64_t seed) {
  std::mt19937_64 random(seed);
  Bytes bytes(length);
  for (size_t i = 0; i < length; i += 8) {
    uint64_t v = random();
    for (size_t j = 0; j < 8 && i + j < length; ++j)
      bytes[i + j] = static_cast<uint8_t>(v >> (8 * j));
  }
  return bytes;
}

inline Bytes ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

class TempFolder {
 public:
  TempFolder() {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() /
            ("blockstore-test-" + std::to_string(seed()) + std::to_string(seed()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

struct RecordingStatus : IBackupRestoreStatus {
  struct Message {
    int level;
    std::wstring text;
  };
  std::vector<Message> messages;
  std::vector<std::pair<int64_t, int64_t>> progress;
  bool stopOnProgress = false;

  bool OnTotalSize(int64_t) override { return false; }
  bool OnFile(int64_t, const wchar_t*) override { return false; }
  bool OnProgress(int64_t done, int64_t current) override {
    progress.emplace_back(done, current);
    return stopOnProgress;
  }
  void OnFileDone() override {}
  void OnFinished(const wchar_t*) override {}
  void OnMessage(int level, const wchar_t* text) override { messages.push_back({level, text}); }
  bool OnSummary(unsigned, unsigned, int64_t) override { return false; }
  bool IsCancelled() override { return false; }
};

// Collects the diagnostic log while it lives.
class DiagnosticCapture {
 public:
  DiagnosticCapture() {
    platform::SetDiagnosticSink([this](std::wstring_view line) { text_ += line; });
  }
  ~DiagnosticCapture() { platform::SetDiagnosticSink({}); }
  DiagnosticCapture(const DiagnosticCapture&) = delete;
  DiagnosticCapture& operator=(const DiagnosticCapture&) = delete;

  const std::wstring& text() const { return text_; }
  void Clear() { text_.clear(); }

 private:
  std::wstring text_;
};

}  // namespace vaultline::test
