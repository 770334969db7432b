// diff SEL A B, diff SEL A --with PATH: the items added, removed and changed
// from snapshot A to snapshot B, or to the folder PATH as it is now.
#include "Commands.h"
#include "Console.h"
#include "ItemText.h"
#include "JsonText.h"
#include "ProblemList.h"
#include "SelectionArguments.h"

namespace vaultline::cli {
namespace {

constexpr std::pair<unsigned, const char*> kChangeNames[] = {
    {ItemChange::kType, "type"},
    {ItemChange::kContents, "contents"},
    {ItemChange::kMode, "mode"},
    {ItemChange::kOwner, "owner"},
    {ItemChange::kTime, "time"},
    {ItemChange::kLinkTarget, "link target"},
    {ItemChange::kAttributes, "attributes"}};

std::vector<std::string> ChangeNames(unsigned what) {
  std::vector<std::string> names;
  for (const auto& [bit, name] : kChangeNames) {
    if (what & bit) names.push_back(name);
  }
  return names;
}

std::wstring ChangeLine(const ItemChange& change) {
  if (change.what & ItemChange::kAdded) {
    return L"+\t" + std::to_wstring(change.after->size) + L'\t' + PathText(*change.after);
  }
  if (change.what & ItemChange::kRemoved) {
    return L"-\t" + std::to_wstring(change.before->size) + L'\t' + PathText(*change.before);
  }
  std::wstring what;
  for (const std::string& name : ChangeNames(change.what)) {
    if (!what.empty()) what += L", ";
    what += std::wstring(name.begin(), name.end());
  }
  return L"M\t" + std::to_wstring(change.before->size) + L" -> " +
         std::to_wstring(change.after->size) + L'\t' + what + L'\t' + PathText(*change.after);
}

}  // namespace

int RunDiff(EngineSession& session, const std::wstring& selection, const std::wstring& from,
            const std::wstring& to, bool withFolder) {
  const unsigned index = ResolveSelection(session, selection);
  const int first = ResolveSnapshot(session, index, from);
  std::vector<ItemChange> changes;
  std::vector<std::wstring> problems;
  int second = -1;
  bool read = false;
  if (withFolder) {
    read = DiffWithFolder(&session.engine(), index, static_cast<unsigned>(first), to, &changes,
                          &problems);
  } else {
    second = ResolveSnapshot(session, index, to);
    read = DiffSnapshots(&session.engine(), index, static_cast<unsigned>(first),
                         static_cast<unsigned>(second), &changes, &problems);
  }
  PrintProblems(problems);
  const int exitCode = problems.empty() && read ? kExitSuccess : kExitFailure;
  size_t added = 0;
  size_t removed = 0;
  for (const ItemChange& change : changes) {
    added += (change.what & ItemChange::kAdded) != 0;
    removed += (change.what & ItemChange::kRemoved) != 0;
  }
  if (session.options().json) {
    nlohmann::json list = nlohmann::json::array();
    for (const ItemChange& change : changes) {
      const char* kind = (change.what & ItemChange::kAdded)     ? "added"
                         : (change.what & ItemChange::kRemoved) ? "removed"
                                                                : "changed";
      nlohmann::json entry = {{"change", kind}, {"what", ChangeNames(change.what)}};
      if (change.before) entry["before"] = ItemJson(*change.before);
      if (change.after) entry["after"] = ItemJson(*change.after);
      list.push_back(std::move(entry));
    }
    nlohmann::json document = {{"selection", index}, {"from", first}};
    if (withFolder) {
      PutText(document, "with", to);
    } else {
      document["to"] = second;
    }
    document["changes"] = list;
    document["problems"] = ProblemsJson(problems);
    PrintJson(document);
    return exitCode;
  }
  for (const ItemChange& change : changes) PrintLine(ChangeLine(change));
  PrintLine(std::to_wstring(added) + L" added, " + std::to_wstring(removed) + L" removed, " +
            std::to_wstring(changes.size() - added - removed) + L" changed");
  return exitCode;
}

}  // namespace vaultline::cli
