// A selection's snapshots read item by item, for a reader that shows them as
// files (a mounted selection): each snapshot's tree of records, what their
// attribute lists and links hold, and the contents of stored files read a
// stretch at a time and checked. Opens the selection's files read-only and
// writes nothing, not even the damage it meets, so that it may run beside
// other readers under the selection's shared lock.
//
// Called from one thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "blockstore/StoredFileReader.h"
#include "catalogue/AttributeList.h"
#include "catalogue/DirRecord.h"
#include "catalogue/ExtendedRanges.h"
#include "util/RecordStream.h"
#include "util/ThreadPlan.h"

namespace vaultline {

class DataFile;
class DirectoryFile;

class SnapshotReader {
 public:
  // One item of a snapshot's tree.
  struct Item {
    DirEntry entry;
    int32_t parent = -1;  // its folder among the tree's items; -1 for the top
  };

  // `location`: the selection's data file; the others add ".fp", ".dir" and
  // ".snp". Use IsOpen before anything else.
  explicit SnapshotReader(const std::wstring& location);
  ~SnapshotReader();
  SnapshotReader(const SnapshotReader&) = delete;
  SnapshotReader& operator=(const SnapshotReader&) = delete;

  bool IsOpen() const { return open_; }

  // The entries of the snapshot file as they were at opening, oldest first.
  size_t SnapshotCount() const { return entries_.size(); }
  bool IsDamaged(size_t snapshot) const { return entries_[snapshot].damaged; }
  int32_t TimeOf(size_t snapshot) const { return entries_[snapshot].time; }

  // The items of a snapshot, each folder before what it holds. False with
  // `why` when its entry or records are damaged; `items` then holds what
  // could be read.
  bool ReadTree(size_t snapshot, std::vector<Item>* items, std::wstring* why);
  // The item's attribute list; false when it has none or it is damaged
  // (`why` says which: empty for none).
  bool ReadAttributes(const DirEntry& entry, AttributeList* list, std::wstring* why);
  // The target of a link.
  bool ReadLinkTarget(const DirEntry& entry, std::string* target, std::wstring* why);

  // A stored file, its record checked whole; null with `why` when it
  // cannot be read.
  std::unique_ptr<StoredFileReader::File> OpenFile(const DirEntry& entry, std::wstring* why);
  void CloseFile(const StoredFileReader::File& file) { files_->Close(file); }
  // Up to `length` bytes of the file from `offset`: the number read (0 at
  // its end), or -1 with `why` when a block is damaged.
  int64_t Read(const StoredFileReader::File& file, int64_t offset, uint8_t* buffer, int64_t length,
               std::wstring* why);

 private:
  // Declared first: its helpers outlive everything that hands them work.
  ThreadPlan threads_;
  struct Entry {
    int32_t time = 0;
    bool damaged = false;
    int64_t rootOffset = 0;
    int64_t endOffset = 0;
  };
  void ReadEntries(const std::wstring& snapshotPath);
  bool ReadRaw(int64_t contentOffset, const std::wstring& name, int64_t size, std::string* bytes,
               std::wstring* why);

  std::unique_ptr<RecordStream> dataStream_;
  int contentFd_ = -1;
  std::unique_ptr<RecordStream> directoryStream_;
  bool open_ = false;
  std::unique_ptr<DataFile> data_;
  std::unique_ptr<DirectoryFile> directory_;
  std::unique_ptr<StoredFileReader> files_;
  std::vector<Entry> entries_;
  ExtendedRanges extended_;
  // Attribute lists read, by where they lie: items share them.
  std::map<int64_t, std::string> lists_;
};

}  // namespace vaultline
