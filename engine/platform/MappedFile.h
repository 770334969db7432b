// A file mapped into memory, shared with the file: what is written through
// the mapping is the file's, and reaches the drive in time.
// Used for derived files read at random, of which a run touches few pages.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vaultline::platform {

class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile() { Unmap(); }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Maps the first `length` bytes of the open file `fd`, for reading and
  // writing; the file must be at least that long. False (nothing mapped)
  // when the system refuses.
  bool Map(int fd, size_t length);
  void Unmap();
  // Maps the pages of the file from `offset` for `length` bytes now (one
  // call, not a fault per page); nothing when the system cannot.
  void Populate(size_t offset, size_t length);
  uint8_t* Data() const { return data_; }
  size_t Length() const { return length_; }

 private:
  uint8_t* data_ = nullptr;
  size_t length_ = 0;
};

}  // namespace vaultline::platform
