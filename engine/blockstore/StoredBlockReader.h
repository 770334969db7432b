// The blocks of a data file read for a pass over many of them, in runs of
// a megabyte: blocks named in the order they were stored cost one read per
// run, not one per block.
#pragma once

#include <cstdint>
#include <vector>

namespace vaultline {

class DataFile;

class StoredBlockReader {
 public:
  explicit StoredBlockReader(const DataFile& data) : data_(data) {}

  // The bytes of the block whose sound header is at `position`, and their
  // number; null when it cannot be read.
  const uint8_t* Read(int64_t position, int32_t* length);

 private:
  static constexpr int64_t kRun = int64_t{1} << 20;

  const DataFile& data_;
  std::vector<uint8_t> run_;
  int64_t runStart_ = -1;
};

}  // namespace vaultline
