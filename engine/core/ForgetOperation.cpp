// Forgetting snapshots of a selection, by index or by a keep policy.
#include <algorithm>

#include "catalogue/RetentionPolicy.h"
#include "core/BuiltInTexts.h"
#include "core/Engine.h"
#include "core/StringList.h"

namespace vaultline {

bool Engine::ForgetSnapshots(unsigned index, const unsigned* snapshots, int count) {
  Profile* profile = ProfileAt(index);
  if (profile == nullptr || count < 0 || (count > 0 && snapshots == nullptr)) return false;
  return Guarded(kTextForgetFailed, [&] {
    if (profile->deleted) return false;
    CatalogueCloser closer(this, profile);
    SnapshotManager* catalogue = OpenCatalogue(*profile, status_);
    if (catalogue == nullptr) return false;
    catalogue->ListSnapshots();
    const bool forgotten =
        catalogue->ForgetSnapshots(std::vector<size_t>(snapshots, snapshots + count));
    LoadSnapshotList(*profile);
    return forgotten;
  });
}

StringList Engine::GetSnapshotsToForget(unsigned index, int keepLast, int keepDaily, int keepWeekly,
                                        int keepMonthly) {
  Profile* profile = ProfileAt(index);
  if (profile == nullptr || profile->deleted) return nullptr;
  CatalogueCloser closer(this, profile);
  SnapshotManager* catalogue = OpenCatalogue(*profile, nullptr);
  if (catalogue == nullptr) return nullptr;
  catalogue->ListSnapshots();
  const RetentionPolicy policy{std::max(keepLast, 0), std::max(keepDaily, 0),
                               std::max(keepWeekly, 0), std::max(keepMonthly, 0)};
  const std::vector<bool> keeps = policy.Keeps(catalogue->SnapshotTimes());
  std::vector<std::wstring> forget;
  for (size_t i = 0; i < keeps.size(); ++i) {
    // A damaged entry's time is unknown, and no rewrite of the list keeps it.
    const bool damaged = catalogue->IsSnapshotDamaged(static_cast<int>(i)) && i + 1 < keeps.size();
    if (!keeps[i] || damaged) forget.push_back(std::to_wstring(i));
  }
  return forget.empty() ? nullptr : MakeStringList(forget);
}

}  // namespace vaultline
