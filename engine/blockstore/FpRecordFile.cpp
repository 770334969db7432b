#include "blockstore/FpRecordFile.h"

#include "platform/DiagnosticLog.h"
#include "platform/File.h"

namespace vaultline {

FpRecordFile::FpRecordFile(int fd) : fd_(fd) {}

FpRecordFile::~FpRecordFile() {
  Flush();
}

bool FpRecordFile::Flush() {
  if (pending_.empty() || held_) return true;
  bool written = Write(pending_.data(), pending_.size(), L"\ntrying to write FP entry failed");
  pending_.clear();
  return written;
}

void FpRecordFile::MoveHeldTo(std::vector<uint8_t>* bytes) {
  bytes->insert(bytes->end(), pending_.begin(), pending_.end());
  pending_.clear();
}

bool FpRecordFile::Release() {
  held_ = false;
  return Flush();
}

bool FpRecordFile::Write(const void* bytes, size_t length, const wchar_t* failureText) {
  if (held_) {
    const auto* first = static_cast<const uint8_t*>(bytes);
    pending_.insert(pending_.end(), first, first + length);
    return true;
  }
  if (platform::WriteFile(fd_, bytes, length)) return true;
  lastError_ = platform::LastError();
  platform::WriteDiagnostic(failureText);
  return false;
}

bool FpRecordFile::ReadHeader(std::wstring* name, int64_t* size, uint16_t* layout,
                              std::wstring* secondName) {
  FpHeader header;
  if (!ReadHeader(&header)) return false;
  *name = std::move(header.name);
  *size = header.size;
  *layout = header.layout;
  *secondName = std::move(header.secondName);
  return true;
}

bool FpRecordFile::ReadHeader(FpHeader* header) {
  Flush();
  return platform::ReadFile(fd_, header_, sizeof header_) == FpHeader::kSize &&
         FpHeader::Decode(header_, header);
}

bool FpRecordFile::ReadEntry(int32_t* weakChecksum, Md5Digest* digest, int32_t* length,
                             int64_t* sourcePosition, int64_t* dataPosition) {
  if (platform::ReadFile(fd_, entry_, sizeof entry_) != FpEntry::kSize) return false;
  FpEntry entry = FpEntry::Decode(entry_);
  *weakChecksum = entry.weakChecksum;
  *digest = entry.digest;
  *length = entry.length;
  *sourcePosition = entry.sourcePosition;
  *dataPosition = entry.dataPosition;
  return true;
}

bool FpRecordFile::WriteHeader(const std::wstring& name, int64_t size, uint16_t layout,
                               const std::wstring& secondName) {
  FpHeader header;
  header.name = name;
  header.size = size;
  header.layout = layout;
  header.secondName = secondName;
  return WriteHeader(header);
}

bool FpRecordFile::WriteHeader(const FpHeader& header) {
  if (!header.Encode(header_) || !Flush()) return false;
  return Write(header_, sizeof header_, L"\ntrying to write FP header failed");
}

bool FpRecordFile::WriteEntry(int32_t weakChecksum, const Md5Digest& digest, int32_t length,
                              int64_t sourcePosition, int64_t dataPosition) {
  FpEntry entry;
  entry.weakChecksum = weakChecksum;
  entry.digest = digest;
  entry.length = length;
  entry.sourcePosition = sourcePosition;
  entry.dataPosition = dataPosition;
  entry.Encode(entry_);
  constexpr size_t kBatchBytes = 256 * FpEntry::kSize;
  pending_.insert(pending_.end(), entry_, entry_ + sizeof entry_);
  return pending_.size() < kBatchBytes || Flush();
}

bool FpRecordFile::ReadRaw(void* buffer, int64_t length) {
  if (platform::ReadFile(fd_, buffer, static_cast<size_t>(length)) == length) return true;
  platform::WriteDiagnostic(L"\nfailed to read FP raw file data");
  return false;
}

bool FpRecordFile::WriteRaw(const void* buffer, int64_t length) {
  return Flush() &&
         Write(buffer, static_cast<size_t>(length), L"\nfailed to write FP raw file data");
}

}  // namespace vaultline
