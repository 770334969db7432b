// How the command line shows a stored item: the mode text of `ls -l`, the
// name of its type, and its JSON object.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "vaultline/ItemHistory.h"

namespace vaultline::cli {

// "file", "folder", "link", "fifo", "socket", "character device", "block device".
const char* KindName(StoredItemKind kind);
// "drwxr-xr-x" as ls prints it; the permissions are "?" when not recorded.
std::wstring ModeText(const StoredItem& item);
// "owner:group" by name, by id where the name is not known; "?" when not
// recorded.
std::wstring OwnerText(const StoredItem& item);
// The path, and for a link " -> " and its target.
std::wstring PathText(const StoredItem& item);
// type, mode (octal text), owner, group, ids, size, modified (ISO 8601 and
// seconds), link target or device numbers, damage.
nlohmann::json ItemJson(const StoredItem& item);

}  // namespace vaultline::cli
