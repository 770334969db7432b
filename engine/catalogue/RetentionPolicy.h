// Which snapshots a keep policy keeps: the newest `last` snapshots, and the
// newest snapshot of each of the newest `daily` days, `weekly` weeks (Monday
// to Sunday) and `monthly` months that have one, by local time. The newest
// snapshot is always kept.
#pragma once

#include <cstdint>
#include <vector>

namespace vaultline {

struct RetentionPolicy {
  // times: the snapshots' times, oldest first. The result has one flag per
  // snapshot, true for those the policy keeps.
  std::vector<bool> Keeps(const std::vector<int32_t>& times) const;

  int last = 0;
  int daily = 0;
  int weekly = 0;
  int monthly = 0;
};

}  // namespace vaultline
