#include "catalogue/AttributeList.h"

#include "platform/Owners.h"
#include "platform/Text.h"
#include "util/Crc32.h"

namespace vaultline {

namespace {

constexpr uint16_t kVersion = 1;
constexpr size_t kFixedPart = 20;

void PutLe(uint64_t value, size_t bytes, std::string* out) {
  for (size_t i = 0; i < bytes; ++i) out->push_back(static_cast<char>(value >> (8 * i)));
}

void PutText(const std::wstring& text, std::string* out) {
  const std::u16string units = platform::ToUtf16(text);
  PutLe(units.size(), 2, out);
  for (char16_t unit : units) PutLe(unit, 2, out);
}

// Reads what Encode wrote, failing at the end of the bytes.
class Reader {
 public:
  explicit Reader(const std::string& bytes) : bytes_(bytes) {}
  bool Number(size_t width, uint64_t* value) {
    if (bytes_.size() - at_ < width) return false;
    *value = 0;
    for (size_t i = 0; i < width; ++i) {
      *value |= static_cast<uint64_t>(static_cast<uint8_t>(bytes_[at_ + i])) << (8 * i);
    }
    at_ += width;
    return true;
  }
  bool Text(std::wstring* text) {
    uint64_t units = 0;
    if (!Number(2, &units) || (bytes_.size() - at_) / 2 < units) return false;
    std::u16string read(units, u'\0');
    for (char16_t& unit : read) {
      uint64_t value = 0;
      Number(2, &value);
      unit = static_cast<char16_t>(value);
    }
    *text = platform::FromUtf16(read);
    return true;
  }
  bool Bytes(std::string* value) {
    uint64_t length = 0;
    if (!Number(4, &length) || bytes_.size() - at_ < length) return false;
    value->assign(bytes_, at_, length);
    at_ += length;
    return true;
  }
  bool AtEnd() const { return at_ == bytes_.size(); }

 private:
  const std::string& bytes_;
  size_t at_ = 0;
};

uint32_t IdHere(const std::wstring& name, uint32_t recorded,
                bool (*lookUp)(std::wstring_view, uint32_t*)) {
  uint32_t id = recorded;
  if (!name.empty()) lookUp(name, &id);
  return id;
}

}  // namespace

std::string AttributeList::Encode() const {
  std::string out;
  out.reserve(kFixedPart);
  PutLe(kVersion, 2, &out);
  PutLe(attributes.size(), 2, &out);
  PutLe(ownerId, 4, &out);
  PutLe(groupId, 4, &out);
  PutLe(linkGroup, 8, &out);
  PutText(ownerName, &out);
  PutText(groupName, &out);
  for (const platform::ExtendedAttribute& attribute : attributes) {
    PutText(attribute.name, &out);
    PutLe(attribute.value.size(), 4, &out);
    out += attribute.value;
  }
  return out;
}

bool AttributeList::Decode(const std::string& bytes, AttributeList* list) {
  Reader reader(bytes);
  uint64_t version = 0, count = 0, owner = 0, group = 0;
  if (!reader.Number(2, &version) || version != kVersion || !reader.Number(2, &count) ||
      !reader.Number(4, &owner) || !reader.Number(4, &group) ||
      !reader.Number(8, &list->linkGroup) || !reader.Text(&list->ownerName) ||
      !reader.Text(&list->groupName)) {
    return false;
  }
  list->ownerId = static_cast<uint32_t>(owner);
  list->groupId = static_cast<uint32_t>(group);
  list->attributes.assign(count, platform::ExtendedAttribute{});
  for (platform::ExtendedAttribute& attribute : list->attributes) {
    if (!reader.Text(&attribute.name) || !reader.Bytes(&attribute.value)) return false;
  }
  return reader.AtEnd();
}

bool AttributeList::DecodeStored(const std::string& bytes, uint32_t crc, AttributeList* list) {
  // The writer keeps 0 for "no list": a list whose CRC is 0 is named by ~0.
  uint32_t own = Crc32(bytes.data(), bytes.size());
  if (own == 0) own = 0xFFFFFFFF;
  return own == crc && Decode(bytes, list);
}

uint32_t AttributeList::OwnerHere() const {
  return IdHere(ownerName, ownerId, platform::OwnerIdOf);
}

uint32_t AttributeList::GroupHere() const {
  return IdHere(groupName, groupId, platform::GroupIdOf);
}

}  // namespace vaultline
