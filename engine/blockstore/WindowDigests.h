// Digests of the windows after a match, hashed ahead on the helper thread.
// A file whose blocks the store knows again (a copy, or one shifted by an
// insertion) is confirmed window by window with MD5, and after a match the
// next window starts where it ended; hashing the next few ahead lets both
// processors confirm. A digest taken from here is that of the same bytes,
// so what is stored does not change.
#pragma once

#include <array>
#include <cstdint>

#include "blockstore/Md5.h"
#include "blockstore/RingBuffer.h"

namespace vaultline {

class WorkerThread;

// The MD5 of `length` bytes of the ring from `start`, wrapping once.
Md5Digest DigestOfWindow(const RingBuffer& ring, int32_t start, int32_t length);

class WindowDigests {
 public:
  // Windows handed over and not yet taken, at most; they are hashed in
  // tasks of kTask, side by side.
  static constexpr size_t kAhead = 32;
  static constexpr size_t kTask = 16;

  explicit WindowDigests(WorkerThread& worker) : worker_(worker) {}
  ~WindowDigests() { Settle(); }
  WindowDigests(const WindowDigests&) = delete;
  WindowDigests& operator=(const WindowDigests&) = delete;

  // Hands over the windows of `length` bytes of the ring that follow each
  // other from `start`, as many as `count` and room allow; those handed
  // over already are kept when they lie on the same chain, and while more
  // than half of them are left nothing is added. The ring's bytes
  // there must not change until Settle.
  void HandOver(const RingBuffer& ring, int32_t start, int32_t length, int32_t count);
  // The digest of the window at `start` when it was handed over (waiting
  // for it if need be); the windows before it are dropped.
  bool Take(int32_t start, int32_t length, Md5Digest* digest);
  // Waits until no handed-over window is being read: before bytes of the
  // ring are overwritten.
  void Settle();
  // Settles and forgets every window.
  void Clear();

 private:
  struct Window {
    int32_t start = 0;
    int32_t length = 0;
    Md5Digest digest{};
    uint64_t ticket = 0;
  };

  // On the helper: the digests of `count` windows of one length.
  static void Hash(const RingBuffer& ring, Window* const* windows, size_t count);

  WorkerThread& worker_;
  std::array<Window, kAhead> windows_;
  size_t first_ = 0;
  size_t count_ = 0;
  uint64_t lastTicket_ = 0;  // of the last window handed over, taken or not
};

}  // namespace vaultline
