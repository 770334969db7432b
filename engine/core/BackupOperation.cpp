// Taking a snapshot of one Backup Selection.
#include <algorithm>
#include <limits>

#include "core/BuiltInTexts.h"
#include "core/Engine.h"
#include "core/ExclusionFile.h"
#include "platform/Format.h"
#include "platform/Path.h"

namespace vaultline {

namespace {
constexpr size_t kSystemErrorTextLimit = 1024;
}  // namespace

bool Engine::BackUp(unsigned index) {
  Profile* profile = ProfileAt(index);
  if (profile == nullptr) return false;
  return Guarded(kTextBackUpFailed, [&] {
    if (profile->deleted || profile->contents.empty()) return false;
    std::vector<std::wstring> sources = profile->contents;
    // Closing on every way out, cancellation included, frees the selection's
    // lock for other processes at once.
    CatalogueCloser closer(this, profile);
    SnapshotManager* catalogue = OpenCatalogue(*profile, status_);
    if (catalogue == nullptr || !catalogue->LoadKeyIndex()) return false;
    // Without its patterns a snapshot would take in all the user left out.
    ExclusionFile exclusions(profile->location);
    if (!LoadExclusions(&exclusions)) return false;
    catalogue->SetExclusions(ExclusionRules(exclusions.Lines()));

    uint64_t freeBytes = 0;
    uint64_t totalBytes = 0;
    int error = 0;
    if (!platform::DiskSpace(deviceRoot_, &freeBytes, &totalBytes, &error)) {
      std::wstring text = platform::SystemErrorText(error);
      if (text.size() > kSystemErrorTextLimit) text.resize(kSystemErrorTextLimit);
      Report(kMessageError, text);
      return false;
    }
    // MaxBackupSize 0 (or less) is no quota, as in both front ends: the
    // drive's free space alone is the limit.
    const bool quota = maxBackupSize_ > 0;
    int64_t limit = quota ? maxBackupSize_ : std::numeric_limits<int64_t>::max();
    if (freeBytes != 0 && freeBytes < static_cast<uint64_t>(limit)) {
      limit = static_cast<int64_t>(freeBytes);
    }

    bool fits = catalogue->CheckSpace(sources, limit, maxFileSize_);
    if (status_ != nullptr && status_->IsCancelled()) return false;
    if (!fits) {
      // The sink learns what the refused snapshot needs. One that stops here
      // has said why (its quota, with the figures); otherwise the engine does.
      if (status_ != nullptr && status_->OnTotalSize(catalogue->GetNewBytes())) return false;
      Report(kMessageError, LoadEngineText(provider_, kTextNotEnoughSpace));
      return false;
    }
    bool published = catalogue->TakeSnapshot(sources, limit, maxFileSize_);
    if (status_ != nullptr && status_->IsCancelled()) return false;
    // A snapshot that was not published is not listed: reporting success for
    // it would tell the user a backup exists that does not.
    if (!published) return false;

    uint32_t files = 0;
    int64_t bytes = 0;
    catalogue->GetTotals(&files, &bytes);
    unsigned skipped = 0;
    if (const std::vector<std::wstring>* oversize = catalogue->GetOversizeFiles()) {
      for (const std::wstring& path : *oversize) {
        std::wstring message = FormatEngineText(provider_, kTextFileSkipped, path);
        if (!message.empty()) Report(kMessageWarning, message);
      }
      skipped = static_cast<unsigned>(oversize->size());
    }
    // Items whose paths are too long for a record are skipped as well; the
    // manager has warned of each of them.
    skipped = std::max(skipped, catalogue->GetSkippedCount());
    if (status_ != nullptr) status_->OnSummary(skipped, files, bytes);
    return true;
  });
}

}  // namespace vaultline
