// One selection's snapshots as the history windows (find, versions, compare)
// read and show them: the engine, the snapshots' times and the source folder
// that stands for "now".
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "vaultline/Vaultline.h"

struct HistorySource {
  IVaultline* engine = nullptr;
  unsigned profile = 0;
  std::vector<std::wstring> snapshots;  // the engine's texts, oldest first
  std::wstring source;                  // the selection's folder or file on this computer

  // The selection `profile` as the engine lists it now.
  static HistorySource Of(IVaultline* engine, unsigned profile);

  // The time of snapshot `index` as the lists show it.
  QString SnapshotText(unsigned index) const;
  // The snapshots that hold a version: one time, or the first and the last
  // with their count.
  QString SnapshotsText(const std::vector<unsigned>& indices) const;
  // Where the item at `treePath` (the source's name first) is on this computer.
  std::wstring NowPath(const std::wstring& treePath) const;
};

// The texts the engine gave for records it could not read, one a line,
// after the heading that says they are left out; empty for none.
QString ProblemsText(const std::vector<std::wstring>& problems);
