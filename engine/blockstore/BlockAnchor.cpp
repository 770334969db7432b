#include "blockstore/BlockAnchor.h"

#include "blockstore/WeakChecksum.h"

namespace vaultline {

namespace {

// Rolls the window checksum over `length` bytes; `pass` is called with the
// position of each window that passes and returns false to stop.
template <typename OnPass>
void Scan(const uint8_t* bytes, size_t length, int8_t* history, int64_t* fed, uint32_t* a,
          uint32_t* b, OnPass pass) {
  using namespace block_anchor;
  for (size_t i = 0; i < length; ++i) {
    const int64_t at = *fed + static_cast<int64_t>(i);
    int8_t& slot = history[at & (kWindow - 1)];
    const int8_t in = static_cast<int8_t>(bytes[i]);
    *a += static_cast<uint32_t>(static_cast<int32_t>(in) - slot);
    *b += *a - static_cast<uint32_t>(kWindow) * static_cast<uint32_t>(static_cast<int32_t>(slot));
    slot = in;
    const int64_t window = at - (kWindow - 1);
    if (window < 0) continue;
    const uint32_t mixed = Mix(static_cast<uint32_t>(WeakChecksum::Compose(*a, *b)));
    if (Passes(mixed) && !pass(window, mixed)) break;
  }
  *fed += static_cast<int64_t>(length);
}

}  // namespace

bool block_anchor::FindInBlock(const uint8_t* block, int32_t length, int32_t* offset,
                               uint32_t* key) {
  int8_t history[kWindow] = {};
  int64_t fed = 0;
  uint32_t a = 0;
  uint32_t b = 0;
  int64_t lastPass = -kWindow;
  bool found = false;
  const int32_t last = length - kWindow;
  Scan(block, static_cast<size_t>(length), history, &fed, &a, &b,
       [&](int64_t window, uint32_t mixed) {
         if (window > last) return false;
         if (window >= kQuiet && window - lastPass > kQuiet) {
           *offset = static_cast<int32_t>(window);
           *key = Key(mixed);
           found = true;
           return false;
         }
         lastPass = window;
         return true;
       });
  return found;
}

void AnchorFinder::Reset() {
  *this = AnchorFinder();
}

void AnchorFinder::Feed(const uint8_t* bytes, size_t length) {
  using namespace block_anchor;
  Scan(bytes, length, history_, &fed_, &a_, &b_, [this](int64_t window, uint32_t mixed) {
    if (window >= kQuiet && window - lastPass_ > kQuiet) found_.push_back({window, Key(mixed)});
    lastPass_ = window;
    return true;
  });
}

void AnchorFinder::Take(std::vector<Anchor>* anchors) {
  anchors->insert(anchors->end(), found_.begin(), found_.end());
  found_.clear();
}

}  // namespace vaultline
