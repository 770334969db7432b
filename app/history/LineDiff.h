// The lines two texts share and where they differ, for showing them side by
// side: a longest common subsequence of lines, after the lines both begin and
// end with are set aside.
#pragma once

#include <QStringList>
#include <vector>

struct DiffRow {
  enum Kind { kSame, kChanged, kRemoved, kAdded };
  Kind kind = kSame;
  int left = -1;  // line index in the left text; -1: none on this side
  int right = -1;
};

// Rows in reading order. Runs of removed and added lines between two shared
// lines are paired as changed rows, the rest of the longer run stays removed
// or added. Beyond `maxCells` (lines of the one differing part times lines of
// the other) the differing parts are paired as they stand, line by line,
// without looking for shared lines inside them.
std::vector<DiffRow> DiffLines(const QStringList& left, const QStringList& right,
                               long long maxCells = 16'000'000);
