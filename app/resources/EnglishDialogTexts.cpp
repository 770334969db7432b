// The texts of the program's dialog templates, in English, by dialog and
// control identifier (control 0 is the caption).
#include "resources/EnglishTables.h"
#include "resources/ResourceIds.h"

namespace marrowby {

const MarrowbyDialogText kEnglishDialogTexts[] = {
    {dlg::kAbout, dlg::kCaption, L"About Brindle+"},
    {dlg::kAbout, about_dlg::kProductName, L"Brindle+"},
    {dlg::kAbout, about_dlg::kVersionLine, L"Version "},
    {dlg::kAbout, about_dlg::kDescription,
     L"Snapshot backups of your folders and files, kept on this drive."},
    {dlg::kAbout, dlg::kOk, L"OK"},

    {dlg::kSelectContent, select_content_dlg::kPathLabel, L"Path:"},
    {dlg::kSelectContent, select_content_dlg::kNameLabel, L"Backup Selection name:"},
    {dlg::kSelectContent, select_content_dlg::kCreateButton, L"Create &Backup Selection"},
    {dlg::kSelectContent, select_content_dlg::kCancelButton, L"Cancel"},

    {dlg::kProgress, dlg::kCaption, L"Backup progress"},
    {dlg::kProgress, progress_dlg::kStatusLabel, L"Action Status:"},
    {dlg::kProgress, progress_dlg::kStatusLine, L"status message"},
    {dlg::kProgress, progress_dlg::kMessagesLabel, L"Messages"},
    {dlg::kProgress, progress_dlg::kDetailsButton, L"&Details >>"},
    {dlg::kProgress, dlg::kCancel, L"Cancel"},
    {dlg::kProgress, progress_dlg::kSummaryGroup, L"Summary"},
    {dlg::kProgress, progress_dlg::kFilesDoneLabel, L"Number of files backed up:"},
    {dlg::kProgress, progress_dlg::kFilesDone, L"0"},
    {dlg::kProgress, progress_dlg::kFilesSkippedLabel, L"Files skipped:"},
    {dlg::kProgress, progress_dlg::kFilesSkipped, L"0"},
    {dlg::kProgress, progress_dlg::kBytesDoneLabel, L"Total size of files backed up from disk:"},
    {dlg::kProgress, progress_dlg::kBytesDone, L"0"},
    {dlg::kProgress, progress_dlg::kBytesDoneUnit, L"KB"},
    {dlg::kProgress, progress_dlg::kCapacityUsedLabel, L"drive capacity used for snapshot:"},
    {dlg::kProgress, progress_dlg::kCapacityUsed, L"0"},
    {dlg::kProgress, progress_dlg::kCapacityUsedUnit, L"KB"},

    {dlg::kPreferences, dlg::kCaption, L"Backup Preferences"},
    {dlg::kPreferences, preferences_dlg::kIntroText,
     L"Choose how much of this drive the backups may take and which files are too large "
     L"to back up."},
    {dlg::kPreferences, preferences_dlg::kSliderLabel, L"Share of the drive for backups:"},
    {dlg::kPreferences, preferences_dlg::kSliderPercent, L"100 %"},
    {dlg::kPreferences, preferences_dlg::kCapacityLabel, L"Max. backup capacity:"},
    {dlg::kPreferences, preferences_dlg::kCapacityUnit, L"MB"},
    {dlg::kPreferences, preferences_dlg::kLimitFilesCheck, L"Do not backup files larger than:"},
    {dlg::kPreferences, preferences_dlg::kUnitKb, L"KB"},
    {dlg::kPreferences, preferences_dlg::kUnitMb, L"MB"},
    {dlg::kPreferences, preferences_dlg::kFreeSpaceLabel, L"Available space on drive:"},
    {dlg::kPreferences, preferences_dlg::kFreeSpaceUnit, L"MB"},
    {dlg::kPreferences, preferences_dlg::kFreePercent, L"(100 %)"},
    {dlg::kPreferences, dlg::kOk, L"&Save"},
    {dlg::kPreferences, dlg::kCancel, L"Cancel"},

    {dlg::kProperties, dlg::kCaption, L"Backup Selection Properties"},
    {dlg::kProperties, properties_dlg::kNameLabel, L"Backup Selection name:"},
    {dlg::kProperties, properties_dlg::kDescriptionLabel, L"Description:"},
    {dlg::kProperties, properties_dlg::kExclusionsLabel,
     L"Leave out of every backup (patterns such as *.tmp, node_modules/ or /build):"},
    {dlg::kProperties, properties_dlg::kAddButton, L"&Add"},
    {dlg::kProperties, properties_dlg::kRemoveButton, L"&Remove"},
    {dlg::kProperties, properties_dlg::kChangeSourceButton, L"C&hange..."},
    {dlg::kProperties, dlg::kOk, L"OK"},
    {dlg::kProperties, dlg::kCancel, L"Cancel"},

    {dlg::kRestorePath, dlg::kCaption, L"Restore Snapshot to Disk"},
    {dlg::kRestorePath, restore_path_dlg::kDestinationLabel, L"To this folder:"},
    {dlg::kRestorePath, restore_path_dlg::kBrowseButton, L"Browse..."},
    {dlg::kRestorePath, dlg::kOk, L"OK"},
    {dlg::kRestorePath, dlg::kCancel, L"Cancel"},

    {dlg::kWelcome, dlg::kCaption, L"WelcomeBrindle+ "},
    {dlg::kWelcome, welcome_dlg::kTitle, L"Welcome to Brindle+"},
    {dlg::kWelcome, welcome_dlg::kBody,
     L"This wizard prepares the drive for your backups.\n\nFirst choose how much of the drive "
     L"the backups may take, then the folder or file to back up. When you click \"Finish\", "
     L"Brindle+ takes the first snapshot at once."},

    {dlg::kCreateProfile, dlg::kCaption, L"Create Backup Selection"},
    {dlg::kCreateProfile, create_profile_dlg::kPathLabel, L"Folder or file to back up:"},
    {dlg::kCreateProfile, create_profile_dlg::kBrowseButton, L"Browse..."},
    {dlg::kCreateProfile, create_profile_dlg::kNameLabel, L"Backup Selection name:"},
    {dlg::kCreateProfile, create_profile_dlg::kFinishHint,
     L"Click \"Finish\" to create the Backup Selection and take its first snapshot."},
    {dlg::kCreateProfile, dlg::kOk, L"OK"},
    {dlg::kCreateProfile, dlg::kCancel, L"Cancel"},
};
const size_t kEnglishDialogTextCount = sizeof(kEnglishDialogTexts) / sizeof(kEnglishDialogTexts[0]);

}  // namespace marrowby
