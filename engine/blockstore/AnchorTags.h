// The tags of an anchor table (a u16 per slot, see AnchorTable), read from
// the lookup file a stretch at a time as look-ups reach them, so that
// opening a store costs the same at any size: a backup of a small change
// reads a few stretches, one of much new data reads them all.
//
// A stretch that cannot be read answers "free" for its slots and marks the
// tags failed: the table then enters nothing more, and the file is made
// again rather than written back over slots it no longer knows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vaultline {

class AnchorTags {
 public:
  using Tag = uint16_t;

  AnchorTags() = default;
  // All free, for a new table.
  static AnchorTags Fresh(uint32_t count);
  // The `count` tags stored at `at` in the open file `fd`, read as needed.
  static AnchorTags Stored(int fd, int64_t at, uint32_t count);

  uint32_t Size() const { return count_; }
  Tag At(uint32_t slot) const {
    Load(slot);
    return tags_.get()[slot];
  }
  void Set(uint32_t slot, Tag tag) {
    Load(slot);
    tags_.get()[slot] = tag;
  }
  // Whether a stretch could not be read.
  bool Failed() const { return failed_; }

 private:
  // Tags read at once: a page of the file. A small change's few thousand
  // anchors each reach a page of their own, and a larger stretch would read
  // the whole table for them; much new data reads every page either way.
  static constexpr uint32_t kStretch = 2048;

  struct Free {
    size_t bytes;
    void operator()(Tag* tags) const;
  };
  // Zeroed memory the system hands out as it is touched: a table of many
  // stretches costs only those a backup reaches.
  static std::unique_ptr<Tag[], Free> Allocate(uint32_t count);

  void Load(uint32_t slot) const {
    if (!loaded_.empty() && !loaded_[slot / kStretch]) LoadStretch(slot / kStretch);
  }
  void LoadStretch(uint32_t stretch) const;

  int fd_ = -1;
  int64_t at_ = 0;
  uint32_t count_ = 0;
  std::unique_ptr<Tag[], Free> tags_;
  // By stretch; empty when every tag is in memory.
  mutable std::vector<bool> loaded_;
  mutable bool failed_ = false;
};

}  // namespace vaultline
