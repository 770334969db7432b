// The key index sidecar: in whatever state a backup finds it (missing, cut,
// garbage, behind or ahead of the catalogue), the backup writes exactly what
// it writes without one, and the sidecar it leaves holds what a rebuild from
// the directory file gives. Also what listing and an unchanged backup read.
#include <fstream>

#include "CatalogueFixture.h"

namespace vaultline::test {
namespace {

using Files = std::map<std::string, std::string>;

constexpr const char* kFiveFiles[] = {"", ".ind", ".fp", ".dir", ".snp"};
constexpr const char* kSavedFiles[] = {"", ".ind", ".fp", ".dir", ".snp", ".keys", ".bad"};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Bytes this process has read through read system calls, or -1.
int64_t BytesRead() {
  std::ifstream io("/proc/self/io");
  std::string name;
  int64_t value = 0;
  while (io >> name >> value) {
    if (name == "rchar:") return value;
  }
  return -1;
}

class KeySidecar : public CatalogueFixture {
 protected:
  fs::path Sidecar() const { return CatalogueFile(".keys"); }
  fs::path Saved() const { return root_ / "saved"; }

  // The five files; each entry's time, and the checksum over it, taken out:
  // two runs a second apart differ there and nowhere else.
  Files Selection() const {
    Files files;
    for (const char* extension : kFiveFiles) files[extension] = ReadAll(CatalogueFile(extension));
    std::string& entries = files[".snp"];
    for (size_t at = 0; at + 2088 <= entries.size(); at += 2088) {
      entries.replace(at + 1032, 4, 4, '\0');
      entries.replace(at + 2068, 4, 4, '\0');
    }
    return files;
  }
  static std::string Differing(const Files& a, const Files& b) {
    std::string names;
    for (const auto& [name, bytes] : a) {
      if (b.at(name) != bytes) names += "file" + name + " ";
    }
    return names;
  }

  void SaveSelection() {
    fs::remove_all(Saved());
    fs::create_directories(Saved());
    for (const char* extension : kSavedFiles) {
      if (fs::exists(CatalogueFile(extension))) {
        fs::copy_file(CatalogueFile(extension), Saved() / ("file" + std::string(extension)));
      }
    }
  }
  void RestoreSelection() {
    manager_.reset();
    for (const char* extension : kSavedFiles) {
      fs::remove(CatalogueFile(extension));
      const fs::path saved = Saved() / ("file" + std::string(extension));
      if (fs::exists(saved)) fs::copy_file(saved, CatalogueFile(extension));
    }
  }

  KeyIndex LoadedKeys() {
    SnapshotManager& manager = Open();
    EXPECT_TRUE(manager.LoadKeyIndex());
    return manager.Keys();
  }
  KeyIndex RebuiltKeys() {
    manager_.reset();
    fs::remove(Sidecar());
    return LoadedKeys();
  }

  static void Overwrite(const fs::path& path, int64_t offset, const std::string& bytes) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(offset);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  static void Append(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
  }
};

TEST_F(KeySidecar, BackupsWriteTheSameBytesWhateverStateTheSidecarIsIn) {
  struct Tampering {
    const char* what;
    std::function<void()> apply;
  };
  const std::vector<Tampering> tamperings = {
      {"none", [] {}},
      {"missing", [&] { fs::remove(Sidecar()); }},
      {"cut inside its last segment",
       [&] { fs::resize_file(Sidecar(), fs::file_size(Sidecar()) - 7); }},
      {"a byte of its first segment changed", [&] { Overwrite(Sidecar(), 60, "\x5a"); }},
      {"garbage",
       [&] {
         std::mt19937 random(7);
         std::string bytes(fs::file_size(Sidecar()), '\0');
         for (char& byte : bytes) byte = static_cast<char>(random());
         Write(Sidecar(), bytes);
       }},
      {"behind a snapshot another writer took",
       [&] {
         const std::string old = ReadAll(Sidecar());
         std::mt19937 random(11);
         Change(random, 7);
         ASSERT_TRUE(Backup());
         Write(Sidecar(), old);
       }},
      {"ahead of the snapshot file (newest forgotten)",
       [&] { ASSERT_TRUE(Open().ForgetSnapshots({3})); }},
      {"oldest snapshot forgotten", [&] { ASSERT_TRUE(Open().ForgetSnapshots({0})); }},
      {"directory file appended to without a snapshot",
       [&] { Append(CatalogueFile(".dir"), ReadAll(CatalogueFile(".dir")).substr(0, 1072)); }},
      {"directory file cut back",
       [&] {
         fs::resize_file(CatalogueFile(".dir"), fs::file_size(CatalogueFile(".dir")) - 1072);
       }},
      {"directory file cut back and grown again",
       [&] {
         const std::string dir = ReadAll(CatalogueFile(".dir"));
         fs::resize_file(CatalogueFile(".dir"), dir.size() - 2144);
         Append(CatalogueFile(".dir"), dir.substr(0, 2144));
       }},
  };
  for (size_t i = 0; i < tamperings.size(); ++i) {
    SCOPED_TRACE(tamperings[i].what);
    manager_.reset();
    fs::remove_all(Src());
    fs::remove_all(root_ / "drive");
    fs::create_directories(Src());
    fs::create_directories(root_ / "drive");
    std::mt19937 random(static_cast<unsigned>(i) + 1);
    for (int round = 0; round < 4; ++round) {
      Change(random, round);
      ASSERT_TRUE(Backup());
    }
    ASSERT_TRUE(fs::exists(Sidecar()));
    tamperings[i].apply();
    manager_.reset();
    SaveSelection();
    Change(random, 5);

    ASSERT_TRUE(Backup());
    const Files withSidecar = Selection();
    const KeyIndex kept = LoadedKeys();
    EXPECT_TRUE(kept == RebuiltKeys());

    RestoreSelection();
    fs::remove(Sidecar());
    ASSERT_TRUE(Backup());
    EXPECT_EQ(Differing(withSidecar, Selection()), "");
  }
}

TEST_F(KeySidecar, AfterManyBackupsHoldsWhatARebuildGives) {
  std::mt19937 random(3);
  for (int round = 0; round < 14; ++round) {
    Change(random, round);
    ASSERT_TRUE(Backup());
    if (round == 6) {
      ASSERT_TRUE(Backup());  // unchanged
    }
  }
  const KeyIndex appended = LoadedKeys();
  EXPECT_GT(appended.Size(), 0u);
  EXPECT_TRUE(appended == RebuiltKeys());
}

TEST_F(KeySidecar, ListingAndAnUnchangedBackupReadNeitherTheDirectoryFileNorTheBlockIndex) {
  if (BytesRead() < 0) GTEST_SKIP() << "no /proc/self/io";
  for (int i = 0; i < 150; ++i) {
    const fs::path file =
        Src() / "many" / std::string("f").append(std::to_string(i)).append(".txt");
    Write(file, std::string(400, static_cast<char>('a' + i % 26)));
    SetTime(file, 800);
  }
  SetTime(Src() / "many", 900);
  std::mt19937 random(5);
  for (int round = 0; round < 10; ++round) {
    Change(random, round);
    ASSERT_TRUE(Backup());
  }
  manager_.reset();
  const int64_t directorySize = static_cast<int64_t>(fs::file_size(CatalogueFile(".dir")));
  const int64_t snapshotSize = static_cast<int64_t>(fs::file_size(CatalogueFile(".snp")));
  // An empty index is rebuilt from the data file when it is first needed.
  fs::resize_file(CatalogueFile(".ind"), 0);

  int64_t before = BytesRead();
  EXPECT_EQ(Open().ListSnapshots().size(), 10u);
  EXPECT_LE(BytesRead() - before, snapshotSize + 1024);  // and /proc/self/io itself

  // The snapshot file, the sidecar, the directory file's last record (before
  // and after), the one record the backup writes, read back for the sidecar.
  const int64_t sidecarSize = static_cast<int64_t>(fs::file_size(Sidecar()));
  before = BytesRead();
  ASSERT_TRUE(Backup());
  manager_.reset();
  EXPECT_LE(BytesRead() - before, snapshotSize + sidecarSize + 3 * 1072 + 1024);
  EXPECT_LT(snapshotSize + sidecarSize, directorySize / 5);
  EXPECT_EQ(fs::file_size(CatalogueFile(".ind")), 0u);

  Write(Src() / "many" / "new.txt", std::string(20000, 'n'));
  ASSERT_TRUE(Backup());
  manager_.reset();
  EXPECT_GT(fs::file_size(CatalogueFile(".ind")), 0u);
}

}  // namespace
}  // namespace vaultline::test
