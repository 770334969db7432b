#include "blockstore/ContentRecord.h"

#include <algorithm>

#include "blockstore/DataRecordHeader.h"
#include "blockstore/Md5.h"
#include "platform/DiagnosticLog.h"
#include "platform/File.h"

namespace vaultline {

namespace {

using Check = ContentRecord::Check;

constexpr size_t kEntriesPerRead = 4096;
// The header and what follows it are read at once: the pieces of a file of
// up to about 400 KB, or the bytes of a small one, come with that read.
constexpr int64_t kFirstRead = 4096;

Check Damaged(std::wstring* why, const wchar_t* text) {
  *why = text;
  return Check::kDamaged;
}

// `ahead` holds the bytes of the content file from `at` that were read
// already (whole entries or not).
Check ReadEntries(int contentFd, int64_t at, int64_t size, int64_t contentEnd, int64_t dataEnd,
                  std::vector<uint8_t> ahead, std::vector<FpEntry>* entries, std::wstring* why) {
  std::vector<uint8_t> chunk = std::move(ahead);
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
    int64_t got = static_cast<int64_t>(chunk.size());
    if (got < FpEntry::kSize) {
      chunk.resize(static_cast<size_t>(want));
      got = platform::ReadFileAt(contentFd, chunk.data(), chunk.size(), at);
      if (got < 0) return Check::kReadError;
    }
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
    chunk.clear();  // a piece of an entry left over is read again from `at`
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
  std::vector<uint8_t> bytes(
      static_cast<size_t>(std::min<int64_t>(kFirstRead, contentEnd - contentOffset)));
  const int64_t got = platform::ReadFileAt(contentFd, bytes.data(), bytes.size(), contentOffset);
  if (got < 0) return Check::kReadError;
  FpHeader& header = record->header;
  const bool headerRead = got >= FpHeader::kSize && FpHeader::Decode(bytes.data(), &header);
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
  bytes.erase(bytes.begin(), bytes.begin() + FpHeader::kSize);
  bytes.resize(static_cast<size_t>(got - FpHeader::kSize));
  if (header.layout == FpHeader::kLayoutBlocks) {
    return ReadEntries(contentFd, body, header.size, contentEnd, dataEnd, std::move(bytes),
                       &record->entries, why);
  }
  if (header.size > contentEnd - body) return Damaged(why, L"its bytes are cut short");
  record->raw = std::move(bytes);
  const size_t had = record->raw.size();
  record->raw.resize(static_cast<size_t>(header.size));
  if (had < record->raw.size() &&
      platform::ReadFileAt(contentFd, record->raw.data() + had, record->raw.size() - had,
                           body + static_cast<int64_t>(had)) !=
          static_cast<int64_t>(record->raw.size() - had)) {
    platform::WriteDiagnostic(L"\nfailed to read FP raw file data");
    return Check::kReadError;
  }
  if (header.rawDigest && Md5::Of(record->raw.data(), record->raw.size()) != *header.rawDigest) {
    return Damaged(why, L"its bytes do not match their digest");
  }
  return Check::kSound;
}

}  // namespace vaultline
