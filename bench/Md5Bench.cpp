#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

#include "BenchUtil.h"
#include "blockstore/Md5.h"
#include "blockstore/Md5Lanes.h"

namespace vaultline {
namespace {

constexpr size_t kBufferSize = 1 << 20;

// Runs `hash` for as long as the measurement takes; one run hashes `bytes`.
template <typename Hash>
void MeasureHashing(benchmark::State& state, size_t bytes, Hash&& hash) {
  for (auto _ : state) hash();
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

void BM_Md5(benchmark::State& state) {
  const std::vector<uint8_t> buffer = bench::RandomBytes(kBufferSize, 1);
  MeasureHashing(state, buffer.size(), [&] {
    Md5Digest digest = Md5::Of(buffer.data(), buffer.size());
    benchmark::DoNotOptimize(digest);
  });
}
BENCHMARK(BM_Md5);

// 8 KiB blocks hashed side by side, as the store and the restore check do.
void BM_Md5Lanes(benchmark::State& state) {
  const std::vector<uint8_t> buffer = bench::RandomBytes(kBufferSize, 1);
  constexpr size_t kBlock = 8192;
  std::vector<const uint8_t*> blocks;
  for (size_t at = 0; at < buffer.size(); at += kBlock) blocks.push_back(buffer.data() + at);
  std::vector<Md5Digest> digests(blocks.size());
  MeasureHashing(state, buffer.size(), [&] {
    Md5OfEach(blocks.data(), blocks.size(), kBlock, digests.data());
    benchmark::DoNotOptimize(digests.data());
  });
}
BENCHMARK(BM_Md5Lanes);

// Batches of sixteen blocks of lengths of their own, as small files' blocks
// reach the store's hasher: 300 bytes to two blocks less one.
void BM_Md5MixedLengths(benchmark::State& state) {
  const std::vector<uint8_t> buffer = bench::RandomBytes(kBufferSize, 2);
  constexpr size_t kBatch = 16;
  std::vector<const uint8_t*> blocks;
  std::vector<size_t> lengths;
  std::mt19937 random(3);
  for (size_t at = 0; at + 16384 <= buffer.size(); at += 16384) {
    blocks.push_back(buffer.data() + at);
    lengths.push_back(300 + random() % (16383 - 300));
  }
  size_t bytes = 0;
  for (const size_t length : lengths) bytes += length;
  std::vector<Md5Digest> digests(blocks.size());
  MeasureHashing(state, bytes, [&] {
    for (size_t from = 0; from < blocks.size(); from += kBatch) {
      const size_t count = std::min(kBatch, blocks.size() - from);
      Md5OfEach(blocks.data() + from, lengths.data() + from, count, digests.data() + from);
    }
    benchmark::DoNotOptimize(digests.data());
  });
}
BENCHMARK(BM_Md5MixedLengths);

}  // namespace
}  // namespace vaultline
