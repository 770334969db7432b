#include "history/LineDiff.h"

#include <algorithm>
#include <cstdint>

namespace {

// Pairs the removed lines [leftFrom, leftTo) with the added [rightFrom, rightTo).
void AppendBlock(std::vector<DiffRow>* rows, int leftFrom, int leftTo, int rightFrom, int rightTo) {
  while (leftFrom < leftTo || rightFrom < rightTo) {
    DiffRow row;
    if (leftFrom < leftTo) row.left = leftFrom++;
    if (rightFrom < rightTo) row.right = rightFrom++;
    row.kind = row.left < 0    ? DiffRow::kAdded
               : row.right < 0 ? DiffRow::kRemoved
                               : DiffRow::kChanged;
    rows->push_back(row);
  }
}

}  // namespace

std::vector<DiffRow> DiffLines(const QStringList& left, const QStringList& right,
                               long long maxCells) {
  const int leftCount = static_cast<int>(left.size());
  const int rightCount = static_cast<int>(right.size());
  int head = 0;
  while (head < leftCount && head < rightCount && left[head] == right[head]) ++head;
  int tail = 0;
  while (tail < leftCount - head && tail < rightCount - head &&
         left[leftCount - 1 - tail] == right[rightCount - 1 - tail]) {
    ++tail;
  }
  std::vector<DiffRow> rows;
  for (int i = 0; i < head; ++i) rows.push_back({DiffRow::kSame, i, i});

  const int n = leftCount - head - tail;
  const int m = rightCount - head - tail;
  if (static_cast<long long>(n) * m > maxCells) {
    AppendBlock(&rows, head, head + n, head, head + m);
  } else if (n > 0 || m > 0) {
    // lengths[i][j]: the longest common run of left[i..] and right[j..].
    const size_t width = static_cast<size_t>(m) + 1;
    std::vector<uint32_t> lengths((static_cast<size_t>(n) + 1) * width, 0);
    auto at = [&](int i, int j) -> uint32_t& {
      return lengths[static_cast<size_t>(i) * width + static_cast<size_t>(j)];
    };
    for (int i = n - 1; i >= 0; --i) {
      for (int j = m - 1; j >= 0; --j) {
        at(i, j) = left[head + i] == right[head + j] ? at(i + 1, j + 1) + 1
                                                     : std::max(at(i + 1, j), at(i, j + 1));
      }
    }
    int i = 0;
    int j = 0;
    int blockLeft = 0;
    int blockRight = 0;
    while (i < n || j < m) {
      if (i < n && j < m && left[head + i] == right[head + j]) {
        AppendBlock(&rows, head + blockLeft, head + i, head + blockRight, head + j);
        rows.push_back({DiffRow::kSame, head + i, head + j});
        blockLeft = ++i;
        blockRight = ++j;
      } else if (j < m && (i == n || at(i, j + 1) >= at(i + 1, j))) {
        ++j;
      } else {
        ++i;
      }
    }
    AppendBlock(&rows, head + blockLeft, head + n, head + blockRight, head + m);
  }
  for (int k = 0; k < tail; ++k) {
    rows.push_back({DiffRow::kSame, leftCount - tail + k, rightCount - tail + k});
  }
  return rows;
}
