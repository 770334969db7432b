// Storing and restoring a 64 MiB file, as bytes of the source per second of
// real time (the store hands work to a helper thread).
#include <benchmark/benchmark.h>

#include <memory>

#include "BenchUtil.h"
#include "StoreSession.h"
#include "blockstore/BlockIndexFile.h"
#include "blockstore/BlockStore.h"
#include "blockstore/DataFile.h"
#include "blockstore/WeakChecksum.h"
#include "platform/File.h"
#include "util/PlainRecordStream.h"

namespace vaultline {
namespace {

namespace fs = std::filesystem;
using bench::kBlockLength;

constexpr int64_t kFileSize = 64 << 20;

const fs::path& SourceFile() {
  static const fs::path path = [] {
    fs::path p = bench::BenchFolder() / "source";
    bench::WriteRandomFile(p, kFileSize, 42);
    return p;
  }();
  return path;
}

// Stores the source into the store at `base` once per iteration, starting
// each time from the store's state when the benchmark began.
void MeasureNewData(benchmark::State& state, const fs::path& base, const fs::path& source) {
  { bench::StoreSession open(base); }  // creates the files if missing
  const bench::StoreState before(base);
  for (auto _ : state) {
    state.PauseTiming();
    before.Restore();
    auto session = std::make_unique<bench::StoreSession>(base);
    session->LoadBlocks();  // as every backup that stores a file does
    state.ResumeTiming();
    const bool stored = session->Store(source) >= 0;
    state.PauseTiming();
    session.reset();
    if (!stored) {
      // The timer must stay paused after a skip: resuming it fails a check.
      state.SkipWithError("store failed");
      break;
    }
    state.ResumeTiming();
  }
  before.Restore();  // for the next repetition
  state.SetBytesProcessed(state.iterations() * kFileSize);
}

void BM_StoreNew(benchmark::State& state) {
  MeasureNewData(state, bench::BenchFolder() / "new", SourceFile());
}
BENCHMARK(BM_StoreNew)->Unit(benchmark::kMillisecond)->Iterations(4)->UseRealTime();

// 100,000 random blocks of 8192 bytes (800 MB), written straight through
// the record files once per process.
const fs::path& LargeStore() {
  static const fs::path base = [] {
    fs::path p = bench::BenchFolder() / "large";
    int dataFd = platform::OpenFile(p.wstring(), platform::OpenMode::kReadWriteStore);
    int indexFd = platform::OpenFile(p.wstring() + L".ind", platform::OpenMode::kReadWriteStore);
    {
      const auto dataStream = PlainRecordStream::Borrow(dataFd);
      const auto indexStream = PlainRecordStream::Borrow(indexFd);
      DataFile data(*dataStream);
      BlockIndexFile index(*indexStream);
      std::vector<uint8_t> block(kBlockLength);
      for (int i = 0; i < 100000; ++i) {
        bench::FillRandom(block, 1000000 + static_cast<uint64_t>(i));
        int32_t checksum = WeakChecksum::Of(block.data(), block.size()).Value();
        Md5Digest digest = Md5::Of(block.data(), block.size());
        int64_t position;
        data.AppendBlock(checksum, digest, block.data(), kBlockLength, nullptr, 0, &position);
        index.Append(checksum, digest, position);
        if (data.UnflushedBytes() >= (1 << 20)) data.Flush();
      }
      data.Flush();
    }
    platform::CloseFile(dataFd);
    platform::CloseFile(indexFd);
    return p;
  }();
  return base;
}

void BM_StoreNewLarge(benchmark::State& state) {
  static const fs::path source = [] {
    fs::path p = bench::BenchFolder() / "source-large";
    bench::WriteRandomFile(p, kFileSize, 43);
    return p;
  }();
  MeasureNewData(state, LargeStore(), source);
}
BENCHMARK(BM_StoreNewLarge)->Unit(benchmark::kMillisecond)->Iterations(4)->UseRealTime();

// A store holding the source file once; the content offset of its record.
int64_t StoreSourceOnce(bench::StoreSession& session) {
  return session.Store(SourceFile());
}

void BM_StoreMatching(benchmark::State& state) {
  bench::StoreSession session(bench::BenchFolder() / "matching");
  StoreSourceOnce(session);
  for (auto _ : state) {
    if (session.Store(SourceFile()) < 0) state.SkipWithError("store failed");
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}
BENCHMARK(BM_StoreMatching)->Unit(benchmark::kMillisecond)->Iterations(4)->UseRealTime();

void BM_StoreShifted(benchmark::State& state) {
  bench::StoreSession session(bench::BenchFolder() / "shifted");
  StoreSourceOnce(session);
  const fs::path shifted = bench::BenchFolder() / "source-shifted";
  std::vector<uint8_t> prefix(1000);
  {
    std::ifstream in(SourceFile(), std::ios::binary);
    std::ofstream out(shifted, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(prefix.data()), 1000);
    out << in.rdbuf();
  }
  uint64_t seed = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // New inserted bytes every time, so that each run meets them unknown.
    bench::FillRandom(prefix, ++seed);
    std::fstream out(shifted, std::ios::binary | std::ios::in | std::ios::out);
    out.write(reinterpret_cast<const char*>(prefix.data()), 1000);
    out.close();
    state.ResumeTiming();
    if (session.Store(shifted) < 0) state.SkipWithError("store failed");
  }
  state.SetBytesProcessed(state.iterations() * (kFileSize + 1000));
}
BENCHMARK(BM_StoreShifted)->Unit(benchmark::kMillisecond)->Iterations(4)->UseRealTime();

void BM_Restore(benchmark::State& state) {
  bench::StoreSession session(bench::BenchFolder() / "restore");
  int64_t offset = StoreSourceOnce(session);
  const fs::path output = bench::BenchFolder() / "restored";
  for (auto _ : state) {
    if (!session.Restore(offset, SourceFile(), output)) state.SkipWithError("restore failed");
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}
BENCHMARK(BM_Restore)->Unit(benchmark::kMillisecond)->Iterations(4)->UseRealTime();

}  // namespace
}  // namespace vaultline
