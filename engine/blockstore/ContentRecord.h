// A file's record in the content file, read whole and checked against what
// the directory record that points at it expects, before a byte of the file
// is written: the header (magic, checksum, name, size, layout) and either the
// raw bytes (with their digest when the writer kept one) or every piece
// (lengths above 0, positions contiguous from 0 adding up to the size, blocks
// inside the data file). The blocks themselves are checked as they are read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "blockstore/FpEntry.h"
#include "blockstore/FpHeader.h"

namespace vaultline {

struct ContentRecord {
  enum class Check { kSound, kReadError, kDamaged };

  FpHeader header;
  std::vector<uint8_t> raw;      // layout 0
  std::vector<FpEntry> entries;  // layout 1

  // Reads the record at `contentOffset`. expectedSize < 0 is not compared;
  // dataEnd is the data file's logical end. `why` says what is wrong.
  static Check Read(int contentFd, int64_t contentOffset, const std::wstring& expectedName,
                    int64_t expectedSize, int64_t dataEnd, ContentRecord* record,
                    std::wstring* why);
};

}  // namespace vaultline
