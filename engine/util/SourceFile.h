// A file to be stored, as its caller opened it: the descriptor, the size it
// had then and the bytes already read from its start, so that a thread
// which opened it ahead can also spare the store's thread its reads.
//
// A large file is asked of the system well ahead of its reads. The system's
// own read-ahead starts only at a page missing from its cache, so a file
// that lost a few pages of it would otherwise make a read wait for the disk
// at each one, behind whatever else the disk is writing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vaultline {

struct SourceFile {
  int fd = -1;        // the file's descriptor, past `head`; -1 when not opened
  int64_t size = -1;  // when opened; -1 when unknown
  std::vector<uint8_t> head;

  // As platform::ReadFile: what is left of `head` first, then the file. The
  // holes of a sparse file are zeros that are never read.
  int64_t Read(void* buffer, size_t length);

  // How far ahead of the reads the file is asked for, in pieces that every
  // system reads ahead whole.
  static constexpr int64_t kAskAhead = int64_t{32} << 20;
  static constexpr int64_t kAskPiece = int64_t{1} << 20;

 private:
  void AskAhead();
  // Reads up to `length` bytes of the file from its position, holes as
  // zeros; 0 at its end, -1 on an error.
  int64_t ReadFromFile(uint8_t* buffer, size_t length);

  size_t headTaken_ = 0;
  int64_t fileRead_ = 0;  // bytes read from the descriptor
  int64_t askedTo_ = 0;   // the bytes before it were asked for
  // The file's data is known to run up to here from the position; holes
  // are looked for again once a read passes it.
  int64_t dataEnd_ = 0;
  int64_t zerosEnd_ = 0;    // a hole runs from the position up to here
  bool holesKnown_ = true;  // false where the file system cannot tell
};

}  // namespace vaultline
