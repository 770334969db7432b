// What an item's record keeps of it beyond the directory record: its owner
// and group (ids and names), which hard links it shares its file with, and
// its extended attributes (POSIX ACLs among them). Stored raw in the content
// file; the record's item tail says where, with its CRC-32.
//
//    0  u16  version, 1
//    2  u16  number of extended attributes
//    4  u32  owner id
//    8  u32  group id
//   12  u64  link group: 0, or the same value for every name of one file
//            with more than one name, within a snapshot
//   20  u16  owner name length (UTF-16 units), then the name, UTF-16LE
//   ..  u16  group name length, then the name
//   ..  each attribute: u16 name length, the name (UTF-16LE), u32 value
//       length, the value's bytes
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ExtendedAttributes.h"

namespace vaultline {

struct AttributeList {
  uint32_t ownerId = 0;
  uint32_t groupId = 0;
  std::wstring ownerName;  // empty when this computer had none for the id
  std::wstring groupName;
  uint64_t linkGroup = 0;
  std::vector<platform::ExtendedAttribute> attributes;

  std::string Encode() const;
  // False for bytes no writer produces.
  static bool Decode(const std::string& bytes, AttributeList* list);
  // Decode, for stored bytes whose CRC-32 the item tail names.
  static bool DecodeStored(const std::string& bytes, uint32_t crc, AttributeList* list);
  // The owner and group on this computer: the ids their names have here,
  // else the ids recorded.
  uint32_t OwnerHere() const;
  uint32_t GroupHere() const;
  bool operator==(const AttributeList&) const = default;
};

}  // namespace vaultline
