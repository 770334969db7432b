#include "blockstore/DamageMemory.h"

#include <cinttypes>
#include <cstdio>
#include <sstream>
#include <vector>

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "util/Crc32.h"

namespace vaultline {

namespace {

constexpr const char* kFirstLine = "vaultline damaged blocks 1";
constexpr int64_t kMaxFileSize = 16 * 1024 * 1024;
constexpr const char* kKindNames[] = {"block", "content", "children"};

}  // namespace

DamageMemory::DamageMemory(std::wstring path) : path_(std::move(path)) {
  const int fd = platform::OpenFile(path_, platform::OpenMode::kRead);
  if (fd < 0) return;
  const int64_t size = platform::FileSizeOf(fd);
  std::string text;
  if (size > 0 && size <= kMaxFileSize) {
    text.resize(static_cast<size_t>(size));
    if (platform::ReadFile(fd, text.data(), text.size()) != size) text.clear();
  }
  platform::CloseFile(fd);
  if (!Parse(text)) sets_ = {};
}

bool DamageMemory::Empty() const {
  for (const auto& set : sets_) {
    if (!set.empty()) return false;
  }
  return true;
}

void DamageMemory::Add(Kind kind, int64_t position) {
  if (position < 0) return;
  changed_ = sets_[static_cast<size_t>(kind)].insert(position).second || changed_;
}

std::string DamageMemory::Text() const {
  std::string text(kFirstLine);
  text.append("\n");
  for (Kind kind : {Kind::kBlock, Kind::kContent, Kind::kChildren}) {
    for (int64_t position : Of(kind)) {
      text.append(kKindNames[static_cast<int>(kind)]).append(" ");
      text.append(std::to_string(position)).append("\n");
    }
  }
  char end[32];
  std::snprintf(end, sizeof end, "end %08" PRIx32 "\n", Crc32(text.data(), text.size()));
  return text + end;
}

bool DamageMemory::Parse(const std::string& text) {
  const size_t endLine = text.rfind("end ");
  if (endLine == std::string::npos ||
      text.compare(0, std::string(kFirstLine).size() + 1, std::string(kFirstLine) + "\n") != 0) {
    return false;
  }
  uint32_t crc = 0;
  if (std::sscanf(text.c_str() + endLine, "end %8" SCNx32, &crc) != 1 ||
      crc != Crc32(text.data(), endLine)) {
    return false;
  }
  std::istringstream lines(text.substr(0, endLine));
  std::string line;
  std::getline(lines, line);  // the first line
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string name;
    int64_t position = -1;
    if (!(fields >> name >> position) || position < 0) return false;
    size_t kind = 0;
    while (kind < sets_.size() && name != kKindNames[kind]) ++kind;
    if (kind == sets_.size()) return false;
    sets_[kind].insert(position);
  }
  return true;
}

bool DamageMemory::Save() {
  if (!changed_) return true;
  const std::wstring fresh = path_ + L".new";
  const int fd = platform::OpenFile(fresh, platform::OpenMode::kReadWriteStore);
  if (fd < 0) return false;
  const std::string text = Text();
  bool written = platform::TruncateFile(fd, 0) &&
                 platform::WriteFile(fd, text.data(), text.size()) && platform::SyncFile(fd);
  written = platform::CloseFile(fd) && written;
  if (!written || !platform::RenameFile(fresh, path_)) {
    platform::DeleteFile(fresh);
    return false;
  }
  changed_ = false;
  return true;
}

}  // namespace vaultline
