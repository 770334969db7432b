// Containers: appending and reading 1 MiB batches (the size of the store's
// write batches) on one core, sealed or checksummed, at several zstd levels,
// on incompressible bytes and on text-like bytes, against the plain file.
// Bytes per second are logical bytes; "stored" is the container's share of
// them. And what opening a key file costs with the default Argon2id costs.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>

#include "BenchUtil.h"
#include "platform/Text.h"
#include "seal/KeyFile.h"
#include "seal/SealKeys.h"
#include "seal/SealedStream.h"
#include "util/PlainRecordStream.h"

namespace vaultline {
namespace {

using namespace seal;

constexpr size_t kBatch = 1 << 20;
constexpr int kBatches = 64;  // a 64 MiB file per run of the reads

enum Data { kRandom, kText };
enum Kind { kPlain, kSealed, kChecksummed };

// Lines of words with the line's own numbers, like the end-to-end tree's
// text files: zstd at level 3 keeps about a third of them.
std::vector<uint8_t> TextLike(size_t size, uint64_t seed) {
  std::mt19937_64 random(seed);
  std::vector<std::string> words(3000);
  for (auto& word : words) {
    const size_t length = 2 + random() % 8;
    for (size_t i = 0; i < length; ++i) word += "etaoinshrdlucmfwypvbgkjqxz"[random() % 26];
  }
  std::vector<uint8_t> bytes;
  for (uint64_t line = 0; bytes.size() < size; ++line) {
    std::string text = std::to_string(seed) + "." + std::to_string(line);
    for (size_t n = 3 + random() % 12; n > 0; --n) text += " " + words[random() % words.size()];
    text += "\n";
    bytes.insert(bytes.end(), text.begin(), text.end());
  }
  bytes.resize(size);
  return bytes;
}

const std::vector<uint8_t>& Batch(int data, int index) {
  static std::vector<std::vector<uint8_t>> batches[2];
  auto& set = batches[data];
  if (set.empty()) {
    for (int i = 0; i < 8; ++i) {
      std::vector<uint8_t> bytes(kBatch);
      if (data == kRandom) {
        bench::FillRandom(bytes, 100 + i);
      } else {
        bytes = TextLike(kBatch, 200 + i);
      }
      set.push_back(std::move(bytes));
    }
  }
  return set[static_cast<size_t>(index) % set.size()];
}

const SealKeys& Keys() {
  static const SealKeys keys([] {
    SecretBytes master(SealKeys::kMasterKeySize);
    for (size_t i = 0; i < master.size(); ++i) master.data()[i] = static_cast<uint8_t>(i * 7);
    return master;
  }());
  return keys;
}

std::unique_ptr<RecordStream> OpenStream(int kind, int level, const std::string& name) {
  const std::wstring path = platform::DecodeName((bench::BenchFolder() / name).native());
  int error = 0;
  if (kind == kPlain) return PlainRecordStream::Open(path, true, &error);
  FileIdentity identity;
  identity.kind = RecordFileKind::kData;
  return SealedStream::Open(path,
                            kind == kSealed ? FrameCodec::Sealed(Keys(), identity, level)
                                            : FrameCodec::Checksummed(identity, level),
                            true, &error);
}

std::string Name(benchmark::State& state) {
  return "seal-" + std::to_string(state.range(0)) + "-" + std::to_string(state.range(1)) + "-" +
         std::to_string(state.range(2));
}

void SetLabel(benchmark::State& state, int64_t stored, int64_t logical) {
  state.SetLabel("stored " + std::to_string(100 * stored / std::max<int64_t>(logical, 1)) + "%");
}

// range(0): kind, range(1): data, range(2): zstd level.
void BM_ContainerWrite(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const int data = static_cast<int>(state.range(1));
  const std::string name = Name(state);
  auto stream = OpenStream(kind, static_cast<int>(state.range(2)), name);
  int index = 0;
  for (auto _ : state) {
    if (!stream->Append(Batch(data, index++))) state.SkipWithError("append failed");
    if (index % kBatches == 0) {
      state.PauseTiming();
      stream->CutBack(0);
      state.ResumeTiming();
    }
  }
  const int64_t logical = stream->LogicalLength();
  SetLabel(state, static_cast<int64_t>(std::filesystem::file_size(bench::BenchFolder() / name)),
           logical);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kBatch));
  stream.reset();
  std::filesystem::remove(bench::BenchFolder() / name);
}

void BM_ContainerRead(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const int data = static_cast<int>(state.range(1));
  const std::string name = Name(state);
  {
    auto writer = OpenStream(kind, static_cast<int>(state.range(2)), name);
    for (int i = 0; i < kBatches; ++i) writer->Append(Batch(data, i));
  }
  auto stream = OpenStream(kind, static_cast<int>(state.range(2)), name);
  std::vector<uint8_t> buffer(kBatch);
  int64_t at = 0;
  for (auto _ : state) {
    if (stream->ReadAt(at, buffer.data(), buffer.size()) != static_cast<int64_t>(kBatch)) {
      state.SkipWithError("read failed");
    }
    at = (at + static_cast<int64_t>(kBatch)) % stream->LogicalLength();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kBatch));
  stream.reset();
  std::filesystem::remove(bench::BenchFolder() / name);
}

void ContainerArgs(benchmark::internal::Benchmark* bench) {
  for (int data : {kRandom, kText}) {
    bench->Args({kPlain, data, 0});
    for (int level : {-5, -1, 1, 3}) bench->Args({kSealed, data, level});
    bench->Args({kChecksummed, data, 1});
  }
  bench->ArgNames({"kind", "text", "level"});
}
BENCHMARK(BM_ContainerWrite)->Apply(ContainerArgs)->UseRealTime();
BENCHMARK(BM_ContainerRead)->Apply(ContainerArgs)->UseRealTime();

// Opening a selection's key with the costs new key files get.
void BM_KeyFileOpen(benchmark::State& state) {
  const std::wstring path = platform::DecodeName((bench::BenchFolder() / "bench.key").native());
  const SecretBytes password = SecretBytes::FromText("a password of some length");
  UnlockedKey key;
  if (KeyFile::Create(path, password, DefaultKdfCost(), &key) != KeyFileStatus::kOk) {
    state.SkipWithError("key file not made");
    return;
  }
  for (auto _ : state) {
    if (KeyFile::Open(path, password, &key) != KeyFileStatus::kOk) state.SkipWithError("no key");
  }
  std::filesystem::remove(bench::BenchFolder() / "bench.key");
}
BENCHMARK(BM_KeyFileOpen)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
}  // namespace vaultline
