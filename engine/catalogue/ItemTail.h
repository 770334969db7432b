// What a directory record says of an item beyond the plain layout's fields,
// in the last 24 bytes of its name array (record offsets 1012 to 1035), where
// a reader of the plain layout sees only the zeros after the name: the kind
// of item (a link, fifo, socket or device is otherwise a plain file), the
// mode bits beside the permissions, a device's number, and where the item's
// attribute list lies in the content file. Only names of at most
// kMaxTailedNameUnits leave those bytes free.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/FileSystem.h"

namespace vaultline {

inline constexpr size_t kItemTailSize = 24;
inline constexpr size_t kItemTailInName = 1000;  // bytes into the name array
inline constexpr uint32_t kMaxTailedNameUnits = 499;

struct ItemTail {
  platform::ItemKind kind = platform::ItemKind::kPlain;
  uint16_t specialMode = 0;  // set-user-ID 04000, set-group-ID 02000, sticky 01000
  uint32_t deviceMajor = 0;
  uint32_t deviceMinor = 0;
  uint32_t attributesCrc = 0;  // of the attribute list; 0: none
  int64_t attributesOffset = -1;

  void Encode(uint8_t* out) const;
  // False for a kind no writer produces.
  static bool Decode(const uint8_t* in, ItemTail* tail);
  // What tells two states of an item apart: all but where the attribute
  // list lies. Never 0, which stands for an item without a tail.
  uint32_t State() const;
  bool operator==(const ItemTail&) const = default;
};

}  // namespace vaultline
