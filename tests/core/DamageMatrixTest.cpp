// Damage to each of a selection's five store files, at every field of one
// record of each kind, runs of zeros, single flipped bytes and cuts. For every
// case and every listed snapshot: either the restore is byte-identical (times
// included) and reports nothing, or it reports errors and names every path
// that came back wrong or missing (or an ancestor folder of it, or the
// snapshot). Then one backup heals: the new snapshot restores whole.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <iostream>
#include <set>

#include "TestDrive.h"
#include "platform/Text.h"

namespace vaultline::testing {
namespace {

using Image = std::map<std::string, std::string>;

// Contents and modification times of everything below `root`.
Image ImageOf(const fs::path& root) {
  Image image;
  if (!fs::exists(root)) return image;
  for (const auto& [path, contents] : TreeOf(root)) {
    const auto time = fs::last_write_time(root / path).time_since_epoch().count();
    image[path] = contents + "@" + (contents == "<folder>" ? "" : std::to_string(time));
  }
  return image;
}

struct Damage {
  std::string name;
  std::function<void(std::string& bytes)> apply;
};

class DamageMatrix : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    source_ = drive_ / "src";
    std::mt19937 random(7);
    auto noise = [&](size_t n) {
      std::string bytes(n, '\0');
      for (char& c : bytes) c = static_cast<char>(random());
      return bytes;
    };
    const std::string big = noise(40000);
    WriteBytes(source_ / "small.txt", std::string(120, 's'));
    WriteBytes(source_ / "a" / "one.bin", noise(5000));
    WriteBytes(source_ / "a" / "big.bin", big);
    WriteBytes(source_ / "a" / "deep" / "x.txt", "deep");
    WriteBytes(source_ / "b" / "two.txt", "two");
    fs::create_directories(source_ / "b" / "empty");
    WriteBytes(source_ / "c" / "dup.bin", big);
    auto engine = StartEngine();
    selection_ = Create(*engine, L"sel", source_);
    Snapshot(*engine);
    WriteBytes(source_ / "b" / "two.txt", "two, changed");
    WriteBytes(source_ / "a" / "new.bin", noise(20000));
    Snapshot(*engine);
    WriteBytes(source_ / "a" / "big.bin", big + "grown");
    Snapshot(*engine);
    location_ = fs::path(Items(*engine, engine->GetProfileLocation(selection_)).at(0));
    for (const char* extension : kExtensions) pristine_[extension] = ReadBytes(File(extension));
  }

  static constexpr const char* kExtensions[] = {"", ".ind", ".fp", ".snp", ".dir"};

  void Snapshot(Engine& engine) {
    for (const auto& entry : fs::recursive_directory_iterator(source_)) {
      const std::chrono::sys_seconds time{std::chrono::seconds(1000000000 + images_.size())};
      fs::last_write_time(entry.path(), std::chrono::file_clock::from_sys(time));
    }
    ASSERT_TRUE(engine.BackUp(selection_));
    images_.push_back(ImageOf(source_));
  }

  fs::path File(const std::string& extension) const {
    return fs::path(location_.string() + extension);
  }

  // Restores snapshot `index` into a new folder; its image and the errors.
  std::pair<Image, std::vector<std::wstring>> RestoreOf(Engine& engine, int index) {
    const fs::path out = drive_ / ("out" + std::to_string(restores_++));
    fs::create_directories(out);
    RecordingStatus status;
    engine.SetStatusCallback(&status);
    engine.Restore(selection_, index, L"", out.wstring().c_str());
    engine.SetStatusCallback(nullptr);
    return {ImageOf(out / "src"), status.MessagesAt(kMessageError)};
  }

  static std::set<std::string> Differences(const Image& expected, const Image& restored) {
    std::set<std::string> wrong;
    for (const auto& [path, contents] : expected) {
      auto found = restored.find(path);
      if (found == restored.end() || found->second != contents) wrong.insert(path);
    }
    for (const auto& [path, contents] : restored) {
      if (expected.count(path) == 0) wrong.insert(path);
    }
    return wrong;
  }

  // Every path that differs between the two images is named by an error (by
  // itself or a folder above it), or the snapshot is.
  static void ExpectNamed(const Image& expected, const Image& restored,
                          const std::vector<std::wstring>& errors, const std::wstring& source,
                          int index, const std::string& what) {
    const std::set<std::string> wrong = Differences(expected, restored);
    if (wrong.empty()) {
      EXPECT_TRUE(errors.empty()) << what << ": snapshot " << index << " restored whole with "
                                  << platform::ToDisplayUtf8(errors.front());
      return;
    }
    ASSERT_FALSE(errors.empty()) << what << ": snapshot " << index << " came back wrong at "
                                 << *wrong.begin() << " without an error";
    const std::wstring snapshotName = L"Snapshot " + std::to_wstring(index);
    for (const std::string& path : wrong) {
      bool named = false;
      for (const std::wstring& error : errors) {
        if (error.find(snapshotName) != std::wstring::npos) named = true;
        for (fs::path at = path; !named && !at.empty(); at = at.parent_path()) {
          const std::wstring full = source + L"/" + at.wstring();
          const size_t hit = error.find(full);
          // A whole path component: not a longer name that starts the same.
          named = hit != std::wstring::npos &&
                  (hit + full.size() == error.size() || error[hit + full.size()] == L' ' ||
                   error[hit + full.size()] == L':' || error[hit + full.size()] == L';');
        }
        named = named || error.find(source + L";") != std::wstring::npos ||
                error.find(L"folder " + source + L";") != std::wstring::npos;
      }
      ASSERT_TRUE(named) << what << ": snapshot " << index << ": " << path << " is wrong but "
                         << "no error names it; first error: "
                         << platform::ToDisplayUtf8(errors.front());
    }
  }

  void Run(const std::string& extension, const std::vector<Damage>& damages) {
    const std::wstring source = source_.wstring();
    int restoredWhole = 0;
    int named = 0;
    for (const Damage& damage : damages) {
      SCOPED_TRACE(damage.name);
      for (const char* each : kExtensions) WriteBytes(File(each), pristine_[each]);
      fs::remove(File(".bad"));
      std::string bytes = pristine_[extension];
      damage.apply(bytes);
      WriteBytes(File(extension), bytes);

      auto engine = StartEngine();
      const size_t listed = Items(*engine, engine->GetSnapshots(selection_)).size();
      // Snapshots keep their places; only entries in a torn tail (nothing
      // sound behind the damage) may go.
      size_t changed = 0;
      const std::string& before = pristine_[extension];
      while (changed < std::min(bytes.size(), before.size()) && bytes[changed] == before[changed]) {
        ++changed;
      }
      const size_t kept = extension == ".snp" ? std::min<size_t>(3, changed / 2088) : 3;
      ASSERT_GE(listed, kept) << damage.name;
      for (size_t i = 0; i < listed; ++i) {
        auto [restored, errors] = RestoreOf(*engine, static_cast<int>(i));
        (restored == images_[i] && errors.empty() ? restoredWhole : named)++;
        ExpectNamed(images_[i], restored, errors, source, static_cast<int>(i), damage.name);
      }
      // The damage found is remembered; one backup later the newest snapshot
      // is whole again.
      ASSERT_TRUE(engine->BackUp(selection_)) << damage.name;
      engine = StartEngine();
      const size_t now = Items(*engine, engine->GetSnapshots(selection_)).size();
      ASSERT_EQ(now, listed + 1) << damage.name;
      auto [healed, errors] = RestoreOf(*engine, static_cast<int>(now - 1));
      const std::set<std::string> unhealed = Differences(images_.back(), healed);
      EXPECT_TRUE(unhealed.empty()) << damage.name << ": the new snapshot is not whole at "
                                    << (unhealed.empty() ? "" : *unhealed.begin());
      EXPECT_TRUE(errors.empty()) << damage.name << ": "
                                  << (errors.empty() ? "" : platform::ToDisplayUtf8(errors[0]));
    }
    std::cout << (extension.empty() ? "data file" : extension) << ": " << damages.size()
              << " damage cases, " << restoredWhole << " restores byte-identical, " << named
              << " failed with the damage named\n";
  }

  // Flips, zeros over every field of the record at `at`, runs of zeros,
  // scattered flipped bytes and cuts.
  static std::vector<Damage> CasesFor(size_t size, size_t at,
                                      const std::vector<std::pair<const char*, size_t>>& fields) {
    std::vector<Damage> cases;
    for (const auto& [field, offset] : fields) {
      const size_t p = at + offset;
      cases.push_back({std::string("flip ") + field, [p](std::string& b) { b[p] ^= 0x01; }});
      cases.push_back({std::string("zero ") + field, [p](std::string& b) {
                         for (size_t i = p; i < std::min(p + 4, b.size()); ++i) b[i] = 0;
                       }});
    }
    for (size_t start : {size_t{0}, at + 3, size / 2, size > 4096 ? size - 4096 : 0}) {
      cases.push_back({"4 KiB of zeros at " + std::to_string(start), [start](std::string& b) {
                         for (size_t i = start; i < std::min(start + 4096, b.size()); ++i) b[i] = 0;
                       }});
    }
    std::mt19937 random(static_cast<unsigned>(size));
    for (int k = 0; k < 16; ++k) {
      const size_t p = random() % size;
      const char mask = static_cast<char>(1 << (random() % 8));
      cases.push_back(
          {"flip byte " + std::to_string(p), [p, mask](std::string& b) { b[p] ^= mask; }});
    }
    for (size_t keep : {size / 3, size - 1, at + 1}) {
      cases.push_back(
          {"cut at " + std::to_string(keep), [keep](std::string& b) { b.resize(keep); }});
    }
    return cases;
  }

  fs::path source_;
  fs::path location_;
  unsigned selection_ = 0;
  std::vector<Image> images_;
  std::map<std::string, std::string> pristine_;
  int restores_ = 0;
};

TEST_F(DamageMatrix, DirectoryFile) {
  const std::string& dir = pristine_[".dir"];
  // The fourth record: a child of the source, in the first snapshot.
  Run(".dir", CasesFor(dir.size(), 3 * 1072,
                       {{"magic", 0},
                        {"extension", 2},
                        {"level", 4},
                        {"name length", 8},
                        {"name", 14},
                        {"name tail", 1000},
                        {"attributes", 1036},
                        {"time", 1040},
                        {"time extra", 1044},
                        {"size", 1048},
                        {"count", 1056},
                        {"checksum", 1060},
                        {"content offset", 1064}}));
}

TEST_F(DamageMatrix, SnapshotFile) {
  // The middle entry of three.
  Run(".snp", CasesFor(pristine_[".snp"].size(), 2088,
                       {{"magic", 0},
                        {"extension", 2},
                        {"file name length", 4},
                        {"file name", 10},
                        {"time", 1032},
                        {"source count", 1036},
                        {"path length", 1040},
                        {"path", 1046},
                        {"checksum", 2068},
                        {"root offset", 2072},
                        {"end offset", 2080}}));
}

TEST_F(DamageMatrix, ContentFile) {
  const std::string& fp = pristine_[".fp"];
  std::vector<Damage> cases;
  // The header of the first records (raw and in blocks), and their first piece.
  for (size_t at = 0, records = 0; at + 2072 <= fp.size() && records < 4; ++records) {
    int64_t size = 0;
    uint16_t layout = 0;
    std::memcpy(&size, fp.data() + at + 1032, 8);
    std::memcpy(&layout, fp.data() + at + 1040, 2);
    std::vector<std::pair<const char*, size_t>> fields = {
        {"magic", 0},          {"extension", 2},   {"name length", 4},
        {"name", 10},          {"size", 1032},     {"layout", 1040},
        {"second name", 1044}, {"checksum", 1052}, {"raw digest", 1056}};
    if (layout == 0 && size > 0) fields.push_back({"raw bytes", 2072 + size / 2});
    if (layout == 1) {
      for (auto field : std::vector<std::pair<const char*, size_t>>{{"piece checksum", 2072},
                                                                    {"piece digest", 2080},
                                                                    {"piece length", 2092},
                                                                    {"piece position", 2096},
                                                                    {"piece block", 2104}}) {
        fields.push_back(field);
      }
    }
    for (const auto& [field, offset] : fields) {
      const size_t p = at + offset;
      cases.push_back({"record at " + std::to_string(at) + ": flip " + field,
                       [p](std::string& b) { b[p] ^= 0x10; }});
    }
    at += 2072;
    if (layout == 0) {
      at += static_cast<size_t>(size);
      continue;
    }
    for (int64_t covered = 0; covered < size; at += 40) {
      int32_t length = 0;
      std::memcpy(&length, fp.data() + at + 20, 4);
      covered += length;
    }
  }
  for (Damage& each : CasesFor(fp.size(), 0, {})) cases.push_back(std::move(each));
  Run(".fp", cases);
}

TEST_F(DamageMatrix, DataFile) {
  const std::string& data = pristine_[""];
  int32_t firstLength = 0;
  std::memcpy(&firstLength, data.data() + 24, 4);
  Run("", CasesFor(data.size(), 40 + static_cast<size_t>(firstLength),
                   {{"magic", 0},
                    {"version", 2},
                    {"weak checksum", 4},
                    {"digest", 8},
                    {"length", 24},
                    {"checksum", 28},
                    {"position", 32},
                    {"first byte", 40},
                    {"middle byte", 4000}}));
}

TEST_F(DamageMatrix, IndexFile) {
  Run(".ind", CasesFor(pristine_[".ind"].size(), 32,
                       {{"weak checksum", 0}, {"digest", 4}, {"checksum", 20}, {"position", 24}}));
}

}  // namespace
}  // namespace vaultline::testing
