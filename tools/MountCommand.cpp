// mount SEL DIR: the selection's snapshots as read-only folders at DIR until
// it is unmounted (fusermount3 -u DIR) or the program is stopped (Ctrl-C).
#include <cstdio>

#include "CommandError.h"
#include "Commands.h"
#include "Console.h"
#include "FuseMount.h"
#include "SelectionArguments.h"
#include "SnapshotFileSystem.h"
#include "platform/Text.h"
#include "vaultline/SnapshotFiles.h"

namespace vaultline::cli {

namespace {

struct SnapshotFilesCloser {
  void operator()(ISnapshotFiles* files) const { CloseSnapshotFiles(files); }
};

}  // namespace

int RunMount(EngineSession& session, const std::wstring& selection, const std::wstring& folder) {
  const unsigned index = ResolveSelection(session, selection);
  int failure = kSnapshotFilesOpened;
  std::unique_ptr<ISnapshotFiles, SnapshotFilesCloser> files(
      OpenSnapshotFiles(&session.engine(), index, &failure));
  if (failure == kSnapshotFilesInUse) {
    const std::wstring name = session.Take(session.engine().GetProfileNames())[index];
    throw CommandError{kExitFailure, L"The Backup Selection \"" + name +
                                         L"\" is in use by another process (a backup?); "
                                         L"mount it when that has ended"};
  }
  if (files == nullptr) {
    throw CommandError{kExitFailure, L"The snapshots of selection " + std::to_wstring(index) +
                                         L" cannot be read from the drive"};
  }
  SnapshotFileSystem fileSystem(*files, [](const std::wstring& text) { PrintWarning(text); });
  std::wstring error;
  const bool served = ServeMount(
      fileSystem, platform::EncodeName(folder),
      [&] {
        PrintLine(L"mounted " + folder);
        std::fflush(stdout);
      },
      &error);
  if (!served) throw CommandError{kExitFailure, error};
  return kExitSuccess;
}

}  // namespace vaultline::cli
