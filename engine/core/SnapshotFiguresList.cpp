// The figures of a selection's snapshots, as texts for the front ends.
#include "core/Engine.h"
#include "core/StringList.h"
#include "vaultline/SnapshotFigures.h"

namespace vaultline {

namespace {

std::wstring FiguresText(const SnapshotFigures& figures) {
  std::wstring text = std::to_wstring(figures.snapshotTime) + L'\t' +
                      std::to_wstring(figures.files) + L'\t' + std::to_wstring(figures.bytes);
  if (!figures.recorded) return text + L"\t\t\t\t\t\t";
  for (int64_t value : {figures.newBytes, int64_t{figures.changedFiles}, int64_t{figures.oversize},
                        int64_t{figures.pathTooLong}, int64_t{figures.unreadable},
                        int64_t{figures.unreadFolders}}) {
    text += L'\t' + std::to_wstring(value);
  }
  return text;
}

}  // namespace

StringList Engine::GetSnapshotFigures(unsigned index) {
  return ReadSnapshotList(index, [](SnapshotManager& catalogue) -> StringList {
    const std::vector<std::optional<SnapshotFigures>> figures = catalogue.ListFigures();
    std::vector<std::wstring> texts;
    for (size_t i = 0; i < figures.size(); ++i) {
      if (figures[i]) {
        texts.push_back(FiguresText(*figures[i]));
      } else if (catalogue.IsSnapshotDamaged(static_cast<int>(i))) {
        texts.emplace_back(L"\t\t\t\t\t\t\t\t");
      } else {
        // Its tree could not be read whole: only its time is known.
        texts.push_back(std::to_wstring(catalogue.SnapshotTimes()[i]) + L"\t\t\t\t\t\t\t\t");
      }
    }
    return MakeStringList(texts);
  });
}

}  // namespace vaultline

StringList GetSnapshotFigures(IVaultline* engine, unsigned profile) {
  auto* own = dynamic_cast<vaultline::Engine*>(engine);
  return own != nullptr ? own->GetSnapshotFigures(profile) : nullptr;
}
