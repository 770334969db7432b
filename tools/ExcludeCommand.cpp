// exclude SEL [add PATTERN... | remove PATTERN... | test PATH]: a selection's
// exclusion patterns, listed, changed, or tried on a path before trusting it.
#include "CommandError.h"
#include "Commands.h"
#include "Console.h"
#include "ConsoleStatus.h"
#include "JsonText.h"
#include "SelectionArguments.h"
#include "StatusScope.h"

namespace vaultline::cli {

namespace {

int ListExclusions(EngineSession& session, unsigned index) {
  ConsoleStatus status(session.options().verbosity, false);
  StringList list = nullptr;
  {
    StatusScope scope(session.engine(), status);
    list = session.engine().GetExclusions(index);
  }
  if (list == nullptr) {
    throw CommandError{kExitFailure, L"The exclusion patterns could not be read"};
  }
  const std::vector<std::wstring> patterns = session.Take(list);
  if (session.options().json) {
    nlohmann::json items = nlohmann::json::array();
    for (const std::wstring& pattern : patterns) {
      nlohmann::json item = nlohmann::json::object();
      PutText(item, "pattern", pattern);
      items.push_back(std::move(item));
    }
    PrintJson({{"selection", index}, {"exclusions", items}});
  } else {
    for (const std::wstring& pattern : patterns) PrintLine(pattern);
  }
  return kExitSuccess;
}

int ChangeExclusions(EngineSession& session, unsigned index, bool add,
                     const std::vector<std::wstring>& patterns) {
  if (patterns.empty()) {
    throw CommandError{
        kExitUsage, add ? L"add needs at least one PATTERN" : L"remove needs at least one PATTERN"};
  }
  ConsoleStatus status(session.options().verbosity, false);
  StatusScope scope(session.engine(), status);
  int result = kExitSuccess;
  for (const std::wstring& pattern : patterns) {
    const bool done = add ? session.engine().AddExclusion(index, pattern.c_str())
                          : session.engine().RemoveExclusion(index, pattern.c_str());
    if (done) continue;
    if (status.errors() == 0) {
      PrintError(add ? L"not a pattern (blank, a comment or more than one line): " + pattern
                     : L"the selection has no such pattern: " + pattern);
    }
    result = kExitFailure;
  }
  return result;
}

int TestPath(EngineSession& session, unsigned index, const std::vector<std::wstring>& words) {
  if (words.size() != 1) throw CommandError{kExitUsage, L"test needs exactly one PATH"};
  ConsoleStatus status(session.options().verbosity, false);
  StringList decidedBy = nullptr;
  int verdict = -1;
  {
    StatusScope scope(session.engine(), status);
    verdict = session.engine().TestExclusion(index, words[0].c_str(), &decidedBy);
  }
  const std::vector<std::wstring> reason = session.Take(decidedBy);
  if (verdict < 0) {
    if (status.errors() > 0) throw CommandError{kExitFailure, L"nothing could be tested"};
    throw CommandError{kExitFailure, words[0] + L" is not inside the selection's source " +
                                         SourceOf(session, index)};
  }
  const bool excluded = verdict == 1;
  if (session.options().json) {
    nlohmann::json answer = {{"selection", index}, {"backedUp", !excluded}};
    PutText(answer, "path", words[0]);
    if (reason.size() == 2) {
      PutText(answer, "pattern", reason[0]);
      PutText(answer, "decidedAt", reason[1]);
    }
    PrintJson(answer);
    return kExitSuccess;
  }
  std::wstring line = words[0] + (excluded ? L": left out" : L": backed up");
  if (reason.size() == 2) {
    line += reason[0] == L"CACHEDIR.TAG" ? L", by the cache tag " + reason[1] + L"/CACHEDIR.TAG"
                                         : L", by the pattern " + reason[0];
    if (reason[0] != L"CACHEDIR.TAG" && reason[1] != words[0]) line += L" on " + reason[1];
  } else {
    line += L", no pattern matches";
  }
  PrintLine(line);
  return kExitSuccess;
}

}  // namespace

int RunExclude(EngineSession& session, const std::wstring& selection,
               const std::vector<std::wstring>& words) {
  const unsigned index = ResolveSelection(session, selection);
  if (words.empty()) return ListExclusions(session, index);
  const std::vector<std::wstring> rest(words.begin() + 1, words.end());
  if (words[0] == L"add") return ChangeExclusions(session, index, true, rest);
  if (words[0] == L"remove") return ChangeExclusions(session, index, false, rest);
  if (words[0] == L"test") return TestPath(session, index, rest);
  throw CommandError{kExitUsage, L"unknown exclude action " + words[0] + L" (add, remove, test)"};
}

}  // namespace vaultline::cli
