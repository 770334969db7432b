#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "StoreFixture.h"
#include "blockstore/WeakChecksum.h"
#include "platform/File.h"
#include "platform/OsPath.h"
#include "platform/Path.h"

namespace vaultline {
namespace {

using test::Bytes;

class StoreRestoreTest : public test::StoreFixture {
 protected:
  void ExpectRoundTrip(const std::string& name, const Bytes& bytes) {
    std::wstring path = Source(name, bytes);
    int64_t offset = Store(path);
    ASSERT_GE(offset, 0) << name;
    std::optional<Bytes> restored = Restore(offset, path);
    ASSERT_TRUE(restored.has_value()) << name;
    EXPECT_TRUE(*restored == bytes) << name << " of " << bytes.size() << " bytes";
  }
};

Bytes Repetitive(size_t length) {
  Bytes bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>("backup "[i % 7]);
  return bytes;
}

TEST_F(StoreRestoreTest, FilesOfEverySizeComeBackByteIdentical) {
  const size_t sizes[] = {0,    1,     299,   300,   8191,  8192,
                          8193, 16383, 16384, 20000, 50001, 3 * 1024 * 1024 + 5};
  for (size_t size : sizes) {
    ExpectRoundTrip("random" + std::to_string(size), test::RandomBytes(size, size));
    ExpectRoundTrip("repetitive" + std::to_string(size), Repetitive(size));
  }
  EXPECT_TRUE(status_.messages.empty());
  EXPECT_FALSE(context_.cancelled);
}

// A file's record waits for its last blocks' digests, and the records
// after it for it: stored back to back, each still lands where ContentEnd
// said, and all come back. The large file grows past what a record may
// hold back while it waits.
TEST_F(StoreRestoreTest, RecordsWaitingForDigestsLandWhereTheirOffsetsSay) {
  const size_t sizes[] = {5000, 100, 3 * 8192, 20, 14 * 1024 * 1024 + 7, 299, 8193, 0, 40000};
  std::vector<Bytes> inputs;
  std::vector<std::wstring> paths;
  std::vector<int64_t> offsets;
  platform::SeekFile(contentFd_, 0, platform::SeekFrom::kEnd);
  for (size_t size : sizes) {
    inputs.push_back(test::RandomBytes(size, size + 40));
    paths.push_back(Source("file" + std::to_string(size), inputs.back()));
    const int64_t expected = store_->ContentEnd(contentFd_);
    offsets.push_back(store_->StoreFile(paths.back(), contentFd_));
    EXPECT_EQ(offsets.back(), expected);
  }
  ASSERT_TRUE(store_->FlushBlocks());
  EXPECT_EQ(static_cast<int64_t>(std::filesystem::file_size(ContentPath())),
            store_->ContentEnd(contentFd_));
  for (size_t i = 0; i < inputs.size(); ++i) {
    EXPECT_EQ(Restore(offsets[i], paths[i]), inputs[i]) << sizes[i];
  }
  EXPECT_TRUE(status_.messages.empty());
}

// A file whose first bytes were read ahead by whoever opened it is stored
// as if the store had read them: the same blocks (nothing new the second
// time), and the same bytes back. One that shrank after they were read is
// not stored.
TEST_F(StoreRestoreTest, BytesReadAheadAreStoredAsIfTheStoreHadReadThem) {
  auto opened = [&](const std::wstring& path, size_t headLength, int64_t size) {
    SourceFile source;
    source.fd = platform::OpenFile(path, platform::OpenMode::kRead);
    source.size = size;
    source.head.resize(headLength);
    EXPECT_EQ(platform::ReadFile(source.fd, source.head.data(), headLength),
              static_cast<int64_t>(headLength));
    return source;
  };
  // The largest is asked of the system ahead of its reads, from wherever
  // the bytes read ahead leave off.
  const size_t asked = static_cast<size_t>(SourceFile::kAskPiece) * 3 + 123;
  for (size_t size : {size_t{100}, size_t{299}, size_t{8193}, size_t{400000}, asked}) {
    const Bytes bytes = test::RandomBytes(size, size + 7);
    const std::wstring path = Source("ahead" + std::to_string(size), bytes);
    ASSERT_GE(Store(path), 0);
    for (size_t headLength : {size_t{0}, size / 2, size}) {
      const uintmax_t dataBefore = DataSize();
      platform::SeekFile(contentFd_, 0, platform::SeekFrom::kEnd);
      const int64_t offset =
          store_->StoreFile(path, contentFd_, opened(path, headLength, static_cast<int64_t>(size)));
      ASSERT_GE(offset, 0) << size << " " << headLength;
      ASSERT_TRUE(store_->FlushBlocks());
      EXPECT_EQ(DataSize(), dataBefore) << size << " " << headLength;
      EXPECT_EQ(Restore(offset, path), bytes) << size << " " << headLength;
    }
    EXPECT_EQ(
        store_->StoreFile(path, contentFd_, opened(path, size / 2, static_cast<int64_t>(size) + 1)),
        -1)
        << size;
  }
  EXPECT_FALSE(context_.cancelled);
}

// The next chunk of a large file is read while the one before is scanned.
// A file that lost chunks since it was opened is given up when the read
// ahead comes back short, one that grew is stored as long as it was, and
// the file after either is stored whole.
TEST_F(StoreRestoreTest, ChunksReadAheadStopAtTheSizeTheFileHadWhenOpened) {
  const Bytes bytes = test::RandomBytes(7 * kReadChunk + 1000, 41);
  const std::wstring path = Source("chunks", bytes);
  auto opened = [&](int64_t size) {
    SourceFile source;
    source.fd = platform::OpenFile(path, platform::OpenMode::kRead);
    source.size = size;
    return source;
  };
  const int64_t length = static_cast<int64_t>(bytes.size());
  platform::SeekFile(contentFd_, 0, platform::SeekFrom::kEnd);
  EXPECT_EQ(store_->StoreFile(path, contentFd_, opened(length + 3 * kReadChunk)), -1);
  for (int64_t size : {length - 2 * kReadChunk - 5, length, int64_t{3} * kReadChunk}) {
    platform::SeekFile(contentFd_, 0, platform::SeekFrom::kEnd);
    const int64_t offset = store_->StoreFile(path, contentFd_, opened(size));
    ASSERT_GE(offset, 0) << size;
    ASSERT_TRUE(store_->FlushBlocks());
    EXPECT_EQ(Restore(offset, path), Bytes(bytes.begin(), bytes.begin() + size)) << size;
  }
  EXPECT_FALSE(context_.cancelled);
}

// Files the store has read are closed behind its back, but none is left
// open once the backup's blocks are flushed: stored raw, in blocks, or
// given up on.
TEST_F(StoreRestoreTest, NoSourceStaysOpenOnceTheBlocksAreFlushed) {
  std::vector<std::string> targets;
  for (int i = 0; i < 70; ++i) {
    const size_t size = i % 3 == 0 ? 100 : 20000;
    const std::wstring path = Source("open" + std::to_string(i), test::RandomBytes(size, i));
    targets.push_back(platform::OsPath(path));
    SourceFile source;
    source.fd = platform::OpenFile(path, platform::OpenMode::kRead);
    // Every seventh says it is a byte longer than it is: it shrank.
    source.size = static_cast<int64_t>(size) + (i % 7 == 0 ? 1 : 0);
    EXPECT_EQ(store_->StoreFile(path, contentFd_, std::move(source)) >= 0, i % 7 != 0) << i;
  }
  ASSERT_TRUE(store_->FlushBlocks());
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
    EXPECT_EQ(std::find(targets.begin(), targets.end(), target), targets.end()) << target;
  }
}

TEST_F(StoreRestoreTest, SmallFilesAreRawAndLargerOnesAreCutAtBlockBoundaries) {
  Store(Source("small", test::RandomBytes(299, 1)));
  EXPECT_EQ(DataSize(), 0u);
  EXPECT_EQ(store_->Blocks().BlockCount(), 0u);

  int64_t offset = Store(Source("window", test::RandomBytes(16383, 2)));
  ASSERT_EQ(Entries(offset).size(), 1u);
  EXPECT_EQ(Entries(offset)[0].length, 16383);

  offset = Store(Source("two", test::RandomBytes(16384, 3)));
  std::vector<FpEntry> entries = Entries(offset);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].length, 8192);
  EXPECT_EQ(entries[1].length, 8192);
  EXPECT_EQ(entries[1].sourcePosition, 8192);

  offset = Store(Source("odd", test::RandomBytes(20000, 4)));
  entries = Entries(offset);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].length, 11808);
  // A final window's checksum is the plain checksum of its bytes.
  Bytes odd = test::RandomBytes(20000, 4);
  EXPECT_EQ(entries[1].weakChecksum, WeakChecksum::Of(odd.data() + 8192, 11808).Value());
}

TEST_F(StoreRestoreTest, KnownContentIsReferencedNotStoredAgain) {
  Bytes bytes = test::RandomBytes(100000, 5);
  std::wstring path = Source("file", bytes);
  int64_t first = Store(path);
  const uintmax_t dataSize = DataSize();
  int64_t second = Store(path);
  EXPECT_GT(second, first);  // the record is written again
  EXPECT_EQ(DataSize(), dataSize);
  std::vector<FpEntry> before = Entries(first), after = Entries(second);
  ASSERT_EQ(before.size(), after.size());
  for (size_t i = 0; i < before.size(); ++i)
    EXPECT_EQ(before[i].dataPosition, after[i].dataPosition);
  EXPECT_EQ(Restore(second, path), bytes);

  // After reopening, from the index and after a rebuild without it, each
  // loaded when first needed or ahead on a helper.
  for (bool dropIndex : {false, true}) {
    for (bool ahead : {false, true}) {
      store_.reset();
      if (dropIndex) std::filesystem::remove(IndexPath());
      OpenStore();
      if (ahead) {
        store_->LoadIndexAhead();
        EXPECT_FALSE(store_->IsDamaged(DamageMemory::Kind::kBlock, 0));
      }
      Store(path);
      EXPECT_EQ(DataSize(), dataSize) << dropIndex << ahead;
    }
  }
  // A rebuild begun ahead and never waited for still leaves a sound index.
  store_.reset();
  std::filesystem::remove(IndexPath());
  OpenStore();
  store_->LoadIndexAhead();
  OpenStore();
  Store(path);
  EXPECT_EQ(DataSize(), dataSize);
  EXPECT_EQ(std::filesystem::file_size(IndexPath()), Entries(first).size() * 32);
}

TEST_F(StoreRestoreTest, ABlockRepeatedFourTimesIsStoredOnce) {
  Bytes block = test::RandomBytes(8192, 6);
  Bytes bytes;
  for (int i = 0; i < 4; ++i) bytes.insert(bytes.end(), block.begin(), block.end());
  std::wstring path = Source("four", bytes);
  int64_t offset = Store(path);
  EXPECT_EQ(DataSize(), 40u + 8192u);
  std::vector<FpEntry> entries = Entries(offset);
  ASSERT_EQ(entries.size(), 4u);
  for (const FpEntry& entry : entries) {
    EXPECT_EQ(entry.dataPosition, 0);
    EXPECT_EQ(entry.length, 8192);
  }
  EXPECT_EQ(Restore(offset, path), bytes);
}

TEST_F(StoreRestoreTest, BytesInsertedAtTheFrontBecomeOneNewBlock) {
  Bytes original = test::RandomBytes(65536, 7);
  Store(Source("original", original));
  const uintmax_t dataSize = DataSize();

  Bytes shifted = test::RandomBytes(1000, 8);
  shifted.insert(shifted.end(), original.begin(), original.end());
  std::wstring path = Source("shifted", shifted);
  int64_t offset = Store(path);
  // The 1000 new bytes and the first 7192 of the matched window.
  EXPECT_EQ(DataSize(), dataSize + 40 + 8192);
  std::vector<FpEntry> entries = Entries(offset);
  ASSERT_EQ(entries.size(), 9u);
  EXPECT_EQ(entries[0].length, 1000);
  EXPECT_EQ(entries[0].dataPosition, static_cast<int64_t>(dataSize));
  EXPECT_EQ(entries[0].digest, Md5::Of(shifted.data(), 8192));
  for (size_t i = 1; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].sourcePosition, 1000 + 8192 * static_cast<int64_t>(i - 1));
    EXPECT_LT(entries[i].dataPosition, static_cast<int64_t>(dataSize));
  }
  EXPECT_EQ(Restore(offset, path), shifted);

  // The stored literal block is a whole window: storing its bytes matches it.
  Store(Source("window", Bytes(shifted.begin(), shifted.begin() + 8192)));
  EXPECT_EQ(DataSize(), dataSize + 40 + 8192);
}

TEST_F(StoreRestoreTest, AFileOfBlocksFromAllOverTheStoreComesBack) {
  // Runs of adjacent blocks, single blocks, a repeated block and a piece
  // shorter than its block, in the order the file needs them.
  Bytes a = test::RandomBytes(40 * 8192, 20);
  Bytes b = test::RandomBytes(40 * 8192, 21);
  Store(Source("a", a));
  Store(Source("b", b));
  auto blocks = [](const Bytes& from, size_t first, size_t count) {
    return Bytes(from.begin() + static_cast<ptrdiff_t>(first * 8192),
                 from.begin() + static_cast<ptrdiff_t>((first + count) * 8192));
  };
  Bytes mixed;
  for (const Bytes& part :
       {blocks(a, 5, 10), blocks(b, 0, 3), test::RandomBytes(500, 22), blocks(a, 30, 10),
        blocks(b, 39, 1), blocks(b, 39, 1), blocks(a, 0, 1)}) {
    mixed.insert(mixed.end(), part.begin(), part.end());
  }
  const uintmax_t dataSize = DataSize();
  std::wstring path = Source("mixed", mixed);
  int64_t offset = Store(path);
  EXPECT_EQ(DataSize(), dataSize + 40 + 8192);  // only the 500 new bytes' block
  EXPECT_EQ(Restore(offset, path), mixed);
  EXPECT_TRUE(status_.messages.empty());
}

TEST_F(StoreRestoreTest, BlocksWithTheSameWeakChecksumAreToldApartByMd5) {
  Bytes one = test::RandomBytes(8192, 9);
  // +1, -2, +1 on three neighbours keeps both sums of the checksum.
  Bytes two = one;
  for (size_t i : {100u, 101u, 102u}) two[i] = 40;
  one[100] = 40, one[101] = 40, one[102] = 40;
  two[100] += 1, two[101] -= 2, two[102] += 1;
  ASSERT_EQ(WeakChecksum::Of(one.data(), one.size()).Value(),
            WeakChecksum::Of(two.data(), two.size()).Value());

  std::wstring onePath = Source("one", one), twoPath = Source("two", two);
  int64_t oneOffset = Store(onePath);
  int64_t twoOffset = Store(twoPath);
  EXPECT_EQ(DataSize(), 2u * (40 + 8192));
  EXPECT_EQ(store_->Blocks().ListOf(WeakChecksum::Of(one.data(), one.size()).Value()).size(), 2u);

  int64_t again = Store(twoPath);
  EXPECT_EQ(DataSize(), 2u * (40 + 8192));
  EXPECT_EQ(Entries(again)[0].dataPosition, 40 + 8192);
  EXPECT_EQ(Restore(oneOffset, onePath), one);
  EXPECT_EQ(Restore(twoOffset, twoPath), two);
}

TEST_F(StoreRestoreTest, ProgressIsReportedEvery131072LiteralBytes) {
  context_.bytesDone = 1000000;
  Bytes bytes = test::RandomBytes(300000, 10);
  std::wstring path = Source("file", bytes);
  int64_t offset = Store(path);
  using Calls = std::vector<std::pair<int64_t, int64_t>>;
  EXPECT_EQ(status_.progress, (Calls{{1131072, 131072}, {1262144, 262144}}));

  status_.progress.clear();
  Store(path);  // matches throughout
  EXPECT_TRUE(status_.progress.empty());

  context_.restoredBytes = 500;
  EXPECT_EQ(Restore(offset, path), bytes);
  EXPECT_EQ(status_.progress, (Calls{{131572, 131072}, {262644, 262144}}));
}

TEST_F(StoreRestoreTest, AStopAnsweredByProgressEndsTheStoreButNotARestore) {
  Bytes bytes = test::RandomBytes(300000, 11);
  std::wstring path = Source("file", bytes);
  status_.stopOnProgress = true;
  EXPECT_EQ(Store(path), -1);
  EXPECT_TRUE(context_.cancelled);

  status_.stopOnProgress = false;
  context_.cancelled = false;
  int64_t offset = Store(path);
  status_.stopOnProgress = true;
  EXPECT_EQ(Restore(offset, path), bytes);  // the file is finished
  EXPECT_TRUE(context_.cancelled);
}

TEST_F(StoreRestoreTest, FilesThatCannotBeRecordedLeaveNoTrace) {
  const uintmax_t contentSize = std::filesystem::file_size(ContentPath());
  EXPECT_EQ(Store((folder_ / "missing").wstring()), -1);

  // A full path of 512 UTF-16 units has no room in a record.
  std::filesystem::path deep = folder_.path();
  while (deep.wstring().size() < 450) deep /= std::string(40, 'd');
  std::filesystem::create_directories(deep);
  std::wstring longName = deep.wstring() + platform::kSeparatorText +
                          std::wstring(512 - deep.wstring().size() - 1, L'n');
  ASSERT_EQ(longName.size(), 512u);
  test::WriteAll(longName, test::RandomBytes(1000, 12));
  EXPECT_EQ(Store(longName), -1);

  EXPECT_EQ(std::filesystem::file_size(ContentPath()), contentSize);
  EXPECT_TRUE(status_.messages.empty());
  EXPECT_FALSE(context_.cancelled);
}

TEST_F(StoreRestoreTest, ARecordOfAnotherNameRestoresNothing) {
  std::wstring path = Source("file", test::RandomBytes(5000, 13));
  int64_t offset = Store(path);
  test::DiagnosticCapture log;
  EXPECT_EQ(Restore(offset, path + L"x"), std::nullopt);
  EXPECT_EQ(std::filesystem::file_size(folder_ / "restored"), 0u);
  EXPECT_EQ(log.text(), L"\nFile offset wrong " + path + L"x  the other file is: " + path);
  EXPECT_FALSE(context_.cancelled);
}

TEST(StoreDeterminismTest, TheSameInputsGiveTheSameBytes) {
  test::TempFolder sources;
  std::vector<std::wstring> paths;
  Bytes base = test::RandomBytes(70000, 14);
  for (int i = 0; i < 4; ++i) {
    Bytes bytes = base;
    bytes.insert(bytes.begin(), static_cast<size_t>(i * 333), static_cast<uint8_t>(i));
    paths.push_back((sources.path() / std::to_string(i)).wstring());
    test::WriteAll(paths.back(), bytes);
  }
  std::vector<Bytes> files[2];
  for (auto& result : files) {
    test::TempFolder folder;
    {
      BlockStore store((folder / "s").wstring(), 163840, 8192);
      StoreContext context;
      store.AttachManager(&context);
      int fd = platform::OpenFile((folder / "s.fp").wstring(), platform::OpenMode::kReadWriteStore);
      for (const std::wstring& path : paths) ASSERT_GE(store.StoreFile(path, fd), 0);
      platform::CloseFile(fd);
    }
    for (const char* name : {"s", "s.ind", "s.fp"}) result.push_back(test::ReadAll(folder / name));
  }
  EXPECT_TRUE(files[0] == files[1]);
}

}  // namespace
}  // namespace vaultline
