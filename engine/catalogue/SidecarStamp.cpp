#include "catalogue/SidecarStamp.h"

#include "util/ByteOrder.h"
#include "util/Crc32.h"

namespace vaultline {

void SidecarStamp::Open(uint8_t* at) const {
  StoreLe32(magic, at);
  StoreLe16(version, at + 4);
}

void SidecarStamp::Seal(uint8_t* at, size_t length) const {
  StoreLe32(Crc32Without(at, length, checksumOffset), at + checksumOffset);
}

bool SidecarStamp::Opens(const uint8_t* at) const {
  return LoadLe32(at) == magic && LoadLe16(at + 4) == version;
}

bool SidecarStamp::IsSealed(const uint8_t* at, size_t length) const {
  return LoadLe32(at + checksumOffset) == Crc32Without(at, length, checksumOffset);
}

}  // namespace vaultline
