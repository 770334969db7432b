// ls -l SEL [SNAP]: each stored item with its type and mode, owner, size,
// modification time and, for a link, its target.
#include <algorithm>

#include "Commands.h"
#include "Console.h"
#include "ItemText.h"
#include "JsonText.h"
#include "ProblemList.h"
#include "SelectionArguments.h"
#include "TimeText.h"

namespace vaultline::cli {

int RunLsLong(EngineSession& session, const std::wstring& selection, const std::wstring& snapshot) {
  const unsigned index = ResolveSelection(session, selection);
  const int snap = ResolveSnapshot(session, index, snapshot);
  std::vector<StoredItem> items;
  std::vector<std::wstring> problems;
  const bool read =
      ListStoredItems(&session.engine(), index, static_cast<unsigned>(snap), &items, &problems);
  // What could be read is listed; damage makes the listing a failure.
  PrintProblems(problems);
  const int exitCode = problems.empty() && read ? kExitSuccess : kExitFailure;
  if (session.options().json) {
    nlohmann::json list = nlohmann::json::array();
    for (const StoredItem& item : items) list.push_back(ItemJson(item));
    PrintJson({{"selection", index},
               {"snapshot", snap},
               {"items", list},
               {"problems", ProblemsJson(problems)}});
    return exitCode;
  }
  size_t ownerWidth = 0;
  size_t sizeWidth = 0;
  for (const StoredItem& item : items) {
    ownerWidth = std::max(ownerWidth, OwnerText(item).size());
    sizeWidth = std::max(sizeWidth, std::to_wstring(item.size).size());
  }
  for (const StoredItem& item : items) {
    std::wstring owner = OwnerText(item);
    owner.resize(ownerWidth, L' ');
    std::wstring size = std::to_wstring(item.size);
    size.insert(0, sizeWidth - size.size(), L' ');
    PrintLine(ModeText(item) + L"  " + owner + L"  " + size + L"  " + LocalTimeText(item.modified) +
              L"  " + PathText(item));
  }
  return exitCode;
}

}  // namespace vaultline::cli
