// What the snapshot list shows of each snapshot beside its time.
#pragma once

#include <array>
#include <cstdint>
#include <cwchar>
#include <optional>

#include "vaultline/Vaultline.h"

// One text for each snapshot that GetSnapshots lists, in the same order:
// "TIME\tFILES\tBYTES\tNEW\tCHANGED\tOVERSIZE\tTOOLONG\tUNREADABLE\tUNREADFOLDERS",
// decimal numbers: the snapshot's time (seconds since 1970 UTC), the files it
// holds and their size in bytes, what its backup added to the drive in
// bytes, the files it stored (new or changed), and what its backup left out:
// files over the size limit, items whose path is too long, files and other
// items that could not be read, folders that could not be listed. A field
// that is not known is empty: all but TIME, FILES and BYTES for a snapshot
// taken before its backup recorded them, all for a damaged one. Null when
// the selection cannot be read (it is in use by another process, say).
// Free it with ReleaseList.
VAULTLINE_API StringList GetSnapshotFigures(IVaultline* engine, unsigned profile);

// One text of GetSnapshotFigures read back; a field that is not known is
// empty.
struct SnapshotFigureFields {
  std::optional<int64_t> time, files, bytes, newBytes, changedFiles;
  // What the backup left out, by kind: over the size limit, path too long,
  // unreadable files and items, unreadable folders.
  std::array<std::optional<int64_t>, 4> skipped;

  std::optional<int64_t> SkippedTotal() const {
    int64_t total = 0;
    for (const std::optional<int64_t>& count : skipped) {
      if (!count) return std::nullopt;
      total += *count;
    }
    return total;
  }

  static SnapshotFigureFields Parse(const wchar_t* text) {
    SnapshotFigureFields fields;
    std::optional<int64_t>* order[] = {
        &fields.time,       &fields.files,        &fields.bytes,
        &fields.newBytes,   &fields.changedFiles, &fields.skipped[0],
        &fields.skipped[1], &fields.skipped[2],   &fields.skipped[3]};
    for (std::optional<int64_t>* field : order) {
      if (text == nullptr) break;
      wchar_t* end = nullptr;
      const long long value = std::wcstoll(text, &end, 10);
      if (end != text && (*end == L'\t' || *end == L'\0')) *field = value;
      text = std::wcschr(text, L'\t');
      if (text != nullptr) ++text;
    }
    return fields;
  }
};
