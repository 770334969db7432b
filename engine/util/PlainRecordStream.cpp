#include "util/PlainRecordStream.h"

#include <cerrno>

#include "platform/File.h"

namespace vaultline {

std::unique_ptr<PlainRecordStream> PlainRecordStream::Open(std::wstring_view path, bool writable,
                                                           int* error) {
  const int fd = platform::OpenFile(
      path, writable ? platform::OpenMode::kReadWriteStore : platform::OpenMode::kRead, error);
  if (fd < 0) return nullptr;
  const int64_t size = platform::FileSizeOf(fd);
  if (size < 0) {
    if (error != nullptr) *error = platform::LastError();
    platform::CloseFile(fd);
    return nullptr;
  }
  return std::unique_ptr<PlainRecordStream>(new PlainRecordStream(fd, size, true));
}

std::unique_ptr<PlainRecordStream> PlainRecordStream::Borrow(int fd) {
  const int64_t size = fd < 0 ? -1 : platform::FileSizeOf(fd);
  return std::unique_ptr<PlainRecordStream>(new PlainRecordStream(fd, size < 0 ? 0 : size, false));
}

PlainRecordStream::~PlainRecordStream() {
  if (owned_) platform::CloseFile(fd_);
}

bool PlainRecordStream::Append(std::span<const uint8_t> batch) {
  if (batch.empty()) return true;
  const int64_t end = LogicalLength();
  if (!platform::WriteFileAt(fd_, batch.data(), batch.size(), end)) {
    const int error = errno;
    platform::TruncateFile(fd_, end);
    errno = error;
    return false;
  }
  end_.store(end + static_cast<int64_t>(batch.size()), std::memory_order_release);
  return true;
}

int64_t PlainRecordStream::ReadAt(int64_t offset, void* buffer, size_t length) {
  if (offset < 0) {
    errno = EINVAL;
    return kReadError;
  }
  const int64_t end = LogicalLength();
  if (offset >= end) return 0;
  const size_t available = static_cast<size_t>(end - offset);
  const int64_t read =
      platform::ReadFileAt(fd_, buffer, length < available ? length : available, offset);
  return read < 0 ? kReadError : read;
}

bool PlainRecordStream::CutBack(int64_t length) {
  if (length < 0 || length > LogicalLength()) {
    errno = EINVAL;
    return false;
  }
  if (!platform::TruncateFile(fd_, length)) return false;
  end_.store(length, std::memory_order_release);
  return true;
}

bool PlainRecordStream::Sync() {
  return platform::SyncFile(fd_);
}

}  // namespace vaultline
