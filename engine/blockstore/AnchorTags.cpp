#include "blockstore/AnchorTags.h"

#include <algorithm>
#include <new>
#include <thread>
#include <utility>

#include "platform/File.h"
#include "util/ByteOrder.h"
#include "util/ThreadPlan.h"

namespace vaultline {

class AnchorTags::Loading {
 public:
  Loading(int fd, int64_t at, uint32_t count, Tag* tags)
      : fd_(fd),
        at_(at),
        count_(count),
        tags_(tags),
        stretches_((count + kStretch - 1) / kStretch),
        state_(std::make_unique<std::atomic<uint8_t>[]>(stretches_)),
        prepared_(std::make_unique<std::atomic<bool>[]>((count + kRegionTags - 1) / kRegionTags)) {}

  const std::atomic<uint8_t>* State() const { return state_.get(); }
  uint32_t Stretches() const { return stretches_; }
  bool Dense() const { return in_.load() * 4 >= stretches_; }
  bool Failed() const { return failed_.load(); }
  void Stop() { stop_.store(true); }

  // Reads the stretch for a look-up, wide when look-ups are dense; waits
  // for it when the helper is reading it.
  void Bring(uint32_t stretch, bool dense) {
    const uint32_t end =
        dense ? std::min(stretches_, (stretch / kWideStretches + 1) * kWideStretches) : stretch + 1;
    for (;;) {
      const uint32_t claimed = Claim(stretch, end);
      if (claimed > stretch) return Read(stretch, claimed);
      if (state_[stretch].load(std::memory_order_acquire) == kIn) return;
      std::this_thread::yield();
    }
  }

  // The helper's task: every stretch still out, in order.
  void ReadRest() {
    for (uint32_t first = 0; first < stretches_ && !stop_.load();) {
      const uint32_t claimed = Claim(first, std::min(stretches_, first + kWideStretches));
      if (claimed == first) {
        ++first;
        continue;
      }
      Read(first, claimed);
      first = claimed;
    }
  }

 private:
  // Stretches read at once where look-ups are dense.
  static constexpr uint32_t kWideStretches = 64;
  // Memory is made present a region at a time.
  static constexpr uint32_t kRegionTags = platform::kLargeRegion / sizeof(Tag);

  // Claims the stretches from `first` on that are out, up to `end`; returns
  // the end of those claimed (`first` when none).
  uint32_t Claim(uint32_t first, uint32_t end) {
    uint32_t claimed = first;
    for (; claimed < end; ++claimed) {
      uint8_t out = kOut;
      if (!state_[claimed].compare_exchange_strong(out, kReading)) break;
    }
    return claimed;
  }

  // Reads the claimed stretches [first, end).
  void Read(uint32_t first, uint32_t end) {
    const uint32_t from = first * kStretch;
    const uint32_t to = std::min(count_, end * kStretch);
    // One call makes a region's pages present, where a fault for each page
    // costs more than reading it.
    for (uint32_t region = from / kRegionTags; region <= (to - 1) / kRegionTags; ++region) {
      if (prepared_[region].exchange(true)) continue;
      const uint32_t regionFirst = region * kRegionTags;
      const uint32_t regionCount = std::min(kRegionTags, count_ - regionFirst);
      platform::PrepareLarge(tags_ + regionFirst, size_t{regionCount} * sizeof(Tag));
    }
    Tag* tags = tags_ + from;
    const size_t bytes = size_t{to - from} * sizeof(Tag);
    if (platform::ReadFileAt(fd_, tags, bytes, at_ + int64_t{from} * 2) ==
        static_cast<int64_t>(bytes)) {
      // Little-endian in the file; a no-op where memory is too.
      for (uint32_t i = 0; i < to - from; ++i) {
        tags[i] = LoadLe16(reinterpret_cast<const uint8_t*>(tags + i));
      }
    } else {
      std::fill(tags, tags + (to - from), Tag{0});
      failed_.store(true);
    }
    for (uint32_t stretch = first; stretch < end; ++stretch) {
      state_[stretch].store(kIn, std::memory_order_release);
    }
    in_.fetch_add(end - first);
  }

  const int fd_;
  const int64_t at_;
  const uint32_t count_;
  Tag* const tags_;
  const uint32_t stretches_;
  std::unique_ptr<std::atomic<uint8_t>[]> state_;  // StretchState, by stretch
  std::unique_ptr<std::atomic<bool>[]> prepared_;  // by region
  std::atomic<uint32_t> in_{0};                    // stretches read
  std::atomic<bool> failed_{false};
  std::atomic<bool> stop_{false};  // the helper ends early
};

void AnchorTags::Free::operator()(Tag* tags) const {
  platform::FreeLarge(tags, bytes);
}

std::unique_ptr<AnchorTags::Tag[], AnchorTags::Free> AnchorTags::Allocate(uint32_t count) {
  const size_t bytes = size_t{count} * sizeof(Tag);
  auto* tags = static_cast<Tag*>(platform::AllocateLargeZeroed(bytes));
  if (tags == nullptr) throw std::bad_alloc();
  return std::unique_ptr<Tag[], Free>(tags, Free{bytes});
}

AnchorTags AnchorTags::Fresh(uint32_t count) {
  AnchorTags tags;
  tags.count_ = count;
  tags.tags_ = Allocate(count);
  return tags;
}

AnchorTags AnchorTags::Stored(int fd, int64_t at, uint32_t count, ThreadPlan* threads) {
  AnchorTags tags = Fresh(count);
  tags.threads_ = threads;
  tags.loading_ = std::make_unique<Loading>(fd, at, count, tags.tags_.get());
  tags.state_ = tags.loading_->State();
  return tags;
}

AnchorTags::AnchorTags() = default;

AnchorTags::~AnchorTags() {
  StopReading();
}

AnchorTags::AnchorTags(AnchorTags&& other) noexcept
    : count_(other.count_),
      tags_(std::move(other.tags_)),
      loading_(std::move(other.loading_)),
      state_(std::exchange(other.state_, nullptr)),
      threads_(other.threads_),
      reader_(other.reader_),
      readerTicket_(std::exchange(other.readerTicket_, 0)) {}

AnchorTags& AnchorTags::operator=(AnchorTags&& other) noexcept {
  if (this != &other) {
    StopReading();
    count_ = other.count_;
    tags_ = std::move(other.tags_);
    loading_ = std::move(other.loading_);
    state_ = std::exchange(other.state_, nullptr);
    threads_ = other.threads_;
    reader_ = other.reader_;
    readerTicket_ = std::exchange(other.readerTicket_, 0);
  }
  return *this;
}

bool AnchorTags::Failed() const {
  return loading_ != nullptr && loading_->Failed();
}

void AnchorTags::StopReading() {
  if (readerTicket_ == 0) return;
  loading_->Stop();
  reader_->WaitFor(readerTicket_);
  readerTicket_ = 0;
}

void AnchorTags::ExpectLookups(uint64_t lookups) const {
  // Until look-ups are about as many as the stretches, most reach a
  // stretch of their own.
  if (loading_ != nullptr && lookups * 4 >= loading_->Stretches()) ReadRestBehind();
}

void AnchorTags::ReadRestBehind() const {
  if (readerTicket_ != 0 || threads_ == nullptr) return;
  reader_ = &threads_->Get(ThreadPlan::Helper::kTagReader);
  Loading* loading = loading_.get();
  readerTicket_ = reader_->Submit([loading] { loading->ReadRest(); }, true);
}

void AnchorTags::LoadStretch(uint32_t stretch) const {
  const bool dense = loading_->Dense();
  if (dense) ReadRestBehind();
  loading_->Bring(stretch, dense);
}

}  // namespace vaultline
