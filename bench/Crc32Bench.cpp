// CRC-32 of directory records (1072 bytes), which every catalogue load,
// walk and check computes for each record.
#include <benchmark/benchmark.h>

#include <vector>

#include "BenchUtil.h"
#include "util/Crc32.h"

namespace vaultline {
namespace {

void BM_Crc32Records(benchmark::State& state) {
  constexpr size_t kRecord = 1072;
  std::vector<uint8_t> bytes(kRecord * 1024);
  bench::FillRandom(bytes, 3);
  for (auto _ : state) {
    uint32_t all = 0;
    for (size_t at = 0; at < bytes.size(); at += kRecord) all ^= Crc32(&bytes[at], kRecord);
    benchmark::DoNotOptimize(all);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_Crc32Records);

}  // namespace
}  // namespace vaultline
