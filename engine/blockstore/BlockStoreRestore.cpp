// Restoring a stored file: its record checked whole, then its pieces read
// (and checked ahead on another thread when the caller named the file
// before) and written to the output.
#include <algorithm>

#include "blockstore/BlockStore.h"
#include "blockstore/ContentRecord.h"
#include "blockstore/DataFile.h"
#include "blockstore/PieceRestore.h"
#include "blockstore/RestoreAhead.h"
#include "platform/DiagnosticLog.h"
#include "platform/File.h"
#include "platform/Format.h"

namespace vaultline {

bool BlockStore::RestoreFile(int contentFd, int outputFd, int64_t contentOffset,
                             const std::wstring& expectedName, int64_t expectedSize) {
  // Blocks a cancelled backup left gathered are read from the drive.
  if (IsOpen()) FlushBlocks();
  RestoreAhead::File* ahead =
      restoreAhead_ != nullptr
          ? restoreAhead_->Take(contentFd, contentOffset, expectedName, expectedSize)
          : nullptr;
  ContentRecord ownRecord;
  std::wstring ownWhy;
  const ContentRecord& record = ahead != nullptr ? ahead->record : ownRecord;
  const std::wstring& why = ahead != nullptr ? ahead->why : ownWhy;
  ContentRecord::Check check;
  int readError;
  if (ahead != nullptr) {
    check = ahead->check;
    readError = ahead->readError.value();
  } else {
    const int64_t dataEnd = dataFile_ != nullptr ? dataFile_->LogicalEnd() : 0;
    check = ContentRecord::Read(contentFd, contentOffset, expectedName, expectedSize, dataEnd,
                                &ownRecord, &ownWhy);
    readError = platform::LastError();
  }
  bool restored = false;
  if (check == ContentRecord::Check::kReadError) {
    ReportDamage(platform::FormatWide(L"The stored contents of %ls could not be read: %ls",
                                      expectedName.c_str(),
                                      platform::SystemErrorText(readError).c_str()));
  } else if (check == ContentRecord::Check::kDamaged) {
    damage_.Add(DamageMemory::Kind::kContent, contentOffset);
    ReportDamage(platform::FormatWide(L"The stored contents of %ls are damaged: %ls",
                                      expectedName.c_str(), why.c_str()));
  } else if (record.header.layout == FpHeader::kLayoutRaw) {
    restored = platform::WriteFile(outputFd, record.raw.data(), record.raw.size());
    if (!restored) ReportError(L"Error restoring file");
  } else {
    restored = RestorePieces(record, contentOffset, outputFd,
                             ahead != nullptr && ahead->runChecked ? &ahead->run : nullptr);
  }
  return restored;
}

void BlockStore::ExpectRestore(int contentFd, int64_t contentOffset, const std::wstring& name,
                               int64_t size) {
  // Without a second thread there is nothing to overlap.
  if (!Threaded() || dataFile_ == nullptr) return;
  // What a cancelled backup left gathered must be on the drive before a
  // block of it is read.
  if (IsOpen()) FlushBlocks();
  if (restoreAhead_ == nullptr) {
    restoreAhead_ = std::make_unique<RestoreAhead>(Pieces(), Pieces().Helper());
  }
  restoreAhead_->Expect(contentFd, contentOffset, name, size, dataFile_->LogicalEnd());
}

void BlockStore::ForgetExpectedRestores() {
  if (restoreAhead_ != nullptr) restoreAhead_->Clear();
}

PieceRestore& BlockStore::Pieces() {
  if (pieceRestore_ == nullptr) {
    pieceRestore_ = std::make_unique<PieceRestore>(*dataFile_, *threads_);
  }
  return *pieceRestore_;
}

bool BlockStore::CloseRestoredFile(int outputFd, bool restored) {
  return RestoredFileClosed(platform::CloseFile(outputFd), restored);
}

bool BlockStore::RestoredFileClosed(bool closed, bool restored) {
  if (closed || !restored) return restored;
  ReportError(L"Error restoring file");
  return false;
}

bool BlockStore::RestorePieces(const ContentRecord& record, int64_t contentOffset, int outputFd,
                               const PieceRestore::Run* checked) {
  int64_t reported = 0;
  auto pieceWritten = [&](int64_t written) {
    if (written - reported >= kProgressStep) {
      // A stop request does not cut this file short; the caller sees it.
      ReportProgress(manager_->restoredBytes + written, written);
      reported = written;
    }
  };
  int64_t damagedAt = -1;
  const PieceRestore::Result result =
      checked != nullptr ? Pieces().RestoreChecked(*checked, outputFd, pieceWritten, &damagedAt)
                         : Pieces().Restore(record.entries, outputFd, pieceWritten, &damagedAt);
  switch (result) {
    case PieceRestore::Result::kRestored:
      return true;
    case PieceRestore::Result::kBlockDamaged:
    case PieceRestore::Result::kWrongBlock:
      // A sound block that the piece names wrongly is the record's damage.
      if (result == PieceRestore::Result::kBlockDamaged) {
        damage_.Add(DamageMemory::Kind::kBlock, damagedAt);
      }
      damage_.Add(DamageMemory::Kind::kContent, contentOffset);
      ReportDamage(platform::FormatWide(
          L"The stored contents of %ls are damaged: the block at %I64d of the data file",
          record.header.name.c_str(), damagedAt));
      return false;
    case PieceRestore::Result::kWriteFailed:
      ReportError(L"Error restoring file ");
      return false;
  }
  return false;
}
}  // namespace vaultline
