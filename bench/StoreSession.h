// A store opened as the snapshot manager holds it, with its content file,
// and the state of a store's files to go back to between measured runs.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "blockstore/BlockStore.h"
#include "platform/File.h"

namespace vaultline::bench {

constexpr int32_t kReadChunk = 163840;
constexpr int32_t kBlockLength = 8192;

// An open store with its content file, as the snapshot manager holds them.
class StoreSession {
 public:
  explicit StoreSession(const std::filesystem::path& base)
      : store_(base.wstring(), kReadChunk, kBlockLength),
        contentFd_(
            platform::OpenFile(base.wstring() + L".fp", platform::OpenMode::kReadWriteStore)) {
    store_.AttachManager(&context_);
  }
  ~StoreSession() {
    store_.FinishRecords();  // records still waiting go to the content file first
    platform::CloseFile(contentFd_);
  }

  void LoadBlocks() { store_.Blocks(); }
  int64_t Store(const std::filesystem::path& path) {
    platform::SeekFile(contentFd_, 0, platform::SeekFrom::kEnd);
    return store_.StoreFile(path.wstring(), contentFd_);
  }
  bool Restore(int64_t offset, const std::filesystem::path& source,
               const std::filesystem::path& output) {
    int fd = platform::OpenFile(output.wstring(), platform::OpenMode::kCreateTruncate);
    const bool restored = store_.RestoreFile(contentFd_, fd, offset, source.wstring());
    return platform::CloseFile(fd) && restored;
  }

 private:
  StoreContext context_;
  BlockStore store_;
  int contentFd_;
};

// The sizes of a store's files and the lookup file's header and tags: a run
// that stored blocks is undone by cutting the files back and putting the
// header and the tags back. The slots the run added are then free again
// (a slot is in use only by its tag), so a run that stores new data meets
// none of the blocks an earlier run stored.
class StoreState {
 public:
  explicit StoreState(std::filesystem::path base) : base_(std::move(base)) {
    data_ = std::filesystem::file_size(base_);
    index_ = std::filesystem::file_size(Path(".ind"));
    if (std::filesystem::exists(Path(".lookup"))) {
      std::ifstream in(Path(".lookup"), std::ios::binary);
      lookupHead_.resize(64);
      in.read(reinterpret_cast<char*>(lookupHead_.data()), 64);
      const uint32_t slots = uint32_t{lookupHead_[8]} | uint32_t{lookupHead_[9]} << 8 |
                             uint32_t{lookupHead_[10]} << 16 | uint32_t{lookupHead_[11]} << 24;
      lookupHead_.resize(4096 + (size_t{slots} * 2 + 4095) / 4096 * 4096);
      in.read(reinterpret_cast<char*>(lookupHead_.data() + 64),
              static_cast<std::streamsize>(lookupHead_.size() - 64));
    }
  }
  void Restore() const {
    std::filesystem::resize_file(base_, data_);
    std::filesystem::resize_file(Path(".ind"), index_);
    std::filesystem::resize_file(Path(".fp"), 0);
    if (lookupHead_.empty()) {
      std::filesystem::remove(Path(".lookup"));
    } else {
      RestoreChangedPages();
    }
  }

 private:
  std::filesystem::path Path(const char* suffix) const { return base_.string() + suffix; }

  // Only the pages a run changed are written back: the tags of a large
  // store are hundreds of megabytes, whose writing would go on behind the
  // next measured run.
  void RestoreChangedPages() const {
    constexpr size_t kPage = 4096;
    constexpr size_t kChunk = 256 * kPage;
    std::fstream file(Path(".lookup"), std::ios::binary | std::ios::in | std::ios::out);
    std::vector<uint8_t> now(kChunk);
    for (size_t chunk = 0; chunk < lookupHead_.size(); chunk += kChunk) {
      const size_t size = std::min(kChunk, lookupHead_.size() - chunk);
      file.seekg(static_cast<std::streamoff>(chunk));
      file.read(reinterpret_cast<char*>(now.data()), static_cast<std::streamsize>(size));
      const size_t read = file ? size : 0;  // a file cut short is written back whole
      file.clear();
      for (size_t at = 0; at < size; at += kPage) {
        const size_t page = std::min(kPage, size - at);
        const uint8_t* was = lookupHead_.data() + chunk + at;
        if (at + page <= read && std::equal(was, was + page, now.data() + at)) continue;
        file.seekp(static_cast<std::streamoff>(chunk + at));
        file.write(reinterpret_cast<const char*>(was), static_cast<std::streamsize>(page));
      }
    }
  }

  std::filesystem::path base_;
  uintmax_t data_;
  uintmax_t index_;
  std::vector<uint8_t> lookupHead_;  // the header and the tags
};

}  // namespace vaultline::bench
