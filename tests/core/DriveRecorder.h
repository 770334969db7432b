// Records, through the platform's file operation hook, everything the engine
// changes below a folder (the drive), as operations on files (by inode, as a
// file system keeps them) and on names, so that the drive can be rebuilt as
// a power cut at any point could leave it. Can also fail the Nth write or
// the Nth fsync (of a file or a folder) below that folder.
#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "TestDrive.h"
#include "platform/FileOperationHook.h"

namespace vaultline::testing {

struct RecordedOperation {
  enum Kind { kWrite, kTruncate, kSync, kLink, kRename, kUnlink, kMkdir, kRmdir, kSyncFolder };
  Kind kind;
  int inode = -1;        // content operations and kLink
  int64_t offset = 0;    // kWrite: position; kTruncate: length
  std::string bytes{};   // kWrite
  std::string path{};    // relative to the drive; for content operations the name it was opened by
  std::string target{};  // kRename

  bool ChangesContent() const { return kind == kWrite || kind == kTruncate; }
  bool ChangesNames() const { return kind >= kLink && kind <= kRmdir; }
  // The folder whose fsync makes a change of names durable.
  std::string Folder() const {
    return fs::path(kind == kRename ? target : path).parent_path().string();
  }
};

// The drive before recording began: names, contents and folders.
struct DriveBase {
  std::map<std::string, int> names;
  std::vector<std::string> contents;  // by inode
  std::set<std::string> folders;
};

class DriveRecorder : public platform::FileOperationHook {
 public:
  enum class Fail { kNone, kWrite, kSync };

  explicit DriveRecorder(const fs::path& drive) : drive_(drive.lexically_normal()) {
    for (const auto& entry : fs::recursive_directory_iterator(drive_)) {
      const std::string relative = fs::relative(entry.path(), drive_).string();
      if (entry.is_directory()) {
        base_.folders.insert(relative);
      } else if (entry.is_regular_file()) {
        base_.names[relative] = static_cast<int>(base_.contents.size());
        base_.contents.push_back(ReadBytes(entry.path()));
      }
    }
    names_ = base_.names;
    inodes_ = static_cast<int>(base_.contents.size());
  }

  // Fails the `count`th write or fsync (counted from 1) with `error`.
  void FailAt(Fail what, int count, int error) {
    fail_ = what;
    failAt_ = count;
    error_ = error;
  }
  bool Failed() const { return failed_; }
  // Whether the failed call was the fsync of a folder just emptied and
  // removed (a leftover being cleared): nothing stored depends on it.
  bool FailedAfterRemoval() const { return failedAfterRemoval_; }
  // Whether the failed call wrote a derived sidecar (the key index, the
  // block lookup file or the figures): a backup goes on without it and the
  // next one rebuilds it.
  bool FailedOnSidecar() const { return failedOnSidecar_; }
  int Writes() const { return writes_; }
  int Syncs() const { return syncs_; }

  const DriveBase& Base() const { return base_; }
  size_t Size() {
    std::lock_guard<std::mutex> lock(mutex_);
    return operations_.size();
  }
  std::vector<RecordedOperation> Operations() {
    std::lock_guard<std::mutex> lock(mutex_);
    return operations_;
  }

  int Before(const platform::FileOperation& operation) override {
    using platform::FileOperationKind;
    std::lock_guard<std::mutex> lock(mutex_);
    const bool onDrive =
        operation.fd >= 0 ? files_.count(operation.fd) > 0 : Inside(operation.path, nullptr);
    if (!onDrive) return 0;
    int count = 0;
    if (operation.kind == FileOperationKind::kWrite) {
      count = ++writes_;
      if (fail_ != Fail::kWrite) return 0;
    } else if (operation.kind == FileOperationKind::kSync ||
               operation.kind == FileOperationKind::kSyncFolder) {
      count = ++syncs_;
      if (fail_ != Fail::kSync) return 0;
    } else {
      return 0;
    }
    if (count != failAt_) return 0;
    failed_ = true;
    failedAfterRemoval_ = operation.kind == FileOperationKind::kSyncFolder &&
                          !operations_.empty() &&
                          operations_.back().kind == RecordedOperation::kRmdir;
    auto file = operation.fd >= 0 ? files_.find(operation.fd) : files_.end();
    failedOnSidecar_ =
        file != files_.end() &&
        (file->second.path.ends_with(".keys") || file->second.path.ends_with(".keys.new") ||
         file->second.path.ends_with(".lookup") || file->second.path.ends_with(".lookup.new") ||
         file->second.path.ends_with(".figures") || file->second.path.ends_with(".figures.new"));
    return error_;
  }

  void After(const platform::FileOperation& operation) override {
    using platform::FileOperationKind;
    std::lock_guard<std::mutex> lock(mutex_);
    std::string path;
    switch (operation.kind) {
      case FileOperationKind::kOpen:
        if (Inside(operation.path, &path)) Open(path, operation.mode, operation.fd);
        break;
      case FileOperationKind::kClose:
        files_.erase(operation.fd);
        break;
      case FileOperationKind::kWrite:
      case FileOperationKind::kTruncate:
      case FileOperationKind::kSync:
        if (auto file = files_.find(operation.fd); file != files_.end()) {
          RecordedOperation recorded{RecordedOperation::kSync, file->second.inode};
          recorded.path = file->second.path;
          recorded.offset = operation.offset;
          if (operation.kind == FileOperationKind::kWrite) {
            recorded.kind = RecordedOperation::kWrite;
            for (size_t i = 0; i < operation.pieceCount; ++i) {
              recorded.bytes.append(static_cast<const char*>(operation.pieces[i].data),
                                    operation.pieces[i].length);
            }
          } else if (operation.kind == FileOperationKind::kTruncate) {
            recorded.kind = RecordedOperation::kTruncate;
          }
          operations_.push_back(std::move(recorded));
        }
        break;
      case FileOperationKind::kRename:
        if (std::string target;
            Inside(operation.path, &path) && Inside(operation.target, &target)) {
          names_[target] = names_[path];
          names_.erase(path);
          RecordedOperation recorded{RecordedOperation::kRename};
          recorded.path = path;
          recorded.target = target;
          operations_.push_back(std::move(recorded));
        }
        break;
      case FileOperationKind::kDelete:
        Name(RecordedOperation::kUnlink, operation.path);
        break;
      case FileOperationKind::kCreateFolder:
        Name(RecordedOperation::kMkdir, operation.path);
        break;
      case FileOperationKind::kRemoveFolder:
        Name(RecordedOperation::kRmdir, operation.path);
        break;
      case FileOperationKind::kSyncFolder:
        Name(RecordedOperation::kSyncFolder, operation.path);
        break;
    }
  }

 private:
  struct OpenFile {
    int inode;
    std::string path;
  };

  bool Inside(std::wstring_view path, std::string* relative) const {
    fs::path normal = fs::path(path).lexically_normal();
    if (!normal.has_filename()) normal = normal.parent_path();  // a folder given with a '/'
    const fs::path inside = normal.lexically_relative(drive_);
    if (inside.empty() || *inside.begin() == "..") return false;
    if (relative != nullptr) *relative = inside == "." ? std::string() : inside.string();
    return true;
  }

  void Open(const std::string& path, platform::OpenMode mode, int fd) {
    auto named = names_.find(path);
    if (mode == platform::OpenMode::kRead) {
      if (named != names_.end()) files_[fd] = {named->second, path};
      return;
    }
    if (named == names_.end()) {
      named = names_.emplace(path, inodes_++).first;
      RecordedOperation link{RecordedOperation::kLink, named->second};
      link.path = path;
      operations_.push_back(std::move(link));
    } else if (mode != platform::OpenMode::kReadWriteStore) {
      RecordedOperation truncate{RecordedOperation::kTruncate, named->second};
      truncate.path = path;
      operations_.push_back(std::move(truncate));
    }
    files_[fd] = {named->second, path};
  }

  void Name(RecordedOperation::Kind kind, std::wstring_view path) {
    std::string relative;
    if (!Inside(path, &relative)) return;
    if (kind == RecordedOperation::kUnlink) names_.erase(relative);
    RecordedOperation recorded{kind};
    recorded.path = relative;
    operations_.push_back(std::move(recorded));
  }

  const fs::path drive_;
  DriveBase base_;
  std::mutex mutex_;
  std::map<std::string, int> names_;
  int inodes_ = 0;
  std::map<int, OpenFile> files_;
  bool failedOnSidecar_ = false;
  std::vector<RecordedOperation> operations_;
  Fail fail_ = Fail::kNone;
  int failAt_ = 0;
  int error_ = 0;
  bool failed_ = false;
  bool failedAfterRemoval_ = false;
  int writes_ = 0;
  int syncs_ = 0;
};

// Installs a recorder for the life of the guard.
class HookGuard {
 public:
  explicit HookGuard(platform::FileOperationHook* hook) { platform::SetFileOperationHook(hook); }
  ~HookGuard() { platform::SetFileOperationHook(nullptr); }
  HookGuard(const HookGuard&) = delete;
  HookGuard& operator=(const HookGuard&) = delete;
};

}  // namespace vaultline::testing
