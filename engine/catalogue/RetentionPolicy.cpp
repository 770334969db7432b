#include "catalogue/RetentionPolicy.h"

#include <unordered_set>

#include "platform/Clock.h"

namespace vaultline {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

struct Periods {
  int64_t day = 0;
  int64_t week = 0;  // the day of its Monday
  int64_t month = 0;
};

Periods PeriodsOf(int32_t time) {
  platform::LocalDateTime local{};
  if (!platform::ToLocalTime(time, &local)) {
    // Unconvertible times still fall into periods of their own (UTC).
    const int64_t day = time / 86400;
    return {day, day - (day + 3) % 7, day / 30};
  }
  const int64_t day = DaysFromCivil(local.year, local.month, local.day);
  return {day, day - (local.dayOfWeek + 6) % 7, int64_t{local.year} * 12 + local.month};
}

// Keeps the newest snapshot of each of the newest `count` periods.
class PeriodKeeper {
 public:
  explicit PeriodKeeper(int count) : left_(count) {}
  // Called newest first: the first snapshot met in a period is its newest.
  bool Keeps(int64_t period) {
    if (left_ <= 0 || !seen_.insert(period).second) return false;
    --left_;
    return true;
  }

 private:
  int left_;
  std::unordered_set<int64_t> seen_;
};

}  // namespace

std::vector<bool> RetentionPolicy::Keeps(const std::vector<int32_t>& times) const {
  std::vector<bool> kept(times.size(), false);
  PeriodKeeper days(daily), weeks(weekly), months(monthly);
  int lastLeft = last;
  for (size_t i = times.size(); i-- > 0;) {
    const Periods periods = PeriodsOf(times[i]);
    // Every keeper sees every snapshot, so that each period's newest counts.
    const bool byDay = days.Keeps(periods.day);
    const bool byWeek = weeks.Keeps(periods.week);
    const bool byMonth = months.Keeps(periods.month);
    kept[i] = byDay || byWeek || byMonth || lastLeft > 0 || i + 1 == times.size();
    if (lastLeft > 0) --lastLeft;
  }
  return kept;
}

}  // namespace vaultline
