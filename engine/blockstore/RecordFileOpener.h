// Opens a selection's record files as RecordStreams. Which form each file
// takes on the drive is the selection's to say, and this class alone
// decides it from that; a plain selection's record file is the file itself.
#pragma once

#include <memory>
#include <string>

#include "seal/SealedNames.h"
#include "util/RecordStream.h"

namespace vaultline {

class RecordFileOpener {
 public:
  using Kind = seal::RecordFileKind;

  // The record file of `kind` whose plain name is `path`, for reading, or
  // for reading and appending (created when missing); null with `error`
  // set when it cannot be opened.
  std::unique_ptr<RecordStream> Open(const std::wstring& path, Kind kind, bool writable,
                                     int* error = nullptr) const;
};

}  // namespace vaultline
