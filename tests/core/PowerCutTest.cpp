// Every cut point of the scenario's recorded drive operations, with the
// states a power loss there can leave (the plain prefix, and the prefix less
// what was not yet synced: dropped, torn or reordered writes, lost names),
// opened by the real engine. Each state must list every snapshot published
// before the cut, restore every listed snapshot whole, take the next backup
// and still name every selection in config.ini.
#include <gtest/gtest.h>

#include <chrono>
#include <unordered_set>

#include "FaultScenario.h"
#include "PowerCutStates.h"
#include "platform/Text.h"

namespace vaultline::testing {
namespace {

class PowerCut : public FaultScenario {
 protected:
  struct Tally {
    size_t cuts = 0, states = 0, distinct = 0, lost = 0, damagedListed = 0, failedBackups = 0,
           missingSelections = 0;
  };

  // The cut after which backup step `step` is published: every operation
  // its snapshot entry depends on is durable, the names of the store files
  // as well (they may have been created before the step, when the selection
  // was first opened; sidecars are written under a new name first).
  size_t PublishedAt(const PowerCutStates& states, const Step& step) const {
    const auto& operations = states.Operations();
    size_t published = 0;
    for (size_t i = 0; i < step.end; ++i) {
      const RecordedOperation& operation = operations[i];
      const bool entry =
          operation.path.ends_with("file.snp") && (operation.kind == RecordedOperation::kWrite ||
                                                   operation.kind == RecordedOperation::kLink ||
                                                   operation.kind == RecordedOperation::kRename);
      const bool storeName =
          operation.kind == RecordedOperation::kLink && !operation.path.ends_with(".new");
      if (storeName || (i >= step.begin && (entry || operation.kind == RecordedOperation::kMkdir)))
        published = std::max(published, states.DurableAt(i));
    }
    return published == PowerCutStates::kNever ? published : published + 1;
  }

  void WriteState(const DriveState& state) {
    fs::remove_all(drive_);
    fs::create_directories(drive_);
    for (const auto& [path, contents] : state) {
      if (contents == kFolder) {
        fs::create_directories(drive_ / path);
      } else {
        WriteBytes(drive_ / path, contents);
      }
    }
  }

  static bool ConfigNames(const fs::path& config, const std::wstring& name) {
    const std::string bytes = ReadBytes(config);
    const std::wstring quoted = L"\"" + name + L"\";";
    std::string wide;
    for (wchar_t c : quoted) wide += {static_cast<char>(c), '\0'};
    return bytes.find(wide) != std::string::npos;
  }

  void Check(const DriveState& state, const std::vector<int>& required,
             const std::vector<std::wstring>& selections, Tally* tally, const std::string& where) {
    WriteState(state);
    auto engine = StartEngine();
    const std::vector<int> found = ListedBackups(*engine);
    const int listed = static_cast<int>(found.size());
    for (int i = 0; i < listed; ++i) {
      if (found[i] < 0) {
        ++tally->damagedListed;
        ADD_FAILURE() << where << ": listed snapshot " << i << " does not restore whole";
      }
    }
    for (int backup : required) {
      if (std::find(found.begin(), found.end(), backup) == found.end()) {
        ++tally->lost;
        ADD_FAILURE() << where << ": snapshot of backup " << backup + 1 << " lost";
      }
    }
    const bool backedUp = engine->BackUp(selection_);
    const int after = Listed(*engine);
    const std::optional<Image> newest = after > 0 ? RestoreOf(*engine, after - 1) : std::nullopt;
    if (!backedUp || after != listed + 1 || !newest || *newest != images_.back()) {
      ++tally->failedBackups;
      ADD_FAILURE() << where << ": the next backup failed or is not listed whole (" << backedUp
                    << ", " << listed << " -> " << after << ", "
                    << (newest ? std::to_string(BackupOf(*newest)) : "not restored") << ")";
    }
    for (const std::wstring& name : selections) {
      if (!ConfigNames(Storage() / "config.ini", name)) {
        ++tally->missingSelections;
        ADD_FAILURE() << where << ": config.ini lost " << platform::ToDisplayUtf8(name);
      }
    }
  }
};

TEST_F(PowerCut, EveryCutPointKeepsWhatWasPublished) {
  const auto started = std::chrono::steady_clock::now();
  DriveRecorder recorder(drive_);
  RecordingStatus status;
  Run(recorder, &status);
  for (const Step& step : steps_) ASSERT_TRUE(step.succeeded) << step.name;
  const PowerCutStates states(recorder.Base(), recorder.Operations());

  std::vector<std::pair<size_t, int>> publications;  // cut -> backup
  int backup = 0;
  for (const Step& step : steps_) {
    if (step.name.starts_with("backup"))
      publications.push_back({PublishedAt(states, step), backup++});
    std::cout << "DEBUG " << step.name << " " << step.begin << "-" << step.end << " at "
              << (long)PublishedAt(states, step) << "\n";
  }
  const Step& forget = steps_[4];
  const Step& configuration = steps_[2];

  Tally tally;
  std::unordered_set<size_t> seen;
  for (size_t cut = 0; cut < states.Cuts(); ++cut) {
    std::vector<int> required;
    for (const auto& [at, index] : publications) {
      // The forgotten snapshot may go once its forget has begun.
      if (at <= cut && !(index == 0 && cut > forget.begin)) required.push_back(index);
    }
    std::vector<std::wstring> selections = {L"sel"};
    if (cut >= configuration.end) selections.push_back(L"second");
    ++tally.cuts;
    int variant = -1;
    for (const DriveState& state : states.StatesAt(cut, 6)) {
      ++variant;
      ++tally.states;
      size_t hash = 0;
      for (const auto& [path, contents] : state)
        hash = hash * 31 + std::hash<std::string>()(path + '\0' + contents);
      if (!seen.insert(hash).second) continue;
      ++tally.distinct;
      Check(state, required, selections, &tally,
            "cut " + std::to_string(cut) + " variant " + std::to_string(variant));
    }
  }
  const auto seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::cout << "power cut replay: " << recorder.Size() << " operations, " << tally.cuts
            << " cut points, " << tally.states << " states (" << tally.distinct
            << " distinct, checked), " << tally.lost << " lost, " << tally.damagedListed
            << " damaged listed, " << tally.failedBackups << " failed next backups, "
            << tally.missingSelections << " missing selections, 0 crashes, " << seconds << " s\n";
  EXPECT_EQ(tally.lost + tally.damagedListed + tally.failedBackups + tally.missingSelections, 0u);
}

}  // namespace
}  // namespace vaultline::testing
