// What a mounted selection shows, as operations on nodes that the FUSE glue
// (FuseMount) answers the kernel with: the top folder holds one folder for
// each snapshot, named by its time in ISO 8601, and "latest", the newest
// snapshot again; each holds the snapshot's tree as its records hold it.
// A snapshot's tree is read once, on the first look into its folder, and
// answers lookups and listings from memory. Read-only: every open for
// writing is refused.
//
// Results are 0 or a negative errno. Called from one thread.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "vaultline/SnapshotFiles.h"

namespace vaultline::cli {

class SnapshotFileSystem {
 public:
  using Node = uint64_t;
  static constexpr Node kTop = 1;  // FUSE_ROOT_ID
  static constexpr const char* kLatest = "latest";

  struct FolderEntry {
    std::string name;
    Node node;
    mode_t type;  // the S_IFMT bits
  };

  // `warn` receives what went wrong with a snapshot or a file (the path
  // named), once for each.
  SnapshotFileSystem(ISnapshotFiles& files, std::function<void(const std::wstring&)> warn);
  ~SnapshotFileSystem();
  SnapshotFileSystem(const SnapshotFileSystem&) = delete;
  SnapshotFileSystem& operator=(const SnapshotFileSystem&) = delete;

  // The folders of the top folder, in the order of the snapshots, "latest"
  // last: each name with the snapshot it shows.
  struct TopFolder {
    std::string name;
    int snapshot;
  };
  std::vector<TopFolder> TopFolders() const;

  int Lookup(Node folder, std::string_view name, Node* node, struct stat* attributes);
  int GetAttributes(Node node, struct stat* attributes);
  int ReadFolder(Node folder, std::vector<FolderEntry>* entries);
  int ReadLink(Node node, std::string* target);
  // `flags` as open(2) takes them; a handle for Read.
  int Open(Node node, int flags, uint64_t* handle);
  // Bytes read into `buffer`, or a negative errno (-EIO for damage).
  int64_t Read(uint64_t handle, int64_t offset, char* buffer, int64_t length);
  void Release(uint64_t handle);

 private:
  struct Tree;
  struct View {
    std::string name;
    int snapshot;
    int64_t time;
  };
  // The view and item of a node; item -1 for the view's own folder; view -1
  // for the top folder. False for a node that was never handed out.
  bool Locate(Node node, int* view, int* item);
  Tree* TreeOf(int view);
  Node NodeOf(int view, const Tree& tree, int item) const;
  void Describe(int view, int item, struct stat* attributes);
  void ListTop(std::vector<FolderEntry>* entries) const;

  ISnapshotFiles& files_;
  std::function<void(const std::wstring&)> warn_;
  std::vector<View> views_;
  std::vector<std::unique_ptr<Tree>> trees_;  // by snapshot, read on first use
  uid_t owner_;
  gid_t group_;
  struct Opened;
  std::vector<std::unique_ptr<Opened>> opened_;  // by handle - 1
};

}  // namespace vaultline::cli
