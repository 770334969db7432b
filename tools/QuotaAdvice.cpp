#include "QuotaAdvice.h"

#include <cstdio>

#include "Console.h"
#include "vaultline/Path.h"

namespace vaultline::cli {
namespace {

constexpr int64_t kMiB = int64_t{1} << 20;

// SEL as a shell reads it back: plain names as they are, others quoted.
std::wstring ShellWord(const std::wstring& word) {
  const bool plain = !word.empty() && word.find_first_not_of(
                                          L"abcdefghijklmnopqrstuvwxyz"
                                          L"ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                          L"0123456789_.,:/+=-@%") == std::wstring::npos;
  if (plain) return word;
  std::wstring quoted = L"'";
  for (wchar_t c : word) quoted += c == L'\'' ? std::wstring(L"'\\''") : std::wstring(1, c);
  return quoted + L"'";
}

std::wstring ForgetCommand(const std::wstring& selection) {
  return L"vaultline forget " + ShellWord(selection) + L" SNAP...";
}

}  // namespace

std::wstring SizeText(int64_t bytes) {
  char mib[32];
  std::snprintf(mib, sizeof mib, "%.1f", static_cast<double>(bytes) / static_cast<double>(kMiB));
  return std::to_wstring(bytes) + L" bytes (" + ArgumentText(mib) + L" MiB)";
}

void PrintQuotaInForce(IVaultline& engine) {
  const int64_t quota = engine.GetMaxBackupSize();
  if (quota > 0) {
    PrintNote(L"the backups on this drive may take " + SizeText(quota) +
              L" in all (max-backup-size); change it with: vaultline config max-backup-size "
              L"BYTES (0: no quota)");
  } else {
    PrintNote(
        L"the backups on this drive have no quota (max-backup-size 0): the drive's free space is "
        L"the limit; set one with: vaultline config max-backup-size BYTES");
  }
}

void PrintWayOutOfFullQuota(EngineSession& session, const std::wstring& selection, int64_t needed,
                            bool byQuota) {
  IVaultline& engine = session.engine();
  const int64_t quota = engine.GetMaxBackupSize();
  const int64_t used = engine.GetStorageUsed();
  uint64_t freeBytes = 0;
  uint64_t totalBytes = 0;
  int error = 0;
  const bool known = platform::DiskSpace(session.programFolder(), &freeBytes, &totalBytes, &error);
  if (known && freeBytes < static_cast<uint64_t>(needed)) {
    PrintNote(L"the backup needs " + SizeText(needed) + L" and the drive has " +
              SizeText(static_cast<int64_t>(freeBytes)) +
              L" free; make room by forgetting old snapshots: " + ForgetCommand(selection) +
              L", or use a larger drive");
    return;
  }
  if (!byQuota || quota <= 0) return;
  // Enough for this backup on top of what is stored, in whole MiB.
  const int64_t enough = (used + needed + kMiB - 1) / kMiB * kMiB;
  PrintNote(L"the backup needs " + SizeText(needed) + L"; the quota is " + SizeText(quota) +
            L", of which the storage holds " + SizeText(used) +
            L". Raise it with: vaultline config max-backup-size " + std::to_wstring(enough) +
            L" (0: no quota), or make room by forgetting old snapshots: " +
            ForgetCommand(selection));
}

}  // namespace vaultline::cli
