// Owners and groups of items: their names on this computer, and the change
// of an item's owner.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vaultline::platform {

// The name of a user or group id in this computer's account files
// (/etc/passwd, /etc/group); empty when they have none for it.
std::wstring OwnerName(uint32_t id);
std::wstring GroupName(uint32_t id);
// The id of a user or group name on this computer; false when it has none.
bool OwnerIdOf(std::wstring_view name, uint32_t* id);
bool GroupIdOf(std::wstring_view name, uint32_t* id);
// Whether this process may give items to any owner.
bool IsAdministrator();
// The owner and group this process gives the items it makes.
uint32_t ProcessOwnerId();
uint32_t ProcessGroupId();
// Sets the owner and group of `path` itself, never of what a link there
// points at; of a file open as `fd`.
bool SetOwner(std::wstring_view path, uint32_t owner, uint32_t group);
bool SetOpenFileOwner(int fd, uint32_t owner, uint32_t group);

}  // namespace vaultline::platform
