#include "blockstore/FpHeader.h"

#include <cstring>

#include "platform/Text.h"
#include "util/ByteOrder.h"
#include "util/Crc32.h"

namespace vaultline {

namespace {
constexpr size_t kChecksumOffset = 1052;
constexpr size_t kRawDigestOffset = 1056;
}  // namespace

bool FpHeader::Encode(uint8_t* out) const {
  uint8_t bytes[kSize] = {};
  uint32_t nameLength = 0;
  uint32_t secondLength = 0;
  if (!platform::PutFixedUtf16(name, bytes + 8, kNameCapacity, &nameLength) ||
      !platform::PutFixedUtf16(secondName, bytes + 1048, kNameCapacity, &secondLength)) {
    return false;
  }
  StoreLe16(kMagic, bytes);
  StoreLe32(nameLength, bytes + 4);
  StoreLe64(static_cast<uint64_t>(size), bytes + 1032);
  StoreLe16(layout, bytes + 1040);
  StoreLe32(secondLength, bytes + 1044);
  if (secondName.empty()) {
    uint16_t extension = kExtended;
    if (rawDigest) {
      extension |= kHasRawDigest;
      std::memcpy(bytes + kRawDigestOffset, rawDigest->data(), rawDigest->size());
    }
    StoreLe16(extension, bytes + 2);
    StoreLe32(Crc32Without(bytes, kSize, kChecksumOffset), bytes + kChecksumOffset);
  }
  std::memcpy(out, bytes, kSize);
  return true;
}

bool FpHeader::Decode(const uint8_t* in, FpHeader* header) {
  uint32_t nameLength = LoadLe32(in + 4);
  if (LoadLe16(in) != kMagic || nameLength >= kNameCapacity) return false;
  header->name = platform::GetFixedUtf16(in + 8, kNameCapacity, nameLength);
  header->size = static_cast<int64_t>(LoadLe64(in + 1032));
  header->layout = LoadLe16(in + 1040);
  header->secondName = platform::GetFixedUtf16(in + 1048, kNameCapacity, LoadLe32(in + 1044));
  const uint16_t extension = LoadLe16(in + 2);
  header->rawDigest.reset();
  header->checksumFails = false;
  if ((extension & kExtended) != 0) {
    header->checksumFails =
        LoadLe32(in + kChecksumOffset) != Crc32Without(in, kSize, kChecksumOffset);
    if ((extension & kHasRawDigest) != 0) {
      Md5Digest digest;
      std::memcpy(digest.data(), in + kRawDigestOffset, digest.size());
      header->rawDigest = digest;
    }
  }
  return true;
}

}  // namespace vaultline
