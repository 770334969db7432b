// Reads a container's frame headers from the start and lays out where each
// logical byte lies: the frames in order, the damage found between them,
// and a torn tail. Only the headers are checked here (and the last frame
// whole); a body is checked when it is read.
//
// A header that fails its check, or bytes where a frame should begin, are
// damage when a sound frame follows them (its logical start says what was
// lost) and a torn tail when none does: frames are only appended, so a power
// cut can tear only what was written last. A sound frame that is out of
// place (an earlier sequence number or logical start: copied or replayed
// from elsewhere in the file) is damage holding no logical bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "seal/FrameCodec.h"

namespace vaultline::seal {

// A frame, or a logical range lost to damage, in logical order.
struct FrameEntry {
  int64_t fileOffset = 0;
  int64_t fileLength = 0;  // header and body; for damage, the bad bytes
  int64_t logicalStart = 0;
  int64_t logicalLength = 0;
  uint64_t sequence = 0;  // for damage, the sequence number expected there
  FrameHeader header;     // as read (frames only)
  bool damaged = false;
};

struct DamagedRange {
  enum class Cause {
    kHeader,     // bytes where a frame should begin are not a sound header
    kMisplaced,  // a sound frame of an earlier place
    kBody,       // a frame's body fails its tag or digest, or holds no batch
    kTornTail,   // the end of the file after the last sound frame
  };
  int64_t fileStart = 0, fileEnd = 0;
  int64_t logicalStart = 0, logicalEnd = 0;  // the logical bytes lost
  Cause cause = Cause::kHeader;
};

struct FrameScanResult {
  std::vector<FrameEntry> entries;
  std::vector<DamagedRange> damage;
  std::optional<DamagedRange> tornTail;
  // Where the next frame is written: the end of the last sound frame.
  int64_t appendOffset = 0;
  uint64_t nextSequence = 0;
};

// False with errno set when the file cannot be read.
bool ScanFrames(int fd, FrameCodec& codec, FrameScanResult* result);

// Reads the frame `entry` and decodes its batch into `batch`; 1 when sound,
// 0 when damaged, -1 on a read error (errno kept).
int ReadFrame(int fd, FrameCodec& codec, const FrameEntry& entry, std::vector<uint8_t>& batch);

}  // namespace vaultline::seal
