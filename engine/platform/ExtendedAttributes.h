// Extended attributes of items (user.*, security.*, trusted.*, and the POSIX
// ACLs as system.posix_acl_access and system.posix_acl_default): read and set
// on the item itself, never through a link.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vaultline::platform {

struct ExtendedAttribute {
  std::wstring name;  // decoded as names are (surrogate escapes)
  std::string value;  // bytes
  bool operator==(const ExtendedAttribute&) const = default;
};

// The attributes of `path` in byte order of their names; empty where the
// file system keeps none. False when they could not be read.
bool ReadExtendedAttributes(std::wstring_view path, std::vector<ExtendedAttribute>* attributes);
bool SetExtendedAttribute(std::wstring_view path, const ExtendedAttribute& attribute);
bool SetOpenFileExtendedAttribute(int fd, const ExtendedAttribute& attribute);

}  // namespace vaultline::platform
