// snapshots SEL: index and time text of each snapshot, oldest first.
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
    if (session.options().json) {
      nlohmann::json entry = {{"index", i}};
      PutText(entry, "time", snapshots[i]);
      list.push_back(std::move(entry));
    } else {
      PrintLine(std::to_wstring(i) + L"\t" + snapshots[i]);
    }
  }
  if (session.options().json) PrintJson({{"selection", index}, {"snapshots", list}});
  return kExitSuccess;
}

}  // namespace vaultline::cli
