// Reads and writes the records of a content file at its current position.
// Bound to a descriptor that the snapshot manager owns; never closes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "blockstore/FpEntry.h"
#include "blockstore/FpHeader.h"

namespace vaultline {

class FpRecordFile {
 public:
  explicit FpRecordFile(int fd);
  virtual ~FpRecordFile();  // flushes
  FpRecordFile(const FpRecordFile&) = delete;
  FpRecordFile& operator=(const FpRecordFile&) = delete;

  virtual bool ReadHeader(std::wstring* name, int64_t* size, uint16_t* layout,
                          std::wstring* secondName);
  // The whole header, its checksum judged (checksumFails).
  bool ReadHeader(FpHeader* header);
  virtual bool ReadEntry(int32_t* weakChecksum, Md5Digest* digest, int32_t* length,
                         int64_t* sourcePosition, int64_t* dataPosition);
  // Fails, writing nothing, when a name does not fit its 511 units.
  virtual bool WriteHeader(const std::wstring& name, int64_t size, uint16_t layout,
                           const std::wstring& secondName);
  bool WriteHeader(const FpHeader& header);
  // Entries are gathered and written a batch at a time, and before any other
  // record part; false when a batch that this call wrote failed.
  virtual bool WriteEntry(int32_t weakChecksum, const Md5Digest& digest, int32_t length,
                          int64_t sourcePosition, int64_t dataPosition);
  virtual bool ReadRaw(void* buffer, int64_t length);
  virtual bool WriteRaw(const void* buffer, int64_t length);

  // Writes the gathered entries; false when that failed.
  bool Flush();
  // Until Release, what is written is only gathered: the record waits for
  // the records before it in the file. A record destroyed while held leaves
  // nothing in the file.
  void Hold() { held_ = true; }
  // Writes all that was gathered; false when that failed.
  bool Release();
  bool Held() const { return held_; }
  size_t HeldBytes() const { return held_ ? pending_.size() : 0; }
  // Hands what was gathered while held to a caller that writes it, with
  // other records, in one go; nothing is left to write here.
  void MoveHeldTo(std::vector<uint8_t>* bytes);
  int LastError() const { return lastError_; }

 private:
  bool Write(const void* bytes, size_t length, const wchar_t* failureText);

  int fd_;
  int lastError_ = 0;
  bool held_ = false;
  uint8_t header_[FpHeader::kSize] = {};
  uint8_t entry_[FpEntry::kSize] = {};
  std::vector<uint8_t> pending_;
};

}  // namespace vaultline
