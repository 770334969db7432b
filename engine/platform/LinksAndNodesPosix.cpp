#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include "platform/LinksAndNodes.h"
#include "platform/OsPath.h"

namespace vaultline::platform {

namespace {

bool Failed(int* error) {
  if (error != nullptr) *error = errno;
  return false;
}

}  // namespace

bool ReadLinkTarget(std::wstring_view path, std::string* target) {
  const std::string encoded = OsPath(path);
  // A target is at most PATH_MAX bytes, but a file system may hold longer
  // ones: grow until the whole target fits.
  std::string buffer(4096, '\0');
  for (;;) {
    const ssize_t got = ::readlink(encoded.c_str(), buffer.data(), buffer.size());
    if (got < 0) return false;
    if (static_cast<size_t>(got) < buffer.size()) {
      buffer.resize(static_cast<size_t>(got));
      *target = std::move(buffer);
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

bool CreateSymbolicLink(std::string_view target, std::wstring_view path, int* error) {
  const std::string link(target);
  if (::symlink(link.c_str(), OsPath(path).c_str()) == 0) return true;
  return Failed(error);
}

bool CreateSpecialNode(std::wstring_view path, ItemKind kind, uint32_t deviceMajor,
                       uint32_t deviceMinor, int* error) {
  mode_t type = 0;
  switch (kind) {
    case ItemKind::kFifo:
      type = S_IFIFO;
      break;
    case ItemKind::kSocket:
      type = S_IFSOCK;
      break;
    case ItemKind::kCharacterDevice:
      type = S_IFCHR;
      break;
    case ItemKind::kBlockDevice:
      type = S_IFBLK;
      break;
    default:
      errno = EINVAL;
      return Failed(error);
  }
  const dev_t device = makedev(deviceMajor, deviceMinor);
  if (::mknod(OsPath(path).c_str(), type | 0600, device) == 0) return true;
  return Failed(error);
}

}  // namespace vaultline::platform
