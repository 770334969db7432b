// find SEL PATTERN...: each distinct version of each matching item across
// the snapshots, with the snapshots that hold it, its size and time.
#include "CommandError.h"
#include "Commands.h"
#include "Console.h"
#include "ItemText.h"
#include "JsonText.h"
#include "ProblemList.h"
#include "SelectionArguments.h"
#include "TimeText.h"

namespace vaultline::cli {
namespace {

// "0-3,5,7-8": runs of consecutive indices joined.
std::wstring SnapshotRuns(const std::vector<unsigned>& snapshots) {
  std::wstring text;
  for (size_t i = 0; i < snapshots.size();) {
    size_t end = i;
    while (end + 1 < snapshots.size() && snapshots[end + 1] == snapshots[end] + 1) ++end;
    if (!text.empty()) text += L',';
    text += std::to_wstring(snapshots[i]);
    if (end > i) text += L'-' + std::to_wstring(snapshots[end]);
    i = end + 1;
  }
  return text;
}

std::optional<int64_t> TimeOption(const std::optional<std::wstring>& text, const wchar_t* option) {
  if (!text) return std::nullopt;
  const std::optional<int64_t> time = ParseTimeArgument(*text);
  if (!time) {
    throw CommandError{kExitUsage, std::wstring(option) + L" takes a date (YYYY-MM-DD), a date " +
                                       L"and time (YYYY-MM-DD HH:MM[:SS]) or @SECONDS, not \"" +
                                       *text + L"\""};
  }
  return time;
}

}  // namespace

int RunFind(EngineSession& session, const std::wstring& selection, const FindOptions& options) {
  const unsigned index = ResolveSelection(session, selection);
  VersionSearch search;
  search.patterns = options.patterns;
  search.modifiedAfter = TimeOption(options.newer, L"--newer");
  search.modifiedBefore = TimeOption(options.older, L"--older");
  search.firstSnapshot = static_cast<unsigned>(ResolveSnapshot(session, index, options.first));
  search.lastSnapshot = static_cast<unsigned>(ResolveSnapshot(session, index, options.last));
  if (search.firstSnapshot > search.lastSnapshot) {
    throw CommandError{kExitUsage, L"--first names a snapshot after --last"};
  }
  std::vector<ItemVersion> versions;
  std::vector<std::wstring> problems;
  const bool read = FindItemVersions(&session.engine(), index, search, &versions, &problems);
  PrintProblems(problems);
  const int exitCode = problems.empty() && read ? kExitSuccess : kExitFailure;
  if (session.options().json) {
    nlohmann::json list = nlohmann::json::array();
    for (const ItemVersion& version : versions) {
      nlohmann::json entry = ItemJson(version.item);
      entry["snapshots"] = version.snapshots;
      list.push_back(std::move(entry));
    }
    PrintJson({{"selection", index}, {"versions", list}, {"problems", ProblemsJson(problems)}});
    return exitCode;
  }
  for (const ItemVersion& version : versions) {
    PrintLine(LocalTimeText(version.item.modified) + L'\t' + std::to_wstring(version.item.size) +
              L"\tsnapshots " + SnapshotRuns(version.snapshots) + L'\t' + PathText(version.item));
  }
  return exitCode;
}

}  // namespace vaultline::cli
