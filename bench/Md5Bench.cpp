#include <benchmark/benchmark.h>

#include "BenchUtil.h"
#include "blockstore/Md5.h"
#include "blockstore/Md5Lanes.h"

namespace vaultline {
namespace {

void BM_Md5(benchmark::State& state) {
  std::vector<uint8_t> buffer(1 << 20);
  bench::FillRandom(buffer, 1);
  for (auto _ : state) {
    Md5Digest digest = Md5::Of(buffer.data(), buffer.size());
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(buffer.size()));
}
BENCHMARK(BM_Md5);

// 8 KiB blocks hashed side by side, as the store and the restore check do.
void BM_Md5Lanes(benchmark::State& state) {
  std::vector<uint8_t> buffer(1 << 20);
  bench::FillRandom(buffer, 1);
  constexpr size_t kBlock = 8192;
  std::vector<const uint8_t*> blocks;
  for (size_t at = 0; at < buffer.size(); at += kBlock) blocks.push_back(buffer.data() + at);
  std::vector<Md5Digest> digests(blocks.size());
  for (auto _ : state) {
    Md5OfEach(blocks.data(), blocks.size(), kBlock, digests.data());
    benchmark::DoNotOptimize(digests.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(buffer.size()));
}
BENCHMARK(BM_Md5Lanes);

}  // namespace
}  // namespace vaultline
