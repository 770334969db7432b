// Checking a selection's store for damage, changing nothing in it.
#include "core/BuiltInTexts.h"
#include "core/Engine.h"
#include "core/StringList.h"

namespace vaultline {

StringList Engine::Verify(unsigned index, bool readData) {
  Profile* profile = ProfileAt(index);
  if (profile == nullptr) return nullptr;
  StringList result = nullptr;
  Guarded(kTextVerifyFailed, [&] {
    if (profile->deleted || profile->contents.empty()) return false;
    CatalogueCloser closer(this, profile);
    SnapshotManager* catalogue = OpenCatalogue(*profile, status_);
    if (catalogue == nullptr) return false;
    std::vector<CheckFinding> findings;
    if (!catalogue->Check(readData, &findings)) return false;
    std::vector<std::wstring> lines;
    for (const CheckFinding& finding : findings) {
      lines.push_back(std::to_wstring(finding.snapshot) + L"\t" + finding.path + L"\t" +
                      finding.what);
    }
    LoadSnapshotList(*profile);
    for (const CheckFinding& finding : findings) {
      if (finding.snapshot >= 0 &&
          static_cast<size_t>(finding.snapshot) < profile->snapshots.size()) {
        profile->snapshots[static_cast<size_t>(finding.snapshot)].damaged = true;
      }
    }
    result = MakeStringList(lines);
    return true;
  });
  return result;
}

}  // namespace vaultline
