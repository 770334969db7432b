#include "blockstore/PieceRestore.h"

#include <cstring>
#include <deque>

#include "blockstore/DataFile.h"
#include "blockstore/Md5Lanes.h"
#include "platform/File.h"
#include "platform/GatherWrite.h"
#include "util/ThreadPlan.h"

namespace vaultline {

namespace {

constexpr int64_t kRunBytes = 1 << 20;
// Pieces per run: one gathered write each, well below the system's limit.
constexpr size_t kRunPieces = 256;
// Runs being read and checked while one is written.
constexpr size_t kRuns = 3;

}  // namespace

PieceRestore::PieceRestore(const DataFile& data, ThreadPlan& threads)
    : data_(data), worker_(threads.Get(ThreadPlan::Helper::kRestoreChecks)) {
  for (size_t i = 0; i < kRuns; ++i) runs_.push_back(std::make_unique<Run>());
}

PieceRestore::~PieceRestore() {
  worker_.WaitForAll();
}

void PieceRestore::Check(Run& run) const {
  run.result = Result::kBlockDamaged;
  run.failed = 0;
  // Only a first entry of an absurd length can make a run overflow.
  if (run.length > kRunBytes) return;
  const auto room =
      static_cast<size_t>(run.length + DataRecordHeader::kSize + DataRecordHeader::kMaxLength);
  if (run.bytes.size() < room) run.bytes.resize(room);
  int64_t got = data_.ReadRun(run.bytes.data(), run.position, run.length);
  if (got < 0) return;
  // The headers first, up to the first that is not sound; then the blocks
  // before it are hashed together and checked in order, so that the first
  // block that fails is the one reported, as if each were checked in turn.
  DataRecordHeader headers[kRunPieces];
  const uint8_t* blocks[kRunPieces];
  size_t lengths[kRunPieces];
  size_t sound = 0;
  for (; sound < run.count; ++sound) {
    const FpEntry& entry = run.entries[sound];
    const int64_t at = entry.dataPosition - run.position;
    if (entry.length <= 0 || at + DataRecordHeader::kSize > got ||
        !data_.DecodeSound(&run.bytes[static_cast<size_t>(at)], entry.dataPosition,
                           &headers[sound])) {
      break;
    }
    // The digest covers the whole block, also where the piece is shorter:
    // only the last block of a run can be, so its rest follows directly.
    const int64_t end = at + DataRecordHeader::kSize + headers[sound].length;
    if (end > got) {
      if (sound + 1 != run.count || data_.ReadRun(&run.bytes[static_cast<size_t>(got)],
                                                  run.position + got, end - got) != end - got) {
        break;
      }
      got = end;
    }
    blocks[sound] = &run.bytes[static_cast<size_t>(at + DataRecordHeader::kSize)];
    lengths[sound] = static_cast<size_t>(headers[sound].length);
  }
  Md5Digest digests[kRunPieces];
  Md5OfEach(blocks, lengths, sound, digests);
  for (size_t i = 0; i < sound; ++i) {
    run.failed = i;
    if (digests[i] != headers[i].digest) return;
    const FpEntry& entry = run.entries[i];
    if (entry.length > headers[i].length || digests[i] != entry.digest) {
      run.result = Result::kWrongBlock;
      return;
    }
  }
  run.failed = sound;
  if (sound == run.count) run.result = Result::kRestored;
}

bool PieceRestore::Write(const Run& run, int outputFd) const {
  platform::WritePiece pieces[kRunPieces];
  size_t count = 0;
  for (size_t i = 0; i < run.count; ++i) {
    const FpEntry& entry = run.entries[i];
    const int64_t at = entry.dataPosition - run.position + DataRecordHeader::kSize;
    const uint8_t* bytes = &run.bytes[static_cast<size_t>(at)];
    const auto length = static_cast<size_t>(entry.length);
    // A piece of zeros is left a hole: the file reads back the same and
    // keeps no space for it (the restorer ends the file at its length).
    if (bytes[0] == 0 && std::memcmp(bytes, bytes + 1, length - 1) == 0) {
      if ((count > 0 && !platform::WriteFileGather(outputFd, pieces, count)) ||
          platform::SeekFile(outputFd, entry.length, platform::SeekFrom::kCurrent) < 0) {
        return false;
      }
      count = 0;
      continue;
    }
    pieces[count++] = {bytes, length};
  }
  return count == 0 || platform::WriteFileGather(outputFd, pieces, count);
}

size_t PieceRestore::FormRun(const std::vector<FpEntry>& entries, size_t next, Run* run) {
  const FpEntry* entry = &entries[next++];
  run->entries = entry;
  run->count = 1;
  run->position = entry->dataPosition;
  run->length = DataRecordHeader::kSize + entry->length;
  // Blocks stored one after another are read together, as long as the
  // entries name them that way.
  while (next < entries.size() && run->count < kRunPieces) {
    entry = &entries[next];
    if (entry->dataPosition != run->position + run->length ||
        run->length + DataRecordHeader::kSize + entry->length > kRunBytes) {
      break;
    }
    ++next;
    ++run->count;
    run->length += DataRecordHeader::kSize + entry->length;
  }
  return next;
}

bool PieceRestore::OneRun(const std::vector<FpEntry>& entries, Run* run) {
  return !entries.empty() && FormRun(entries, 0, run) == entries.size();
}

PieceRestore::Result PieceRestore::Deliver(const Run& run, int outputFd,
                                           const std::function<void(int64_t written)>& pieceWritten,
                                           int64_t* written, int64_t* damagedAt) const {
  if (run.result != Result::kRestored) {
    *damagedAt = run.entries[run.failed].dataPosition;
    return run.result;
  }
  if (!Write(run, outputFd)) return Result::kWriteFailed;
  for (size_t i = 0; i < run.count; ++i) {
    *written += run.entries[i].length;
    pieceWritten(*written);
  }
  return Result::kRestored;
}

PieceRestore::Result PieceRestore::RestoreChecked(
    const Run& run, int outputFd, const std::function<void(int64_t written)>& pieceWritten,
    int64_t* damagedAt) const {
  int64_t written = 0;
  return Deliver(run, outputFd, pieceWritten, &written, damagedAt);
}

PieceRestore::Result PieceRestore::Restore(const std::vector<FpEntry>& entries, int outputFd,
                                           const std::function<void(int64_t written)>& pieceWritten,
                                           int64_t* damagedAt) {
  std::vector<Run*> idle;
  for (auto& run : runs_) idle.push_back(run.get());
  std::deque<Run*> busy;
  auto drain = [&] {
    if (!busy.empty()) worker_.WaitFor(busy.back()->ticket);
  };

  size_t next = 0;
  int64_t written = 0;
  for (;;) {
    while (!idle.empty() && next < entries.size()) {
      Run& run = *idle.back();
      idle.pop_back();
      next = FormRun(entries, next, &run);
      if (busy.empty() && next == entries.size()) {
        // A file of one run (most files) has nothing to overlap its check
        // with: handing it over would only cost two thread switches.
        Check(run);
        run.ticket = 0;
      } else {
        Run* submitted = &run;
        run.ticket = worker_.Submit([this, submitted] { Check(*submitted); });
      }
      busy.push_back(&run);
    }
    if (busy.empty()) return Result::kRestored;
    Run& run = *busy.front();
    worker_.WaitFor(run.ticket);
    busy.pop_front();
    const Result result = Deliver(run, outputFd, pieceWritten, &written, damagedAt);
    if (result != Result::kRestored) {
      drain();
      return result;
    }
    idle.push_back(&run);
  }
}

}  // namespace vaultline
