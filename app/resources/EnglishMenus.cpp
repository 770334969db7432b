// The program's menus, in English: the main menu and the views' context menus.
// The text after a tab is the key shown beside the item.
#include "resources/EnglishTables.h"
#include "resources/ResourceIds.h"

namespace marrowby {

const MarrowbyMenuItem kEnglishMenuItems[] = {
    {menu::kMain, 0, 0, L"&File"},
    {menu::kMain, 1, cmd::kNewSelection, L"&New Backup Selection...\tCtrl+N"},
    {menu::kMain, 1, cmd::kRenameSelection, L"&Rename Backup Selection...\tCtrl+R"},
    {menu::kMain, 1, cmd::kDeleteSelection, L"&Delete Backup Selection\tCtrl+D"},
    {menu::kMain, 1, 0, nullptr},
    {menu::kMain, 1, cmd::kPreferences, L"&Preferences...\tCtrl+P"},
    {menu::kMain, 1, cmd::kProperties, L"Propert&ies..."},
    {menu::kMain, 1, cmd::kSafelyRemove, L"Safely Re&move the Drive"},
    {menu::kMain, 1, 0, nullptr},
    {menu::kMain, 1, cmd::kExit, L"E&xit"},
    {menu::kMain, 0, 0, L"&Actions"},
    {menu::kMain, 1, cmd::kBackup, L"&Backup\tCtrl+B"},
    {menu::kMain, 1, cmd::kBackupAll, L"Back Up &All\tCtrl+Shift+B"},
    {menu::kMain, 1, cmd::kRestore, L"R&estore...\tCtrl+E"},
    {menu::kMain, 1, cmd::kViewFile, L"&View File\tCtrl+V"},
    {menu::kMain, 1, cmd::kFileVersions, L"Versi&ons of this file…"},
    {menu::kMain, 1, cmd::kCompareWithNow, L"Compare with &now"},
    {menu::kMain, 1, cmd::kCompareWithSnapshot, L"Compare with &snapshot…"},
    {menu::kMain, 1, cmd::kFindInSnapshots, L"Find &in all snapshots\tCtrl+Shift+F"},
    {menu::kMain, 1, cmd::kOpenInFileManager, L"Open in the File &Manager"},
    {menu::kMain, 1, cmd::kVerify, L"Veri&fy"},
    {menu::kMain, 1, 0, nullptr},
    {menu::kMain, 1, cmd::kKeepRules, L"&Keep Rules..."},
    {menu::kMain, 1, cmd::kForgetLog, L"Forget &Log..."},
    {menu::kMain, 0, 0, L"&Help"},
    {menu::kMain, 1, cmd::kHelpContents, L"&Contents..."},
    {menu::kMain, 1, 0, nullptr},
    {menu::kMain, 1, cmd::kAbout, L"&About Brindle+..."},

    {menu::kSelectionItem, 0, 0, L"_POPUP_"},
    {menu::kSelectionItem, 1, cmd::kNewSelection, L"New Backup Selection"},
    {menu::kSelectionItem, 1, cmd::kBackup, L"&Backup..."},
    {menu::kSelectionItem, 1, cmd::kVerify, L"Veri&fy"},
    {menu::kSelectionItem, 1, cmd::kKeepRules, L"&Keep Rules..."},
    {menu::kSelectionItem, 1, cmd::kDeleteSelection, L"&Delete Backup Selection"},
    {menu::kSelectionItem, 1, cmd::kRenameInPlace, L"&Rename"},
    {menu::kSelectionItem, 1, cmd::kProperties, L"&Properties..."},

    {menu::kContentItem, 0, 0, L"_POPUP_"},
    {menu::kContentItem, 1, cmd::kRestore, L"R&estore..."},
    {menu::kContentItem, 1, cmd::kViewFile, L"&View File"},
    {menu::kContentItem, 1, 0, nullptr},
    {menu::kContentItem, 1, cmd::kFileVersions, L"Versi&ons of this file…"},
    {menu::kContentItem, 1, cmd::kCompareWithNow, L"Compare with &now"},
    {menu::kContentItem, 1, cmd::kCompareWithSnapshot, L"Compare with &snapshot…"},

    {menu::kSelectionSpace, 0, 0, L"_POPUP_"},
    {menu::kSelectionSpace, 1, cmd::kNewSelection, L"&New Backup Selection..."},

    {menu::kSnapshotItem, 0, 0, L"_POPUP_"},
    {menu::kSnapshotItem, 1, cmd::kRestore, L"R&estore..."},
    {menu::kSnapshotItem, 1, cmd::kDeleteSnapshot, L"&Delete Snapshot"},
    {menu::kSnapshotItem, 1, cmd::kOpenInFileManager, L"&Open in the File Manager"},
};
const size_t kEnglishMenuItemCount = sizeof(kEnglishMenuItems) / sizeof(kEnglishMenuItems[0]);

}  // namespace marrowby
