// delete SEL: the selection with all its snapshots.
#include "CommandError.h"
#include "Commands.h"
#include "ConsoleStatus.h"
#include "SelectionArguments.h"
#include "StatusScope.h"

namespace vaultline::cli {

int RunDelete(EngineSession& session, const std::wstring& selection) {
  const unsigned index = ResolveSelection(session, selection);
  ConsoleStatus status(session.options().verbosity, false);
  bool deleted = false;
  {
    StatusScope scope(session.engine(), status);
    deleted = session.engine().DeleteProfile(index);
  }
  if (!deleted || status.errors() > 0) {
    throw CommandError{kExitFailure, L"Backup Selection " + std::to_wstring(index) +
                                         L" could not be deleted completely"};
  }
  return kExitSuccess;
}

}  // namespace vaultline::cli
