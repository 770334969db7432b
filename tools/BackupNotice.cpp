#include "BackupNotice.h"

#include "ExitCode.h"
#include "linuxdesktop/DesktopNotice.h"
#include "vaultline/Text.h"

namespace vaultline::cli {

void NotifyBackupOutcome(int exitCode, const std::vector<std::wstring>& lines) {
  const char* summary = exitCode == kExitSuccess   ? "Backup finished"
                        : exitCode == kExitPartial ? "Backup incomplete: files were left out"
                                                   : "Backup failed";
  std::string body;
  for (const std::wstring& line : lines) {
    if (!body.empty()) body += '\n';
    body += platform::ToDisplayUtf8(line);
  }
  linuxdesktop::ShowDesktopNotice("Brindle+", summary, body);
}

}  // namespace vaultline::cli
