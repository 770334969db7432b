// The appends of a file, gathered in memory and written a batch at a time:
// by the caller (Flush), or by a worker thread while the caller goes on
// (FlushBehind). Two buffers take turns: the batch in flight, and the one
// gathering behind it. The written end moves on only when a batch went out
// whole. A batch that could not be written is cut off the file again,
// together with all gathered behind it (its positions assumed the batch):
// the next append starts where the last whole batch ended.
//
// Does not own the stream. One thread calls; the worker only appends the
// batch in flight, which the caller reads meanwhile but does not change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <system_error>
#include <vector>

#include "platform/File.h"
#include "util/RecordStream.h"

namespace vaultline {

class WorkerThread;

class WriteBehind {
 public:
  // Appends start at `end`, at most the stream's length; the stream is cut
  // back there before the first batch goes out. A failed write puts
  // `failureText` into the diagnostic log. A plain file's system is asked to
  // start writing out each `writeBackStep` bytes written (0: each batch),
  // from `end` on.
  WriteBehind(RecordStream& stream, int64_t end, const wchar_t* failureText, int64_t writeBackStep);
  // A batch handed to a worker must have been finished (Finish) first.
  ~WriteBehind();
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;

  // Room for `bytes` in each of the two buffers, so that gathering never
  // grows them: each growth copies what was gathered into fresh pages.
  void Reserve(size_t bytes);
  void Append(const void* bytes, size_t length);

  // Where the bytes known to be in the file end.
  int64_t WrittenEnd() const { return written_; }
  int64_t GatheredBytes() const { return static_cast<int64_t>(gathered_.size()); }
  // Bytes appended but not yet known to be in the file.
  int64_t PendingBytes() const { return static_cast<int64_t>(inFlight_.size() + gathered_.size()); }
  // Where the next append goes.
  int64_t End() const { return written_ + PendingBytes(); }
  // The pending bytes from file offset `position` to the end of the batch
  // that holds them; empty when `position` is not pending.
  std::span<const uint8_t> HeldFrom(int64_t position) const;

  // Writes the first `bytes` gathered (all of them by default) with one
  // write, after the batch in flight; the rest stay gathered. False when
  // either write failed: see the top.
  bool Flush(size_t bytes = SIZE_MAX);
  // Hands the gathered bytes to `worker`, to be written with one write. One
  // batch is in flight at a time: this first finishes the one before, and
  // is false (handing nothing over) when that failed.
  bool FlushBehind(WorkerThread& worker);
  // Waits for the batch in flight, if any; false when it failed.
  bool Finish();
  // Forgets what was gathered (not the batch in flight).
  void DropGathered() { gathered_.clear(); }
  // Cuts the file back to `end` and appends from there.
  void CutBack(int64_t end);
  // Appends from `end`, leaving the file as it is until the next batch goes
  // out (bytes behind `end` cannot be trusted).
  void AssumeEnd(int64_t end) { written_ = end; }
  // The error of the last failed write; errno is set to it as well when a
  // call above answers false.
  int LastError() const { return lastError_; }

 private:
  void Failed(int error);

  RecordStream& stream_;
  int64_t written_;
  const wchar_t* failureText_;
  platform::GrowingFileWriteBack writeBack_;
  int lastError_ = 0;
  std::vector<uint8_t> inFlight_;   // from written_ on
  std::vector<uint8_t> gathered_;   // behind inFlight_
  WorkerThread* worker_ = nullptr;  // while a batch is in flight
  uint64_t ticket_ = 0;
  // Set by the worker; the caller's to read once the ticket is done.
  bool flushFailed_ = false;
  std::error_code flushError_;
};

}  // namespace vaultline
