#include "catalogue/SnapshotForgetting.h"

#include <algorithm>

#include "catalogue/CatalogueFiles.h"
#include "catalogue/SnapshotHistory.h"
#include "catalogue/StatusReport.h"
#include "platform/File.h"
#include "platform/Format.h"
#include "platform/Text.h"
#include "vaultline/Vaultline.h"

namespace vaultline {

bool ForgetSnapshotEntries(CatalogueFiles& files, const StoreContext& context,
                           const std::vector<size_t>& indices) {
  std::vector<StoredSnapshot> history;
  if (!ReadSnapshotHistory(files.SnapshotStream(), files.SnapshotPath(), &history)) {
    ReportStatus(context, kMessageError, L"The snapshot file of this selection cannot be read");
    return false;
  }
  std::vector<bool> forget(history.size(), false);
  for (size_t index : indices) {
    if (index >= history.size()) {
      ReportStatus(context, kMessageError,
                   platform::FormatWide(L"There is no snapshot %u in this selection",
                                        static_cast<unsigned>(index)));
      return false;
    }
    forget[index] = true;
  }
  std::vector<StoredSnapshot> kept;
  for (size_t i = 0; i < history.size(); ++i) {
    if (forget[i]) continue;
    if (history[i].damaged) {
      ReportStatus(context, kMessageWarning,
                   platform::FormatWide(
                       L"Snapshot %u is damaged and could not be kept in the rewritten list",
                       static_cast<unsigned>(i)));
    }
    kept.push_back(std::move(history[i]));
  }
  if (!ReplaceSnapshotHistory(files.SnapshotPath(), kept)) {
    ReportStatus(context, kMessageError,
                 platform::FormatWide(L"The snapshot file could not be rewritten: %ls",
                                      platform::SystemErrorText(platform::LastError()).c_str()));
    return false;
  }
  // Figures of the forgotten snapshots describe nothing listed any more.
  std::vector<SnapshotFigures> figures = files.Figures().Load();
  std::erase_if(figures, [&](const SnapshotFigures& f) {
    return std::none_of(kept.begin(), kept.end(), [&](const StoredSnapshot& snapshot) {
      return !snapshot.damaged && f.Describes(snapshot.snapshotTime, snapshot.sources[0].rootOffset,
                                              snapshot.sources[0].endOffset);
    });
  });
  files.Figures().Rewrite(figures);
  files.ReopenSnapshotFile();
  return true;
}

}  // namespace vaultline
