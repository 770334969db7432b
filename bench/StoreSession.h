// A store opened as the snapshot manager holds it, with its content file,
// and the state of a store's files to go back to between measured runs.
#pragma once

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

// The sizes of a store's files and the lookup file's header: a run that
// stored blocks is undone by cutting the files back, and the header's
// coverage put back (slots the run added then name records past the index,
// which no look-up confirms).
class StoreState {
 public:
  explicit StoreState(std::filesystem::path base) : base_(std::move(base)) {
    data_ = std::filesystem::file_size(base_);
    index_ = std::filesystem::file_size(Path(".ind"));
    if (std::filesystem::exists(Path(".lookup"))) {
      std::ifstream in(Path(".lookup"), std::ios::binary);
      header_.resize(64);
      in.read(reinterpret_cast<char*>(header_.data()), 64);
    }
  }
  void Restore() const {
    std::filesystem::resize_file(base_, data_);
    std::filesystem::resize_file(Path(".ind"), index_);
    std::filesystem::resize_file(Path(".fp"), 0);
    if (header_.empty()) {
      std::filesystem::remove(Path(".lookup"));
    } else {
      std::fstream out(Path(".lookup"), std::ios::binary | std::ios::in | std::ios::out);
      out.write(reinterpret_cast<const char*>(header_.data()), 64);
    }
  }

 private:
  std::filesystem::path Path(const char* suffix) const { return base_.string() + suffix; }

  std::filesystem::path base_;
  uintmax_t data_;
  uintmax_t index_;
  std::vector<uint8_t> header_;
};

}  // namespace vaultline::bench
