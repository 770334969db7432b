#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <random>
#include <thread>

#include "FileSizeLimit.h"
#include "StoreFixture.h"
#include "platform/FileOperationHook.h"
#include "platform/Format.h"
#include "platform/Processors.h"

namespace vaultline {
namespace {

using test::Bytes;

class StoreDamageTest : public test::StoreFixture {
 protected:
  struct Stored {
    std::wstring path;
    Bytes bytes;
    int64_t offset;
  };

  // Three blocks of new content each.
  Stored StoreNew(const std::string& name, uint64_t seed) {
    Stored file{L"", test::RandomBytes(3 * 8192, seed), 0};
    file.path = Source(name, file.bytes);
    file.offset = Store(file.path);
    EXPECT_GE(file.offset, 0);
    return file;
  }

  void ExpectRestores(const Stored& file) {
    EXPECT_EQ(Restore(file.offset, file.path), file.bytes) << std::filesystem::path(file.path);
  }

  // The write fails where no file may grow past `limit` bytes, and the
  // store ends the backup with the system's one reason.
  template <typename Write>
  void ExpectFailsOnAFullDrive(uintmax_t limit, Write write) {
    ASSERT_TRUE(testing::LimitFileSize(limit));
    EXPECT_FALSE(write());
    testing::UnlimitFileSize();
    EXPECT_TRUE(context_.cancelled);
    ASSERT_EQ(status_.messages.size(), 1u);
    EXPECT_EQ(status_.messages[0].text, platform::SystemErrorText(EFBIG));
  }

  // Stores the files one after another without writing what waits.
  std::vector<int64_t> StoreBackToBack(const Bytes (&inputs)[3], std::vector<std::wstring>* paths) {
    platform::SeekFile(contentFd_, 0, platform::SeekFrom::kEnd);
    std::vector<int64_t> offsets;
    for (const Bytes& input : inputs) {
      paths->push_back(Source("small" + std::to_string(paths->size()), input));
      offsets.push_back(store_->StoreFile(paths->back(), contentFd_));
      EXPECT_GE(offsets.back(), 0);
    }
    return offsets;
  }

  void Damage(const std::filesystem::path& path, int64_t at) {
    Bytes bytes = test::ReadAll(path);
    bytes[static_cast<size_t>(at)] ^= 0x40;
    test::WriteAll(path, bytes);
  }
};

TEST_F(StoreDamageTest, AFullDriveIsReportedAndLosesNothingStoredBefore) {
  Stored before = StoreNew("before", 1);
  const uintmax_t dataSize = DataSize();
  Bytes big = test::RandomBytes(1 << 20, 2);
  std::wstring bigPath = Source("big", big);

  ASSERT_TRUE(testing::LimitFileSize(dataSize + 3 * (40 + 8192) + 100));
  int64_t result = Store(bigPath);
  testing::UnlimitFileSize();
  EXPECT_EQ(result, -1);
  EXPECT_TRUE(context_.cancelled);
  ASSERT_EQ(status_.messages.size(), 1u);
  EXPECT_EQ(status_.messages[0].level, 2);
  EXPECT_EQ(status_.messages[0].text, platform::SystemErrorText(EFBIG));
  // The file's blocks go out together: none of them stays behind.
  EXPECT_EQ(DataSize(), dataSize);

  // The same store forgot them: nothing refers to bytes that were cut off.
  context_.cancelled = false;
  status_.messages.clear();
  int64_t again = Store(bigPath);
  ASSERT_GE(again, 0);
  EXPECT_EQ(DataSize(), dataSize + 128 * (40 + 8192));
  EXPECT_EQ(Restore(again, bigPath), big);

  OpenStore();
  ExpectRestores(before);
  int64_t offset = Store(bigPath);
  ASSERT_GE(offset, 0);
  EXPECT_EQ(Restore(offset, bigPath), big);
  EXPECT_TRUE(status_.messages.empty());
}

TEST_F(StoreDamageTest, BlocksGatheredAcrossFilesThatCannotBeWrittenCostTheirFiles) {
  Stored before = StoreNew("before", 21);
  const uintmax_t dataSize = DataSize();
  // Small files count as stored with their blocks still gathered; the
  // second names the first one's block too.
  const Bytes first = test::RandomBytes(5000, 22);
  Bytes second = first;
  second.insert(second.end(), first.begin(), first.end());
  const std::wstring paths[] = {Source("first", first), Source("second", second)};
  platform::SeekFile(contentFd_, 0, platform::SeekFrom::kEnd);
  int64_t offsets[2];
  for (int i = 0; i < 2; ++i) {
    offsets[i] = store_->StoreFile(paths[i], contentFd_);
    ASSERT_GE(offsets[i], 0);
  }
  EXPECT_EQ(DataSize(), dataSize);

  ExpectFailsOnAFullDrive(dataSize + 100, [&] { return store_->Sync(); });
  EXPECT_EQ(DataSize(), dataSize);
  // Their records name blocks that are not there: no later snapshot may
  // build on them, and the store no longer finds those blocks.
  for (int64_t offset : offsets) {
    EXPECT_TRUE(store_->Damage().Has(DamageMemory::Kind::kContent, offset));
  }
  EXPECT_FALSE(store_->Damage().Has(DamageMemory::Kind::kContent, before.offset));
  context_.cancelled = false;
  status_.messages.clear();
  const int64_t again = Store(paths[1]);
  ASSERT_GE(again, 0);
  EXPECT_EQ(Restore(again, paths[1]), second);
  ExpectRestores(before);
  EXPECT_TRUE(status_.messages.empty());
}

// Fails the first sync of any file with EIO.
class FailFirstSync : public platform::FileOperationHook {
 public:
  int Before(const platform::FileOperation& operation) override {
    if (operation.kind != platform::FileOperationKind::kSync) return 0;
    return syncs.fetch_add(1) == 0 ? EIO : 0;
  }
  void After(const platform::FileOperation&) override {}

  std::atomic<int> syncs{0};
};

TEST_F(StoreDamageTest, AWriteBackThatFailedWhileStoringFailsTheSyncBeforePublishing) {
  if (platform::AvailableProcessors() < 2) GTEST_SKIP() << "nothing is synced behind";
  // More than the step after which the data file is synced behind.
  const Bytes big = test::RandomBytes((65 << 20) + 3000, 41);
  const std::wstring path = Source("big", big);
  FailFirstSync hook;
  platform::SetFileOperationHook(&hook);
  const int64_t offset = Store(path);
  // The sync behind runs by itself, before any sync is asked for.
  for (int i = 0; i < 10000 && hook.syncs == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const int syncsBehind = hook.syncs;
  errno = 0;
  const bool synced = store_->Sync();
  const int error = errno;
  platform::SetFileOperationHook(nullptr);
  ASSERT_GE(offset, 0);
  ASSERT_GE(syncsBehind, 1);
  // The system reports a failed write-back once: the data file's own sync
  // would not have seen it again.
  EXPECT_FALSE(synced);
  EXPECT_EQ(error, EIO);
  EXPECT_TRUE(store_->Sync());
}

// The first of these waits for its block's digest, and the two small ones
// behind it are held until it is written.
const Bytes kBackToBack[] = {test::RandomBytes(5000, 32), Bytes(120, 'a'), Bytes(7, 'b')};

TEST_F(StoreDamageTest, RecordsThatCannotBeWrittenCostTheirFiles) {
  Stored before = StoreNew("before", 31);
  std::vector<std::wstring> paths;
  const std::vector<int64_t> offsets = StoreBackToBack(kBackToBack, &paths);
  const uintmax_t contentSize = std::filesystem::file_size(ContentPath());

  ExpectFailsOnAFullDrive(contentSize + 10, [&] { return store_->FinishRecords(); });
  for (int64_t offset : offsets) {
    EXPECT_TRUE(store_->Damage().Has(DamageMemory::Kind::kContent, offset));
  }
  EXPECT_FALSE(store_->Damage().Has(DamageMemory::Kind::kContent, before.offset));

  // Nothing is left waiting, and the files store again.
  context_.cancelled = false;
  status_.messages.clear();
  ASSERT_TRUE(store_->FlushBlocks());
  for (size_t i = 0; i < paths.size(); ++i) {
    const int64_t again = Store(paths[i]);
    ASSERT_GE(again, 0);
    EXPECT_EQ(Restore(again, paths[i]), kBackToBack[i]);
  }
  ExpectRestores(before);
  EXPECT_TRUE(status_.messages.empty());
}

TEST_F(StoreDamageTest, HeldRecordsWrittenTogetherFailTogether) {
  std::vector<std::wstring> paths;
  const std::vector<int64_t> offsets = StoreBackToBack(kBackToBack, &paths);
  // Room for the first record's one entry, not for the two held behind it.
  const uintmax_t contentSize = std::filesystem::file_size(ContentPath());
  ASSERT_TRUE(testing::LimitFileSize(contentSize + FpEntry::kSize + 10));
  EXPECT_FALSE(store_->FinishRecords());
  testing::UnlimitFileSize();
  ASSERT_EQ(status_.messages.size(), 2u);
  EXPECT_EQ(status_.messages[0].text, L"Error writing backup idenifier ");
  EXPECT_EQ(status_.messages[1].text, platform::SystemErrorText(EFBIG));
  EXPECT_FALSE(store_->Damage().Has(DamageMemory::Kind::kContent, offsets[0]));
  EXPECT_TRUE(store_->Damage().Has(DamageMemory::Kind::kContent, offsets[1]));
  EXPECT_TRUE(store_->Damage().Has(DamageMemory::Kind::kContent, offsets[2]));
  ASSERT_TRUE(store_->FlushBlocks());
  EXPECT_EQ(Restore(offsets[0], paths[0]), kBackToBack[0]);
}

TEST_F(StoreDamageTest, OnlyStoringReadsTheIndexOrRebuildsIt) {
  Stored file = StoreNew("file", 14);
  store_.reset();
  std::filesystem::remove(IndexPath());
  OpenStore();
  ExpectRestores(file);
  EXPECT_EQ(std::filesystem::file_size(IndexPath()), 0u);

  // The rebuilt index lets the next file find the blocks again.
  const uintmax_t dataSize = DataSize();
  EXPECT_GE(Store(file.path), 0);
  EXPECT_EQ(DataSize(), dataSize);
  EXPECT_EQ(std::filesystem::file_size(IndexPath()), 3u * 32);
}

TEST_F(StoreDamageTest, ACorruptedBlockIsReportedOnRestore) {
  Stored file = StoreNew("file", 3);
  std::vector<FpEntry> entries = Entries(file.offset);
  Damage(DataPath(), entries[1].dataPosition + 40 + 4000);
  OpenStore();
  EXPECT_EQ(Restore(file.offset, file.path), std::nullopt);
  EXPECT_FALSE(context_.cancelled);
  ASSERT_EQ(status_.messages.size(), 1u);
  EXPECT_EQ(status_.messages[0].text,
            L"The stored contents of " + file.path + L" are damaged: the block at " +
                std::to_wstring(entries[1].dataPosition) + L" of the data file");
}

TEST_F(StoreDamageTest, ATruncatedRecordIsReportedOnRestore) {
  Stored small{Source("small", test::RandomBytes(200, 12)), test::RandomBytes(200, 12), 0};
  small.offset = Store(small.path);
  Stored large = StoreNew("large", 13);
  const int64_t contentSize = static_cast<int64_t>(std::filesystem::file_size(ContentPath()));
  struct Cut {
    int64_t at;
    const Stored& file;
    const wchar_t* message;
  };
  // The large file's last entry goes first, then half the small file's bytes.
  for (const Cut& cut : {Cut{contentSize - 20, large, L"its list of pieces is cut short"},
                         Cut{small.offset + 2072 + 100, small, L"its bytes are cut short"}}) {
    std::filesystem::resize_file(ContentPath(), static_cast<uintmax_t>(cut.at));
    status_.messages.clear();
    context_.cancelled = false;
    EXPECT_EQ(Restore(cut.file.offset, cut.file.path), std::nullopt);
    EXPECT_FALSE(context_.cancelled);
    ASSERT_EQ(status_.messages.size(), 1u);
    EXPECT_EQ(status_.messages[0].text,
              L"The stored contents of " + cut.file.path + L" are damaged: " + cut.message);
  }
}

TEST_F(StoreDamageTest, AnEntryNamingAnotherSoundBlockIsReportedOnRestore) {
  Stored file = StoreNew("file", 4);
  std::vector<FpEntry> entries = Entries(file.offset);
  // Point the first entry at the second block.
  Bytes content = test::ReadAll(ContentPath());
  StoreLe64(static_cast<uint64_t>(entries[1].dataPosition),
            &content[static_cast<size_t>(file.offset) + 2072 + 32]);
  test::WriteAll(ContentPath(), content);
  EXPECT_EQ(Restore(file.offset, file.path), std::nullopt);
  EXPECT_FALSE(context_.cancelled);
}

TEST_F(StoreDamageTest, ARebuildKeepsEveryBlockAroundDamageInTheMiddle) {
  Stored first = StoreNew("first", 5);
  Stored damaged = StoreNew("damaged", 6);
  Stored last = StoreNew("last", 7);
  const uintmax_t dataSize = DataSize();
  store_.reset();
  std::filesystem::remove(IndexPath());
  Damage(DataPath(), Entries(damaged.offset)[1].dataPosition);  // a header's magic

  test::DiagnosticCapture log;
  OpenStore();
  EXPECT_EQ(store_->KnownBlockCount(), 8u);
  EXPECT_NE(log.text().find(L"skipped 8232 bytes"), std::wstring::npos) << log.text();
  ExpectRestores(first);
  ExpectRestores(last);
  EXPECT_EQ(Restore(damaged.offset, damaged.path), std::nullopt);

  context_.cancelled = false;
  Stored added = StoreNew("added", 8);
  EXPECT_EQ(Entries(added.offset)[0].dataPosition, static_cast<int64_t>(dataSize));
  ExpectRestores(added);
  ExpectRestores(last);
  // Blocks behind the damage are still found again.
  EXPECT_GE(Store(last.path), 0);
  EXPECT_EQ(DataSize(), dataSize + 3 * (40 + 8192));
}

TEST_F(StoreDamageTest, ATornTailIsOverwrittenByTheNextBlock) {
  Stored first = StoreNew("first", 9);
  Stored torn = StoreNew("torn", 10);
  int64_t tornBlock = Entries(torn.offset)[2].dataPosition;
  store_.reset();
  std::filesystem::remove(IndexPath());
  std::filesystem::resize_file(DataPath(), static_cast<uintmax_t>(tornBlock + 40 + 100));

  OpenStore();
  ExpectRestores(first);
  Stored added = StoreNew("added", 11);
  EXPECT_EQ(Entries(added.offset)[0].dataPosition, tornBlock);
  ExpectRestores(added);
  ExpectRestores(first);
}

// The lookup file only points at index records: one scribbled over, cut
// short or swapped for another store's costs blocks stored again, never a
// wrong match, and is made again from the index.
TEST_F(StoreDamageTest, ADamagedLookupFileCostsOnlyBlocksStoredAgain) {
  const Bytes shared = test::RandomBytes(20 * 8192, 41);
  std::vector<Stored> files;
  std::mt19937_64 random(43);
  for (int i = 0; i < 12; ++i) {
    // Each file: a piece of new data, then a run of the shared bytes at an
    // offset no block boundary predicts.
    Bytes bytes = test::RandomBytes(1000 + 3000 * static_cast<size_t>(i), 50 + i);
    const size_t at = random() % 8192;
    bytes.insert(bytes.end(), shared.begin() + static_cast<ptrdiff_t>(at), shared.end());
    Stored file{Source("f" + std::to_string(i), bytes), bytes, 0};
    file.offset = Store(file.path);
    ASSERT_GE(file.offset, 0);
    files.push_back(file);
    store_.reset();
    Bytes lookup = test::ReadAll(LookupPath());
    ASSERT_GT(lookup.size(), 64u);
    if (i % 3 == 0) {
      for (size_t b = 64; b < lookup.size(); ++b) {
        if (random() % 4 == 0) lookup[b] = static_cast<uint8_t>(random());
      }
      test::WriteAll(LookupPath(), lookup);  // slots scribbled over, header sound
    } else if (i % 3 == 1) {
      lookup.resize(lookup.size() / 2);
      test::WriteAll(LookupPath(), lookup);
    }
    OpenStore();
  }
  for (const Stored& file : files) ExpectRestores(file);
  // The shared run was found again in most files all the same.
  EXPECT_LT(DataSize(), 12 * 8192 * 14u);  // each stored whole: over 2 MB
}

}  // namespace
}  // namespace vaultline
