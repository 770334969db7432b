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
  return SnapshotsToForget(index, {keepLast, keepDaily, keepWeekly, keepMonthly}, std::nullopt);
}

StringList Engine::SnapshotsToForget(unsigned index, const RetentionPolicy& asked,
                                     std::optional<int32_t> nextSnapshot) {
  return ReadSnapshotList(index, [&](SnapshotManager& catalogue) -> StringList {
    const RetentionPolicy policy{std::max(asked.last, 0), std::max(asked.daily, 0),
                                 std::max(asked.weekly, 0), std::max(asked.monthly, 0)};
    std::vector<int32_t> times = catalogue.SnapshotTimes();
    const size_t listed = times.size();
    // The next backup's snapshot is the newest: it takes its day's, week's and
    // month's place and one of the last N, as it will when that backup is done.
    if (nextSnapshot) times.push_back(*nextSnapshot);
    const std::vector<bool> keeps = policy.Keeps(times);
    std::vector<std::wstring> forget;
    for (size_t i = 0; i < listed; ++i) {
      // A damaged entry's time is unknown, and no rewrite of the list keeps it.
      const bool damaged = catalogue.IsSnapshotDamaged(static_cast<int>(i)) && i + 1 < keeps.size();
      if (!keeps[i] || damaged) forget.push_back(std::to_wstring(i));
    }
    return forget.empty() ? nullptr : MakeStringList(forget);
  });
}

}  // namespace vaultline
