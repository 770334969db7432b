// The next chunk of a file being stored, read on a helper thread while the
// store's thread scans the chunk before it: the kernel's copy of the bytes
// then costs the scan nothing. One read at a time, queued behind the
// helper's other tasks; without a helper the read is made when it is
// needed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "util/SourceFile.h"

namespace vaultline {

class WorkerThread;
class AnchorFinder;

class SourceReadAhead {
 public:
  // `reader` may be null (no second processor). A caller that needs the
  // read before `reader` got to it runs it, and what is queued before it.
  // Bytes read are fed to `anchors` (when not null) by the thread that read
  // them: the caller takes what it found once Read has returned.
  SourceReadAhead(WorkerThread* reader, SourceFile& source, AnchorFinder* anchors = nullptr)
      : reader_(reader), source_(source), anchors_(anchors) {}
  // Waits for a read still running: neither the buffer nor the source may
  // go away under it.
  ~SourceReadAhead() { Finish(); }
  SourceReadAhead(const SourceReadAhead&) = delete;
  SourceReadAhead& operator=(const SourceReadAhead&) = delete;

  // Starts reading up to `length` bytes into `buffer`, which nothing else
  // touches until Finish. With no helper it does nothing, and Read reads.
  void Start(uint8_t* buffer, size_t length);
  bool Started() const { return ticket_ != 0; }
  // The bytes read, as SourceFile::Read gives them: those of the read
  // started (which must have been of these bytes), waiting for it, or else
  // of a read made now.
  int64_t Read(uint8_t* buffer, size_t length);

 private:
  int64_t Finish();
  int64_t ReadNow(uint8_t* buffer, size_t length);

  WorkerThread* reader_;
  SourceFile& source_;
  AnchorFinder* anchors_;
  uint64_t ticket_ = 0;  // of the read started, or 0
  int64_t got_ = 0;
};

}  // namespace vaultline
