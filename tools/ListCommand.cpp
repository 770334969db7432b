// list: index, name, source path and number of snapshots of each selection.
#include "Commands.h"
#include "Console.h"
#include "JsonText.h"
#include "SelectionArguments.h"

namespace vaultline::cli {

int RunList(EngineSession& session) {
  IVaultline& engine = session.engine();
  const auto names = session.Take(engine.GetProfileNames());
  nlohmann::json selections = nlohmann::json::array();
  for (unsigned i = 0; i < names.size(); ++i) {
    if (!IsLiveSelection(session, i)) continue;
    const std::wstring source = SourceOf(session, i);
    const size_t snapshots = session.Take(engine.GetSnapshots(i)).size();
    if (session.options().json) {
      nlohmann::json entry = {{"index", i}, {"snapshots", snapshots}};
      PutText(entry, "name", names[i]);
      PutText(entry, "source", source);
      selections.push_back(std::move(entry));
    } else {
      PrintLine(std::to_wstring(i) + L"\t" + names[i] + L"\t" + source + L"\t" +
                std::to_wstring(snapshots));
    }
  }
  if (session.options().json) PrintJson({{"selections", selections}});
  return kExitSuccess;
}

}  // namespace vaultline::cli
