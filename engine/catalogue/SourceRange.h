// The stretch of the directory file that one source of a snapshot filled:
// its root record at rootOffset, its last record ending at endOffset. An
// empty stretch is a source that produced no records.
#pragma once

#include <cstdint>

namespace vaultline {

struct SourceRange {
  int64_t rootOffset;
  int64_t endOffset;
};

}  // namespace vaultline
