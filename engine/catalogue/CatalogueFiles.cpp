#include "catalogue/CatalogueFiles.h"

#include "blockstore/BlockStore.h"
#include "blockstore/RecordFileOpener.h"
#include "catalogue/DirectoryFile.h"
#include "catalogue/SnapshotFile.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "util/PlainRecordStream.h"
#include "util/ThreadPlan.h"

namespace vaultline {

namespace {

int OpenStoreFile(const std::wstring& path) {
  return platform::OpenFile(path, platform::OpenMode::kReadWriteStore);
}

// The selection's location: the directory file ("file.dir") without ".dir".
std::unique_ptr<RecordStream> OpenSnapshotStream(const std::wstring& path) {
  return RecordFileOpener().Open(path, RecordFileOpener::Kind::kSnapshots, true);
}

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
  directoryStream_ =
      RecordFileOpener().Open(directoryPath, RecordFileOpener::Kind::kDirectory, true);
  snapshotStream_ = OpenSnapshotStream(snapshotPath_);
  filesCreated_ = snapshotStream_ == nullptr || snapshotStream_->LogicalLength() == 0;
  directory_ = std::make_unique<DirectoryFile>(
      directoryStream_ != nullptr ? *directoryStream_ : Unopened(), threads_.get());
  snapshot_ = NewSnapshotFile();
  open_ = contentFd_ >= 0 && directoryStream_ != nullptr && snapshotStream_ != nullptr &&
          store_ != nullptr && store_->IsOpen();
  if (!open_) return;
  platform::SeekFile(contentFd_, 0, platform::SeekFrom::kEnd);
}

CatalogueFiles::~CatalogueFiles() {
  store_.reset();
  snapshot_.reset();
  directory_.reset();
  directoryStream_.reset();
  snapshotStream_.reset();
  if (contentFd_ >= 0) platform::CloseFile(contentFd_);
}

void CatalogueFiles::ReopenSnapshotFile() {
  // The old stream holds the replaced file.
  snapshot_.reset();
  snapshotStream_ = OpenSnapshotStream(snapshotPath_);
  snapshot_ = NewSnapshotFile();
  open_ = snapshotStream_ != nullptr;
}

std::unique_ptr<SnapshotFile> CatalogueFiles::NewSnapshotFile() {
  return std::make_unique<SnapshotFile>(snapshotStream_ != nullptr ? *snapshotStream_ : Unopened(),
                                        snapshotPath_);
}

RecordStream& CatalogueFiles::Unopened() {
  // Reads as empty; every write to it fails.
  if (unopened_ == nullptr) unopened_ = PlainRecordStream::Borrow(-1);
  return *unopened_;
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
