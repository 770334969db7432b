#include <benchmark/benchmark.h>

#include "BenchUtil.h"
#include "blockstore/Md5.h"

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

}  // namespace
}  // namespace vaultline
