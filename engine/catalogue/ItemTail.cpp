#include "catalogue/ItemTail.h"

#include <cstring>

#include "util/ByteOrder.h"
#include "util/Crc32.h"

namespace vaultline {

namespace {

constexpr size_t kStateBytes = 16;  // all but the attribute list's offset
constexpr uint8_t kLastKind = static_cast<uint8_t>(platform::ItemKind::kBlockDevice);

}  // namespace

void ItemTail::Encode(uint8_t* out) const {
  std::memset(out, 0, kItemTailSize);
  out[0] = static_cast<uint8_t>(kind);
  StoreLe16(specialMode, out + 2);
  StoreLe32(deviceMajor, out + 4);
  StoreLe32(deviceMinor, out + 8);
  StoreLe32(attributesCrc, out + 12);
  StoreLe64(static_cast<uint64_t>(attributesOffset), out + 16);
}

bool ItemTail::Decode(const uint8_t* in, ItemTail* tail) {
  if (in[0] > kLastKind || in[1] != 0) return false;
  tail->kind = static_cast<platform::ItemKind>(in[0]);
  tail->specialMode = LoadLe16(in + 2);
  tail->deviceMajor = LoadLe32(in + 4);
  tail->deviceMinor = LoadLe32(in + 8);
  tail->attributesCrc = LoadLe32(in + 12);
  tail->attributesOffset = static_cast<int64_t>(LoadLe64(in + 16));
  return (tail->specialMode & ~platform::kSpecialModeBits) == 0;
}

uint32_t ItemTail::State() const {
  uint8_t bytes[kItemTailSize];
  Encode(bytes);
  const uint32_t state = Crc32(bytes, kStateBytes);
  return state == 0 ? 0xFFFFFFFF : state;
}

}  // namespace vaultline
