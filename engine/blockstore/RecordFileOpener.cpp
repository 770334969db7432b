#include "blockstore/RecordFileOpener.h"

#include "util/PlainRecordStream.h"

namespace vaultline {

std::unique_ptr<RecordStream> RecordFileOpener::Open(const std::wstring& path, Kind /*kind*/,
                                                     bool writable, int* error) const {
  return PlainRecordStream::Open(path, writable, error);
}

}  // namespace vaultline
