// mount SEL DIR: the selection's snapshots as read-only folders at DIR until
// it is unmounted (fusermount3 -u DIR) or the program is stopped (Ctrl-C).
#include <cstdio>

#include "CommandError.h"
#include "Commands.h"
#include "Console.h"
#include "FuseMount.h"
#include "JsonText.h"
#include "SelectionArguments.h"
#include "SnapshotFileSystem.h"
#include "vaultline/SnapshotFiles.h"
#include "vaultline/Text.h"

namespace vaultline::cli {

namespace {

struct SnapshotFilesCloser {
  void operator()(ISnapshotFiles* files) const { CloseSnapshotFiles(files); }
};

// Once the folder shows the snapshots: "mounted DIR", or a document that
// names the folder of each snapshot.
void AnnounceMount(const SnapshotFileSystem& fileSystem, const std::wstring& folder, bool json) {
  if (!json) {
    PrintLine(L"mounted " + folder);
  } else {
    nlohmann::json document;
    PutText(document, "mounted", folder);
    document["snapshots"] = nlohmann::json::array();
    for (const SnapshotFileSystem::TopFolder& top : fileSystem.TopFolders()) {
      nlohmann::json entry;
      entry["index"] = top.snapshot;
      PutText(entry, "folder", platform::DecodeName(top.name));
      if (top.name == SnapshotFileSystem::kLatest) {
        document["latest"] = entry;
      } else {
        document["snapshots"].push_back(entry);
      }
    }
    PrintJson(document);
  }
  std::fflush(stdout);
}

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
      [&] { AnnounceMount(fileSystem, folder, session.options().json); }, &error);
  if (!served) throw CommandError{kExitFailure, error};
  return kExitSuccess;
}

}  // namespace vaultline::cli
