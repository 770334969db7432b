// The scan of new bytes against the filter of a store of 1,000 and of 100,000
// blocks, by each scan this processor runs (0: the simple one, the last: the one
// used), with how often it stops for nothing; and the checksum of one window.
#include <benchmark/benchmark.h>

#include <random>

#include "BenchUtil.h"
#include "blockstore/BlockMap.h"
#include "blockstore/LiteralScan.h"
#include "blockstore/WeakChecksum.h"

namespace vaultline {
namespace {

void BM_LiteralScan(benchmark::State& state) {
  const std::vector<LiteralRunScan> scans = LiteralRunScans();
  const auto which = static_cast<size_t>(state.range(0));
  if (which >= scans.size()) {
    state.SkipWithError("this processor has no such scan");
    return;
  }
  BlockMap map;
  const int32_t known = static_cast<int32_t>(state.range(1));
  map.ExpectBlocks(known);
  std::mt19937 random(1);
  Md5Digest digest{};
  for (int32_t i = 0; i < known; ++i) map.Add(static_cast<int32_t>(random()), digest, i);
  constexpr int32_t kLength = 8192;
  std::vector<uint8_t> bytes(1 << 20);
  bench::FillRandom(bytes, 2);
  const auto* data = reinterpret_cast<const int8_t*>(bytes.data());
  const int32_t windows = static_cast<int32_t>(bytes.size()) - kLength;
  int64_t hits = 0;
  for (auto _ : state) {
    uint32_t a = 0;
    uint32_t b = 0;
    // A window the filter passes is stepped over, as the store does after
    // looking it up.
    for (int32_t done = 0; done < windows; ++done, ++hits) {
      done +=
          scans[which](map, data + kLength + done, data + done, windows - done, kLength, &a, &b);
    }
    benchmark::DoNotOptimize(a);
  }
  state.SetBytesProcessed(state.iterations() * windows);
  // Every hit here is false: how often the store looks into the table for nothing.
  state.counters["false_hits_percent"] = 100.0 * static_cast<double>(hits - state.iterations()) /
                                         static_cast<double>(state.iterations() * windows);
}
BENCHMARK(BM_LiteralScan)->ArgsProduct({{0, 1, 2}, {1000, 100000}});

// The checksum of a whole window afresh, as the store takes it after every
// match.
void BM_WindowChecksum(benchmark::State& state) {
  std::vector<uint8_t> bytes(8192);
  bench::FillRandom(bytes, 3);
  for (auto _ : state) {
    benchmark::DoNotOptimize(WeakChecksum::Of(bytes.data(), bytes.size()).Value());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_WindowChecksum);

}  // namespace
}  // namespace vaultline
