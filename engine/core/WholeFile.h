// Small files of the storage read and written whole: config.ini and its
// copies, a selection's exclusion patterns.
#pragma once

#include <cstdint>
#include <string>

namespace vaultline {

// The whole of the file; false when it cannot be read or is larger than
// `limit` bytes (a damaged file of that size is not one of ours).
bool ReadWholeFile(const std::wstring& path, int64_t limit, std::string* bytes);

// Creates or truncates `path`, writes `bytes` and syncs them; a file that
// could not be written whole is deleted. False (errno kept) on failure.
bool WriteSyncedFile(const std::wstring& path, const std::string& bytes);

}  // namespace vaultline
