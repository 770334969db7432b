#include "BackupAge.h"

#include "AppStrings.h"
#include "SnapshotTimeText.h"
#include "resources/ResourceIds.h"
#include "vaultline/DriveSettings.h"

using namespace marrowby;

namespace {

std::function<QDateTime()>& Clock() {
  static std::function<QDateTime()> clock;
  return clock;
}

// The singular text for one unit, the plural for more.
QString CountText(int64_t count, unsigned one, unsigned many) {
  return count == 1 ? LoadString(one) : FormatString(many, static_cast<int>(count));
}

}  // namespace

int ReminderDays(IVaultline* engine) {
  const int64_t days = GetDriveSetting(engine, kReminderDaysKey, kDefaultReminderDays);
  return days < 0 || days > 3650 ? kDefaultReminderDays : static_cast<int>(days);
}

QDateTime ReminderNow() {
  return Clock() ? Clock()() : QDateTime::currentDateTime();
}

void SetReminderClock(std::function<QDateTime()> clock) {
  Clock() = std::move(clock);
}

QDateTime LastBackupTime(const std::vector<std::wstring>& snapshotTexts) {
  // A damaged entry reads as no time; the one before it may still tell.
  for (auto it = snapshotTexts.rbegin(); it != snapshotTexts.rend(); ++it) {
    const QDateTime time = StoredTime(ToQString(*it));
    if (time.isValid()) return time;
  }
  return QDateTime();
}

QString BackupAgeText(const QDateTime& last, const QDateTime& now) {
  if (!last.isValid()) return LoadString(ids::kNeverBackedUp);
  // A clock set back shows a backup of the future as just made.
  const int64_t seconds = std::max<int64_t>(last.secsTo(now), 0);
  if (seconds < 60) return LoadString(ids::kBackedUpJustNow);
  if (seconds < 3600) return CountText(seconds / 60, ids::kOneMinuteAgo, ids::kMinutesAgo);
  if (seconds < 86400) return CountText(seconds / 3600, ids::kOneHourAgo, ids::kHoursAgo);
  return CountText(seconds / 86400, ids::kOneDayAgo, ids::kDaysAgo);
}

bool IsBackupOverdue(const QDateTime& last, const QDateTime& now, int days) {
  if (days <= 0) return false;
  return !last.isValid() || last.secsTo(now) > int64_t{days} * 86400;
}
