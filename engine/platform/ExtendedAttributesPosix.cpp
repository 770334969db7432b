#include <sys/xattr.h>

#include <algorithm>
#include <cerrno>

#include "platform/ExtendedAttributes.h"
#include "platform/OsPath.h"
#include "platform/Text.h"

namespace vaultline::platform {

namespace {

// Asks `read` for its bytes with a buffer that grows until they fit: an
// attribute may grow between the question of its size and its reading.
template <typename Read>
bool ReadGrowing(Read read, std::string* bytes) {
  for (;;) {
    const ssize_t size = read(nullptr, 0);
    if (size < 0) return false;
    bytes->resize(static_cast<size_t>(size));
    if (size == 0) return true;
    const ssize_t got = read(bytes->data(), bytes->size());
    if (got >= 0) {
      bytes->resize(static_cast<size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;
  }
}

bool Unsupported() {
  return errno == ENOTSUP || errno == ENOSYS;
}

}  // namespace

bool ReadExtendedAttributes(std::wstring_view path, std::vector<ExtendedAttribute>* attributes) {
  attributes->clear();
  const std::string encoded = OsPath(path);
  std::string names;
  if (!ReadGrowing(
          [&](char* buffer, size_t size) { return ::llistxattr(encoded.c_str(), buffer, size); },
          &names)) {
    return Unsupported();
  }
  std::vector<std::string> sorted;
  for (size_t at = 0; at < names.size();) {
    const size_t end = names.find('\0', at);
    const size_t stop = end == std::string::npos ? names.size() : end;
    if (stop > at) sorted.push_back(names.substr(at, stop - at));
    at = stop + 1;
  }
  std::sort(sorted.begin(), sorted.end());
  for (const std::string& name : sorted) {
    ExtendedAttribute attribute;
    attribute.name = DecodeName(name);
    const bool read = ReadGrowing(
        [&](char* buffer, size_t size) {
          return ::lgetxattr(encoded.c_str(), name.c_str(), buffer, size);
        },
        &attribute.value);
    if (!read && errno == ENODATA) continue;  // removed since it was listed
    if (!read) return false;
    attributes->push_back(std::move(attribute));
  }
  return true;
}

bool SetExtendedAttribute(std::wstring_view path, const ExtendedAttribute& attribute) {
  return ::lsetxattr(OsPath(path).c_str(), EncodeName(attribute.name).c_str(),
                     attribute.value.data(), attribute.value.size(), 0) == 0;
}

bool SetOpenFileExtendedAttribute(int fd, const ExtendedAttribute& attribute) {
  return ::fsetxattr(fd, EncodeName(attribute.name).c_str(), attribute.value.data(),
                     attribute.value.size(), 0) == 0;
}

}  // namespace vaultline::platform
