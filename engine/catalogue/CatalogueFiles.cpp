#include "catalogue/CatalogueFiles.h"

#include "blockstore/BlockStore.h"
#include "catalogue/DirectoryFile.h"
#include "catalogue/SnapshotFile.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "util/ThreadPlan.h"

namespace vaultline {

namespace {

int OpenStoreFile(const std::wstring& path) {
  return platform::OpenFile(path, platform::OpenMode::kReadWriteStore);
}

// The selection's location: the directory file ("file.dir") without ".dir".
std::wstring LocationOf(const std::wstring& directoryPath) {
  const std::wstring suffix = L".dir";
  const bool named =
      directoryPath.size() >= suffix.size() &&
      directoryPath.compare(directoryPath.size() - suffix.size(), suffix.size(), suffix) == 0;
  return named ? directoryPath.substr(0, directoryPath.size() - suffix.size()) : directoryPath;
}

}  // namespace

CatalogueFiles::CatalogueFiles(const std::wstring& contentPath, const std::wstring& directoryPath,
                               std::wstring snapshotPath, std::unique_ptr<BlockStore> store)
    : threads_(store != nullptr ? store->Threads() : std::make_shared<ThreadPlan>()),
      store_(std::move(store)),
      location_(LocationOf(directoryPath)),
      snapshotPath_(std::move(snapshotPath)),
      figuresFile_(LocationOf(directoryPath) + L".figures") {
  contentFd_ = OpenStoreFile(contentPath);
  directoryFd_ = OpenStoreFile(directoryPath);
  snapshotFd_ = OpenStoreFile(snapshotPath_);
  filesCreated_ = snapshotFd_ < 0 || platform::FileSizeOf(snapshotFd_) == 0;
  directory_ = std::make_unique<DirectoryFile>(directoryFd_, threads_.get());
  snapshot_ = std::make_unique<SnapshotFile>(snapshotFd_, snapshotPath_);
  open_ = contentFd_ >= 0 && directoryFd_ >= 0 && snapshotFd_ >= 0 && store_ != nullptr &&
          store_->IsOpen();
  if (!open_) return;
  platform::SeekFile(contentFd_, 0, platform::SeekFrom::kEnd);
  snapshot_->SeekToLogicalEnd();
}

CatalogueFiles::~CatalogueFiles() {
  store_.reset();
  snapshot_.reset();
  directory_.reset();
  for (int fd : {directoryFd_, contentFd_, snapshotFd_}) {
    if (fd >= 0) platform::CloseFile(fd);
  }
}

void CatalogueFiles::ReopenSnapshotFile() {
  // The old descriptor holds the replaced file.
  platform::CloseFile(snapshotFd_);
  snapshotFd_ = OpenStoreFile(snapshotPath_);
  snapshot_ = std::make_unique<SnapshotFile>(snapshotFd_, snapshotPath_);
  open_ = snapshotFd_ >= 0;
}

void CatalogueFiles::NoteEntry(const SnapEntry& entry) {
  if (entry.extended) extendedRanges_.Add(entry.source.rootOffset, entry.source.endOffset);
}

int64_t CatalogueFiles::Bytes() const {
  int64_t total = 0;
  for (const wchar_t* suffix : {L"", L".ind", L".fp", L".dir", L".snp"}) {
    uint64_t size = 0;
    if (platform::GetFileSize64(location_ + suffix, &size)) total += static_cast<int64_t>(size);
  }
  return total;
}

}  // namespace vaultline
