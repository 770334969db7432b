#include "blockstore/StoredBlockReader.h"

#include "blockstore/DataFile.h"
#include "blockstore/DataRecordHeader.h"

namespace vaultline {

const uint8_t* StoredBlockReader::Read(int64_t position, int32_t* length) {
  constexpr int64_t kLongest = DataRecordHeader::kSize + DataRecordHeader::kMaxLength;
  const int64_t runLength = static_cast<int64_t>(run_.size());
  if (runStart_ < 0 || position < runStart_ || position + kLongest > runStart_ + runLength) {
    run_.resize(static_cast<size_t>(kRun));
    const int64_t got = data_.ReadRun(run_.data(), position, kRun);
    run_.resize(got > 0 ? static_cast<size_t>(got) : 0);
    runStart_ = position;
  }
  const int64_t offset = position - runStart_;
  DataRecordHeader header;
  if (offset + DataRecordHeader::kSize > static_cast<int64_t>(run_.size()) ||
      !data_.DecodeSound(run_.data() + offset, position, &header) ||
      offset + DataRecordHeader::kSize + header.length > static_cast<int64_t>(run_.size())) {
    return nullptr;
  }
  *length = header.length;
  return run_.data() + offset + DataRecordHeader::kSize;
}

}  // namespace vaultline
