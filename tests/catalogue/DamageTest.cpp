// Damaged catalogues: a directory file cut short, torn and damaged snapshot
// entries, directory offsets that loop, and stored names that try to leave the
// restore destination.
#include <cstring>

#include "CatalogueFixture.h"
#include "catalogue/DirRecord.h"
#include "catalogue/SnapshotFile.h"
#include "platform/File.h"
#include "platform/Text.h"
#include "util/PlainRecordStream.h"

namespace vaultline::test {
namespace {

class Damage : public CatalogueFixture {
 protected:
  void BuildTree() {
    Write(Src() / "a" / "one.txt", "one");
    Write(Src() / "b" / "two.txt", "two");
    for (const auto& entry : fs::recursive_directory_iterator(Src())) SetTime(entry.path(), 1000);
  }
  std::string ReadBytes(const char* extension) const {
    std::ifstream in(CatalogueFile(extension), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void Patch(const char* extension, int64_t offset, const void* bytes, size_t length) const {
    std::fstream file(CatalogueFile(extension), std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(offset);
    file.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(length));
  }
  bool RestoreAll(int index, const fs::path& target) {
    SnapshotManager& manager = Open();
    manager.ListSnapshots();
    fs::create_directories(target);
    return manager.RestoreItemUnder(index, W(Src()), L"", W(target), true);
  }
  // Appends a hand-made record; returns its offset.
  int64_t AppendRecord(const std::wstring& name, uint32_t attributes, int32_t count,
                       int64_t contentOffset) const {
    DirRecord record{};
    record.magic = kDirRecordMagic;
    platform::PutFixedUtf16(name, record.name, kRecordTextUnits, &record.nameLength);
    record.attributes = attributes;
    record.count = count;
    record.contentOffset = contentOffset;
    const int64_t offset = fs::exists(CatalogueFile(".dir"))
                               ? static_cast<int64_t>(fs::file_size(CatalogueFile(".dir")))
                               : 0;
    std::ofstream(CatalogueFile(".dir"), std::ios::binary | std::ios::app)
        .write(reinterpret_cast<const char*>(&record), sizeof(record));
    return offset;
  }
  void AppendEntry(const std::wstring& source, int64_t root, int64_t end) const {
    const int fd =
        platform::OpenFile(W(CatalogueFile(".snp")), platform::OpenMode::kReadWriteStore);
    const int64_t at = platform::FileSizeOf(fd);
    SnapshotFile(*PlainRecordStream::Borrow(fd), L"s").AppendEntry(1000, 1, source, root, end);
    platform::CloseFile(fd);
    // A plain entry, as a writer without record checksums leaves it: its
    // hand-made records are then checked by consistency alone.
    const uint16_t plain = 0;
    Patch(".snp", at + 2, &plain, sizeof(plain));
  }
};

TEST_F(Damage, DirectoryFileCutShortKeepsTheWholeSnapshots) {
  BuildTree();
  ASSERT_TRUE(Backup());
  const int64_t firstRecords = DirRecords();
  const TreeImage first = Image(Src());
  Write(Src() / "a" / "one.txt", "one, changed");
  ASSERT_TRUE(Backup());
  fs::resize_file(CatalogueFile(".dir"), static_cast<uintmax_t>(firstRecords * 1072 + 500));

  SnapshotManager& manager = Open();
  EXPECT_TRUE(manager.IsOpen());
  ASSERT_EQ(manager.ListSnapshots().size(), 2u);
  manager.ListEntries(1, W(Src()));
  EXPECT_TRUE(manager.ListingFailed());
  ASSERT_TRUE(RestoreAll(0, Out() / "0"));
  EXPECT_EQ(Image(Out() / "0" / "src"), first);
  EXPECT_FALSE(RestoreAll(1, Out() / "1"));
  EXPECT_FALSE(status_.problems.empty());

  // The next snapshot does not lean on the folders that lost their records.
  ASSERT_TRUE(Backup());
  ASSERT_TRUE(RestoreAll(2, Out() / "2"));
  EXPECT_EQ(Image(Out() / "2" / "src"), Image(Src()));
}

TEST_F(Damage, TornLastEntryIsReplacedByTheNextSnapshot) {
  BuildTree();
  ASSERT_TRUE(Backup());
  const std::string entry = ReadBytes(".snp");
  std::ofstream(CatalogueFile(".snp"), std::ios::binary | std::ios::app) << entry.substr(0, 1000);
  EXPECT_EQ(Open().ListSnapshots().size(), 1u);
  ASSERT_TRUE(Backup());
  EXPECT_EQ(fs::file_size(CatalogueFile(".snp")), 2u * 2088u);
  ASSERT_EQ(Open().ListSnapshots().size(), 2u);
  ASSERT_TRUE(RestoreAll(1, Out()));
  EXPECT_EQ(Image(Out() / "src"), Image(Src()));
}

TEST_F(Damage, DamagedEntryInTheMiddleHidesNothingBehindIt) {
  BuildTree();
  std::vector<TreeImage> images;
  for (const char* contents : {"first", "second, longer", "third, longer still"}) {
    Write(Src() / "b" / "two.txt", contents);
    ASSERT_TRUE(Backup());
    images.push_back(Image(Src()));
  }
  const uint16_t garbage = 0x1234;
  Patch(".snp", 2088, &garbage, sizeof(garbage));
  const std::string damaged = ReadBytes(".snp");

  // The damaged entry keeps its place: the third snapshot is still number 2.
  SnapshotManager& manager = Open();
  ASSERT_EQ(manager.ListSnapshots().size(), 3u);
  EXPECT_NE(log_.find(L"skipped 2088 bytes"), std::wstring::npos);
  EXPECT_TRUE(manager.IsSnapshotDamaged(1));
  EXPECT_FALSE(manager.IsSnapshotDamaged(2));
  EXPECT_EQ(manager.ListSnapshots()[1], SnapshotManager::kDamagedSnapshotText);
  ASSERT_TRUE(RestoreAll(2, Out() / "2"));
  EXPECT_EQ(Image(Out() / "2" / "src"), images[2]);
  EXPECT_FALSE(RestoreAll(1, Out() / "1"));
  EXPECT_NE(status_.problems.back().find(L"Snapshot 1 is damaged"), std::wstring::npos);
  EXPECT_TRUE(Image(Out() / "1").empty());

  ASSERT_TRUE(Backup());
  EXPECT_EQ(Open().ListSnapshots().size(), 4u);
  EXPECT_EQ(ReadBytes(".snp").substr(0, damaged.size()), damaged);
}

TEST_F(Damage, DamagedLastRecordOfAFolderHidesNotTheFoldersAfterIt) {
  BuildTree();
  ASSERT_TRUE(Backup());
  // Records in walk order: src, a, a/one.txt, b, b/two.txt.
  const std::string records = ReadBytes(".dir");
  const std::u16string units = platform::ToUtf16(W(Src() / "a" / "one.txt"));
  const std::string name(reinterpret_cast<const char*>(units.data()), units.size() * 2);
  const size_t at = records.find(name + std::string(2, '\0'));
  ASSERT_NE(at, std::string::npos);
  const uint16_t garbage = 0;
  Patch(".dir", static_cast<int64_t>(at) - 12, &garbage, sizeof(garbage));

  SnapshotManager& manager = Open();
  manager.ListSnapshots();
  const std::vector<std::wstring> listed = manager.ListEntries(0, W(Src()));
  EXPECT_TRUE(manager.ListingFailed());
  EXPECT_EQ(listed, (std::vector<std::wstring>{L"/", L"a/", L"b/", L"b/two.txt"}));
}

TEST_F(Damage, LoopingOffsetsEndListingAndRestoreWithAnError) {
  BuildTree();
  ASSERT_TRUE(Backup());
  // Folder a (the second record) now claims the source root as its first child.
  const int64_t root = 0;
  Patch(".dir", 1072 + offsetof(DirRecord, contentOffset), &root, sizeof(root));
  SnapshotManager& manager = Open();
  ASSERT_EQ(manager.ListSnapshots().size(), 1u);
  manager.ListEntries(0, W(Src()));
  EXPECT_TRUE(manager.ListingFailed());
  EXPECT_FALSE(RestoreAll(0, Out()));
  EXPECT_FALSE(status_.problems.empty());

  // A folder that is its own child, with a count to match.
  const int32_t many = 1 << 30;
  const int64_t itself = 1072;
  Patch(".dir", 1072 + offsetof(DirRecord, contentOffset), &itself, sizeof(itself));
  Patch(".dir", 1072 + offsetof(DirRecord, count), &many, sizeof(many));
  EXPECT_FALSE(RestoreAll(0, Out()));
}

TEST_F(Damage, ADamagedBlockCostsOnlyItsOwnFileOnRestore) {
  BuildTree();
  Write(Src() / "a" / "big.bin", std::string(20000, 'x'));
  ASSERT_TRUE(Backup());
  // The first byte of the first stored block's contents.
  const char flipped = 'y';
  Patch("", 40, &flipped, 1);
  EXPECT_FALSE(RestoreAll(0, Out()));
  EXPECT_FALSE(status_.problems.empty());
  const TreeImage restored = Image(Out() / "src");
  EXPECT_EQ(restored.at("a/one.txt"), "one");
  EXPECT_EQ(restored.at("b/two.txt"), "two");
  // The damaged file is named and not left behind half written.
  EXPECT_EQ(restored.count("a/big.bin"), 0u);
  bool named = false;
  for (const std::wstring& problem : status_.problems) {
    named = named || problem.find(L"big.bin could not be restored") != std::wstring::npos;
  }
  EXPECT_TRUE(named);
}

TEST_F(Damage, HostileStoredNamesNeverLeaveTheDestination) {
  const std::wstring src = W(Src());
  const uint32_t folder = kFolderAttribute;
  // A source folder whose children carry unsafe last components, and a
  // subfolder named ".." with a child of its own.
  const int64_t rootRecord = AppendRecord(src, folder, 5, 1072);
  AppendRecord(src + L"/..", 0, 1, 0);
  AppendRecord(src + L"/.", 0, 1, 0);
  AppendRecord(src + L"/", 0, 1, 0);
  AppendRecord(src + L"/sub/..", folder, 1, 5 * 1072);
  AppendRecord(src + L"/sub/../escaped", 0, 1, 0);
  AppendRecord(src + L"/ok", folder, 0, 7 * 1072);
  AppendEntry(src, rootRecord, 7 * 1072);
  // Whole names joined below the target: a ".." anywhere is refused.
  const std::wstring climbing = src + L"/../../climbed";
  const int64_t climbRecord = AppendRecord(climbing, folder, 0, 8 * 1072);
  AppendEntry(climbing, climbRecord, climbRecord + 1072);

  const fs::path target = Out() / "deep" / "er";
  fs::create_directories(target);
  SnapshotManager& manager = Open();
  ASSERT_EQ(manager.ListSnapshots().size(), 2u);
  EXPECT_FALSE(manager.RestoreItem(0, src, W(target), true));
  EXPECT_EQ(Image(target), (TreeImage{{"src", "/"}, {"src/ok", "/"}}));
  // ".." and "." are refused by name; "src/" and "sub/.." are no children of
  // the source, so they are damaged records (named as such), and so is the
  // record the count of five then reaches beyond the folder's own.
  ASSERT_EQ(status_.problems.size(), 3u);
  EXPECT_NE(status_.problems[2].find(L"2 damaged record(s) in the folder " + src),
            std::wstring::npos);

  EXPECT_FALSE(manager.RestoreItem(1, climbing, W(target), false));
  EXPECT_FALSE(manager.RestoreItem(1, climbing, L"", false));
  std::vector<std::string> everything;
  for (const auto& [path, contents] : Image(root_)) everything.push_back(path);
  EXPECT_EQ(everything, (std::vector<std::string>{"drive", "drive/sel", "drive/sel.dir",
                                                  "drive/sel.fp", "drive/sel.ind", "drive/sel.snp",
                                                  "out", "out/deep", "out/deep/er",
                                                  "out/deep/er/src", "out/deep/er/src/ok", "src"}));
}

}  // namespace
}  // namespace vaultline::test
