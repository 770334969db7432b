// Reads config.ini one line of fields at a time, in any of the three
// encodings the file may have: UTF-16 little-endian (FF FE), UTF-16
// big-endian (FE FF), or 8-bit with each byte taken as its own character.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vaultline {

enum class ConfigEncoding : int16_t { kAnsi = 1, kUtf16Le = 2, kUtf16Be = 3 };

class ConfigLineReader {
 public:
  // `bytes` is the whole file and must outlive the reader. The encoding is
  // decided by the first two bytes.
  explicit ConfigLineReader(std::string_view bytes);

  ConfigEncoding encoding() const { return encoding_; }

  // Replaces `fields` with the next line's fields; false at the end of the
  // file with no complete line left (an unterminated last line is lost).
  bool ReadLine(std::vector<std::wstring>* fields);

 private:
  bool NextUnit(char16_t* unit);

  std::string_view bytes_;
  size_t position_ = 0;
  ConfigEncoding encoding_ = ConfigEncoding::kAnsi;
};

}  // namespace vaultline
