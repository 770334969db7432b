// Safely removing the drive: the desktop's disk service (UDisks2, on the
// system bus) unmounts its file system and powers the drive off. The program
// usually runs from the drive it would remove, which keeps the file system
// busy while it runs: so the service is asked first whether the drive can be
// removed at all, then the program closes, and a small helper started from
// the computer's own programs (sh and gdbus) waits for it to end, removes the
// drive and tells the outcome as a desktop notification.
#pragma once

#include <QString>

struct DriveRemovalPlan {
  QString block;  // the file system's object path in UDisks2
  QString drive;  // the drive's object path
};

enum class RemovalCheck { kReady, kNoService, kNotFound, kNotRemovable };

// Asks UDisks2 for the file system of UUID `uuid` and its drive.
RemovalCheck PlanDriveRemoval(const QString& uuid, DriveRemovalPlan* plan);

// Texts the helper shows as notifications, in the program's language.
struct DriveRemovalTexts {
  QString done;
  QString failed;  // takes the service's error as %s
  QString busy;
};

// The helper's sh script: $1 the process to wait for, $2 the file system's
// object path, $3 the drive's, $4 to $6 the texts of DriveRemovalTexts.
extern const char* const kDriveRemovalScript;

// Starts the helper for this process, detached, in "/" with no descriptor
// of the program's; false when it could not be started.
bool StartDriveRemovalHelper(const DriveRemovalPlan& plan, const DriveRemovalTexts& texts);
