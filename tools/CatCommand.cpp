// cat SEL SNAP ITEM: one stored file on standard output, restored through a
// private temporary folder as the desktop's View File does.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "CommandError.h"
#include "Commands.h"
#include "Console.h"
#include "ConsoleStatus.h"
#include "SelectionArguments.h"
#include "StatusScope.h"
#include "TemporaryFolder.h"
#include "vaultline/Path.h"
#include "vaultline/Text.h"

namespace vaultline::cli {

int RunCat(EngineSession& session, const std::wstring& selection, const std::wstring& snapshot,
           const std::wstring& item) {
  IVaultline& engine = session.engine();
  const unsigned index = ResolveSelection(session, selection);
  const int snap = ResolveSnapshot(session, index, snapshot);
  const ListedItem listed = FindListedItem(session, index, snap, item);
  if (listed.isFolder) throw CommandError{kExitFailure, item + L" is a folder, not a file"};
  TemporaryFolder folder;
  ConsoleStatus status(session.options().verbosity, false);
  bool ran = false;
  {
    StatusScope scope(engine, status);
    ran = engine.Restore(index, snap, RestoreItemOf(listed.path).c_str(), folder.wide().c_str());
  }
  // A file is restored under its own name, without the folders above it.
  const std::wstring name = listed.path.substr(listed.path.rfind(platform::kSeparator) + 1);
  const std::filesystem::path restored = folder.path() / platform::EncodeName(name);
  std::error_code error;
  const std::filesystem::file_status kind = std::filesystem::symlink_status(restored, error);
  if (!ran || status.errors() > 0 || error) {
    throw CommandError{kExitFailure, item + L" could not be restored"};
  }
  // A link is shown by its target; what other special files hold is never
  // read (a fifo would wait for a writer).
  if (std::filesystem::is_symlink(kind)) {
    PrintBytes(std::filesystem::read_symlink(restored, error).native());
    std::fflush(stdout);
    return kExitSuccess;
  }
  if (!std::filesystem::is_regular_file(kind)) {
    throw CommandError{kExitFailure, item + L" is a special file, not a file"};
  }
  std::ifstream file(restored, std::ios::binary);
  if (!file) throw CommandError{kExitFailure, item + L" could not be restored"};
  // An open file reads to its end after its name is gone, so a reader that
  // stops early (a closed pipe ends the program) leaves no copy behind.
  folder.Remove();
  std::vector<char> buffer(1 << 16);
  while (file) {
    file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (file.gcount() > 0) {
      PrintBytes(std::string_view(buffer.data(), static_cast<size_t>(file.gcount())));
    }
  }
  std::fflush(stdout);
  if (!file.eof()) throw CommandError{kExitFailure, item + L" could not be read back"};
  return kExitSuccess;
}

}  // namespace vaultline::cli
