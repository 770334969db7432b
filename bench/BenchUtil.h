// Shared helpers of the benchmarks: one temporary folder per process, removed
// at exit, and files of random bytes.
#pragma once

#include <stdlib.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace vaultline::bench {

// Fills `bytes` with reproducible random bytes.
inline void FillRandom(std::vector<uint8_t>& bytes, uint64_t seed) {
  std::mt19937_64 random(seed);
  size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    uint64_t v = random();
    for (int j = 0; j < 8; ++j) bytes[i + j] = static_cast<uint8_t>(v >> (8 * j));
  }
  for (; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(random());
}

// `size` reproducible random bytes.
inline std::vector<uint8_t> RandomBytes(size_t size, uint64_t seed) {
  std::vector<uint8_t> bytes(size);
  FillRandom(bytes, seed);
  return bytes;
}

// The process's scratch folder in the system's temporary folder.
inline const std::filesystem::path& BenchFolder() {
  struct Folder {
    std::filesystem::path path;
    Folder() {
      std::string pattern = std::filesystem::temp_directory_path() / "vaultline-bench-XXXXXX";
      if (mkdtemp(pattern.data()) == nullptr) {
        throw std::filesystem::filesystem_error("no scratch folder", pattern,
                                                std::error_code(errno, std::generic_category()));
      }
      path = pattern;
    }
    ~Folder() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  };
  static Folder folder;
  return folder.path;
}

// Writes `size` random bytes (from `seed`) to `path`, after `prefix`.
inline void WriteRandomFile(const std::filesystem::path& path, int64_t size, uint64_t seed,
                            const std::vector<uint8_t>& prefix = {}) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(prefix.data()),
            static_cast<std::streamsize>(prefix.size()));
  std::vector<uint8_t> chunk(1 << 20);
  std::mt19937_64 seeds(seed);
  for (int64_t left = size; left > 0; left -= static_cast<int64_t>(chunk.size())) {
    FillRandom(chunk, seeds());
    out.write(reinterpret_cast<const char*>(chunk.data()),
              static_cast<std::streamsize>(std::min<int64_t>(left, chunk.size())));
  }
}

}  // namespace vaultline::bench
