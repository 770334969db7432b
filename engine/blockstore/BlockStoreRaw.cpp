// What is stored raw behind its header whatever its length, for items that
// are no regular file: a link's target, and the nothing a fifo, socket or
// device holds.
#include "blockstore/BlockStore.h"
#include "blockstore/ContentRecord.h"
#include "blockstore/DataFile.h"
#include "blockstore/FpHeader.h"
#include "blockstore/Md5.h"
#include "platform/File.h"
#include "platform/Format.h"
#include "platform/Text.h"

namespace vaultline {

int64_t BlockStore::StoreBytes(const std::wstring& path, int contentFd, const std::string& bytes) {
  if (contentFd != recordsFd_ && !FinishRecords()) return -1;
  const int64_t contentOffset = ContentEnd(contentFd);
  if (contentOffset < 0 || platform::Utf16Length(path) >= FpHeader::kNameCapacity) return -1;
  const auto size = static_cast<int64_t>(bytes.size());
  lastStoredSize_ = size;
  return StoreRaw(path, contentFd, contentOffset, reinterpret_cast<const uint8_t*>(bytes.data()),
                  size);
}

int64_t BlockStore::StoreRaw(const std::wstring& fullPath, int contentFd, int64_t contentOffset,
                             const uint8_t* bytes, int64_t size) {
  FpHeader header;
  header.name = fullPath;
  header.size = size;
  header.layout = FpHeader::kLayoutRaw;
  header.rawDigest = Md5::Of(bytes, static_cast<size_t>(size));
  PendingRecord& pending = QueueRecord(contentFd, contentOffset);
  // A record that failed as it was written leaves only what it wrote.
  if (!pending.file->WriteHeader(header)) {
    ReportHeaderWriteError(pending.file->LastError());
    records_.pop_back();
    return -1;
  }
  if (!pending.file->WriteRaw(bytes, size)) {
    ReportWriteError(pending.file->LastError());
    records_.pop_back();
    return -1;
  }
  pending.headerHeld = pending.file->Held();
  pending.end = contentOffset + FpHeader::kSize + size;
  return SettleRecords() ? contentOffset : -1;
}

bool BlockStore::ReadBytes(int contentFd, int64_t contentOffset, const std::wstring& expectedName,
                           int64_t expectedSize, std::string* bytes, std::wstring* why) {
  ContentRecord record;
  const int64_t dataEnd = dataFile_ != nullptr ? dataFile_->LogicalEnd() : 0;
  const ContentRecord::Check check = ContentRecord::Read(contentFd, contentOffset, expectedName,
                                                         expectedSize, dataEnd, &record, why);
  if (check == ContentRecord::Check::kReadError) {
    *why = platform::FormatWide(L"they could not be read: %ls",
                                platform::SystemErrorText(platform::LastError()).c_str());
    return false;
  }
  if (check == ContentRecord::Check::kSound && record.header.layout != FpHeader::kLayoutRaw) {
    *why = L"they are not held raw";
  } else if (check == ContentRecord::Check::kSound) {
    bytes->assign(record.raw.begin(), record.raw.end());
    return true;
  }
  damage_.Add(DamageMemory::Kind::kContent, contentOffset);
  return false;
}

bool BlockStore::ReadRecord(int contentFd, int64_t contentOffset, const std::wstring& expectedName,
                            int64_t expectedSize, ContentRecord* record, std::wstring* why) {
  const int64_t dataEnd = dataFile_ != nullptr ? dataFile_->LogicalEnd() : 0;
  switch (ContentRecord::Read(contentFd, contentOffset, expectedName, expectedSize, dataEnd, record,
                              why)) {
    case ContentRecord::Check::kSound:
      return true;
    case ContentRecord::Check::kReadError:
      *why = platform::FormatWide(L"its record could not be read: %ls",
                                  platform::SystemErrorText(platform::LastError()).c_str());
      return false;
    case ContentRecord::Check::kDamaged:
      break;
  }
  damage_.Add(DamageMemory::Kind::kContent, contentOffset);
  return false;
}

bool BlockStore::RestoreBytes(int contentFd, int64_t contentOffset,
                              const std::wstring& expectedName, int64_t expectedSize,
                              std::string* bytes) {
  std::wstring why;
  if (ReadBytes(contentFd, contentOffset, expectedName, expectedSize, bytes, &why)) return true;
  ReportDamage(platform::FormatWide(L"The stored contents of %ls are damaged: %ls",
                                    expectedName.c_str(), why.c_str()));
  return false;
}

}  // namespace vaultline
