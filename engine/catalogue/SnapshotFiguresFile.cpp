#include "catalogue/SnapshotFiguresFile.h"

#include "catalogue/SidecarBytes.h"
#include "catalogue/SidecarStamp.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "util/ByteOrder.h"

namespace vaultline {

namespace {

constexpr SidecarStamp kStamp{0x53474946, 1, 76};  // "FIGS" in the file
constexpr uint16_t kRecorded = 1;
// A million snapshots' worth; a larger file is not ours.
constexpr int64_t kMaxFileSize = int64_t{80} << 20;

void PutRecord(const SnapshotFigures& figures, uint8_t* at) {
  kStamp.Open(at);
  StoreLe16(figures.recorded ? kRecorded : 0, at + 6);
  StoreLe32(static_cast<uint32_t>(figures.snapshotTime), at + 8);
  StoreLe32(figures.files, at + 12);
  StoreLe64(static_cast<uint64_t>(figures.rootOffset), at + 16);
  StoreLe64(static_cast<uint64_t>(figures.endOffset), at + 24);
  StoreLe64(static_cast<uint64_t>(figures.bytes), at + 32);
  StoreLe64(static_cast<uint64_t>(figures.newBytes), at + 40);
  StoreLe32(figures.changedFiles, at + 48);
  StoreLe32(figures.oversize, at + 52);
  StoreLe32(figures.pathTooLong, at + 56);
  StoreLe32(figures.unreadable, at + 60);
  StoreLe32(figures.unreadFolders, at + 64);
  kStamp.Seal(at, SnapshotFiguresFile::kRecordSize);
}

bool GetRecord(const uint8_t* at, SnapshotFigures* figures) {
  if (!kStamp.Opens(at) || !kStamp.IsSealed(at, SnapshotFiguresFile::kRecordSize)) return false;
  figures->recorded = (LoadLe16(at + 6) & kRecorded) != 0;
  figures->snapshotTime = static_cast<int32_t>(LoadLe32(at + 8));
  figures->files = LoadLe32(at + 12);
  figures->rootOffset = static_cast<int64_t>(LoadLe64(at + 16));
  figures->endOffset = static_cast<int64_t>(LoadLe64(at + 24));
  figures->bytes = static_cast<int64_t>(LoadLe64(at + 32));
  figures->newBytes = static_cast<int64_t>(LoadLe64(at + 40));
  figures->changedFiles = LoadLe32(at + 48);
  figures->oversize = LoadLe32(at + 52);
  figures->pathTooLong = LoadLe32(at + 56);
  figures->unreadable = LoadLe32(at + 60);
  figures->unreadFolders = LoadLe32(at + 64);
  return true;
}

std::vector<uint8_t> Records(const std::vector<SnapshotFigures>& figures) {
  std::vector<uint8_t> bytes(figures.size() * SnapshotFiguresFile::kRecordSize, 0);
  for (size_t i = 0; i < figures.size(); ++i) {
    PutRecord(figures[i], bytes.data() + i * SnapshotFiguresFile::kRecordSize);
  }
  return bytes;
}

}  // namespace

std::vector<SnapshotFigures> SnapshotFiguresFile::Load() const {
  std::vector<SnapshotFigures> figures;
  const std::vector<uint8_t> bytes = ReadSidecar(path_, kMaxFileSize);
  for (size_t at = 0; at + kRecordSize <= bytes.size(); at += kRecordSize) {
    SnapshotFigures record;
    if (GetRecord(bytes.data() + at, &record)) figures.push_back(record);
  }
  return figures;
}

bool SnapshotFiguresFile::Append(const std::vector<SnapshotFigures>& figures) const {
  const int fd = platform::OpenFile(path_, platform::OpenMode::kReadWriteStore);
  if (fd < 0) return false;
  // A torn record at the end would shift every record behind it.
  const int64_t size = platform::FileSizeOf(fd);
  const int64_t whole = size < 0 ? -1 : size - size % static_cast<int64_t>(kRecordSize);
  const std::vector<uint8_t> bytes = Records(figures);
  bool written = whole >= 0 && platform::TruncateFile(fd, whole) &&
                 platform::SeekFile(fd, whole, platform::SeekFrom::kStart) == whole &&
                 platform::WriteFile(fd, bytes.data(), bytes.size());
  if (!written && whole >= 0) platform::TruncateFile(fd, whole);
  written = platform::CloseFile(fd) && written;
  return written;
}

bool SnapshotFiguresFile::Rewrite(const std::vector<SnapshotFigures>& figures) const {
  return ReplaceSidecar(path_, Records(figures));
}

const SnapshotFigures* SnapshotFiguresFile::Find(const std::vector<SnapshotFigures>& figures,
                                                 int32_t time, int64_t root, int64_t end) {
  for (auto it = figures.rbegin(); it != figures.rend(); ++it) {
    if (it->Describes(time, root, end)) return &*it;
  }
  return nullptr;
}

}  // namespace vaultline
