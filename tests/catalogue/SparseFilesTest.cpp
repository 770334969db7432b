// Sparse files: their holes are never read by a backup, and every piece of
// zeros comes back as a hole, so a restore takes no more room than the data.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "CatalogueFixture.h"

namespace vaultline::test {
namespace {

constexpr int64_t kMiB = int64_t{1} << 20;

struct Island {
  int64_t at;
  int64_t length;
};

struct Shape {
  const char* name;
  int64_t size;
  std::vector<Island> data;  // everything else is a hole
};

const Shape kShapes[] = {
    {"hole-at-the-start", 64 * kMiB, {{60 * kMiB, 4096}}},
    {"hole-at-the-end", 64 * kMiB, {{0, 3 * 8192 + 100}}},
    {"islands", 64 * kMiB, {{kMiB, 4096}, {17 * kMiB + 5, 70000}, {63 * kMiB, kMiB}}},
    {"only-a-hole", 64 * kMiB, {}},
    {"unaligned-end", 8 * kMiB + 4095, {{8 * kMiB, 4095}}},
};

void MakeSparse(const fs::path& path, const Shape& shape, std::mt19937& random) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, shape.size), 0);
  for (const Island& island : shape.data) {
    std::string bytes(static_cast<size_t>(island.length), '\0');
    for (char& byte : bytes) byte = static_cast<char>(random() | 1);
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), island.at),
              static_cast<ssize_t>(bytes.size()));
  }
  ::close(fd);
}

int64_t Allocated(const fs::path& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return static_cast<int64_t>(info.st_blocks) * 512;
}

// Bytes this process has read through read() and its like.
int64_t BytesRead() {
  std::ifstream io("/proc/self/io");
  std::string key;
  int64_t value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  return -1;
}

class SparseFiles : public CatalogueFixture {};

TEST_F(SparseFiles, HolesAreNotReadAndComeBackAsHoles) {
  std::mt19937 random(34);
  int64_t data = 0;
  for (const Shape& shape : kShapes) {
    MakeSparse(Src() / shape.name, shape, random);
    for (const Island& island : shape.data) data += island.length;
  }
  if (Allocated(Src() / "only-a-hole") != 0) GTEST_SKIP() << "this file system keeps no holes";
  for (const auto& entry : fs::directory_iterator(Src())) SetTime(entry.path(), 1000);
  const int64_t before = BytesRead();
  ASSERT_GE(before, 0);
  ASSERT_TRUE(Backup());
  EXPECT_LT(BytesRead() - before, data + 8 * kMiB);
  // The zeros of every hole are one block.
  EXPECT_LT(static_cast<int64_t>(fs::file_size(CatalogueFile(""))), data + 32 * 8192);

  SnapshotManager& manager = Open();
  manager.ListSnapshots();
  ASSERT_TRUE(manager.RestoreItemUnder(0, W(Src()), L"", W(Out()), true));
  for (const Shape& shape : kShapes) {
    const fs::path restored = Out() / "src" / shape.name;
    EXPECT_EQ(static_cast<int64_t>(fs::file_size(restored)), shape.size) << shape.name;
    // Whole blocks of the file system around each island at the most.
    EXPECT_LE(Allocated(restored), Allocated(Src() / shape.name) + 2 * 8192) << shape.name;
  }
  EXPECT_EQ(Image(Out() / "src"), Image(Src()));
}

TEST_F(SparseFiles, ZerosWrittenOutAreHolesOnRestore) {
  // A file whose zeros were written, not left: it takes its full size, its
  // copy only the data.
  std::string bytes(4 * kMiB, '\0');
  std::fill(bytes.begin(), bytes.begin() + 8192, 'x');
  Write(Src() / "zeros", bytes);
  SetTime(Src() / "zeros", 1000);
  ASSERT_TRUE(Backup());
  SnapshotManager& manager = Open();
  manager.ListSnapshots();
  ASSERT_TRUE(manager.RestoreItemUnder(0, W(Src()), L"", W(Out()), true));
  EXPECT_EQ(Image(Out() / "src").at("zeros"), bytes);
  EXPECT_LT(Allocated(Out() / "src" / "zeros"), kMiB);
}

}  // namespace
}  // namespace vaultline::test
