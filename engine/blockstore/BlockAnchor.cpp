#include "blockstore/BlockAnchor.h"

#include <immintrin.h>

#include <algorithm>
#include <array>

#include "util/ByteOrder.h"

namespace vaultline {

namespace {

using namespace block_anchor;

constexpr uint32_t kLowFactor = 0x9E3779B1u;
constexpr uint32_t kHighFactor = 0x85EBCA77u;
constexpr uint32_t kOffset = 0x165667B1u;  // a window of zeros does not pass

bool Passes(const uint8_t* at) {
  const uint32_t mixed = LoadLe32(at) * kLowFactor + LoadLe32(at + 4) * kHighFactor + kOffset;
  return (mixed >> 23) == 0;
}

// Bit j of the byte to bit 4j.
constexpr std::array<uint32_t, 256> kSpread = [] {
  std::array<uint32_t, 256> table{};
  for (uint32_t bits = 0; bits < 256; ++bits) {
    for (uint32_t j = 0; j < 8; ++j) table[bits] |= ((bits >> j) & 1u) << (4 * j);
  }
  return table;
}();

// Bit i set when position i of the 32 from `at` passes; reads 39 bytes.
__attribute__((target("avx2"))) uint32_t PassMaskAvx2(const uint8_t* at) {
  const __m256i low = _mm256_set1_epi32(static_cast<int>(kLowFactor));
  const __m256i high = _mm256_set1_epi32(static_cast<int>(kHighFactor));
  const __m256i offset = _mm256_set1_epi32(static_cast<int>(kOffset));
  uint32_t mask = 0;
  // Lane j of the load from at + s holds the window of position 4j + s.
  for (int s = 0; s < 4; ++s) {
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + s));
    const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + s + 4));
    const __m256i mixed = _mm256_add_epi32(
        _mm256_add_epi32(_mm256_mullo_epi32(first, low), _mm256_mullo_epi32(second, high)), offset);
    const __m256i passes = _mm256_cmpeq_epi32(_mm256_srli_epi32(mixed, 23), _mm256_setzero_si256());
    const auto lanes = static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(passes)));
    mask |= kSpread[lanes] << s;
  }
  return mask;
}

uint32_t PassMaskPlain(const uint8_t* at) {
  uint32_t mask = 0;
  for (uint32_t i = 0; i < 32; ++i) mask |= static_cast<uint32_t>(Passes(at + i)) << i;
  return mask;
}

using PassMask = uint32_t (*)(const uint8_t*);
PassMask ChoosePassMask() {
  __builtin_cpu_init();  // may run before the constructor that sets up the next call
  return __builtin_cpu_supports("avx2") ? PassMaskAvx2 : PassMaskPlain;
}
const PassMask kPassMask = ChoosePassMask();

// Calls pass(i) for each position i < count of `bytes` that passes, in
// order, until it returns false; `bytes` must hold count + kWindow - 1.
template <typename OnPass>
void ForEachPass(const uint8_t* bytes, size_t count, OnPass pass) {
  size_t i = 0;
  for (; i + 32 <= count; i += 32) {
    for (uint32_t mask = kPassMask(bytes + i); mask != 0; mask &= mask - 1) {
      if (!pass(i + static_cast<size_t>(__builtin_ctz(mask)))) return;
    }
  }
  for (; i < count; ++i) {
    if (Passes(bytes + i) && !pass(i)) return;
  }
}

}  // namespace

uint32_t block_anchor::KeyAt(const uint8_t* bytes) {
  uint32_t key = 0x811C9DC5u;
  for (int i = 0; i < kKeyed; i += 4) {
    key = (((key << 5) | (key >> 27)) ^ LoadLe32(bytes + i)) * kLowFactor;
  }
  key ^= key >> 15;
  key *= 0x2C1B3C6Du;
  return key ^ (key >> 12);
}

bool block_anchor::FindInBlock(const uint8_t* block, int32_t length, int32_t* offset,
                               uint32_t* key) {
  if (length < kQuiet + kKeyed) return false;
  int64_t lastPass = -kQuiet - 1;
  bool found = false;
  ForEachPass(block, static_cast<size_t>(length - kKeyed + 1), [&](size_t at) {
    const auto position = static_cast<int64_t>(at);
    if (position >= kQuiet && position - lastPass > kQuiet) {
      *offset = static_cast<int32_t>(position);
      *key = KeyAt(block + at);
      found = true;
      return false;
    }
    lastPass = position;
    return true;
  });
  return found;
}

void AnchorFinder::Reset() {
  fed_ = 0;
  lastPass_ = -kQuiet - 1;
  carry_.clear();
  found_.clear();
}

size_t AnchorFinder::Test(const uint8_t* bytes, size_t length, int64_t at) {
  if (length < static_cast<size_t>(kKeyed)) return 0;
  const size_t count = length - kKeyed + 1;
  ForEachPass(bytes, count, [&](size_t i) {
    const int64_t position = at + static_cast<int64_t>(i);
    if (position >= kQuiet && position - lastPass_ > kQuiet) {
      found_.push_back({position, KeyAt(bytes + i)});
    }
    lastPass_ = position;
    return true;
  });
  return count;
}

void AnchorFinder::Feed(const uint8_t* bytes, size_t length) {
  // The positions left untested at the end of the last bytes fed are tested
  // with the first of these, in a copy of both.
  const int64_t carried = fed_ - static_cast<int64_t>(carry_.size());
  size_t from = 0;  // of `bytes`, the first position not yet tested
  if (!carry_.empty()) {
    const size_t borrowed = std::min(length, static_cast<size_t>(kKeyed) * 2);
    joined_.assign(carry_.begin(), carry_.end());
    joined_.insert(joined_.end(), bytes, bytes + borrowed);
    const size_t tested = Test(joined_.data(), joined_.size(), carried);
    if (tested < carry_.size()) {
      carry_.erase(carry_.begin(), carry_.begin() + static_cast<std::ptrdiff_t>(tested));
      carry_.insert(carry_.end(), bytes, bytes + length);
      fed_ += static_cast<int64_t>(length);
      return;
    }
    from = tested - carry_.size();
    carry_.clear();
  }
  from += Test(bytes + from, length - from, fed_ + static_cast<int64_t>(from));
  carry_.assign(bytes + from, bytes + length);
  fed_ += static_cast<int64_t>(length);
}

void AnchorFinder::Take(std::vector<Anchor>* anchors) {
  anchors->insert(anchors->end(), found_.begin(), found_.end());
  found_.clear();
}

}  // namespace vaultline
