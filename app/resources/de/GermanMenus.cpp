// The German menus, item for item as the program's own.
#include "resources/ResourceIds.h"
#include "resources/de/GermanTables.h"

namespace marrowby {

const MarrowbyMenuItem kGermanMenuItems[] = {
    {menu::kMain, 0, 0, L"&Datei"},
    {menu::kMain, 1, cmd::kNewSelection, L"&Neue Sicherungsauswahl...\tStrg+N"},
    {menu::kMain, 1, cmd::kRenameSelection, L"Sicherungsauswahl &umbenennen...\tStrg+R"},
    {menu::kMain, 1, cmd::kDeleteSelection, L"Sicherungsauswahl &löschen\tStrg+D"},
    {menu::kMain, 1, 0, nullptr},
    {menu::kMain, 1, cmd::kPreferences, L"&Einstellungen...\tStrg+P"},
    {menu::kMain, 1, cmd::kProperties, L"E&igenschaften..."},
    {menu::kMain, 1, cmd::kSafelyRemove, L"Laufwerk &sicher entfernen"},
    {menu::kMain, 1, 0, nullptr},
    {menu::kMain, 1, cmd::kExit, L"&Beenden"},
    {menu::kMain, 0, 0, L"&Aktionen"},
    {menu::kMain, 1, cmd::kBackup, L"&Sichern\tStrg+B"},
    {menu::kMain, 1, cmd::kBackupAll, L"A&lle sichern\tStrg+Umschalt+B"},
    {menu::kMain, 1, cmd::kRestore, L"&Wiederherstellen...\tStrg+E"},
    {menu::kMain, 1, cmd::kViewFile, L"Datei &anzeigen\tStrg+V"},
    {menu::kMain, 1, cmd::kFileVersions, L"Versi&onen dieser Datei…"},
    {menu::kMain, 1, cmd::kCompareWithNow, L"Mit &jetzt vergleichen"},
    {menu::kMain, 1, cmd::kCompareWithSnapshot, L"Mit Snapshot &vergleichen…"},
    {menu::kMain, 1, cmd::kFindInSnapshots, L"In allen Snapshots s&uchen\tStrg+Umschalt+F"},
    {menu::kMain, 1, cmd::kOpenInFileManager, L"Im &Dateimanager öffnen"},
    {menu::kMain, 1, cmd::kVerify, L"&Prüfen"},
    {menu::kMain, 1, 0, nullptr},
    {menu::kMain, 1, cmd::kKeepRules, L"Auf&bewahrungsregeln..."},
    {menu::kMain, 1, cmd::kForgetLog, L"P&rotokoll des Vergessens..."},
    {menu::kMain, 0, 0, L"&Hilfe"},
    {menu::kMain, 1, cmd::kHelpContents, L"&Inhalt..."},
    {menu::kMain, 1, 0, nullptr},
    {menu::kMain, 1, cmd::kAbout, L"Ü&ber Brindle+..."},

    {menu::kSelectionItem, 0, 0, L"_POPUP_"},
    {menu::kSelectionItem, 1, cmd::kNewSelection, L"Neue Sicherungsauswahl"},
    {menu::kSelectionItem, 1, cmd::kBackup, L"&Sichern..."},
    {menu::kSelectionItem, 1, cmd::kVerify, L"&Prüfen"},
    {menu::kSelectionItem, 1, cmd::kKeepRules, L"Auf&bewahrungsregeln..."},
    {menu::kSelectionItem, 1, cmd::kDeleteSelection, L"Sicherungsauswahl &löschen"},
    {menu::kSelectionItem, 1, cmd::kRenameInPlace, L"&Umbenennen"},
    {menu::kSelectionItem, 1, cmd::kProperties, L"&Eigenschaften..."},

    {menu::kContentItem, 0, 0, L"_POPUP_"},
    {menu::kContentItem, 1, cmd::kRestore, L"&Wiederherstellen..."},
    {menu::kContentItem, 1, cmd::kViewFile, L"Datei &anzeigen"},
    {menu::kContentItem, 1, 0, nullptr},
    {menu::kContentItem, 1, cmd::kFileVersions, L"Versi&onen dieser Datei…"},
    {menu::kContentItem, 1, cmd::kCompareWithNow, L"Mit &jetzt vergleichen"},
    {menu::kContentItem, 1, cmd::kCompareWithSnapshot, L"Mit Snapshot &vergleichen…"},

    {menu::kSelectionSpace, 0, 0, L"_POPUP_"},
    {menu::kSelectionSpace, 1, cmd::kNewSelection, L"&Neue Sicherungsauswahl..."},

    {menu::kSnapshotItem, 0, 0, L"_POPUP_"},
    {menu::kSnapshotItem, 1, cmd::kRestore, L"&Wiederherstellen..."},
    {menu::kSnapshotItem, 1, cmd::kDeleteSnapshot, L"Snapshot &löschen"},
    {menu::kSnapshotItem, 1, cmd::kOpenInFileManager, L"Im &Dateimanager öffnen"},
};
const size_t kGermanMenuItemCount = sizeof(kGermanMenuItems) / sizeof(kGermanMenuItems[0]);

}  // namespace marrowby
