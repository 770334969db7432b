// The store's inner loop over literal bytes: the weak checksum rolled window
// by window until one passes the block filter. Nearly every byte of new data
// goes through here, so where the processor has 256-bit vectors sixteen
// windows are summed and probed at once, with 512-bit ones thirty-two; every
// way stops at the same window with the same checksum.
#pragma once

#include <cstdint>
#include <vector>

#include "blockstore/BlockMap.h"
#include "blockstore/RingBuffer.h"
#include "blockstore/WeakChecksum.h"

namespace vaultline {

// Rolls the checksum over up to `turns` windows of `length` bytes from the
// one at `start` (`sum` holds the checksum of the window one byte before it)
// and returns how many were passed over because the filter knows no block
// with their checksum. `hit` tells whether the window after those passed
// the filter; `sum` is then its checksum, else that of the last window
// passed.
int64_t PassLiterals(const BlockMap& blocks, const RingBuffer& ring, int32_t start, int32_t length,
                     int64_t turns, WeakChecksum* sum, bool* hit);

// One run of windows whose leaving bytes are `out[i]` and entering bytes
// `in[i]`, for i < count: the index of the first window that passes the
// filter, or count. (a, b) are the running sums, as WeakChecksum keeps them,
// of the window before the first and are left at the window returned (or
// the last one). Only their low 16 bits are significant.
using LiteralRunScan = int32_t (*)(const BlockMap& blocks, const int8_t* in, const int8_t* out,
                                   int32_t count, uint32_t length, uint32_t* a, uint32_t* b);
int32_t ScanLiteralRun(const BlockMap& blocks, const int8_t* in, const int8_t* out, int32_t count,
                       uint32_t length, uint32_t* a, uint32_t* b);
// Every run scan this processor runs, ScanLiteralRun first, the fastest last.
std::vector<LiteralRunScan> LiteralRunScans();
// The last of them.
LiteralRunScan FastestLiteralRunScan();

}  // namespace vaultline
