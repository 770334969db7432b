// The names of a sealed or compressed selection's files. Each of the
// selection's record files and sidecars keeps its plain name with ".vlc"
// added ("file.fp" becomes "file.fp.vlc"), so that a reader of the plain
// layouts finds none of the files it knows and never reads a container as
// records; the key file is "file.key". Each file has a kind, which its frames
// are bound to, so that a frame moved into another file is found.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vaultline::seal {

enum class RecordFileKind : uint32_t {
  kData = 1,       // "file"
  kIndex = 2,      // "file.ind"
  kContent = 3,    // "file.fp"
  kSnapshots = 4,  // "file.snp"
  kDirectory = 5,  // "file.dir"
  kKeyIndex = 6,   // "file.keys"
  kLookup = 7,     // "file.lookup"
  kFigures = 8,    // "file.figures"
  kDamage = 9,     // "file.bad"
};

inline constexpr std::wstring_view kContainerSuffix = L".vlc";
inline constexpr std::wstring_view kKeyFileSuffix = L".key";

// The plain file's extension ("" for the data file, ".ind", ...).
std::wstring_view PlainExtension(RecordFileKind kind);
// `location` + the kind's extension + ".vlc".
std::wstring ContainerPath(std::wstring_view location, RecordFileKind kind);
// `location` + ".key".
std::wstring KeyFilePath(std::wstring_view location);

}  // namespace vaultline::seal
