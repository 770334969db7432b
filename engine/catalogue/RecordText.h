// The catalogue's records are read in place, little-endian, and hold their
// texts (paths) as UTF-16LE in fixed arrays of 512 units, zero-terminated.
#pragma once

#include <bit>
#include <cstddef>

namespace vaultline {

static_assert(std::endian::native == std::endian::little, "records are read in place");

inline constexpr size_t kRecordTextUnits = 512;

}  // namespace vaultline
