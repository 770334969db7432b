// Writes and reads the fixed records of a selection's directory file. Reads go
// through a buffer of many records, so that walking or indexing a tree costs
// one system call per chunk, not per record; appends gather and go out a
// chunk at a time too, written by a thread of their own where a second
// processor is available while the walk goes on.
//
// Does not own its stream. Offsets are byte positions in the file; read
// results: the offset just after the record, -2 when no whole record lies
// before the logical end, -1 on a read error.
#pragma once

#include <cstdint>
#include <vector>

#include "catalogue/DirRecord.h"
#include "util/WriteBehind.h"

namespace vaultline {

class SourceScanner;
class ThreadPlan;

class DirectoryFile {
 public:
  // Chunks are written behind on the kDirectoryWriter helper of `threads`;
  // without a plan, or without helper threads, on the caller's thread.
  explicit DirectoryFile(RecordStream& stream, ThreadPlan* threads = nullptr);
  ~DirectoryFile();  // writes what is gathered; a failure is only logged
  DirectoryFile(const DirectoryFile&) = delete;
  DirectoryFile& operator=(const DirectoryFile&) = delete;

  // Appends a record for `item` and returns its offset, or -1. A folder
  // written with childrenFollow points just past its own record (given back
  // through contentOffset); otherwise contentOffset is recorded as passed. An
  // item whose path does not fit a record gets a nameless one, which readers
  // skip but which still counts as one of its parent's children.
  int64_t WriteRecord(SourceScanner& item, int32_t level, int64_t* contentOffset,
                      bool childrenFollow);
  // Appends `entry` as it stands (a record copied from another directory
  // file); its offset, or -1. Records gather in memory and are written a
  // chunk at a time: -1 also when an earlier record, of this chunk or of
  // the one written before, could not be written. The file is then cut back
  // to the last record written and every offset handed out since is void.
  int64_t AppendRecord(const DirEntry& entry);
  // Writes the gathered records, after the chunk being written, if any;
  // false as AppendRecord's -1.
  bool Flush();

  int64_t ReadNextRecord(DirEntry* entry);
  int64_t ReadRecordAt(int64_t offset, DirEntry* entry);
  bool Rewind() { return SeekTo(0); }
  int64_t Position() const { return position_; }
  bool SeekTo(int64_t offset) {
    position_ = offset;
    return true;
  }
  // The end that bounds reads: the file size at opening, moved on by each
  // record appended.
  int64_t LogicalEnd() const { return writes_.End(); }
  // Flush, then fsync.
  bool Sync();

 private:
  // Hands the gathered chunk to the writer, after the one in flight; false
  // as Flush. Without a second processor, Flush.
  bool FlushBehind();
  RecordStream& stream_;
  DirRecord record_{};
  int64_t position_ = 0;
  std::vector<uint8_t> buffer_;
  int64_t bufferStart_ = 0;  // file offset of buffer_[0]
  WriteBehind writes_;
  ThreadPlan* threads_;
};

}  // namespace vaultline
