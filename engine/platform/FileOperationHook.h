// A seam for tests at the bottom of the engine: a hook, when one is
// installed, sees every call that changes the drive (to record it and replay
// it as a power cut could leave it) and can fail any of them (a full or
// failing drive). Without a hook the calls cost one pointer test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/File.h"
#include "platform/GatherWrite.h"

namespace vaultline::platform {

enum class FileOperationKind {
  kOpen,          // path, mode, fd (After only: the new descriptor)
  kClose,         // fd (released even when Before fails it)
  kWrite,         // fd, offset, pieces
  kTruncate,      // fd, offset (the new length)
  kSync,          // fd
  kRename,        // path, target
  kDelete,        // path
  kCreateFolder,  // path
  kRemoveFolder,  // path
  kSyncFolder,    // path
};

struct FileOperation {
  FileOperationKind kind;
  std::wstring_view path{};
  std::wstring_view target{};
  OpenMode mode = OpenMode::kRead;
  int fd = -1;
  int64_t offset = 0;
  const WritePiece* pieces = nullptr;
  size_t pieceCount = 0;
};

class FileOperationHook {
 public:
  virtual ~FileOperationHook() = default;
  // Before the call: 0 lets it go ahead; an errno fails it with that error,
  // nothing done.
  virtual int Before(const FileOperation& operation) = 0;
  // After a call that succeeded.
  virtual void After(const FileOperation& operation) = 0;
};

// Installs `hook` for all threads (nullptr: none). The hook must outlive its
// installation and be safe to call from several threads.
void SetFileOperationHook(FileOperationHook* hook);
FileOperationHook* InstalledFileOperationHook();

// For the platform's own calls, with a hook installed: runs Before (setting
// errno when it refuses), then `call` (returning success), then After.
bool FileOperationAllowed(FileOperationHook* hook, const FileOperation& operation);
template <typename Call>
bool Observed(FileOperationHook* hook, const FileOperation& operation, Call call) {
  if (!FileOperationAllowed(hook, operation) || !call()) return false;
  hook->After(operation);
  return true;
}

}  // namespace vaultline::platform
