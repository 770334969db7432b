#include "EngineSession.h"

#include "CommandError.h"
#include "Console.h"
#include "vaultline/FrontEnd.h"
#include "vaultline/Path.h"

namespace vaultline::cli {
namespace {

constexpr int kInterfaceVersion = 1;
constexpr int kReserved = 0;
constexpr int kBuildVersion = 2;

}  // namespace

EngineSession::EngineSession(const GlobalOptions& options) : options_(options) {
  if (!options.drive.empty()) {
    const std::wstring drive = platform::FullPath(ArgumentText(options.drive));
    if (drive.empty() || !platform::IsFolder(drive)) {
      throw CommandError{kExitFailure, ArgumentText(options.drive) + L": no such folder"};
    }
    platform::SetProgramFolderOverride(drive);
  }
  // The engine's diagnostic log would mix with the messages on standard
  // error; it is for diagnosis and shown only with -vv.
  if (options.verbosity < 2) platform::SetDiagnosticSink([](std::wstring_view) {});
  programFolder_ = platform::ProgramFolder();
  const std::wstring deviceRoot = platform::DeviceRootOf(programFolder_);
  engine_ =
      InitializeT(&resources_, deviceRoot.c_str(), kInterfaceVersion, kReserved, kBuildVersion);
  if (engine_ == nullptr) {
    throw CommandError{kExitFailure, L"the backup engine could not be started"};
  }
}

EngineSession::~EngineSession() {
  Cleanup(engine_);
}

std::vector<std::wstring> EngineSession::Take(StringList list) {
  std::vector<std::wstring> items;
  const int count = engine_->GetListCount(list);
  items.reserve(count > 0 ? count : 0);
  for (int i = 0; i < count; ++i) items.emplace_back(engine_->GetListItem(list, i));
  engine_->ReleaseList(list);
  return items;
}

}  // namespace vaultline::cli
