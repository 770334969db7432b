// The worker of Back Up All: every selection in turn in one progress window.
// A failure ends only its own backup; Cancel ends the series. The window's
// summary names each selection's outcome.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "progress/CBackupProgressDlg.h"
#include "vaultline/Vaultline.h"

struct BackupAllJob {
  struct Item {
    unsigned profile = 0;
    QString name;
  };
  IVaultline* engine = nullptr;
  CBackupProgressDlg* window = nullptr;
  std::vector<Item> items;
  // What the keep rules did after each backup (read after the worker ended).
  QStringList* keepRulesNotes = nullptr;
};

void RunBackupAllRoutine(const BackupAllJob& job);
