#include "history/HistorySource.h"

#include "AppStrings.h"
#include "EngineList.h"
#include "SnapshotTimeText.h"
#include "resources/ResourceIds.h"
#include "vaultline/Path.h"

using namespace marrowby;

HistorySource HistorySource::Of(IVaultline* engine, unsigned profile) {
  HistorySource history;
  history.engine = engine;
  history.profile = profile;
  if (engine == nullptr) return history;
  history.snapshots = TakeList(engine, engine->GetSnapshots(profile));
  const std::vector<std::wstring> contents = TakeList(engine, engine->GetProfileContents(profile));
  if (!contents.empty()) history.source = contents.front();
  return history;
}

QString HistorySource::SnapshotText(unsigned index) const {
  if (index >= snapshots.size()) return QString();
  QString stored = ToQString(snapshots[index]);
  if (stored.endsWith(u'\n')) stored.chop(1);
  return SnapshotTimeText(stored);
}

QString HistorySource::SnapshotsText(const std::vector<unsigned>& indices) const {
  if (indices.empty()) return QString();
  if (indices.size() == 1) return SnapshotText(indices.front());
  const std::wstring first = FromQString(SnapshotText(indices.front()));
  const std::wstring last = FromQString(SnapshotText(indices.back()));
  return FormatString(ids::kSnapshotRange, first.c_str(), last.c_str(),
                      static_cast<int>(indices.size()));
}

std::wstring HistorySource::NowPath(const std::wstring& treePath) const {
  const size_t first = treePath.find(vaultline::platform::kSeparator);
  if (first == std::wstring::npos) return source;
  std::wstring path = source;
  if (!path.empty() && path.back() == vaultline::platform::kSeparator) path.pop_back();
  return path + treePath.substr(first);
}

QString ProblemsText(const std::vector<std::wstring>& problems) {
  if (problems.empty()) return QString();
  QString text = LoadString(ids::kUnreadableRecords);
  for (const std::wstring& problem : problems) text += u'\n' + ToQString(problem);
  return text;
}
