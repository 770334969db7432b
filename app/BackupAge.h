// How long ago a Backup Selection was last backed up, as the selection list
// and the status bar tell it, and whether that is past the reminder age.
#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "vaultline/Vaultline.h"

// config.ini key of the reminder age in days; 0 turns the reminders off.
inline constexpr const wchar_t* kReminderDaysKey = L"ReminderDays";
inline constexpr int kDefaultReminderDays = 7;
int ReminderDays(IVaultline* engine);

// The clock the reminders measure against: the system's, or one a test sets
// (an empty function restores the system's).
QDateTime ReminderNow();
void SetReminderClock(std::function<QDateTime()> clock);

// The newest snapshot time among the engine's snapshot texts (oldest first);
// invalid when none can be read.
QDateTime LastBackupTime(const std::vector<std::wstring>& snapshotTexts);

// "3 days ago", "5 minutes ago", "never backed up".
QString BackupAgeText(const QDateTime& last, const QDateTime& now);
// Past the reminder age of `days` (0: never); a selection never backed up is.
bool IsBackupOverdue(const QDateTime& last, const QDateTime& now, int days);
