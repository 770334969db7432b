// check SEL [--read-data]: finds damage in the stored snapshots without
// changing them. Prints, per snapshot, whether it is whole and which paths
// are damaged; exit 0 only when everything is sound.
#include <map>
#include <vector>

#include "CommandError.h"
#include "Commands.h"
#include "Console.h"
#include "ConsoleStatus.h"
#include "JsonText.h"
#include "SelectionArguments.h"
#include "StatusScope.h"
#include "Terminal.h"

namespace vaultline::cli {
namespace {

struct Damage {
  std::wstring path;
  std::wstring what;
};

// "SNAPSHOT\tPATH\tWHAT" as the engine lists a damaged item.
bool Split(const std::wstring& line, int* snapshot, Damage* damage) {
  const size_t first = line.find(L'\t');
  const size_t second = first == std::wstring::npos ? first : line.find(L'\t', first + 1);
  if (second == std::wstring::npos) return false;
  try {
    *snapshot = std::stoi(line.substr(0, first));
  } catch (const std::exception&) {
    return false;
  }
  damage->path = line.substr(first + 1, second - first - 1);
  damage->what = line.substr(second + 1);
  return true;
}

nlohmann::json DamageJson(const std::vector<Damage>& list) {
  nlohmann::json items = nlohmann::json::array();
  for (const Damage& damage : list) {
    nlohmann::json item = nlohmann::json::object();
    PutText(item, "path", damage.path);
    PutText(item, "problem", damage.what);
    items.push_back(std::move(item));
  }
  return items;
}

}  // namespace

int RunCheck(EngineSession& session, const std::wstring& selection, bool readData) {
  IVaultline& engine = session.engine();
  const unsigned index = ResolveSelection(session, selection);
  // The findings are printed below; the sink's own lines would say it twice.
  ConsoleStatus status(session.options().verbosity, StandardErrorIsTerminal());
  status.SetQuietErrors(true);
  StringList found = nullptr;
  {
    StatusScope scope(engine, status);
    found = engine.Verify(index, readData);
  }
  if (status.IsCancelled()) throw CommandError{kExitFailure, L"the check was cancelled"};
  if (found == nullptr) {
    const std::wstring why = status.lastError().empty() ? L"" : L": " + status.lastError();
    throw CommandError{kExitFailure, L"the check could not be run" + why};
  }
  const auto lines = session.Take(found);
  std::map<int, std::vector<Damage>> bySnapshot;  // -1: the store itself
  for (const std::wstring& line : lines) {
    int snapshot = -1;
    Damage damage;
    if (Split(line, &snapshot, &damage)) bySnapshot[snapshot].push_back(damage);
  }
  const auto snapshots = session.Take(engine.GetSnapshots(index));

  if (session.options().json) {
    nlohmann::json list = nlohmann::json::array();
    for (size_t i = 0; i < snapshots.size(); ++i) {
      const auto damaged = bySnapshot.find(static_cast<int>(i));
      const bool whole = damaged == bySnapshot.end();
      nlohmann::json entry = {{"index", i}, {"whole", whole}};
      PutText(entry, "time", snapshots[i]);
      entry["damaged"] = DamageJson(whole ? std::vector<Damage>() : damaged->second);
      list.push_back(std::move(entry));
    }
    const auto store = bySnapshot.find(-1);
    PrintJson(
        {{"selection", index},
         {"readData", readData},
         {"sound", lines.empty()},
         {"store", DamageJson(store == bySnapshot.end() ? std::vector<Damage>() : store->second)},
         {"snapshots", list}});
    return lines.empty() ? kExitSuccess : kExitFailure;
  }

  if (const auto store = bySnapshot.find(-1); store != bySnapshot.end()) {
    for (const Damage& damage : store->second) PrintLine(L"store\tdamaged\t" + damage.what);
  }
  for (size_t i = 0; i < snapshots.size(); ++i) {
    const auto damaged = bySnapshot.find(static_cast<int>(i));
    const std::wstring head = std::to_wstring(i) + L"\t";
    if (damaged == bySnapshot.end()) {
      PrintLine(head + L"whole\t" + snapshots[i]);
      continue;
    }
    PrintLine(head + L"DAMAGED\t" + snapshots[i]);
    for (const Damage& damage : damaged->second) {
      PrintLine(L"\t" + (damage.path.empty() ? damage.what : damage.path + L": " + damage.what));
    }
  }
  if (lines.empty()) {
    PrintLine(readData ? L"no damage found (records and data)" : L"no damage found (records)");
    return kExitSuccess;
  }
  PrintError(std::to_wstring(lines.size()) + L" damaged item(s) found");
  return kExitFailure;
}

}  // namespace vaultline::cli
