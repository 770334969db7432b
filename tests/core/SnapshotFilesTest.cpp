// The snapshots of a selection opened as files: what a mount shows and reads.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <random>
#include <set>

#include "TestDrive.h"
#include "vaultline/SnapshotFiles.h"

namespace vaultline::testing {
namespace {

struct FilesCloser {
  void operator()(ISnapshotFiles* files) const { CloseSnapshotFiles(files); }
};
using Files = std::unique_ptr<ISnapshotFiles, FilesCloser>;

std::string Noise(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

class SnapshotFilesTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    source_ = drive_ / "src";
    // Over a megabyte, so that a file spans several runs of blocks; a file
    // held raw; zeros; a link and a file with two names.
    contents_["big.bin"] = Noise(3 << 20, 1);
    contents_["sub/small.txt"] = "small";
    contents_["sub/zeros.bin"] = std::string(200000, '\0');
    for (const auto& [path, bytes] : contents_) WriteBytes(source_ / path, bytes);
    fs::permissions(source_ / "sub" / "small.txt", fs::perms(0640));
    fs::create_symlink("sub/small.txt", source_ / "link");
    fs::create_hard_link(source_ / "big.bin", source_ / "twin.bin");
    contents_["twin.bin"] = contents_["big.bin"];
    engine_ = StartEngine();
    selection_ = Create(*engine_, L"sel", source_);
    ASSERT_TRUE(engine_->BackUp(selection_));
    location_ = Items(*engine_, engine_->GetProfileLocation(selection_)).at(0);
  }

  Files Open(int* failure = nullptr) {
    int ignored = 0;
    return Files(OpenSnapshotFiles(engine_.get(), selection_, failure ? failure : &ignored));
  }

  // Path below the source (without the source's name) -> item.
  static std::map<std::string, int> PathsOf(const SnapshotFileItem* items, int count) {
    std::map<std::string, int> paths;
    std::vector<std::string> full(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      const std::string name = fs::path(items[i].name).string();
      full[i] = items[i].parent < 0
                    ? ""
                    : full[items[i].parent] + (full[items[i].parent].empty() ? "" : "/") + name;
      paths[full[i]] = i;
    }
    return paths;
  }

  // The whole file read in pieces of `chunk` bytes; null when a read failed.
  static std::optional<std::string> ReadAll(ISnapshotFiles& files, int handle, int64_t chunk) {
    std::string bytes;
    std::vector<char> buffer(static_cast<size_t>(chunk));
    for (;;) {
      const int64_t got =
          files.ReadFile(handle, static_cast<int64_t>(bytes.size()), buffer.data(), chunk);
      if (got < 0) return std::nullopt;
      if (got == 0) return bytes;
      bytes.append(buffer.data(), static_cast<size_t>(got));
    }
  }

  fs::path source_;
  std::map<std::string, std::string> contents_;
  std::unique_ptr<Engine> engine_;
  int selection_ = -1;
  std::wstring location_;
};

TEST_F(SnapshotFilesTest, ShowsEachItemAsRecordedAndReadsEveryStretchOfItsFiles) {
  Files files = Open();
  ASSERT_NE(nullptr, files);
  ASSERT_EQ(1, files->GetSnapshotCount());
  const SnapshotFileItem* items = nullptr;
  bool whole = false;
  const int count = files->GetItems(0, &items, &whole);
  ASSERT_TRUE(whole);
  const std::map<std::string, int> paths = PathsOf(items, count);
  ASSERT_EQ((std::set<std::string>{"", "big.bin", "twin.bin", "link", "sub", "sub/small.txt",
                                   "sub/zeros.bin"}),
            [&] {
              std::set<std::string> names;
              for (const auto& [path, item] : paths) names.insert(path);
              return names;
            }());
  EXPECT_STREQ(L"src", items[paths.at("")].name);
  EXPECT_EQ(StoredItemKind::kFolder, items[paths.at("sub")].kind);

  const SnapshotFileItem& small = items[paths.at("sub/small.txt")];
  struct stat local {};
  ASSERT_EQ(0, ::lstat((source_ / "sub" / "small.txt").c_str(), &local));
  EXPECT_EQ(0640u, small.mode);
  EXPECT_EQ(local.st_mtim.tv_sec, small.modified);
  EXPECT_EQ(static_cast<uint32_t>(local.st_mtim.tv_nsec), small.nanoseconds);
  EXPECT_EQ(1, small.hasOwner);
  EXPECT_EQ(local.st_uid, small.owner);

  const SnapshotFileItem& link = items[paths.at("link")];
  EXPECT_EQ(StoredItemKind::kLink, link.kind);
  EXPECT_STREQ(L"sub/small.txt", files->GetLinkTarget(0, paths.at("link")));
  EXPECT_NE(0u, items[paths.at("big.bin")].linkGroup);
  EXPECT_EQ(items[paths.at("big.bin")].linkGroup, items[paths.at("twin.bin")].linkGroup);

  for (const auto& [path, bytes] : contents_) {
    // Pieces that end inside blocks, across runs, and larger than a run.
    for (int64_t chunk : {int64_t{4096}, int64_t{7777}, int64_t{(1 << 20) + 3}}) {
      const int handle = files->OpenFile(0, paths.at(path));
      ASSERT_GE(handle, 0) << path;
      EXPECT_EQ(bytes, ReadAll(*files, handle, chunk)) << path << " by " << chunk;
      files->CloseFile(handle);
    }
  }
  // Stretches in any order, as several readers of one file ask for them.
  const std::string& big = contents_["big.bin"];
  const int handle = files->OpenFile(0, paths.at("big.bin"));
  std::mt19937 random(7);
  for (int i = 0; i < 200; ++i) {
    const auto offset = static_cast<int64_t>(random() % (big.size() + 10));
    const int64_t length = 1 + random() % 300000;
    std::string buffer(static_cast<size_t>(length), '\0');
    const int64_t got = files->ReadFile(handle, offset, buffer.data(), length);
    const std::string expected =
        offset < static_cast<int64_t>(big.size())
            ? big.substr(static_cast<size_t>(offset), static_cast<size_t>(length))
            : std::string();
    ASSERT_EQ(static_cast<int64_t>(expected.size()), got) << offset;
    EXPECT_EQ(expected, buffer.substr(0, static_cast<size_t>(got))) << offset;
  }
  files->CloseFile(handle);
}

TEST_F(SnapshotFilesTest, ADamagedBlockFailsOnlyTheStretchesThatHoldItAndIsNamed) {
  // A byte in the middle of a block of big.bin: the data file holds its
  // blocks first.
  const fs::path data(location_);
  std::string stored = ReadBytes(data);
  stored[1500000] = static_cast<char>(~stored[1500000]);
  WriteBytes(data, stored);

  Files files = Open();
  ASSERT_NE(nullptr, files);
  const SnapshotFileItem* items = nullptr;
  bool whole = false;
  const std::map<std::string, int> paths = PathsOf(items, files->GetItems(0, &items, &whole));
  const int handle = files->OpenFile(0, paths.at("twin.bin"));
  ASSERT_GE(handle, 0);
  EXPECT_EQ(std::nullopt, ReadAll(*files, handle, 1 << 17));
  const std::wstring why = files->GetLastError();
  EXPECT_NE(std::wstring::npos, why.find(L"damaged")) << why;
  EXPECT_NE(std::wstring::npos, why.find((source_ / "twin.bin").wstring())) << why;

  // Page by page: only the pages of the one block fail, every other page
  // reads as stored.
  const std::string& big = contents_["big.bin"];
  int failed = 0;
  for (size_t offset = 0; offset < big.size(); offset += 4096) {
    char page[4096];
    const int64_t got = files->ReadFile(handle, static_cast<int64_t>(offset), page, 4096);
    if (got < 0) {
      ++failed;
      continue;
    }
    ASSERT_EQ(std::min<size_t>(4096, big.size() - offset), static_cast<size_t>(got));
    ASSERT_EQ(0, std::memcmp(page, big.data() + offset, static_cast<size_t>(got))) << offset;
  }
  EXPECT_GE(failed, 1);
  EXPECT_LE(failed, 5);
  files->CloseFile(handle);

  const int other = files->OpenFile(0, paths.at("sub/zeros.bin"));
  EXPECT_EQ(contents_["sub/zeros.bin"], ReadAll(*files, other, 1 << 17));
  files->CloseFile(other);
}

TEST_F(SnapshotFilesTest, ReadersShareTheSelectionAndKeepABackupOut) {
  Files first = Open();
  int failure = -1;
  Files second = Open(&failure);
  ASSERT_NE(nullptr, first);
  ASSERT_NE(nullptr, second);
  EXPECT_EQ(kSnapshotFilesOpened, failure);

  RecordingStatus status;
  engine_->SetStatusCallback(&status);
  EXPECT_FALSE(engine_->BackUp(selection_));
  const std::vector<std::wstring> errors = status.MessagesAt(kMessageError);
  ASSERT_FALSE(errors.empty());
  EXPECT_NE(std::wstring::npos, errors.front().find(L"in use by another process"));

  first.reset();
  second.reset();
  EXPECT_TRUE(engine_->BackUp(selection_));
  engine_->SetStatusCallback(nullptr);
  Files after = Open();
  ASSERT_NE(nullptr, after);
  EXPECT_EQ(2, after->GetSnapshotCount());
}

TEST_F(SnapshotFilesTest, ADamagedRecordIsNamedWhenItsFileIsOpened) {
  // The length of the first piece of big.bin's record, found by the name
  // its header holds (UTF-16LE at offset 8).
  const fs::path content(location_ + L".fp");
  std::string stored = ReadBytes(content);
  std::string name;
  for (char c : (source_ / "big.bin").string()) name += std::string{c, '\0'};
  const size_t header = stored.find(name) - 8;
  ASSERT_LT(header, stored.size());
  stored[header + 2072 + 20 + 3] = 0x40;
  WriteBytes(content, stored);

  Files files = Open();
  ASSERT_NE(nullptr, files);
  const SnapshotFileItem* items = nullptr;
  bool whole = false;
  const std::map<std::string, int> paths = PathsOf(items, files->GetItems(0, &items, &whole));
  EXPECT_EQ(-1, files->OpenFile(0, paths.at("big.bin")));
  EXPECT_NE(std::wstring::npos, std::wstring(files->GetLastError()).find(L"big.bin"));
  const int small = files->OpenFile(0, paths.at("sub/small.txt"));
  ASSERT_GE(small, 0);
  EXPECT_EQ("small", ReadAll(*files, small, 4096));
}

}  // namespace
}  // namespace vaultline::testing
