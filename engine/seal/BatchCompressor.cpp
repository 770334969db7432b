#include "seal/BatchCompressor.h"

#include <zstd.h>

namespace vaultline::seal {

BatchCompressor::BatchCompressor(int level) : level_(level) {}

BatchCompressor::~BatchCompressor() {
  ZSTD_freeCCtx(compress_);
  ZSTD_freeDCtx(decompress_);
}

size_t BatchCompressor::Bound(size_t length) {
  return ZSTD_compressBound(length);
}

size_t BatchCompressor::Compress(std::span<const uint8_t> input, uint8_t* output) {
  if (input.empty()) return 0;
  if (compress_ == nullptr) compress_ = ZSTD_createCCtx();
  if (compress_ == nullptr) return 0;
  const size_t written =
      ZSTD_compressCCtx(compress_, output, Bound(input.size()), input.data(), input.size(), level_);
  if (ZSTD_isError(written) || written >= input.size()) return 0;
  return written;
}

bool BatchCompressor::Decompress(std::span<const uint8_t> input, std::span<uint8_t> output) {
  if (decompress_ == nullptr) decompress_ = ZSTD_createDCtx();
  if (decompress_ == nullptr) return false;
  const size_t written =
      ZSTD_decompressDCtx(decompress_, output.data(), output.size(), input.data(), input.size());
  return !ZSTD_isError(written) && written == output.size();
}

}  // namespace vaultline::seal
