// Snapshot names are the engine's ctime texts ("Tue Dec  8 08:20:52 2026").
// The lists show them in the user's date and time format; the stored text is
// what the program hands back to the engine and compares.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// The local time a stored text names; invalid when it is no ctime text.
QDateTime StoredTime(const QString& stored);
// The locale of the texts in use: the language library's, else the user's.
QLocale DisplayLocale();
// `stored` in `locale`'s numeric date with four-digit year and its time with
// seconds (two snapshots a few seconds apart must not look alike); `stored`
// itself when it is no ctime text.
QString SnapshotTimeText(const QString& stored, const QLocale& locale = DisplayLocale());
// `time` in the same form: `locale`'s numeric date with four-digit year and
// its time with seconds.
QString DateTimeText(const QDateTime& time, const QLocale& locale = DisplayLocale());
// `stored` as part of a folder name, sortable and without colons
// ("2026-12-08 08.20.52"); `stored` itself when it is no ctime text.
QString SnapshotStamp(const QString& stored);
