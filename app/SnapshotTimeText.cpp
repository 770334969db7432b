#include "SnapshotTimeText.h"

#include <QDateTime>

#include "DesktopServices.h"
#include "ResourceModule.h"

QLocale DisplayLocale() {
  const uint32_t language = ResourceModule::LanguageInUse();
  if (language == 0) return QLocale::system();
  const std::string name = desktop::LocaleNameFromId(language);
  return name.empty() ? QLocale::system() : QLocale(QString::fromStdString(name));
}

QDateTime StoredTime(const QString& stored) {
  // ctime pads the day with a space and ends with a line feed.
  return QLocale::c().toDateTime(stored.simplified(), QStringLiteral("ddd MMM d HH:mm:ss yyyy"));
}

QString SnapshotStamp(const QString& stored) {
  const QDateTime time = StoredTime(stored);
  return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH.mm.ss")) : stored;
}

QString SnapshotTimeText(const QString& stored, const QLocale& locale) {
  const QDateTime time = StoredTime(stored);
  return time.isValid() ? DateTimeText(time, locale) : stored;
}

QString DateTimeText(const QDateTime& time, const QLocale& locale) {
  QString dateFormat = locale.dateFormat(QLocale::ShortFormat);
  if (!dateFormat.contains(QStringLiteral("yyyy"))) {
    dateFormat.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
  }
  QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
  if (!timeFormat.contains(u's')) timeFormat.replace(QStringLiteral("mm"), QStringLiteral("mm:ss"));
  return locale.toString(time.date(), dateFormat) + u' ' + locale.toString(time.time(), timeFormat);
}
