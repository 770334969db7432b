// zstd compression of one batch at a time, with contexts kept between
// batches (making them costs more than compressing a small batch).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

struct ZSTD_CCtx_s;
struct ZSTD_DCtx_s;

namespace vaultline::seal {

class BatchCompressor {
 public:
  // `level` as zstd takes it: negative levels are faster, 3 is its default.
  explicit BatchCompressor(int level);
  ~BatchCompressor();
  BatchCompressor(const BatchCompressor&) = delete;
  BatchCompressor& operator=(const BatchCompressor&) = delete;

  int Level() const { return level_; }
  // Room `Compress` needs for `length` bytes.
  static size_t Bound(size_t length);
  // Compresses `input` into `output` (at least Bound(input.size()) bytes);
  // the compressed length, or 0 when it would not be shorter than the input
  // (the batch is then stored as it is).
  size_t Compress(std::span<const uint8_t> input, uint8_t* output);
  // Decompresses `input` into exactly `output.size()` bytes; false when the
  // input is not a zstd frame of that length.
  bool Decompress(std::span<const uint8_t> input, std::span<uint8_t> output);

 private:
  int level_;
  ZSTD_CCtx_s* compress_ = nullptr;
  ZSTD_DCtx_s* decompress_ = nullptr;
};

}  // namespace vaultline::seal
