#include "blockstore/RestoreAhead.h"

#include "platform/File.h"
#include "util/WorkerThread.h"

namespace vaultline {

void RestoreAhead::Expect(int contentFd, int64_t contentOffset, const std::wstring& name,
                          int64_t size, int64_t dataEnd) {
  if (count_ == kFiles) DropOldest();
  File& file = files_[(first_ + count_++) % kFiles];
  file.contentFd = contentFd;
  file.contentOffset = contentOffset;
  file.name = name;
  file.size = size;
  file.dataEnd = dataEnd;
  File* named = &file;
  const PieceRestore* pieces = &pieces_;
  file.ticket = worker_.Submit([named, pieces] { Prepare(*named, *pieces); });
}

void RestoreAhead::Prepare(File& file, const PieceRestore& pieces) {
  file.why.clear();
  file.readError.clear();
  file.runChecked = false;
  file.check = ContentRecord::Read(file.contentFd, file.contentOffset, file.name, file.size,
                                   file.dataEnd, &file.record, &file.why);
  if (file.check == ContentRecord::Check::kReadError) {
    // The error belongs to this thread.
    file.readError = {platform::LastError(), std::generic_category()};
    return;
  }
  if (file.check == ContentRecord::Check::kSound &&
      file.record.header.layout == FpHeader::kLayoutBlocks &&
      PieceRestore::OneRun(file.record.entries, &file.run)) {
    pieces.Check(file.run);
    file.runChecked = true;
  }
}

void RestoreAhead::DropOldest() {
  worker_.WaitFor(files_[first_].ticket);
  first_ = (first_ + 1) % kFiles;
  --count_;
}

RestoreAhead::File* RestoreAhead::Take(int contentFd, int64_t contentOffset,
                                       const std::wstring& name, int64_t size) {
  while (count_ > 0) {
    File& file = files_[first_];
    DropOldest();
    // A file named and then not restored (refused, or not opened) is
    // passed over.
    if (file.contentFd == contentFd && file.contentOffset == contentOffset && file.size == size &&
        file.name == name) {
      return &file;
    }
  }
  return nullptr;
}

void RestoreAhead::Clear() {
  while (count_ > 0) DropOldest();
}

}  // namespace vaultline
