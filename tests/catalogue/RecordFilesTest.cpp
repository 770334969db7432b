// Byte-level behaviour of the snapshot file and the directory file, and the
// text of ItemKey.
#include <cstring>
#include <memory>

#include "CatalogueFixture.h"
#include "catalogue/DirectoryFile.h"
#include "catalogue/ItemKey.h"
#include "catalogue/SnapshotFile.h"
#include "catalogue/SourceScanner.h"
#include "platform/File.h"
#include "util/PlainRecordStream.h"

namespace vaultline::test {
namespace {

class RecordFiles : public CatalogueFixture {
 protected:
  int OpenFile(const char* extension) {
    const int fd =
        platform::OpenFile(W(CatalogueFile(extension)), platform::OpenMode::kReadWriteStore);
    fds_.push_back(fd);
    return fd;
  }
  // The file as a record stream; the descriptor is closed with the others.
  RecordStream& Stream(int fd) { return *streams_.emplace_back(PlainRecordStream::Borrow(fd)); }
  RecordStream& Stream(const char* extension) { return Stream(OpenFile(extension)); }
  void TearDown() override {
    for (int fd : fds_) platform::CloseFile(fd);
    CatalogueFixture::TearDown();
  }
  std::string Bytes() const {
    std::ifstream in(CatalogueFile(".snp"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void AppendBytes(const std::string& bytes) const {
    std::ofstream(CatalogueFile(".snp"), std::ios::binary | std::ios::app) << bytes;
  }
  template <typename T>
  static T At(const std::string& bytes, size_t offset) {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
  }

  std::vector<int> fds_;
  std::vector<std::unique_ptr<RecordStream>> streams_;
};

TEST_F(RecordFiles, SnapshotEntriesWithSeveralSourcesReadBackInOrder) {
  {
    SnapshotFile file(Stream(".snp"), L"own.snp");
    SnapEntry entry;
    EXPECT_EQ(file.ReadEntry(0, &entry), -2);  // empty file
    ASSERT_EQ(file.AppendEntry(1000, 3, L"/a", 0, 1072), 0);
    ASSERT_EQ(file.AppendSource(L"/b", 1072, 2144), 0);
    ASSERT_EQ(file.AppendSource(L"/c", 2144, 2144), 0);
    ASSERT_EQ(file.AppendEntry(2000, 1, L"/a", 2144, 3216), 0);
  }
  const std::string bytes = Bytes();
  ASSERT_EQ(bytes.size(), 2088u + 2 * 1048u + 2088u);
  EXPECT_EQ(At<uint16_t>(bytes, 0), 0xBCEB);
  EXPECT_EQ(At<uint32_t>(bytes, 4), 7u);  // "own.snp"
  EXPECT_EQ(At<int32_t>(bytes, 1032), 1000);
  EXPECT_EQ(At<int32_t>(bytes, 1036), 3);
  EXPECT_EQ(At<uint32_t>(bytes, 1040), 2u);
  EXPECT_EQ(At<int64_t>(bytes, 1040 + 1040), 1072);
  EXPECT_EQ(At<int64_t>(bytes, 2088 + 1032), 1072);  // second source's root

  SnapshotFile file(Stream(".snp"), L"own.snp");
  SnapEntry entry;
  SnapSource source;
  ASSERT_EQ(file.ReadEntry(0, &entry), 0);
  EXPECT_EQ(entry.sourceCount, 3);
  EXPECT_EQ(entry.source.path, L"/a");
  ASSERT_EQ(file.ReadNextSource(&source), 0);
  EXPECT_EQ(source.path, L"/b");
  EXPECT_EQ(source.endOffset, 2144);
  ASSERT_EQ(file.ReadNextSource(&source), 0);
  EXPECT_EQ(source.path, L"/c");
  EXPECT_EQ(file.ReadNextSource(&source), -3);
  // Reading only source 0 and moving on skips the others.
  ASSERT_EQ(file.ReadEntry(0, &entry), 0);
  ASSERT_EQ(file.ReadNextEntry(&entry), 0);
  EXPECT_EQ(entry.snapshotTime, 2000);
  EXPECT_EQ(file.ReadNextEntry(&entry), -2);
  EXPECT_EQ(file.ReadEntry(2, &entry), -2);
  EXPECT_EQ(file.LogicalEnd(), static_cast<int64_t>(bytes.size()));
  EXPECT_TRUE(log_.empty());
}

TEST_F(RecordFiles, TextsOfUpTo511UnitsFitAndLongerOnesAreRefused) {
  SnapshotFile file(Stream(".snp"), L"own.snp");
  const std::wstring longest(511, L'x');
  ASSERT_EQ(file.AppendEntry(1, 1, longest, 0, 0), 0);
  EXPECT_EQ(file.AppendEntry(1, 1, longest + L"x", 0, 0), -1);
  const std::string bytes = Bytes();
  ASSERT_EQ(bytes.size(), 2088u);
  EXPECT_EQ(At<uint32_t>(bytes, 1040), 511u);
  EXPECT_EQ(At<uint16_t>(bytes, 1040 + 4 + 1022), 0);  // terminator in the last unit
  SnapEntry entry;
  ASSERT_EQ(file.ReadEntry(0, &entry), 0);
  EXPECT_EQ(entry.source.path, longest);
}

TEST_F(RecordFiles, TornTailIsIgnoredAndReplacedByTheNextEntry) {
  {
    SnapshotFile file(Stream(".snp"), L"s");
    ASSERT_EQ(file.AppendEntry(1000, 1, L"/a", 0, 0), 0);
  }
  AppendBytes(std::string(100, '\0'));
  SnapshotFile file(Stream(".snp"), L"s");
  SnapEntry entry;
  ASSERT_EQ(file.ReadEntry(0, &entry), 0);
  EXPECT_EQ(file.ReadNextEntry(&entry), -2);
  EXPECT_NE(log_.find(L"\n Snap is probably currupted set last entry to last known good"),
            std::wstring::npos);
  EXPECT_EQ(file.LogicalEnd(), 2088);
  ASSERT_EQ(file.AppendEntry(2000, 1, L"/a", 0, 0), 0);
  EXPECT_EQ(Bytes().size(), 2u * 2088u);
  ASSERT_EQ(file.ReadEntry(1, &entry), 0);
  EXPECT_EQ(entry.snapshotTime, 2000);
}

TEST_F(RecordFiles, EntryCutShortCountsAsDamagedEvenWithItsMagic) {
  {
    SnapshotFile file(Stream(".snp"), L"s");
    ASSERT_EQ(file.AppendEntry(1000, 1, L"/a", 0, 0), 0);
    ASSERT_EQ(file.AppendEntry(2000, 1, L"/a", 0, 0), 0);
  }
  fs::resize_file(CatalogueFile(".snp"), 2088 + 1500);
  SnapshotFile file(Stream(".snp"), L"s");
  SnapEntry entry;
  ASSERT_EQ(file.ReadEntry(0, &entry), 0);
  EXPECT_EQ(file.ReadNextEntry(&entry), -2);
  EXPECT_EQ(file.LogicalEnd(), 2088);
}

TEST_F(RecordFiles, WrongFirstMagicEmptiesTheCatalogue) {
  AppendBytes(std::string(2088, '\x01'));
  SnapshotFile file(Stream(".snp"), L"s");
  SnapEntry entry;
  EXPECT_EQ(file.ReadEntry(0, &entry), -2);
  EXPECT_EQ(file.LogicalEnd(), 0);
  EXPECT_EQ(file.ReadNextEntry(&entry), -2);
}

TEST_F(RecordFiles, DamageInTheMiddleIsSkippedAndKept) {
  {
    SnapshotFile file(Stream(".snp"), L"s");
    for (int32_t time : {1000, 2000, 3000}) ASSERT_EQ(file.AppendEntry(time, 1, L"/a", 0, 0), 0);
  }
  {
    std::fstream damage(CatalogueFile(".snp"), std::ios::in | std::ios::out | std::ios::binary);
    damage.seekp(2088);
    damage << "XX";  // the second entry's magic
  }
  const std::string before = Bytes();
  SnapshotFile file(Stream(".snp"), L"s");
  file.SetDirectorySize(0);
  SnapEntry entry;
  ASSERT_EQ(file.ReadEntry(0, &entry), 0);
  EXPECT_FALSE(entry.damaged);
  ASSERT_EQ(file.ReadNextEntry(&entry), 0);
  EXPECT_TRUE(entry.damaged);
  ASSERT_EQ(file.ReadNextEntry(&entry), 0);
  EXPECT_EQ(entry.snapshotTime, 3000);
  EXPECT_NE(log_.find(L"skipped 2088 bytes"), std::wstring::npos);
  ASSERT_EQ(file.ReadEntry(2, &entry), 0);
  EXPECT_EQ(entry.snapshotTime, 3000);
  EXPECT_EQ(file.ReadNextEntry(&entry), -2);
  ASSERT_EQ(file.AppendEntry(4000, 1, L"/a", 0, 0), 0);
  const std::string after = Bytes();
  ASSERT_EQ(after.size(), before.size() + 2088);
  EXPECT_EQ(after.substr(0, before.size()), before);
}

TEST_F(RecordFiles, DirectoryRecordsLayOutFoldersAndFiles) {
  Write(Src() / "folder" / "a.txt", "abc");
  DirectoryFile file(Stream(".dir"));
  DirEntry entry;
  EXPECT_EQ(file.ReadRecordAt(0, &entry), -2);  // empty file

  SourceScanner folder(W(Src() / "folder"), 0);
  int64_t children = 12345;
  ASSERT_EQ(file.WriteRecord(folder, 0, &children, true), 0);
  EXPECT_EQ(children, 1072);
  fs::create_directories(Src() / "empty");
  SourceScanner emptyFolder(W(Src() / "empty"), 0);
  int64_t emptyChildren = 0;
  ASSERT_EQ(file.WriteRecord(emptyFolder, 1, &emptyChildren, true), 1072);
  EXPECT_EQ(emptyChildren, 2144);
  SourceScanner child(W(Src() / "folder" / "a.txt"), 0);
  child.MarkNotStored();
  int64_t content = 77;
  ASSERT_EQ(file.WriteRecord(child, 1, &content, true), 2144);

  ASSERT_EQ(file.ReadRecordAt(0, &entry), 1072);
  EXPECT_EQ(entry.name, W(Src() / "folder"));
  EXPECT_TRUE(entry.IsFolder());
  EXPECT_EQ(entry.count, 1);
  EXPECT_EQ(entry.contentOffset, 1072);
  ASSERT_EQ(file.ReadRecordAt(1072, &entry), 2144);
  EXPECT_EQ(entry.count, 0);
  EXPECT_EQ(file.ReadRecordAt(file.LogicalEnd() - 1072, &entry), file.LogicalEnd());
  EXPECT_EQ(entry.count, -1);
  EXPECT_EQ(entry.size, 0);
  EXPECT_EQ(entry.contentOffset, 77);
  EXPECT_EQ(file.ReadRecordAt(file.LogicalEnd() - 1071, &entry), -2);

  std::ifstream in(CatalogueFile(".dir"), std::ios::binary);
  const std::string bytes(std::istreambuf_iterator<char>(in), {});
  EXPECT_EQ(At<uint16_t>(bytes, 0), 0xBCFB);
  EXPECT_EQ(At<uint32_t>(bytes, 8), W(Src() / "folder").size());
  EXPECT_EQ(At<uint32_t>(bytes, 1036), 0x10u);
  EXPECT_EQ(At<int32_t>(bytes, 1056), 1);
  EXPECT_EQ(At<int64_t>(bytes, 1064), 1072);
  EXPECT_EQ(At<int32_t>(bytes, 1072 + 4), 1);  // level
  EXPECT_EQ(At<int32_t>(bytes, 2144 + 1056), -1);
}

TEST_F(RecordFiles, FailedDirectoryWriteReportsAndLeavesTheFileAsItWas) {
  Write(Src() / "a.txt", "a");
  std::ofstream(CatalogueFile(".dir")).close();
  const int readOnly = platform::OpenFile(W(CatalogueFile(".dir")), platform::OpenMode::kRead);
  fds_.push_back(readOnly);
  DirectoryFile file(Stream(readOnly));
  SourceScanner item(W(Src() / "a.txt"), 0);
  int64_t content = 0;
  // Records gather and go out together: the failure comes with the write.
  EXPECT_EQ(file.WriteRecord(item, 0, &content, true), 0);
  EXPECT_FALSE(file.Flush());
  EXPECT_NE(log_.find(L"\nErrot trying to write directory file"), std::wstring::npos);
  EXPECT_EQ(file.LogicalEnd(), 0);
  EXPECT_EQ(fs::file_size(CatalogueFile(".dir")), 0u);
}

// Enough records for chunks to be written behind while more gather.
DirEntry NumberedRecord(int i) {
  DirEntry entry;
  entry.name = L"/src/file" + std::to_wstring(i);
  entry.size = i;
  entry.count = 1;
  entry.contentOffset = 40 * i;
  return entry;
}

TEST_F(RecordFiles, RecordsWrittenAChunkAtATimeReadBackInOrder) {
  DirectoryFile file(Stream(".dir"));
  for (int i = 0; i < 300; ++i) {
    ASSERT_EQ(file.AppendRecord(NumberedRecord(i)), int64_t{i} * kDirRecordSize);
  }
  // Reading waits for what is being written.
  DirEntry entry;
  for (int i = 0; i < 300; ++i) {
    ASSERT_EQ(file.ReadRecordAt(int64_t{i} * kDirRecordSize, &entry),
              int64_t{i + 1} * kDirRecordSize);
    EXPECT_EQ(entry.name, NumberedRecord(i).name);
    EXPECT_EQ(entry.contentOffset, 40 * i);
  }
  EXPECT_EQ(fs::file_size(CatalogueFile(".dir")), 300u * kDirRecordSize);
}

TEST_F(RecordFiles, AChunkThatCannotBeWrittenFailsALaterAppendAndVoidsWhatFollowed) {
  std::ofstream(CatalogueFile(".dir")).close();
  const int readOnly = platform::OpenFile(W(CatalogueFile(".dir")), platform::OpenMode::kRead);
  fds_.push_back(readOnly);
  DirectoryFile file(Stream(readOnly));
  // The first chunk's write fails where it is written; an append after it
  // reports it, at the latest when the next chunk goes.
  int failedAt = -1;
  for (int i = 0; i < 300 && failedAt < 0; ++i) {
    if (file.AppendRecord(NumberedRecord(i)) < 0) failedAt = i;
  }
  ASSERT_GE(failedAt, 0);
  EXPECT_LT(failedAt, 128);
  EXPECT_NE(log_.find(L"\nErrot trying to write directory file"), std::wstring::npos);
  EXPECT_EQ(file.LogicalEnd(), 0);
  EXPECT_EQ(fs::file_size(CatalogueFile(".dir")), 0u);
}

TEST(ItemKeyText, NumbersArePrintedAsSigned32BitWithTheSizeHalvesRunTogether) {
  EXPECT_EQ(ItemKey(L"C:\\a.bin", 1000, (int64_t{1} << 32) + 5, 0x20, 1).Text(),
            L"C:\\a.bin*1000*15*32*1");
  EXPECT_EQ(ItemKey(L"/f", -5, 0xFFFFFFFFLL, 0, -1).Text(), L"/f*-5*0-1*0*-1");
  EXPECT_EQ(ItemKey(L"/f", 0, int64_t{0x80000000}, 0, 1).Text(), L"/f*0*0-2147483648*0*1");
  // The run-together halves make different sizes share a key, as they always did.
  const ItemKey a(L"/f", 1, (int64_t{1} << 32) + 23, 0, 1);
  const ItemKey b(L"/f", 1, (int64_t{12} << 32) + 3, 0, 1);
  EXPECT_EQ(a.Text(), b.Text());
  EXPECT_EQ(a.Digest(), b.Digest());
  EXPECT_NE(ItemKey(L"/f", 1, 2, 0, 1).Digest(), ItemKey(L"/g", 1, 2, 0, 1).Digest());
}

}  // namespace
}  // namespace vaultline::test
