#include "core/ConfigLineReader.h"

#include "core/LineFields.h"

namespace vaultline {

ConfigLineReader::ConfigLineReader(std::string_view bytes) : bytes_(bytes) {
  if (bytes.size() >= 2) {
    auto first = static_cast<unsigned char>(bytes[0]);
    auto second = static_cast<unsigned char>(bytes[1]);
    if (first == 0xFF && second == 0xFE) encoding_ = ConfigEncoding::kUtf16Le;
    if (first == 0xFE && second == 0xFF) encoding_ = ConfigEncoding::kUtf16Be;
  }
  if (encoding_ != ConfigEncoding::kAnsi) position_ = 2;
}

bool ConfigLineReader::NextUnit(char16_t* unit) {
  size_t width = encoding_ == ConfigEncoding::kAnsi ? 1 : 2;
  if (bytes_.size() - position_ < width) return false;
  auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes_[position_ + i]); };
  switch (encoding_) {
    case ConfigEncoding::kAnsi:
      *unit = byte(0);
      break;
    case ConfigEncoding::kUtf16Le:
      *unit = static_cast<char16_t>(byte(0) | (byte(1) << 8));
      break;
    case ConfigEncoding::kUtf16Be:
      *unit = static_cast<char16_t>((byte(0) << 8) | byte(1));
      break;
  }
  position_ += width;
  return true;
}

bool ConfigLineReader::ReadLine(std::vector<std::wstring>* fields) {
  fields->clear();
  LineFields line(fields);
  char16_t unit = 0;
  while (NextUnit(&unit)) {
    if (line.Add(unit)) return true;
  }
  fields->clear();
  return false;
}

}  // namespace vaultline
