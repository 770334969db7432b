// A file to be stored, as its caller opened it: the descriptor, the size it
// had then and the bytes already read from its start, so that a thread
// which opened it ahead can also spare the store's thread its reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vaultline {

struct SourceFile {
  int fd = -1;        // the file's descriptor, past `head`; -1 when not opened
  int64_t size = -1;  // when opened; -1 when unknown
  std::vector<uint8_t> head;

  // As platform::ReadFile: what is left of `head` first, then the file.
  int64_t Read(void* buffer, size_t length);

 private:
  size_t headTaken_ = 0;
};

}  // namespace vaultline
