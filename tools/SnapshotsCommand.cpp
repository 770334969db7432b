// snapshots SEL: index and time text of each snapshot, oldest first; a
// damaged one is marked.
#include "Commands.h"
#include "Console.h"
#include "JsonText.h"
#include "SelectionArguments.h"

namespace vaultline::cli {

int RunSnapshots(EngineSession& session, const std::wstring& selection) {
  const unsigned index = ResolveSelection(session, selection);
  const auto snapshots = session.Take(session.engine().GetSnapshots(index));
  nlohmann::json list = nlohmann::json::array();
  for (size_t i = 0; i < snapshots.size(); ++i) {
    // A damaged snapshot keeps its place, so that later indices never move.
    const bool damaged = session.engine().IsSnapshotDamaged(index, static_cast<unsigned>(i));
    if (session.options().json) {
      nlohmann::json entry = {{"index", i}, {"damaged", damaged}, {"time", nullptr}};
      if (!damaged) PutText(entry, "time", snapshots[i]);
      list.push_back(std::move(entry));
    } else {
      PrintLine(std::to_wstring(i) + L"\t" +
                (damaged ? L"DAMAGED (run vaultline check for details)" : snapshots[i]));
    }
  }
  if (session.options().json) PrintJson({{"selection", index}, {"snapshots", list}});
  return kExitSuccess;
}

}  // namespace vaultline::cli
