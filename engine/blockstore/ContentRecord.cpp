#include "blockstore/ContentRecord.h"

#include <algorithm>

#include "blockstore/DataRecordHeader.h"
#include "blockstore/FpRecordFile.h"
#include "blockstore/Md5.h"
#include "platform/DiagnosticLog.h"
#include "platform/File.h"

namespace vaultline {

namespace {

using Check = ContentRecord::Check;

constexpr size_t kEntriesPerRead = 4096;

Check Damaged(std::wstring* why, const wchar_t* text) {
  *why = text;
  return Check::kDamaged;
}

Check ReadEntries(int contentFd, int64_t at, int64_t size, int64_t contentEnd, int64_t dataEnd,
                  std::vector<FpEntry>* entries, std::wstring* why) {
  std::vector<uint8_t> chunk;
  int64_t covered = 0;
  while (covered < size) {
    // Every piece holds at least one byte, so no more entries can be due;
    // most hold a whole block, so a read of what half blocks would need
    // nearly always takes all of them at once without reading far past.
    const int64_t left = size - covered;
    const int64_t due =
        std::min<int64_t>({left, left / (DataRecordHeader::kMaxLength / 2) + 2, kEntriesPerRead});
    const int64_t want = std::min<int64_t>(due * FpEntry::kSize, contentEnd - at);
    if (want < FpEntry::kSize) return Damaged(why, L"its list of pieces is cut short");
    chunk.resize(static_cast<size_t>(want));
    if (platform::SeekFile(contentFd, at, platform::SeekFrom::kStart) != at) {
      return Check::kReadError;
    }
    const int64_t got = platform::ReadFile(contentFd, chunk.data(), chunk.size());
    if (got < 0) return Check::kReadError;
    if (got < FpEntry::kSize) return Damaged(why, L"its list of pieces is cut short");
    for (int64_t p = 0; p + FpEntry::kSize <= got && covered < size; p += FpEntry::kSize) {
      const FpEntry entry = FpEntry::Decode(chunk.data() + p);
      if (entry.length <= 0 || entry.length > DataRecordHeader::kMaxLength) {
        return Damaged(why, L"a piece has an impossible length");
      }
      if (entry.sourcePosition != covered) {
        return Damaged(why, L"its pieces do not follow one another");
      }
      if (entry.dataPosition < 0 ||
          entry.dataPosition + DataRecordHeader::kSize + entry.length > dataEnd) {
        return Damaged(why, L"a piece names a block outside the data file");
      }
      entries->push_back(entry);
      covered += entry.length;
      at += FpEntry::kSize;
    }
  }
  return covered == size ? Check::kSound : Damaged(why, L"its pieces do not add up to its size");
}

}  // namespace

Check ContentRecord::Read(int contentFd, int64_t contentOffset, const std::wstring& expectedName,
                          int64_t expectedSize, int64_t dataEnd, ContentRecord* record,
                          std::wstring* why) {
  record->raw.clear();
  record->entries.clear();
  const int64_t contentEnd = platform::FileSizeOf(contentFd);
  if (contentOffset < 0 || contentOffset + FpHeader::kSize > contentEnd) {
    return Damaged(why, L"its record lies outside the content file");
  }
  FpRecordFile file(contentFd);
  if (platform::SeekFile(contentFd, contentOffset, platform::SeekFrom::kStart) != contentOffset) {
    return Check::kReadError;
  }
  FpHeader& header = record->header;
  const bool headerRead = file.ReadHeader(&header);
  if (!headerRead || header.name != expectedName) {
    platform::WriteDiagnostic(L"\nFile offset wrong " + expectedName + L"  the other file is: " +
                              (headerRead ? header.name : std::wstring()));
    return Damaged(why, headerRead ? L"its record belongs to another file"
                                   : L"its record is not a content record");
  }
  if (header.checksumFails) return Damaged(why, L"its record's checksum does not match");
  if (header.layout != FpHeader::kLayoutRaw && header.layout != FpHeader::kLayoutBlocks) {
    return Damaged(why, L"its record has an unknown layout");
  }
  if (header.size < 0 || (expectedSize >= 0 && header.size != expectedSize)) {
    return Damaged(why, L"its record gives another size");
  }
  const int64_t body = contentOffset + FpHeader::kSize;
  if (header.layout == FpHeader::kLayoutBlocks) {
    return ReadEntries(contentFd, body, header.size, contentEnd, dataEnd, &record->entries, why);
  }
  if (header.size > contentEnd - body) return Damaged(why, L"its bytes are cut short");
  record->raw.resize(static_cast<size_t>(header.size));
  if (!file.ReadRaw(record->raw.data(), header.size)) return Check::kReadError;
  if (header.rawDigest && Md5::Of(record->raw.data(), record->raw.size()) != *header.rawDigest) {
    return Damaged(why, L"its bytes do not match their digest");
  }
  return Check::kSound;
}

}  // namespace vaultline
