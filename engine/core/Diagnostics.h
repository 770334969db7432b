// diagnostics.ini: optional key/value pairs placed in the storage root by
// hand (UTF-16LE, read with GetLineParameters). Keys match regardless of case.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace vaultline {

using DiagnosticsMap = std::map<std::wstring, std::wstring>;

// Adds the pairs of the file at `path` to `values`, keys upper-cased; the
// first occurrence of a key wins. A missing file adds nothing.
void ReadDiagnostics(const std::wstring& path, DiagnosticsMap* values);

// The value of `key` as a signed decimal number; -1 when it is absent or does
// not parse.
int64_t LookUpDiagnostic(const DiagnosticsMap& values, const std::wstring& key);

}  // namespace vaultline
