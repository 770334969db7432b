// The catalogue's costs on a tree of 100,000 files in 10,000 folders: an
// unchanged re-snapshot against a plain stat walk of the same tree, and
// opening a selection of ten snapshots of it (time, and heap held per indexed
// directory record).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "blockstore/BlockStore.h"
#include "catalogue/SnapshotManager.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace vaultline {
namespace {

namespace fs = std::filesystem;

constexpr int kTopFolders = 100;
constexpr int kSubfolders = 99;  // 100 + 100 * 99 = 10,000 folders
constexpr int kFilesPerFolder = 10;
constexpr int64_t kFiles = int64_t{kTopFolders} * (kSubfolders + 1) * kFilesPerFolder;

// "t12"-style names; built by appending, which GCC 12 does not misjudge
// (-Wrestrict) the way it does a literal plus a string at -O2.
std::string Name(const char* prefix, int number, const char* suffix = "") {
  std::string name(prefix);
  name.append(std::to_string(number)).append(suffix);
  return name;
}

// The tree and one selection over it, made once per process.
class CatalogueBenchTree {
 public:
  static CatalogueBenchTree& Get() {
    static CatalogueBenchTree tree;
    return tree;
  }
  ~CatalogueBenchTree() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  std::wstring Source() const { return (root_ / "src").wstring(); }
  std::unique_ptr<SnapshotManager> Open() const {
    const std::wstring location = (root_ / "sel").wstring();
    return std::make_unique<SnapshotManager>(
        location + L".fp", location + L".dir", location + L".snp",
        std::make_unique<BlockStore>(location, 163840, 8192), nullptr);
  }
  bool Snapshot() const {
    std::unique_ptr<SnapshotManager> manager = Open();
    return manager->CheckSpace({Source()}, INT64_MAX / 2, 0) &&
           manager->TakeSnapshot({Source()}, INT64_MAX / 2, 0);
  }
  int Snapshots() const { return snapshots_; }
  void CountSnapshot() { ++snapshots_; }
  int64_t DirectoryRecords() const {
    return static_cast<int64_t>(fs::file_size(root_ / "sel.dir")) / 1072;
  }

 private:
  CatalogueBenchTree() {
    std::random_device seed;
    root_ = fs::temp_directory_path() / Name("catalogue-bench-", static_cast<int>(seed() >> 1));
    for (int top = 0; top < kTopFolders; ++top) {
      const fs::path topFolder = root_ / "src" / Name("t", top);
      for (int sub = 0; sub <= kSubfolders; ++sub) {
        const fs::path folder = sub == 0 ? topFolder : topFolder / Name("s", sub);
        fs::create_directories(folder);
        for (int file = 0; file < kFilesPerFolder; ++file) {
          std::ofstream(folder / Name("f", file, ".txt"))
              << "contents of " << top << '.' << sub << '.' << file;
        }
      }
    }
    if (Snapshot()) snapshots_ = 1;
  }

  fs::path root_;
  int snapshots_ = 0;
};

void StatWalk(const std::wstring& folder, int64_t* items) {
  std::vector<platform::FindData> entries;
  platform::ListFolder(folder, &entries);
  for (const platform::FindData& entry : entries) {
    ++*items;
    if (entry.attributes & platform::kAttributeFolder)
      StatWalk(folder + platform::kSeparator + entry.name, items);
  }
}

void PerFile(benchmark::State& state) {
  state.counters["per_file"] = benchmark::Counter(
      static_cast<double>(kFiles),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_StatWalk(benchmark::State& state) {
  CatalogueBenchTree& tree = CatalogueBenchTree::Get();
  for (auto _ : state) {
    int64_t items = 0;
    StatWalk(tree.Source(), &items);
    benchmark::DoNotOptimize(items);
  }
  PerFile(state);
}
BENCHMARK(BM_StatWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SnapshotUnchanged(benchmark::State& state) {
  CatalogueBenchTree& tree = CatalogueBenchTree::Get();
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<SnapshotManager> manager = tree.Open();
    const int64_t recordsBefore = tree.DirectoryRecords();
    state.ResumeTiming();
    const bool published = manager->CheckSpace({tree.Source()}, INT64_MAX / 2, 0) &&
                           manager->TakeSnapshot({tree.Source()}, INT64_MAX / 2, 0);
    state.PauseTiming();
    const bool oneRecord = published && tree.DirectoryRecords() == recordsBefore + 1;
    tree.CountSnapshot();
    manager.reset();
    if (!oneRecord) {
      // The timer must stay paused after a skip: resuming it fails a check.
      state.SkipWithError("an unchanged snapshot wrote more than its root record");
      break;
    }
    state.ResumeTiming();
  }
  PerFile(state);
}
BENCHMARK(BM_SnapshotUnchanged)->Unit(benchmark::kMillisecond)->UseRealTime();

int64_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<int64_t>(info.uordblks + info.hblkhd);
}

void BM_LoadCatalogue(benchmark::State& state) {
  CatalogueBenchTree& tree = CatalogueBenchTree::Get();
  while (tree.Snapshots() < 10 && tree.Snapshot()) tree.CountSnapshot();
  int64_t held = 0;
  for (auto _ : state) {
    const int64_t before = HeapInUse();
    std::unique_ptr<SnapshotManager> manager = tree.Open();
    state.PauseTiming();
    held = HeapInUse() - before;
    const bool open = manager->IsOpen();
    manager.reset();
    if (!open) {
      state.SkipWithError("the catalogue did not open");
      break;
    }
    state.ResumeTiming();
  }
  const int64_t records = tree.DirectoryRecords();
  state.counters["snapshots"] = tree.Snapshots();
  state.counters["records"] = static_cast<double>(records);
  state.counters["heap_per_record"] = static_cast<double>(held) / static_cast<double>(records);
}
BENCHMARK(BM_LoadCatalogue)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vaultline
