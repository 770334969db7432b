// rename SEL NAME.
#include "CommandError.h"
#include "Commands.h"
#include "ConsoleStatus.h"
#include "SelectionArguments.h"
#include "StatusScope.h"

namespace vaultline::cli {

int RunRename(EngineSession& session, const std::wstring& selection, const std::wstring& name) {
  if (name.find_first_not_of(L" \t") == std::wstring::npos) {
    throw CommandError{kExitUsage, EnglishText(kTextNameMissing)};
  }
  const unsigned index = ResolveSelection(session, selection);
  ConsoleStatus status(session.options().verbosity, false);
  bool renamed = false;
  {
    StatusScope scope(session.engine(), status);
    renamed = session.engine().RenameProfile(index, name.c_str());
  }
  if (!renamed || status.errors() > 0) {
    throw CommandError{kExitFailure,
                       L"Backup Selection " + std::to_wstring(index) + L" could not be renamed"};
  }
  return kExitSuccess;
}

}  // namespace vaultline::cli
