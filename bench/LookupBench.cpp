// The block store against stores of real sizes: 1 million, 12.5 million and
// 128 million stored blocks (8 GiB, 100 GiB and 1 TiB), made of a small
// real store whose index is extended with records and whose lookup file is
// filled with as many synthetic anchored blocks. Figures: opening the store
// for a backup, new data into it against an empty store, one new 1 MiB file
// with the store opened and closed as a backup does, and the lookup file's
// bytes per block. The stores are kept in the system's temporary folder
// (vaultline-bench-lookup), the largest taking 4.3 GB (and an index of 4 GB
// that is all holes).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <random>

#include "BenchUtil.h"
#include "StoreSession.h"
#include "blockstore/LookupFile.h"
#include "util/Crc32.h"

namespace vaultline {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kNewData = 64 << 20;

// The store for `blocks` stored blocks, made once and kept across runs.
fs::path StoreOf(int64_t blocks) {
  const fs::path folder =
      fs::temp_directory_path() / "vaultline-bench-lookup" / std::to_string(blocks);
  const fs::path base = folder / "file";
  // A store made before its runs were undone with its tags is made again.
  if (fs::exists(folder / "ready-2")) return base;
  fs::remove_all(folder);
  fs::create_directories(folder);
  const fs::path seed = folder / "seed";
  bench::WriteRandomFile(seed, 1 << 20, 7);
  {
    bench::StoreSession session(base);
    session.Store(seed);
  }
  if (blocks > 0) {
    fs::resize_file(base.string() + ".ind", static_cast<uintmax_t>(blocks) * 32);
    LookupFile lookup(base.wstring() + L".lookup");
    // Room for what the runs store on top.
    if (!lookup.Create(static_cast<uint64_t>(blocks) + 65536)) return {};
    const uint8_t zeros[32] = {};
    const LookupFile::Coverage covered{static_cast<uint64_t>(blocks), Crc32(zeros, sizeof zeros)};
    // The blocks go in a slice of keys at a time, each slice saved as a
    // backup's blocks are: in the order of their keys, so that the slots
    // fill a window at a time rather than each with a write of its own at
    // a random place. The same blocks as entering them one by one, in
    // memory for a slice only.
    constexpr int kSliceBits = 4;
    for (uint32_t slice = 0; slice < 1u << kSliceBits; ++slice) {
      std::mt19937_64 random(11);
      for (int64_t i = 0; i < blocks; ++i) {
        const uint64_t r = random();
        const auto key = static_cast<uint32_t>(r);
        if (key >> (32 - kSliceBits) != slice) continue;
        lookup.AddStored({key, static_cast<int32_t>(r >> 32), static_cast<uint32_t>(i),
                          static_cast<uint16_t>(63 + (r >> 40) % 8000)});
      }
      if (!lookup.Save(covered)) return {};
    }
  }
  std::ofstream(folder / "ready-2") << "made by LookupBench\n";
  return base;
}

// New data of `size` bytes, other bytes each run (runs of another process
// too): new data that no run stored before.
const fs::path& NewData(int64_t size) {
  static std::mt19937_64 seeds(std::random_device{}());
  static const fs::path path = bench::BenchFolder() / "new";
  bench::WriteRandomFile(path, size, seeds());
  return path;
}

void CountBytesPerBlock(benchmark::State& state, const fs::path& base, int64_t blocks) {
  if (blocks == 0) return;
  const fs::path lookup = base.string() + ".lookup";
  state.counters["file_bytes_per_block"] =
      static_cast<double>(fs::file_size(lookup)) / static_cast<double>(blocks);
}

// The process's resident memory, in bytes.
double ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  double pages = 0;
  double resident = 0;
  statm >> pages >> resident;
  return resident * 4096;
}

// A backup's first look-up: the store opened and its stored blocks loaded.
// Also the memory that takes, per stored block.
void BM_LookupOpen(benchmark::State& state) {
  const fs::path base = StoreOf(state.range(0));
  if (base.empty()) return state.SkipWithError("no room for the store");
  const bench::StoreState before(base);
  double memory = 0;
  for (auto _ : state) {
    const double resident = ResidentBytes();
    bench::StoreSession session(base);
    session.LoadBlocks();
    memory = std::max(memory, ResidentBytes() - resident);
  }
  before.Restore();
  CountBytesPerBlock(state, base, state.range(0));
  if (state.range(0) > 0) {
    state.counters["memory_per_block"] = memory / static_cast<double>(state.range(0));
  }
}
BENCHMARK(BM_LookupOpen)
    ->Arg(0)
    ->Arg(1000000)
    ->Arg(12500000)
    ->Arg(128000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Stores `size` bytes of new data per run into the store of state.range(0)
// blocks; with `whole`, opening and closing the store are timed too.
void MeasureStore(benchmark::State& state, int64_t size, bool whole) {
  const fs::path base = StoreOf(state.range(0));
  if (base.empty()) return state.SkipWithError("no room for the store");
  const bench::StoreState before(base);
  const double resident = ResidentBytes();
  double memory = 0;  // the most a run took, open store and all
  for (auto _ : state) {
    state.PauseTiming();
    before.Restore();
    const fs::path& source = NewData(size);
    if (whole) state.ResumeTiming();
    auto session = std::make_unique<bench::StoreSession>(base);
    session->LoadBlocks();
    if (!whole) state.ResumeTiming();
    const bool stored = session->Store(source) >= 0;
    if (!whole) state.PauseTiming();
    if (!whole) memory = std::max(memory, ResidentBytes() - resident);
    session.reset();
    if (!whole) state.ResumeTiming();
    if (!stored) {
      state.SkipWithError("store failed");
      break;
    }
  }
  before.Restore();
  state.SetBytesProcessed(state.iterations() * size);
  CountBytesPerBlock(state, base, state.range(0));
  if (!whole && state.range(0) > 0) {
    state.counters["memory_per_block"] = memory / static_cast<double>(state.range(0));
  }
}

void BM_StoreNewData(benchmark::State& state) {
  MeasureStore(state, kNewData, false);
}
BENCHMARK(BM_StoreNewData)
    ->Arg(0)
    ->Arg(1000000)
    ->Arg(12500000)
    ->Arg(128000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4)
    ->UseRealTime();

void BM_StoreOneNewMiB(benchmark::State& state) {
  MeasureStore(state, 1 << 20, true);
}
BENCHMARK(BM_StoreOneNewMiB)
    ->Arg(0)
    ->Arg(1000000)
    ->Arg(12500000)
    ->Arg(128000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->UseRealTime();

}  // namespace
}  // namespace vaultline
