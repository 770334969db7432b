#include "ItemText.h"

#include <cstdio>

#include "JsonText.h"
#include "TimeText.h"

namespace vaultline::cli {

const char* KindName(StoredItemKind kind) {
  static constexpr const char* kNames[] = {"file",   "folder",           "link",        "fifo",
                                           "socket", "character device", "block device"};
  return kNames[static_cast<int>(kind)];
}

std::wstring ModeText(const StoredItem& item) {
  static constexpr wchar_t kTypeLetters[] = L"-dlpscb";
  std::wstring text(1, kTypeLetters[static_cast<int>(item.kind)]);
  if (!item.hasMode) {
    // What a record of the plain layout holds: read-only or not.
    return text + (item.readOnly ? L"r??r??r??" : L"rw?rw?rw?");
  }
  static constexpr wchar_t kLetters[] = L"rwxrwxrwx";
  for (int bit = 0; bit < 9; ++bit) {
    text += (item.mode & (0400 >> bit)) ? kLetters[bit] : L'-';
  }
  // Set-user-ID, set-group-ID and sticky show in the execute places.
  const auto special = [&](size_t at, uint16_t bit, wchar_t withExecute, wchar_t without) {
    if (item.mode & bit) text[at] = text[at] == L'x' ? withExecute : without;
  };
  special(3, 04000, L's', L'S');
  special(6, 02000, L's', L'S');
  special(9, 01000, L't', L'T');
  return text;
}

std::wstring OwnerText(const StoredItem& item) {
  if (!item.hasOwner) return L"?";
  const std::wstring owner = item.owner.empty() ? std::to_wstring(item.ownerId) : item.owner;
  const std::wstring group = item.group.empty() ? std::to_wstring(item.groupId) : item.group;
  return owner + L':' + group;
}

std::wstring PathText(const StoredItem& item) {
  if (item.kind != StoredItemKind::kLink) return item.path;
  return item.path + L" -> " + item.linkTarget;
}

nlohmann::json ItemJson(const StoredItem& item) {
  nlohmann::json object = {{"type", KindName(item.kind)},
                           {"size", item.size},
                           {"modified", IsoTimeText(item.modified)},
                           {"modified_seconds", item.modified},
                           {"modified_nanoseconds", item.nanoseconds},
                           {"read_only", item.readOnly},
                           {"mode", nullptr},
                           {"owner", nullptr},
                           {"group", nullptr}};
  PutText(object, "path", item.path);
  if (item.hasMode) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(item.mode));
    object["mode"] = mode;
  }
  if (item.hasOwner) {
    object["owner_id"] = item.ownerId;
    object["group_id"] = item.groupId;
    if (!item.owner.empty()) PutText(object, "owner", item.owner);
    if (!item.group.empty()) PutText(object, "group", item.group);
  }
  if (item.kind == StoredItemKind::kLink) PutText(object, "link_target", item.linkTarget);
  if (item.kind == StoredItemKind::kCharacterDevice || item.kind == StoredItemKind::kBlockDevice) {
    object["device"] = std::to_string(item.deviceMajor) + ":" + std::to_string(item.deviceMinor);
  }
  if (!item.damage.empty()) PutText(object, "damage", item.damage);
  return object;
}

}  // namespace vaultline::cli
