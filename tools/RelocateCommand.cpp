// relocate SEL PATH: the selection's source was moved to PATH. Its snapshots
// stay as they were taken; the next backup takes PATH.
#include "CommandError.h"
#include "Commands.h"
#include "JsonText.h"
#include "SelectionArguments.h"
#include "SourceArgument.h"
#include "vaultline/ProfileSource.h"

namespace vaultline::cli {

int RunRelocate(EngineSession& session, const std::wstring& selection, const std::wstring& place) {
  const unsigned index = ResolveSelection(session, selection);
  const std::wstring path = CheckedSourcePath(session, place);
  if (SetProfileSource(&session.engine(), index, path.c_str()) != kSourceChanged) {
    throw CommandError{kExitFailure, L"the new source of Backup Selection " +
                                         std::to_wstring(index) + L" could not be saved"};
  }
  if (session.options().json) {
    nlohmann::json document = {{"selection", index}};
    PutText(document, "source", path);
    PrintJson(document);
  }
  return kExitSuccess;
}

}  // namespace vaultline::cli
