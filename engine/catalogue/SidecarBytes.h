// Derived files beside a selection's catalogue, read and replaced whole.
// Never synced: a sidecar lost to a power loss is only rebuilt.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vaultline {

// The file's bytes; empty when it is missing, unreadable or larger than
// `limit` (a file that size is not one of ours).
std::vector<uint8_t> ReadSidecar(const std::wstring& path, int64_t limit);

// Replaces the file by `bytes`, written beside it (path + ".new") and renamed
// over it, so that a reader never meets half of it. False when it could not
// be written; the old file then stays.
bool ReplaceSidecar(const std::wstring& path, const std::vector<uint8_t>& bytes);

}  // namespace vaultline
