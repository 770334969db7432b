// ls SEL [SNAP]: the stored paths of a snapshot, as the engine lists them
// (the source's name first, folders ending in a separator).
#include "Commands.h"
#include "Console.h"
#include "JsonText.h"
#include "SelectionArguments.h"
#include "vaultline/Path.h"

namespace vaultline::cli {

int RunLs(EngineSession& session, const std::wstring& selection, const std::wstring& snapshot) {
  const unsigned index = ResolveSelection(session, selection);
  const int snap = ResolveSnapshot(session, index, snapshot);
  auto paths = session.Take(session.engine().GetSnapshotContents(index, snap));
  // The engine lists the source folder as its name followed by the
  // separator it gives every folder: "src//" is shown as "src/".
  for (std::wstring& path : paths) {
    if (path.size() > 1 && path.ends_with(std::wstring(2, platform::kSeparator))) path.pop_back();
  }
  auto kinds =
      session.Take(session.engine().GetSnapshotItemKinds(index, static_cast<unsigned>(snap)));
  kinds.resize(paths.size());
  // A link shows where it points: "path -> target".
  auto shown = [&](size_t i) {
    const size_t tab = kinds[i].find(L'\t');
    if (!kinds[i].starts_with(L"link\t")) return paths[i];
    return paths[i] + L" -> " + kinds[i].substr(tab + 1);
  };
  // What could be read is listed; damage makes the listing a failure.
  const bool damaged = session.engine().IsSnapshotDamaged(index, static_cast<unsigned>(snap));
  const int exitCode = damaged ? kExitFailure : kExitSuccess;
  if (damaged) PrintError(DamagedSnapshotText(index, snap) + L"; the listing is incomplete");
  if (!session.options().json) {
    for (size_t i = 0; i < paths.size(); ++i) PrintLine(shown(i));
    return exitCode;
  }
  nlohmann::json list = nlohmann::json::array();
  for (size_t i = 0; i < paths.size(); ++i) {
    const std::wstring& path = paths[i];
    nlohmann::json entry = {{"folder", !path.empty() && path.back() == platform::kSeparator}};
    PutText(entry, "path", path);
    const size_t tab = kinds[i].find(L'\t');
    if (!kinds[i].empty()) PutText(entry, "kind", kinds[i].substr(0, tab));
    if (tab != std::wstring::npos) PutText(entry, "detail", kinds[i].substr(tab + 1));
    list.push_back(std::move(entry));
  }
  PrintJson({{"selection", index}, {"snapshot", snap}, {"damaged", damaged}, {"paths", list}});
  return exitCode;
}

}  // namespace vaultline::cli
