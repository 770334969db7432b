#include "blockstore/AnchorTags.h"

#include <algorithm>
#include <new>

#include "platform/File.h"
#include "platform/LargeMemory.h"
#include "util/ByteOrder.h"

namespace vaultline {

void AnchorTags::Free::operator()(Tag* tags) const {
  platform::FreeLarge(tags, bytes);
}

std::unique_ptr<AnchorTags::Tag[], AnchorTags::Free> AnchorTags::Allocate(uint32_t count) {
  const size_t bytes = size_t{count} * sizeof(Tag);
  auto* tags = static_cast<Tag*>(platform::AllocateLargeZeroed(bytes));
  if (tags == nullptr) throw std::bad_alloc();
  return std::unique_ptr<Tag[], Free>(tags, Free{bytes});
}

AnchorTags AnchorTags::Fresh(uint32_t count) {
  AnchorTags tags;
  tags.count_ = count;
  tags.tags_ = Allocate(count);
  return tags;
}

AnchorTags AnchorTags::Stored(int fd, int64_t at, uint32_t count) {
  AnchorTags tags = Fresh(count);
  tags.fd_ = fd;
  tags.at_ = at;
  tags.loaded_.assign((size_t{count} + kStretch - 1) / kStretch, false);
  return tags;
}

void AnchorTags::LoadStretch(uint32_t stretch) const {
  loaded_[stretch] = true;
  const uint32_t first = stretch * kStretch;
  const uint32_t count = std::min(kStretch, count_ - first);
  Tag* tags = tags_.get() + first;
  const size_t bytes = size_t{count} * sizeof(Tag);
  const int64_t got = platform::ReadFileAt(fd_, tags, bytes, at_ + int64_t{first} * 2);
  if (got != static_cast<int64_t>(bytes)) {
    std::fill(tags, tags + count, Tag{0});
    failed_ = true;
    return;
  }
  // Little-endian in the file; a no-op where memory is too.
  for (uint32_t i = 0; i < count; ++i) {
    tags[i] = LoadLe16(reinterpret_cast<const uint8_t*>(tags + i));
  }
}

}  // namespace vaultline
