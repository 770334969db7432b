#define FUSE_USE_VERSION 314
#include "FuseMount.h"

#include <fuse_lowlevel.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "vaultline/Text.h"

namespace vaultline::cli {

namespace {

// Nothing in a snapshot ever changes: the kernel may keep what it was told.
constexpr double kForever = 86400.0;
// Reads of up to a megabyte, and as much read ahead, keep a sequential read
// from costing a round trip per 128 KiB.
constexpr unsigned kLargestRead = 1u << 20;

SnapshotFileSystem& FileSystemOf(fuse_req_t request) {
  return *static_cast<SnapshotFileSystem*>(fuse_req_userdata(request));
}

void Init(void* /*data*/, struct fuse_conn_info* connection) {
  connection->max_readahead = kLargestRead;
  // The largest request follows from the largest write the kernel is told.
  connection->max_write = kLargestRead;
  connection->want |= connection->capable & FUSE_CAP_CACHE_SYMLINKS;
}

void ReplyEntry(fuse_req_t request, SnapshotFileSystem::Node node, const struct stat& attributes) {
  struct fuse_entry_param entry {};
  entry.ino = node;
  entry.attr = attributes;
  entry.attr_timeout = kForever;
  entry.entry_timeout = kForever;
  fuse_reply_entry(request, &entry);
}

void Lookup(fuse_req_t request, fuse_ino_t parent, const char* name) {
  SnapshotFileSystem::Node node = 0;
  struct stat attributes {};
  const int result = FileSystemOf(request).Lookup(parent, name, &node, &attributes);
  if (result != 0) {
    fuse_reply_err(request, -result);
    return;
  }
  ReplyEntry(request, node, attributes);
}

void GetAttributes(fuse_req_t request, fuse_ino_t node, struct fuse_file_info* /*file*/) {
  struct stat attributes {};
  const int result = FileSystemOf(request).GetAttributes(node, &attributes);
  if (result != 0) {
    fuse_reply_err(request, -result);
    return;
  }
  fuse_reply_attr(request, &attributes, kForever);
}

void ReadLink(fuse_req_t request, fuse_ino_t node) {
  std::string target;
  const int result = FileSystemOf(request).ReadLink(node, &target);
  if (result != 0) {
    fuse_reply_err(request, -result);
    return;
  }
  fuse_reply_readlink(request, target.c_str());
}

void Open(fuse_req_t request, fuse_ino_t node, struct fuse_file_info* file) {
  uint64_t handle = 0;
  const int result = FileSystemOf(request).Open(node, file->flags, &handle);
  if (result != 0) {
    fuse_reply_err(request, -result);
    return;
  }
  file->fh = handle;
  file->keep_cache = 1;
  fuse_reply_open(request, file);
}

void Read(fuse_req_t request, fuse_ino_t /*node*/, size_t size, off_t offset,
          struct fuse_file_info* file) {
  static std::vector<char> buffer;
  if (buffer.size() < size) buffer.resize(size);
  const int64_t got =
      FileSystemOf(request).Read(file->fh, offset, buffer.data(), static_cast<int64_t>(size));
  if (got < 0) {
    fuse_reply_err(request, static_cast<int>(-got));
    return;
  }
  fuse_reply_buf(request, buffer.data(), static_cast<size_t>(got));
}

void Release(fuse_req_t request, fuse_ino_t /*node*/, struct fuse_file_info* file) {
  FileSystemOf(request).Release(file->fh);
  fuse_reply_err(request, 0);
}

// A folder's listing is taken when it is opened and handed out in pieces.
using Listing = std::vector<SnapshotFileSystem::FolderEntry>;

void OpenFolder(fuse_req_t request, fuse_ino_t node, struct fuse_file_info* file) {
  auto listing = std::make_unique<Listing>();
  listing->push_back({".", node, S_IFDIR});
  listing->push_back({"..", node, S_IFDIR});
  Listing children;
  const int result = FileSystemOf(request).ReadFolder(node, &children);
  if (result != 0) {
    fuse_reply_err(request, -result);
    return;
  }
  listing->insert(listing->end(), children.begin(), children.end());
  file->fh = reinterpret_cast<uint64_t>(listing.release());
  file->keep_cache = 1;
  file->cache_readdir = 1;
  fuse_reply_open(request, file);
}

void ReadFolder(fuse_req_t request, fuse_ino_t /*node*/, size_t size, off_t offset,
                struct fuse_file_info* file) {
  const Listing& listing = *reinterpret_cast<const Listing*>(file->fh);
  std::vector<char> buffer(size);
  size_t used = 0;
  for (size_t next = static_cast<size_t>(offset); next < listing.size(); ++next) {
    struct stat attributes {};
    attributes.st_ino = listing[next].node;
    attributes.st_mode = listing[next].type;
    const size_t needed =
        fuse_add_direntry(request, buffer.data() + used, size - used, listing[next].name.c_str(),
                          &attributes, static_cast<off_t>(next + 1));
    if (needed > size - used) break;
    used += needed;
  }
  fuse_reply_buf(request, buffer.data(), used);
}

void ReleaseFolder(fuse_req_t request, fuse_ino_t /*node*/, struct fuse_file_info* file) {
  delete reinterpret_cast<Listing*>(file->fh);
  fuse_reply_err(request, 0);
}

struct fuse_lowlevel_ops Operations() {
  struct fuse_lowlevel_ops operations {};
  operations.init = Init;
  operations.lookup = Lookup;
  operations.getattr = GetAttributes;
  operations.readlink = ReadLink;
  operations.open = Open;
  operations.read = Read;
  operations.release = Release;
  operations.opendir = OpenFolder;
  operations.readdir = ReadFolder;
  operations.releasedir = ReleaseFolder;
  return operations;
}

struct SessionCloser {
  void operator()(struct fuse_session* session) const { fuse_session_destroy(session); }
};

// The option parser copies the arguments into memory of its own.
struct ArgumentsFreer {
  struct fuse_args* args;
  ~ArgumentsFreer() { fuse_opt_free_args(args); }
};

}  // namespace

bool ServeMount(SnapshotFileSystem& fileSystem, const std::string& folder,
                const std::function<void()>& mounted, std::wstring* error) {
  const char* arguments[] = {"vaultline", "-o", "ro,fsname=vaultline,subtype=vaultline"};
  struct fuse_args args = FUSE_ARGS_INIT(3, const_cast<char**>(arguments));
  const ArgumentsFreer freer{&args};
  const struct fuse_lowlevel_ops operations = Operations();
  std::unique_ptr<struct fuse_session, SessionCloser> session(
      fuse_session_new(&args, &operations, sizeof operations, &fileSystem));
  if (session == nullptr) {
    *error = L"The FUSE session could not be set up";
    return false;
  }
  if (fuse_set_signal_handlers(session.get()) != 0) {
    *error = L"The signal handlers could not be installed";
    return false;
  }
  if (fuse_session_mount(session.get(), folder.c_str()) != 0) {
    fuse_remove_signal_handlers(session.get());
    *error = L"The snapshots could not be mounted at " + platform::DecodeName(folder) +
             L" (is /dev/fuse there, and fusermount3?)";
    return false;
  }
  mounted();
  const int result = fuse_session_loop(session.get());
  fuse_session_unmount(session.get());
  fuse_remove_signal_handlers(session.get());
  if (result < 0) {
    *error = L"The mount ended with an error: " + platform::DecodeName(std::strerror(-result));
    return false;
  }
  return true;
}

}  // namespace vaultline::cli
