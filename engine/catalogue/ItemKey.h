// The key that recognises an unchanged file or folder across snapshots: the
// text "%ls*%ld*%ld%ld*%ld*%ld" of its full path, modification time, the high
// and low halves of its size, its attributes and its entry count, every
// number a signed 32-bit decimal. Equal texts mean "unchanged".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vaultline {

// 128-bit digest of a key text; the index keeps these instead of the texts.
struct KeyDigest {
  uint64_t high = 0;
  uint64_t low = 0;
  bool operator==(const KeyDigest&) const = default;
};

struct KeyDigestHash {
  size_t operator()(const KeyDigest& digest) const noexcept {
    return static_cast<size_t>(digest.low);
  }
};

class ItemKey {
 public:
  ItemKey(std::wstring_view path, int32_t modifyTime, int64_t size, uint32_t attributes,
          int32_t count);

  const std::wstring& Text() const { return text_; }
  // FNV-1a over the text's code points, 128 bits wide: no accidental
  // collisions between the keys of one catalogue.
  KeyDigest Digest() const;

 private:
  std::wstring text_;
};

}  // namespace vaultline
