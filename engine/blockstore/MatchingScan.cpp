#include "blockstore/MatchingScan.h"

#include <algorithm>

#include "blockstore/BlockMap.h"
#include "blockstore/FarCandidates.h"
#include "blockstore/LiteralScan.h"
#include "blockstore/RingBuffer.h"
#include "blockstore/ScanAhead.h"
#include "blockstore/SourceReadAhead.h"
#include "blockstore/WeakChecksum.h"
#include "blockstore/WindowDigests.h"
#include "platform/DiagnosticLog.h"
#include "util/SourceFile.h"

namespace vaultline {

int MatchingScan::Run(FpRecordFile& record, SourceFile& source, const std::wstring& fullPath,
                      int64_t size) {
  const RingBuffer& ring = ring_;
  const int32_t n0 = blockLength_;
  const int32_t refillBelow = readChunk_ - blockLength_;

  int32_t w = 0;   // window start
  int32_t n = n0;  // window length
  int32_t fill = 0;
  int32_t lastRead = 0;
  int64_t unconsumed = 0;  // bytes read from w onward
  bool endOfFile = false;
  int64_t p = 0;  // source position of w
  int32_t literalStart = 0;
  int32_t literalChecksum = 0;
  WeakChecksum sum;
  bool atBoundary = true;
  bool takeLiteralChecksum = true;
  bool finalWindow = false;
  bool computeAfresh = true;  // first window, and the one after each match
  bool afterCut = false;      // the last span ended as a new block
  // Every block the filter holds is one without an anchor, or one under a
  // common key: windows with another anchor need no probe.
  const bool placedByAnchors = anchors_ != nullptr && !blocks_.FiltersEveryBlock();
  int64_t progressPosition = 0;
  int64_t bytesRead = 0;
  // The helper reads among its hashing, and wakes for it no sooner.
  // Blocks stored before are looked for only where the file's anchors
  // place them, found as the file is read.
  if (anchors_ != nullptr) anchors_->Reset();
  far_.Reset();
  SourceReadAhead readAhead(reader_, source, anchors_);
  // Only the size the header gives is stored: bytes a growing file gained
  // meanwhile belong to the next snapshot.
  auto nextChunk = [&] {
    return static_cast<size_t>(std::min<int64_t>(readChunk_, size - bytesRead));
  };
  // Spans scanned ahead read the ring and the filter: neither may change
  // under them once this file is done with.
  struct DropScanAhead {
    ScanAhead* scan;
    ~DropScanAhead() {
      if (scan != nullptr) scan->Drop();
    }
  } dropScanAhead{scanAhead_};

  for (;;) {
    bool rolled = false;
    // Literal bytes that the filter rejects: no lookup, no block, no read and
    // no progress report is due, so only the checksum moves.
    if (!computeAfresh && !atBoundary) {
      const int32_t offset = ring.Distance(w, literalStart);
      int64_t passed;
      // A span scanned ahead lies in the ring already; its progress is
      // reported as it ends.
      // A stored block placed in this span is looked up by this thread.
      const int64_t nextFar = far_.NextAt(p);
      if (scanAhead_ != nullptr && nextFar < p - offset + n0 && scanAhead_->Busy()) {
        scanAhead_->Drop();
      }
      if (scanAhead_ == nullptr || !scanAhead_->Pass(p - offset, offset, &passed, &sum, &rolled)) {
        int64_t turns =
            std::min<int64_t>(n0 - 1 - offset, progressPosition + kProgressStep - p - 1);
        if (!endOfFile) {
          turns = std::min<int64_t>(turns, ring.Distance(lastRead, w) - refillBelow + 1);
        }
        turns = std::min(turns, nextFar - p);
        if (turns <= 0) {
          passed = 0;
        } else if (blocks_.FilterEmpty() && turns * 8 >= n) {
          // Every block in memory is placed by its anchor: no window
          // before the next stop can be one, and the checksum is taken
          // afresh there (costlier than rolling over a few windows).
          passed = turns;
          computeAfresh = true;
        } else if (placedByAnchors) {
          // Windows whose anchors place every block they could be are
          // passed over; the filter is asked about the others alone.
          int64_t run = 0;
          int64_t probed = 0;
          while (run < turns) {
            bool placed;
            const int64_t windows = far_.WindowRun(p + run, turns - run, &placed);
            if (!placed) {
              probed = windows;
              break;
            }
            run += windows;
          }
          if (run == 0) {
            passed = PassLiterals(blocks_, ring, w, n, probed, &sum, &rolled);
          } else if (run * 8 >= n) {
            passed = run;
            computeAfresh = true;
          } else {
            // Too few to be worth a checksum taken afresh: rolled over, the
            // filter's answers for them doing no harm.
            passed = PassLiterals(blocks_, ring, w, n, run, &sum, &rolled);
          }
        } else {
          passed = PassLiterals(blocks_, ring, w, n, turns, &sum, &rolled);
        }
      }
      w = ring.Wrap(static_cast<int64_t>(w) + passed);
      p += passed;
      unconsumed -= passed;
    }

    if (!rolled) {
      if (!endOfFile && ring.Distance(lastRead, w) < refillBelow) {
        // Windows hashed ahead that were dropped lie where a read lands; one
        // read ahead was settled for when it started.
        if (!readAhead.Started()) ahead_->Settle();
        if (scanAhead_ != nullptr && scanAhead_->TakenBack()) scanAhead_->Drop();
        int64_t got = readAhead.Read(ring_.Data() + fill, nextChunk());
        if (got < 0) {
          store_.ReadFailed(fullPath);
          return -1;
        }
        if (anchors_ != nullptr) {
          anchors_->Take(&found_);
          far_.Add(&found_);
        }
        bytesRead += got;
        fill = ring.Wrap(static_cast<int64_t>(fill) + got);
        lastRead = ring.Wrap(static_cast<int64_t>(fill) - 1);
        unconsumed += got;
        if (got < readChunk_) endOfFile = true;
        if (endOfFile && bytesRead < size) {
          // The header already says how long the file is; a shorter file
          // cannot be described by it.
          platform::WriteDiagnostic(L"\nFile shrank while being stored: " + fullPath);
          return -1;
        }
        if (!endOfFile) {
          // The chunk after it lands where nothing left to scan lies: the
          // ring holds two chunks besides the one being read.
          ahead_->Settle();
          readAhead.Start(ring_.Data() + fill, nextChunk());
        }
      }
      if (atBoundary && unconsumed < 2 * static_cast<int64_t>(n0)) {
        n = static_cast<int32_t>(unconsumed);
        finalWindow = true;
      }
      if (atBoundary && scanAhead_ != nullptr) {
        scanAhead_->Passed(p);
        // New data goes on being new: the spans after the next few are
        // handed over once a span has ended as a new block.
        if (afterCut && !finalWindow && !placedByAnchors && !scanAhead_->Busy() &&
            !blocks_.FilterEmpty() && unconsumed >= scanAhead_->BytesNeeded()) {
          scanAhead_->Start(w, p);
        }
      }
      if (computeAfresh || finalWindow) {
        sum = WeakChecksum::Of(ring, w, n);
        computeAfresh = false;
      } else {
        sum.Roll(ring.ByteAt(static_cast<int64_t>(w) - 1),
                 ring.ByteAt(static_cast<int64_t>(w) + n - 1), n);
      }
    }
    int32_t checksum = sum.Value();
    if (takeLiteralChecksum) {
      literalChecksum = checksum;
      takeLiteralChecksum = false;
    }
    atBoundary = false;

    const int64_t matched = store_.Lookup(ring, checksum, w, n, far_.NextAt(p) == p);
    if (store_.Failed()) return -1;
    if (matched >= 0) {
      // The spans handed over were scanned as if this span ended as a new block.
      if (scanAhead_ != nullptr) scanAhead_->Drop();
      afterCut = false;
      if (!store_.Match(ring, literalChecksum, checksum, w, n, literalStart, p, matched, record)) {
        return -1;
      }
      if (finalWindow) return 0;
      unconsumed -= n;
      p += n;
      w = ring.Wrap(static_cast<int64_t>(w) + n);
      // The window after a match starts a fresh checksum: the same value as
      // rolling through the matched window, at the cost of one pass.
      computeAfresh = true;
      literalStart = w;
      atBoundary = true;
      takeLiteralChecksum = true;
      // The next windows are likely matches too; those that are whole
      // windows before the file's last one are hashed ahead. Without a
      // helper that would only be work done early, or for nothing.
      const int64_t whole = unconsumed - 2 * static_cast<int64_t>(n0);
      const int64_t ahead = whole >= 0 ? whole / n0 + 1 : 0;
      if (threaded_ && ahead > 0) {
        ahead_->HandOver(ring, w, n0,
                         static_cast<int32_t>(std::min<int64_t>(ahead, WindowDigests::kAhead)));
      }
      continue;
    }
    if (finalWindow) return store_.NewBlock(ring, literalChecksum, n, w, p, record) ? 0 : -1;

    --unconsumed;
    w = ring.Next(w);
    ++p;
    if (ring.Distance(w, literalStart) == n0) {
      if (!store_.NewBlock(ring, literalChecksum, n0, literalStart, p - n0, record)) return -1;
      literalStart = w;
      atBoundary = true;
      takeLiteralChecksum = true;
      afterCut = true;
    }
    if (p - progressPosition >= kProgressStep) {
      progressPosition = p;
      if (store_.Progress(p)) return -1;
    }
  }
}

}  // namespace vaultline
