#include "SelectionArguments.h"

#include <algorithm>
#include <vector>

#include "CommandError.h"
#include "ConsoleStatus.h"
#include "StatusScope.h"
#include "vaultline/Path.h"

namespace vaultline::cli {
namespace {

bool IsIndexText(const std::wstring& text) {
  return !text.empty() && text.size() < 10 &&
         std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

}  // namespace

bool IsLiveSelection(EngineSession& session, unsigned selection) {
  // A deleted slot keeps its index but reads as an empty location.
  const auto location = session.Take(session.engine().GetProfileLocation(selection));
  return !location.empty() && !location.front().empty();
}

unsigned ResolveSelection(EngineSession& session, const std::wstring& selection) {
  const auto names = session.Take(session.engine().GetProfileNames());
  if (IsIndexText(selection)) {
    const unsigned index = static_cast<unsigned>(std::stoul(selection));
    if (index < names.size() && IsLiveSelection(session, index)) return index;
  }
  std::vector<unsigned> matches;
  for (unsigned i = 0; i < names.size(); ++i) {
    if (names[i] == selection && IsLiveSelection(session, i)) matches.push_back(i);
  }
  if (matches.size() == 1) return matches.front();
  if (matches.empty()) {
    throw CommandError{kExitFailure, L"no Backup Selection \"" + selection + L"\""};
  }
  throw CommandError{kExitFailure, L"several Backup Selections are named \"" + selection +
                                       L"\"; give its index instead"};
}

void RequireSnapshotsReadable(EngineSession& session, unsigned selection) {
  ConsoleStatus status(session.options().verbosity, false);
  status.SetQuietErrors(true);
  {
    StatusScope scope(session.engine(), status);
    session.engine().RefreshSnapshots(selection);
  }
  if (!status.lastError().empty()) throw CommandError{kExitFailure, status.lastError()};
}

int ResolveSnapshot(EngineSession& session, unsigned selection, const std::wstring& snapshot) {
  const auto snapshots = session.Take(session.engine().GetSnapshots(selection));
  const bool latest = snapshot == L"latest";
  if (!latest && !IsIndexText(snapshot)) {
    throw CommandError{kExitUsage,
                       L"SNAP must be a snapshot index or \"latest\", not \"" + snapshot + L"\""};
  }
  if (snapshots.empty()) {
    // None loaded: perhaps none could be, while another process held them.
    RequireSnapshotsReadable(session, selection);
    throw CommandError{kExitFailure,
                       L"Backup Selection " + std::to_wstring(selection) + L" has no snapshots"};
  }
  if (latest) return static_cast<int>(snapshots.size() - 1);
  const unsigned long index = std::stoul(snapshot);
  if (index >= snapshots.size()) {
    throw CommandError{kExitFailure, L"Backup Selection " + std::to_wstring(selection) +
                                         L" has no snapshot " + snapshot + L" (it has " +
                                         std::to_wstring(snapshots.size()) + L")"};
  }
  return static_cast<int>(index);
}

std::wstring RestoreItemOf(const std::wstring& listedPath) {
  const size_t first = listedPath.find(platform::kSeparator);
  if (first == std::wstring::npos) return {};
  std::wstring item = listedPath.substr(first + 1);
  while (!item.empty() && item.back() == platform::kSeparator) item.pop_back();
  return item;
}

ListedItem FindListedItem(EngineSession& session, unsigned selection, int snapshot,
                          const std::wstring& item) {
  const auto paths = session.Take(session.engine().GetSnapshotContents(selection, snapshot));
  std::wstring bare = item;
  while (bare.size() > 1 && bare.back() == platform::kSeparator) bare.pop_back();
  for (const auto& path : paths) {
    if (path == bare) return {path, false};
    if (path.size() > bare.size() && path.compare(0, bare.size(), bare) == 0 &&
        std::all_of(path.begin() + bare.size(), path.end(),
                    [](wchar_t c) { return c == platform::kSeparator; })) {
      return {path, true};
    }
  }
  if (session.engine().IsSnapshotDamaged(selection, static_cast<unsigned>(snapshot))) {
    throw CommandError{kExitFailure, DamagedSnapshotText(selection, snapshot) + L"; \"" + item +
                                         L"\" cannot be found in it"};
  }
  throw CommandError{kExitFailure, L"snapshot " + std::to_wstring(snapshot) + L" holds no \"" +
                                       item + L"\" (see the paths that ls prints)"};
}

std::wstring DamagedSnapshotText(unsigned selection, int snapshot) {
  return L"snapshot " + std::to_wstring(snapshot) +
         L" is damaged on the drive (run vaultline check " + std::to_wstring(selection) +
         L" for details)";
}

std::wstring SourceOf(EngineSession& session, unsigned selection) {
  const auto contents = session.Take(session.engine().GetProfileContents(selection));
  return contents.empty() ? std::wstring() : contents.front();
}

}  // namespace vaultline::cli
