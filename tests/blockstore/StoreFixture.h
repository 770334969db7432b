// A block store in a temporary folder with its content file, driven the way
// the snapshot manager drives it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "TestSupport.h"
#include "blockstore/BlockStore.h"
#include "blockstore/FpEntry.h"
#include "platform/File.h"
#include "util/ByteOrder.h"

namespace vaultline::test {

class StoreFixture : public ::testing::Test {
 protected:
  static constexpr int32_t kReadChunk = 163840;
  static constexpr int32_t kBlock = 8192;

  StoreFixture() {
    contentFd_ = platform::OpenFile(ContentPath().wstring(), platform::OpenMode::kReadWriteStore);
    OpenStore();
  }
  ~StoreFixture() override {
    store_.reset();
    platform::CloseFile(contentFd_);
  }

  std::filesystem::path DataPath() const { return folder_ / "store"; }
  std::filesystem::path IndexPath() const { return folder_ / "store.ind"; }
  std::filesystem::path LookupPath() const { return folder_ / "store.lookup"; }
  std::filesystem::path ContentPath() const { return folder_ / "store.fp"; }
  uintmax_t DataSize() const { return std::filesystem::file_size(DataPath()); }

  void OpenStore() {
    store_.reset();
    store_ = std::make_unique<BlockStore>(DataPath().wstring(), kReadChunk, kBlock);
    ASSERT_TRUE(store_->IsOpen());
    context_.status = &status_;
    store_->AttachManager(&context_);
  }

  std::wstring Source(const std::string& name, const Bytes& bytes) {
    WriteAll(folder_ / name, bytes);
    return (folder_ / name).wstring();
  }

  // Appends the file's record at the end of the content file, and writes
  // its blocks, as a backup does before it publishes; -1 when either failed.
  int64_t Store(const std::wstring& path) {
    platform::SeekFile(contentFd_, 0, platform::SeekFrom::kEnd);
    const int64_t offset = store_->StoreFile(path, contentFd_);
    return offset >= 0 && store_->FlushBlocks() ? offset : -1;
  }

  std::optional<Bytes> Restore(int64_t contentOffset, const std::wstring& name) {
    std::filesystem::path out = folder_ / "restored";
    int fd = platform::OpenFile(out.wstring(), platform::OpenMode::kCreateTruncate);
    EXPECT_GE(fd, 0);
    const bool restored = store_->RestoreFile(contentFd_, fd, contentOffset, name);
    EXPECT_TRUE(platform::CloseFile(fd));
    if (!restored) return std::nullopt;
    return ReadAll(out);
  }

  // The FpEntry records of the layout-1 record at `contentOffset`.
  std::vector<FpEntry> Entries(int64_t contentOffset) {
    Bytes content = ReadAll(ContentPath());
    size_t at = static_cast<size_t>(contentOffset);
    int64_t size = static_cast<int64_t>(LoadLe64(&content[at + 1032]));
    std::vector<FpEntry> entries;
    at += 2072;
    for (int64_t covered = 0; covered < size && at + 40 <= content.size(); at += 40) {
      entries.push_back(FpEntry::Decode(&content[at]));
      covered += entries.back().length;
    }
    return entries;
  }

  TempFolder folder_;
  int contentFd_ = -1;
  RecordingStatus status_;
  StoreContext context_;
  std::unique_ptr<BlockStore> store_;
};

}  // namespace vaultline::test
