// The share done and the time left of a backup or restore, from the bytes
// actually read so far. The reading rate is smoothed, so that one quick or
// slow file does not make the estimate jump.
#pragma once

#include <cstdint>

class RemainingTime {
 public:
  // A new operation of `total` bytes, starting at `nowMs` (a tick count).
  void Start(int64_t total, int64_t nowMs);
  // `done` bytes read by `nowMs`. A smaller `done` than before is ignored:
  // the engine repeats the position of a file's start once the file is read.
  void Update(int64_t done, int64_t nowMs);

  // 0..100; 0 while the total is unknown.
  int Percent() const;
  // Seconds left, rounded up; -1 while no rate is known yet.
  int64_t SecondsLeft() const;

 private:
  int64_t total_ = 0;
  int64_t done_ = 0;
  int64_t sampleDone_ = 0;  // bytes at the start of the current sample
  int64_t sampleMs_ = 0;
  double bytesPerMs_ = -1;  // smoothed; negative while unknown
};
