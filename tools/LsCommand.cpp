// ls SEL [SNAP]: the stored paths of a snapshot, as the engine lists them
// (the source's name first, folders ending in a separator).
#include "Commands.h"
#include "Console.h"
#include "JsonText.h"
#include "SelectionArguments.h"
#include "platform/Path.h"

namespace vaultline::cli {

int RunLs(EngineSession& session, const std::wstring& selection, const std::wstring& snapshot) {
  const unsigned index = ResolveSelection(session, selection);
  const int snap = ResolveSnapshot(session, index, snapshot);
  const auto paths = session.Take(session.engine().GetSnapshotContents(index, snap));
  // What could be read is listed; damage makes the listing a failure.
  const bool damaged = session.engine().IsSnapshotDamaged(index, static_cast<unsigned>(snap));
  const int exitCode = damaged ? kExitFailure : kExitSuccess;
  if (damaged) PrintError(DamagedSnapshotText(index, snap) + L"; the listing is incomplete");
  if (!session.options().json) {
    for (const auto& path : paths) PrintLine(path);
    return exitCode;
  }
  nlohmann::json list = nlohmann::json::array();
  for (const auto& path : paths) {
    nlohmann::json entry = {{"folder", !path.empty() && path.back() == platform::kSeparator}};
    PutText(entry, "path", path);
    list.push_back(std::move(entry));
  }
  PrintJson({{"selection", index}, {"snapshot", snap}, {"damaged", damaged}, {"paths", list}});
  return exitCode;
}

}  // namespace vaultline::cli
