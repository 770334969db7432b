// The snapshots of one selection opened as trees of files (ISnapshotFiles):
// the items of each snapshot as the reader's records give them, built on
// first use, and the stored files opened for reading.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/SnapshotReader.h"
#include "core/SelectionLock.h"
#include "vaultline/SnapshotFiles.h"

namespace vaultline {

class SnapshotFilesView : public ISnapshotFiles {
 public:
  // Takes over the lock held as a reader; `location` names the selection's
  // files. Use IsOpen.
  SnapshotFilesView(std::unique_ptr<SelectionLock> lock, const std::wstring& location);
  ~SnapshotFilesView() override;
  bool IsOpen() const { return reader_.IsOpen(); }

  int GetSnapshotCount() override;
  int64_t GetSnapshotTime(int snapshot) override;
  int GetItems(int snapshot, const SnapshotFileItem** items, bool* whole) override;
  const wchar_t* GetLinkTarget(int snapshot, int item) override;
  int OpenFile(int snapshot, int item) override;
  int64_t ReadFile(int handle, int64_t offset, void* buffer, int64_t length) override;
  void CloseFile(int handle) override;
  const wchar_t* GetLastError() override { return lastError_.c_str(); }

 private:
  struct Tree {
    bool read = false;
    bool whole = false;
    std::wstring why;
    std::vector<SnapshotReader::Item> records;
    std::vector<std::wstring> names;
    std::vector<SnapshotFileItem> items;
  };
  struct OpenedFile {
    const DirEntry* entry;
    std::unique_ptr<StoredFileReader::File> file;
  };
  // The tree of `snapshot`, read on first use; null for an index out of
  // range.
  Tree* TreeOf(int snapshot);
  const DirEntry* RecordOf(int snapshot, int item);
  SnapshotFileItem ItemOf(const SnapshotReader::Item& record);
  void Damaged(const DirEntry& entry, const std::wstring& why);

  std::unique_ptr<SelectionLock> lock_;
  SnapshotReader reader_;
  std::vector<Tree> trees_;
  std::map<int, OpenedFile> opened_;
  int nextHandle_ = 0;
  std::wstring linkTarget_;
  std::wstring lastError_;
};

}  // namespace vaultline
