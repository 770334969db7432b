// snapshots SEL: each snapshot, oldest first, with what it holds and what its
// backup stored and left out; a damaged one is marked.
#include "Commands.h"
#include "Console.h"
#include "JsonText.h"
#include "ProgressLine.h"
#include "SelectionArguments.h"
#include "vaultline/Clock.h"
#include "vaultline/SnapshotFigures.h"

namespace vaultline::cli {

namespace {

constexpr const char* kSkippedKinds[] = {"oversize", "pathTooLong", "unreadable", "unreadFolders"};
constexpr const wchar_t* kSkippedTexts[] = {L"over the size limit", L"path too long", L"unreadable",
                                            L"unreadable folders"};

nlohmann::json FiguresJson(const SnapshotFigureFields& figures) {
  nlohmann::json entry = {{"time", nullptr},
                          {"files", OptionalNumber(figures.files)},
                          {"bytes", OptionalNumber(figures.bytes)},
                          {"newBytes", OptionalNumber(figures.newBytes)},
                          {"changedFiles", OptionalNumber(figures.changedFiles)},
                          {"skipped", OptionalNumber(figures.SkippedTotal())},
                          {"skippedKinds", nullptr}};
  if (figures.time)
    PutText(entry, "time", platform::Iso8601Text(static_cast<int32_t>(*figures.time)));
  if (figures.SkippedTotal()) {
    nlohmann::json kinds = nlohmann::json::object();
    for (size_t k = 0; k < figures.skipped.size(); ++k)
      kinds[kSkippedKinds[k]] = *figures.skipped[k];
    entry["skippedKinds"] = std::move(kinds);
  }
  return entry;
}

// "42 files  1.5 MiB  12.0 KiB new  2 skipped (2 unreadable)"; what is not
// known is said so.
std::wstring FiguresLine(const SnapshotFigureFields& figures) {
  if (!figures.files) return L"figures unknown";
  std::wstring line = std::to_wstring(*figures.files) + L" files\t" + ByteText(*figures.bytes);
  line += figures.newBytes ? L"\t" + ByteText(*figures.newBytes) + L" new" : L"\tnew data unknown";
  const std::optional<int64_t> skipped = figures.SkippedTotal();
  if (!skipped) return line + L"\tskipped unknown";
  line += L"\t" + std::to_wstring(*skipped) + L" skipped";
  std::wstring kinds;
  for (size_t k = 0; k < figures.skipped.size(); ++k) {
    if (*figures.skipped[k] == 0) continue;
    kinds += (kinds.empty() ? L"" : L", ") + std::to_wstring(*figures.skipped[k]) + L" " +
             kSkippedTexts[k];
  }
  return kinds.empty() ? line : line + L" (" + kinds + L")";
}

}  // namespace

int RunSnapshots(EngineSession& session, const std::wstring& selection) {
  const unsigned index = ResolveSelection(session, selection);
  const auto snapshots = session.Take(session.engine().GetSnapshots(index));
  if (snapshots.empty()) RequireSnapshotsReadable(session, index);
  // Null while another process holds the selection: the figures are unknown.
  const auto figures = session.Take(GetSnapshotFigures(&session.engine(), index));
  nlohmann::json list = nlohmann::json::array();
  for (size_t i = 0; i < snapshots.size(); ++i) {
    // A damaged snapshot keeps its place, so that later indices never move.
    const bool damaged = session.engine().IsSnapshotDamaged(index, static_cast<unsigned>(i));
    const SnapshotFigureFields fields =
        SnapshotFigureFields::Parse(i < figures.size() && !damaged ? figures[i].c_str() : L"");
    if (session.options().json) {
      nlohmann::json entry = FiguresJson(fields);
      entry["index"] = i;
      entry["damaged"] = damaged;
      entry["text"] = nullptr;
      if (!damaged) PutText(entry, "text", snapshots[i]);
      list.push_back(std::move(entry));
    } else if (damaged) {
      PrintLine(std::to_wstring(i) + L"\tDAMAGED (run vaultline check for details)");
    } else {
      PrintLine(std::to_wstring(i) + L"\t" + snapshots[i] + L"\t" + FiguresLine(fields));
    }
  }
  if (session.options().json) PrintJson({{"selection", index}, {"snapshots", list}});
  return kExitSuccess;
}

}  // namespace vaultline::cli
