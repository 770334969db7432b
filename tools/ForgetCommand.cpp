// forget SEL SNAP... | forget SEL --keep-... N: snapshots no longer listed,
// their space given back by compact (or at once with --compact).
#include <algorithm>

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

bool HasPolicy(const KeepPolicy& keep) {
  return keep.last > 0 || keep.daily > 0 || keep.weekly > 0 || keep.monthly > 0;
}

std::vector<unsigned> ChosenByPolicy(EngineSession& session, unsigned selection,
                                     const KeepPolicy& keep) {
  std::vector<unsigned> chosen;
  for (const std::wstring& text : session.Take(session.engine().GetSnapshotsToForget(
           selection, keep.last, keep.daily, keep.weekly, keep.monthly))) {
    chosen.push_back(static_cast<unsigned>(std::stoul(text)));
  }
  return chosen;
}

// The chosen snapshots with their times: lines, or the entries of the JSON.
nlohmann::json ListChosen(EngineSession& session, unsigned selection,
                          const std::vector<unsigned>& chosen, bool dryRun) {
  const auto times = session.Take(session.engine().GetSnapshots(selection));
  nlohmann::json list = nlohmann::json::array();
  for (unsigned index : chosen) {
    const std::wstring time = index < times.size() ? times[index] : std::wstring();
    if (session.options().json) {
      nlohmann::json entry = {{"index", index}};
      PutText(entry, "time", time);
      list.push_back(std::move(entry));
    } else {
      PrintLine((dryRun ? L"would forget " : L"forgetting ") + std::to_wstring(index) + L"\t" +
                time);
    }
  }
  return list;
}

struct Compaction {
  int64_t before = 0;
  int64_t after = 0;
  int64_t freed() const { return std::max<int64_t>(before - after, 0); }
  nlohmann::json Json() const { return {{"before", before}, {"after", after}, {"freed", freed()}}; }
};

// Compacts the selection; a failure throws (the engine's errors are already
// on standard error).
Compaction Compact(EngineSession& session, unsigned index) {
  IVaultline& engine = session.engine();
  ConsoleStatus status(session.options().verbosity, StandardErrorIsTerminal());
  Compaction result;
  result.before = engine.GetStorageUsed();
  bool compacted = false;
  {
    StatusScope scope(engine, status);
    compacted = engine.CompactProfile(index);
  }
  if (status.IsCancelled()) throw CommandError{kExitFailure, L"the compaction was cancelled"};
  if (!compacted || status.errors() > 0) {
    if (status.errors() == 0) throw CommandError{kExitFailure, L"the selection was not compacted"};
    throw CommandError{kExitFailure, L"the compaction ended with errors"};
  }
  result.after = engine.GetStorageUsed();
  return result;
}

void PrintCompaction(const Compaction& result) {
  PrintLine(L"compacted: storage " + std::to_wstring(result.before) + L" bytes before, " +
            std::to_wstring(result.after) + L" after, " + std::to_wstring(result.freed()) +
            L" given back");
}

}  // namespace

int RunForget(EngineSession& session, const std::wstring& selection,
              const std::vector<std::wstring>& snapshots, const KeepPolicy& keep, bool dryRun,
              bool compact) {
  const unsigned index = ResolveSelection(session, selection);
  if (snapshots.empty() == !HasPolicy(keep)) {
    throw CommandError{kExitUsage, L"forget takes either snapshot indices or --keep-... options"};
  }
  std::vector<unsigned> chosen;
  if (snapshots.empty()) {
    chosen = ChosenByPolicy(session, index, keep);
  } else {
    for (const std::wstring& snapshot : snapshots) {
      chosen.push_back(static_cast<unsigned>(ResolveSnapshot(session, index, snapshot)));
    }
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
  }
  nlohmann::json forgotten = ListChosen(session, index, chosen, dryRun);
  nlohmann::json document = {{"selection", index}, {"dryRun", dryRun}, {"forget", forgotten}};
  if (dryRun) {
    if (session.options().json) PrintJson(document);
    return kExitSuccess;
  }
  if (!chosen.empty()) {
    ConsoleStatus status(session.options().verbosity, false);
    bool done = false;
    {
      StatusScope scope(session.engine(), status);
      done =
          session.engine().ForgetSnapshots(index, chosen.data(), static_cast<int>(chosen.size()));
    }
    if (!done || status.errors() > 0) {
      throw CommandError{kExitFailure, L"no snapshot was forgotten"};
    }
  }
  if (!session.options().json) {
    PrintLine(L"forgot " + std::to_wstring(chosen.size()) + L" snapshot(s); " +
              (compact ? L"compacting" : L"run \"vaultline compact\" to give their space back"));
  }
  if (compact) {
    const Compaction result = Compact(session, index);
    if (!session.options().json) PrintCompaction(result);
    document["compacted"] = result.Json();
  }
  if (session.options().json) PrintJson(document);
  return kExitSuccess;
}

int RunCompact(EngineSession& session, const std::wstring& selection) {
  const unsigned index = ResolveSelection(session, selection);
  const Compaction result = Compact(session, index);
  if (session.options().json) {
    nlohmann::json document = result.Json();
    document["selection"] = index;
    PrintJson(document);
  } else {
    PrintCompaction(result);
  }
  return kExitSuccess;
}

}  // namespace vaultline::cli
