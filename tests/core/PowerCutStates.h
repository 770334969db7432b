// What a drive can hold after a power cut in the middle of recorded
// operations. Contents written since a file's last fsync may be missing, in
// part (a torn write) or in any order; names (creations, renames, removals,
// folders) changed since their folder's last fsync may be missing, the latest
// first, as a journal loses them.
#pragma once

#include <algorithm>
#include <functional>
#include <random>

#include "DriveRecorder.h"

namespace vaultline::testing {

// Relative path -> contents; folders map to kFolder.
using DriveState = std::map<std::string, std::string>;
inline const std::string kFolder = "\x01<folder>";

class PowerCutStates {
 public:
  PowerCutStates(const DriveBase& base, std::vector<RecordedOperation> operations)
      : base_(base), operations_(std::move(operations)), durableAt_(operations_.size()) {
    // The first later fsync that makes each operation durable.
    std::map<int, size_t> nextFileSync;
    std::map<std::string, size_t> nextFolderSync;
    for (size_t i = operations_.size(); i-- > 0;) {
      const RecordedOperation& operation = operations_[i];
      size_t durable = kNever;
      if (operation.kind == RecordedOperation::kSync) nextFileSync[operation.inode] = i;
      if (operation.kind == RecordedOperation::kSyncFolder) nextFolderSync[operation.path] = i;
      if (operation.ChangesContent() && nextFileSync.count(operation.inode) > 0)
        durable = nextFileSync[operation.inode];
      if (operation.ChangesNames() && nextFolderSync.count(operation.Folder()) > 0)
        durable = nextFolderSync[operation.Folder()];
      durableAt_[i] = durable;
    }
  }

  size_t Cuts() const { return operations_.size() + 1; }

  // The states a cut before operation `cut` can leave, `variants` of them at
  // most: the plain prefix first, then losses of what was not yet durable.
  std::vector<DriveState> StatesAt(size_t cut, int variants) const {
    std::vector<size_t> content, names;
    for (size_t i = 0; i < cut; ++i) {
      if (durableAt_[i] < cut) continue;
      if (operations_[i].ChangesContent()) content.push_back(i);
      if (operations_[i].ChangesNames()) names.push_back(i);
    }
    std::vector<DriveState> states;
    std::vector<char> keep(cut, 1);
    states.push_back(Build(cut, keep, kNever, 0));
    if (content.empty() && names.empty()) return states;
    auto with = [&](bool keepContent, bool keepNames) {
      std::fill(keep.begin(), keep.end(), 1);
      for (size_t i : content) keep[i] = keepContent;
      for (size_t i : names) keep[i] = keepNames;
    };
    std::mt19937 random(static_cast<unsigned>(cut));
    std::vector<std::function<DriveState()>> losses = {
        [&] { return with(false, false), Build(cut, keep, kNever, 0); },
        [&] { return with(false, true), Build(cut, keep, kNever, 0); },
        [&] { return with(true, false), Build(cut, keep, kNever, 0); },
        [&] {
          // The last unsynced write half done.
          with(true, true);
          size_t torn = kNever;
          for (size_t i : content) {
            if (operations_[i].kind == RecordedOperation::kWrite) torn = i;
          }
          return Build(cut, keep, torn, torn == kNever ? 0 : operations_[torn].bytes.size() / 2);
        },
        [&] {
          // Any subset of the unsynced writes, one of them torn at a random
          // place, and the newest few unsynced name changes lost.
          with(true, true);
          size_t torn = kNever;
          for (size_t i : content) {
            keep[i] = random() % 2;
            if (keep[i] && operations_[i].kind == RecordedOperation::kWrite && random() % 3 == 0)
              torn = i;
          }
          if (!names.empty()) {
            for (size_t lost = random() % (names.size() + 1); lost > 0; --lost)
              keep[names[names.size() - lost]] = 0;
          }
          const size_t length = torn == kNever ? 0 : operations_[torn].bytes.size();
          return Build(cut, keep, torn, length == 0 ? 0 : random() % length);
        },
    };
    for (int i = 0; i < variants - 1 && i < static_cast<int>(losses.size()); ++i)
      states.push_back(losses[i]());
    return states;
  }

  // Index of the first operation whose completion makes `index` durable (or
  // kNever).
  size_t DurableAt(size_t index) const { return durableAt_[index]; }
  const std::vector<RecordedOperation>& Operations() const { return operations_; }

  static constexpr size_t kNever = static_cast<size_t>(-1);

 private:
  DriveState Build(size_t cut, const std::vector<char>& keep, size_t torn,
                   size_t tornLength) const {
    std::map<std::string, int> names = base_.names;
    std::vector<std::string> contents = base_.contents;
    std::set<std::string> folders = base_.folders;
    for (size_t i = 0; i < cut; ++i) {
      if (!keep[i]) continue;
      const RecordedOperation& operation = operations_[i];
      if (operation.inode >= static_cast<int>(contents.size()))
        contents.resize(static_cast<size_t>(operation.inode) + 1);
      switch (operation.kind) {
        case RecordedOperation::kWrite: {
          std::string& bytes = contents[static_cast<size_t>(operation.inode)];
          const size_t length = i == torn ? tornLength : operation.bytes.size();
          const size_t end = static_cast<size_t>(operation.offset) + length;
          if (bytes.size() < end) bytes.resize(end, '\0');
          std::copy_n(operation.bytes.begin(), length, bytes.begin() + operation.offset);
          break;
        }
        case RecordedOperation::kTruncate:
          contents[static_cast<size_t>(operation.inode)].resize(
              static_cast<size_t>(operation.offset), '\0');
          break;
        case RecordedOperation::kLink:
          names[operation.path] = operation.inode;
          break;
        case RecordedOperation::kRename:
          if (auto from = names.find(operation.path); from != names.end()) {
            const int inode = from->second;
            names.erase(from);
            names[operation.target] = inode;
          }
          break;
        case RecordedOperation::kUnlink:
          names.erase(operation.path);
          break;
        case RecordedOperation::kMkdir:
          folders.insert(operation.path);
          break;
        case RecordedOperation::kRmdir:
          folders.erase(operation.path);
          break;
        case RecordedOperation::kSync:
        case RecordedOperation::kSyncFolder:
          break;
      }
    }
    // A name survives only inside folders that survived.
    auto reachable = [&](const std::string& path) {
      for (fs::path up = fs::path(path).parent_path(); !up.empty(); up = up.parent_path()) {
        if (folders.count(up.string()) == 0) return false;
      }
      return true;
    };
    DriveState state;
    for (const std::string& folder : folders) {
      if (reachable(folder)) state[folder] = kFolder;
    }
    for (const auto& [path, inode] : names) {
      if (reachable(path)) state[path] = contents[static_cast<size_t>(inode)];
    }
    return state;
  }

  const DriveBase base_;
  const std::vector<RecordedOperation> operations_;
  std::vector<size_t> durableAt_;
};

}  // namespace vaultline::testing
