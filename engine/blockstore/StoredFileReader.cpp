#include "blockstore/StoredFileReader.h"

#include <algorithm>
#include <cstring>

#include "blockstore/DataFile.h"
#include "blockstore/DataRecordHeader.h"
#include "platform/File.h"
#include "platform/Format.h"
#include "util/WorkerThread.h"

namespace vaultline {

StoredFileReader::StoredFileReader(const DataFile& data, ThreadPlan& threads)
    : data_(data), pieces_(data, threads) {}

StoredFileReader::~StoredFileReader() {
  while (!kept_.empty()) Drop(std::prev(kept_.end()));
}

std::unique_ptr<StoredFileReader::File> StoredFileReader::Open(int contentFd, int64_t contentOffset,
                                                               const std::wstring& name,
                                                               int64_t size, std::wstring* why) {
  auto file = std::make_unique<File>();
  file->contentOffset = contentOffset;
  const ContentRecord::Check check = ContentRecord::Read(contentFd, contentOffset, name, size,
                                                         data_.LogicalEnd(), &file->record, why);
  if (check == ContentRecord::Check::kReadError) {
    *why = platform::FormatWide(L"they could not be read: %ls",
                                platform::SystemErrorText(platform::LastError()).c_str());
  }
  if (check != ContentRecord::Check::kSound) return nullptr;
  const std::vector<FpEntry>& entries = file->record.entries;
  PieceRestore::Run run;
  for (size_t next = 0; next < entries.size();) {
    file->runStarts.push_back(next);
    next = PieceRestore::FormRun(entries, next, &run);
  }
  return file;
}

void StoredFileReader::Close(const File& file) {
  for (auto kept = kept_.begin(); kept != kept_.end();) {
    auto next = std::next(kept);
    if (kept->file == &file) Drop(kept);
    kept = next;
  }
}

void StoredFileReader::Drop(std::list<KeptRun>::iterator kept) {
  if (kept->ticket != 0) pieces_.Helper().WaitFor(kept->ticket);
  if (kept->run.bytes.capacity() > spare_.capacity()) spare_ = std::move(kept->run.bytes);
  kept_.erase(kept);
}

StoredFileReader::KeptRun* StoredFileReader::Find(const File& file, size_t index) {
  for (auto kept = kept_.begin(); kept != kept_.end(); ++kept) {
    if (kept->file != &file || kept->index != index) continue;
    kept_.splice(kept_.begin(), kept_, kept);
    return &kept_.front();
  }
  return nullptr;
}

StoredFileReader::KeptRun& StoredFileReader::Start(const File& file, size_t index, bool ahead) {
  while (kept_.size() >= kKeptRuns) Drop(std::prev(kept_.end()));
  KeptRun& kept = kept_.emplace_front();
  kept.file = &file;
  kept.index = index;
  kept.run.bytes = std::move(spare_);
  spare_ = {};
  PieceRestore::FormRun(file.record.entries, file.runStarts[index], &kept.run);
  if (ahead) {
    PieceRestore::Run* run = &kept.run;
    kept.ticket = pieces_.Helper().Submit([this, run] { pieces_.Check(*run); });
  } else {
    pieces_.Check(kept.run);
  }
  return kept;
}

const PieceRestore::Run* StoredFileReader::CheckedRun(const File& file, size_t index) {
  if (index >= file.runStarts.size()) return nullptr;
  KeptRun* kept = Find(file, index);
  if (kept == nullptr) kept = &Start(file, index, false);
  if (kept->ticket != 0) {
    pieces_.Helper().WaitFor(kept->ticket);
    kept->ticket = 0;
  }
  return &kept->run;
}

int64_t StoredFileReader::Read(const File& file, int64_t offset, uint8_t* buffer, int64_t length,
                               int64_t* damagedAt) {
  const ContentRecord& record = file.record;
  const int64_t size = record.header.size;
  if (offset < 0 || offset >= size || length <= 0) return 0;
  length = std::min(length, size - offset);
  if (record.header.layout == FpHeader::kLayoutRaw) {
    std::memcpy(buffer, record.raw.data() + offset, static_cast<size_t>(length));
    return length;
  }
  const std::vector<FpEntry>& entries = record.entries;
  // The piece that holds `offset`: pieces lie end to end from 0.
  size_t entry = static_cast<size_t>(
      std::upper_bound(entries.begin(), entries.end(), offset,
                       [](int64_t at, const FpEntry& e) { return at < e.sourcePosition; }) -
      entries.begin() - 1);
  size_t index =
      static_cast<size_t>(std::upper_bound(file.runStarts.begin(), file.runStarts.end(), entry) -
                          file.runStarts.begin() - 1);
  int64_t copied = 0;
  size_t last = index;
  while (copied < length) {
    last = index;
    const PieceRestore::Run* run = CheckedRun(file, index);
    // The blocks of a run before the one that failed its check are sound.
    const size_t end = file.runStarts[index] + run->count;
    const size_t sound =
        run->result == PieceRestore::Result::kRestored ? end : file.runStarts[index] + run->failed;
    for (; entry < end && copied < length; ++entry) {
      const FpEntry& piece = entries[entry];
      const PieceRestore::Run* from = run;
      // Behind a damaged block the check stopped: each block is checked on
      // its own there.
      PieceRestore::Run single;
      if (entry >= sound) {
        single.entries = &piece;
        single.count = 1;
        single.position = piece.dataPosition;
        single.length = DataRecordHeader::kSize + piece.length;
        pieces_.Check(single);
        if (single.result != PieceRestore::Result::kRestored) {
          *damagedAt = piece.dataPosition;
          return -1;
        }
        from = &single;
      }
      const int64_t skip = offset + copied - piece.sourcePosition;
      const int64_t take = std::min<int64_t>(piece.length - skip, length - copied);
      const int64_t at = piece.dataPosition - from->position + DataRecordHeader::kSize + skip;
      std::memcpy(buffer + copied, &from->bytes[static_cast<size_t>(at)],
                  static_cast<size_t>(take));
      copied += take;
    }
    if (entry == end) ++index;
  }
  // A reader that goes on where this read ended finds the next run checked.
  const size_t next = last + 1;
  if (next < file.runStarts.size() && Find(file, next) == nullptr) Start(file, next, true);
  return copied;
}

}  // namespace vaultline
