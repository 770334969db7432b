// The sliding-window pass over a file being stored: the weak checksum is
// rolled window by window, and where the filter of the blocks in memory or
// the file's anchors say a block may start, the store looks it up. A match
// is recorded as such; a block length of bytes that nothing matched becomes
// a new block. The bytes come in chunks read ahead on the store's helper,
// which also finds the anchors; spans of new data are scanned ahead on a
// second helper (ScanAhead).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "blockstore/BlockAnchor.h"

namespace vaultline {

class BlockMap;
class FarCandidates;
class FpRecordFile;
class RingBuffer;
class ScanAhead;
class SourceFile;
class WindowDigests;
class WorkerThread;

class MatchingScan {
 public:
  static constexpr int64_t kProgressStep = 131072;

  // What the scan asks of the store; each answer false (or Failed) ends it.
  class Store {
   public:
    virtual ~Store() = default;
    // The stored block equal to the window of `length` bytes of the ring
    // from `start`, or -1; `anchored`: a block stored before may start here.
    virtual int64_t Lookup(const RingBuffer& ring, int32_t checksum, int32_t start, int32_t length,
                           bool anchored) = 0;
    // Whether a lookup failed to write what it had to first.
    virtual bool Failed() const = 0;
    virtual bool Match(const RingBuffer& ring, int32_t literalChecksum, int32_t windowChecksum,
                       int32_t windowStart, int32_t windowLength, int32_t literalStart,
                       int64_t sourcePosition, int64_t matchedPosition, FpRecordFile& record) = 0;
    virtual bool NewBlock(const RingBuffer& ring, int32_t weakChecksum, int32_t length,
                          int32_t start, int64_t sourcePosition, FpRecordFile& record) = 0;
    // At every kProgressStep bytes; true to stop.
    virtual bool Progress(int64_t position) = 0;
    virtual void ReadFailed(const std::wstring& fullPath) = 0;
  };

  // `anchors` is null when no blocks stored before are looked up by anchor;
  // `reader`, `scanAhead` are null without a second processor.
  struct Parts {
    RingBuffer& ring;
    const BlockMap& blocks;
    FarCandidates& far;
    AnchorFinder* anchors;
    WindowDigests& ahead;
    ScanAhead* scanAhead;
    WorkerThread* reader;
    int32_t readChunk;
    int32_t blockLength;
    bool threaded;
  };

  MatchingScan(Store& store, const Parts& parts)
      : store_(store),
        ring_(parts.ring),
        blocks_(parts.blocks),
        far_(parts.far),
        anchors_(parts.anchors),
        ahead_(&parts.ahead),
        scanAhead_(parts.scanAhead),
        reader_(parts.reader),
        readChunk_(parts.readChunk),
        blockLength_(parts.blockLength),
        threaded_(parts.threaded) {}

  // Stores the `size` bytes of `source`: 0 when every byte up to its end was
  // stored, -1 otherwise (reported, or the store's answer).
  int Run(FpRecordFile& record, SourceFile& source, const std::wstring& fullPath, int64_t size);

 private:
  Store& store_;
  RingBuffer& ring_;
  const BlockMap& blocks_;
  FarCandidates& far_;
  AnchorFinder* anchors_;
  WindowDigests* ahead_;
  ScanAhead* scanAhead_;
  WorkerThread* reader_;
  int32_t readChunk_;
  int32_t blockLength_;
  bool threaded_;
  std::vector<Anchor> found_;
};

}  // namespace vaultline
