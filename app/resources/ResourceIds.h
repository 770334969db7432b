// Numeric identifiers of Marrowby's resources: strings, commands, menus,
// dialog templates and their controls. A language library carries the same
// identifiers, so these numbers are part of its interface.
#pragma once

namespace marrowby {

// String table.
namespace ids {
inline constexpr unsigned kStatusGaugeSizer = 105;  // a run of spaces sizing the gauge pane
inline constexpr unsigned kDocumentStrings = 128;
inline constexpr unsigned kFolderMissingCreate = 129;
inline constexpr unsigned kProgressRangeSet = 130;
inline constexpr unsigned kCreateSelectionCaption = 131;
inline constexpr unsigned kDone = 132;
inline constexpr unsigned kErrorLine = 133;
inline constexpr unsigned kWarningLine = 134;
inline constexpr unsigned kPlainLine = 135;
inline constexpr unsigned kUnknownErrorCode = 136;
inline constexpr unsigned kCancel = 137;
inline constexpr unsigned kCanceling = 138;
inline constexpr unsigned kClose = 139;
inline constexpr unsigned kStorageUsage = 140;
inline constexpr unsigned kCreateSelectionFailed = 141;
inline constexpr unsigned kListIdBeyondEngine = 142;
inline constexpr unsigned kNoSelectionInEngine = 143;
inline constexpr unsigned kEngineMissing = 144;
inline constexpr unsigned kConfirmDelete = 145;
inline constexpr unsigned kSelectBackupPath = 146;
inline constexpr unsigned kPropertiesCaption = 147;
inline constexpr unsigned kBackupCaption = 148;
inline constexpr unsigned kVerifyPath = 149;
inline constexpr unsigned kStorageUsageSizer = 150;
inline constexpr unsigned kWideSpaces = 151;
inline constexpr unsigned kBrowseTitle = 152;
inline constexpr unsigned kBrowseCaption = 153;
inline constexpr unsigned kDetailsExpanded = 154;
inline constexpr unsigned kDetailsCollapsed = 155;
inline constexpr unsigned kBackupCompleted = 156;
inline constexpr unsigned kConsultDetails = 157;
inline constexpr unsigned kBackupNotCompleted = 158;
inline constexpr unsigned kRestoreNotCompleted = 159;
inline constexpr unsigned kCancelPressed = 160;
inline constexpr unsigned kAlreadyRunning = 161;
inline constexpr unsigned kViewFileError = 162;
inline constexpr unsigned kBackupListHeader = 163;
inline constexpr unsigned kInvalidBackupSelection = 164;
inline constexpr unsigned kInvalidBackupStatus = 165;
inline constexpr unsigned kRestoreCaption = 166;
inline constexpr unsigned kInvalidRestoreSelection = 167;
inline constexpr unsigned kInvalidRestoreStatus = 168;
inline constexpr unsigned kNoHelpFile = 169;
inline constexpr unsigned kHelpLaunchFailed = 170;
inline constexpr unsigned kPropertyCaption = 171;
inline constexpr unsigned kRenameCaption = 172;
inline constexpr unsigned kRestoreBrowseTitle = 173;
inline constexpr unsigned kSelectBackupName = 174;
inline constexpr unsigned kSpecifyName = 175;
inline constexpr unsigned kSnapshotsHeader = 176;
inline constexpr unsigned kTickPrefix = 177;
inline constexpr unsigned kSpaceSaved = 178;
inline constexpr unsigned kFilesProcessed = 179;
inline constexpr unsigned kFilesArchived = 180;
inline constexpr unsigned kFilesInSource = 181;
inline constexpr unsigned kInitialStorageSize = 182;
inline constexpr unsigned kFinalStorageSize = 183;
inline constexpr unsigned kNoSelectionDefined = 184;
inline constexpr unsigned kNoSpaceAvailable = 185;
inline constexpr unsigned kFileSkipped = 186;
inline constexpr unsigned kQuotaWayOut = 187;
inline constexpr unsigned kFilesRestored = 188;
inline constexpr unsigned kSizeRestored = 189;
inline constexpr unsigned kRestoreCompleted = 190;
inline constexpr unsigned kPreferencesIntro = 191;
inline constexpr unsigned kAllFiles = 194;
inline constexpr unsigned kRestoreInProcess = 202;
inline constexpr unsigned kSnapshotInProcess = 203;
inline constexpr unsigned kSnapshotLabel = 204;
inline constexpr unsigned kAltKey = 205;
inline constexpr unsigned kCtrlKey = 206;
inline constexpr unsigned kShiftKey = 207;
inline constexpr unsigned kLanguageLibrary = 208;
inline constexpr unsigned kConfigurationMissing = 209;
inline constexpr unsigned kProductCaption = 210;
inline constexpr unsigned kNotEnoughSpace = 211;
inline constexpr unsigned kBackupUnexpected = 225;
inline constexpr unsigned kDeleteUnexpected = 226;
inline constexpr unsigned kRenameUnexpected = 227;
inline constexpr unsigned kRestoreUnexpected = 228;
inline constexpr unsigned kFileSkippedForSize = 229;
inline constexpr unsigned kNewSelectionException = 230;
inline constexpr unsigned kBuildStringException = 231;
inline constexpr unsigned kBackupException = 232;
inline constexpr unsigned kRestoreException = 233;
inline constexpr unsigned kViewFileException = 234;
inline constexpr unsigned kRenameException = 235;
inline constexpr unsigned kForgetUnexpected =
    240;  // the engine's failure texts of forget and compact
inline constexpr unsigned kCompactUnexpected = 241;
inline constexpr unsigned kCompactNeedsRoom = 242;
inline constexpr unsigned kCompactUnfinished = 243;
inline constexpr unsigned kExclusionsUnreadable = 250;
inline constexpr unsigned kExclusionsNotSaved = 251;
inline constexpr unsigned kExclusionNotChanged = 252;
inline constexpr unsigned kVerifyUnexpected = 400;  // the engine's failure text of Verify
inline constexpr unsigned kDamagedSnapshot = 401;   // a snapshot list row that cannot be read
inline constexpr unsigned kVerifyCaption = 402;
inline constexpr unsigned kVerifySound = 403;
inline constexpr unsigned kVerifyInProcess = 404;
inline constexpr unsigned kVerifyCompleted = 405;
inline constexpr unsigned kVerifyNotCompleted = 406;
inline constexpr unsigned kVerifyException = 407;
inline constexpr unsigned kRestoreWhat = 408;
inline constexpr unsigned kRestoreToOriginal = 409;
inline constexpr unsigned kConflictQuestion = 410;
inline constexpr unsigned kConflictKeepNewer = 411;
inline constexpr unsigned kConflictReplace = 412;
inline constexpr unsigned kConflictKeepBoth = 413;
inline constexpr unsigned kFilesWillBeReplaced = 414;
inline constexpr unsigned kStorageUsageOfQuota = 415;  // the status bar in readable units
inline constexpr unsigned kStorageUsageNoQuota = 416;
inline constexpr unsigned kNoCapacityLimit = 417;  // the empty capacity field
inline constexpr unsigned kGigabytesUnit = 418;
inline constexpr unsigned kNoWritePermission = 419;  // a restore destination not writable
inline constexpr unsigned kColumnName = 420;         // the content tree's columns
inline constexpr unsigned kColumnSize = 421;
inline constexpr unsigned kColumnModified = 422;
inline constexpr unsigned kSourceNotChanged = 440;  // the new source could not be saved
// The snapshot list's columns beside the time, and the mark of what a backup
// left out.
inline constexpr unsigned kColumnFiles = 700;
inline constexpr unsigned kColumnNewData = 701;
inline constexpr unsigned kColumnSkipped = 702;
inline constexpr unsigned kFigureUnknown = 703;
inline constexpr unsigned kSkippedHeading = 704;
inline constexpr unsigned kSkippedOversize = 705;
inline constexpr unsigned kSkippedPathTooLong = 706;
inline constexpr unsigned kSkippedUnreadable = 707;
inline constexpr unsigned kSkippedUnreadFolders = 708;
inline constexpr unsigned kSkippedUnknown = 709;
inline constexpr unsigned kFilesChanged = 710;  // of the files a backup took
// Desktop texts beyond the original table.
inline constexpr unsigned kContentTreeName = 270;   // accessible name of the content tree
inline constexpr unsigned kSnapshotListName = 271;  // accessible name of an empty snapshot list
inline constexpr unsigned kToolBarTitle = 272;
inline constexpr unsigned kViewNotRestored = 273;  // reasons filled into 162
inline constexpr unsigned kViewNotReadOnly = 274;
inline constexpr unsigned kViewNoApplication = 275;
inline constexpr unsigned kPercentDone = 276;
inline constexpr unsigned kTimeRemaining = 277;
inline constexpr unsigned kSecondsLeft = 278;
inline constexpr unsigned kMinutesLeft = 279;
inline constexpr unsigned kHoursMinutesLeft = 280;
inline constexpr unsigned kCreateForFolder = 281;  // offered when a folder is dropped
inline constexpr unsigned kConfirmDeleteSnapshot = 290;
inline constexpr unsigned kConfirmDeleteDamaged = 291;  // the row of a damaged snapshot
inline constexpr unsigned kOfferCompact = 292;
inline constexpr unsigned kCompactCaption = 293;
inline constexpr unsigned kCompactInProcess = 294;
inline constexpr unsigned kCompactCompleted = 295;
inline constexpr unsigned kCompactNotCompleted = 296;
inline constexpr unsigned kSnapshotNotDeleted = 297;
inline constexpr unsigned kCompactException = 298;
// Back Up All: every selection in turn in one progress window.
inline constexpr unsigned kBackupAllCaption = 600;
inline constexpr unsigned kBackupAllSelections = 601;  // the item name of the whole series
inline constexpr unsigned kBackupAllStarting = 602;    // the heading of one selection's lines
inline constexpr unsigned kBackupAllOutcomeDone = 603;
inline constexpr unsigned kBackupAllOutcomeWarned = 604;
inline constexpr unsigned kBackupAllOutcomeFailed = 605;
inline constexpr unsigned kBackupAllOutcomeNotRun = 606;
inline constexpr unsigned kBackupAllSummary = 607;  // the final status: done of all
inline constexpr unsigned kNoSnapshotTaken = 608;
// Open in the File Manager: the snapshot could not be mounted or shown.
inline constexpr unsigned kOpenInFileManagerFailed = 640;
// Finding versions: the search over the content tree, Find in all snapshots,
// a file's versions and the comparisons.
inline constexpr unsigned kNoSearchMatch = 800;
inline constexpr unsigned kSearchPlaceholder = 801;
inline constexpr unsigned kSnapshotRange = 802;
inline constexpr unsigned kUnreadableRecords = 803;
inline constexpr unsigned kHistoryFailed = 804;
inline constexpr unsigned kColumnPath = 805;
inline constexpr unsigned kColumnSnapshots = 806;
inline constexpr unsigned kColumnChange = 807;
inline constexpr unsigned kViewButton = 808;
inline constexpr unsigned kRestoreButton = 809;
inline constexpr unsigned kVersionsButton = 810;
inline constexpr unsigned kFindCaption = 811;
inline constexpr unsigned kFindLabel = 812;
inline constexpr unsigned kFindButton = 813;
inline constexpr unsigned kFoundVersions = 814;
inline constexpr unsigned kNothingFound = 815;
inline constexpr unsigned kTooManyFound = 816;
inline constexpr unsigned kVersionsCaption = 820;
inline constexpr unsigned kVersionsIntro = 821;
inline constexpr unsigned kNoVersions = 822;
inline constexpr unsigned kCompareSelected = 823;
inline constexpr unsigned kCompareWithNowButton = 824;
inline constexpr unsigned kTooLargeToCompare = 825;
inline constexpr unsigned kVersionUnreadable = 826;
inline constexpr unsigned kNowUnreadable = 827;
inline constexpr unsigned kCompareUnreadable = 828;
inline constexpr unsigned kTextCompareCaption = 830;
inline constexpr unsigned kNowSide = 831;
inline constexpr unsigned kSameContents = 832;
inline constexpr unsigned kLinesDiffer = 833;
inline constexpr unsigned kNotTextSame = 834;
inline constexpr unsigned kNotTextDiffer = 835;
inline constexpr unsigned kFolderCompareCaption = 840;
inline constexpr unsigned kCompareWithLabel = 841;
inline constexpr unsigned kNowChoice = 842;
inline constexpr unsigned kNoChanges = 843;
inline constexpr unsigned kChangeCounts = 844;
inline constexpr unsigned kCompareTextButton = 845;
inline constexpr unsigned kChangeAdded = 846;
inline constexpr unsigned kChangeRemoved = 847;
inline constexpr unsigned kChangeChanged = 848;
inline constexpr unsigned kChangedType = 849;
inline constexpr unsigned kChangedContents = 850;
inline constexpr unsigned kChangedMode = 851;
inline constexpr unsigned kChangedOwner = 852;
inline constexpr unsigned kChangedTime = 853;
inline constexpr unsigned kChangedLink = 854;
inline constexpr unsigned kChangedAttributes = 855;
// Reminders: each selection's last backup, and a mark past the reminder age.
inline constexpr unsigned kNeverBackedUp = 610;
inline constexpr unsigned kBackedUpJustNow = 611;
inline constexpr unsigned kOneMinuteAgo = 612;
inline constexpr unsigned kMinutesAgo = 613;
inline constexpr unsigned kOneHourAgo = 614;
inline constexpr unsigned kHoursAgo = 615;
inline constexpr unsigned kOneDayAgo = 616;
inline constexpr unsigned kDaysAgo = 617;
inline constexpr unsigned kLastBackupPane = 618;
inline constexpr unsigned kNeverBackedUpPane = 624;
inline constexpr unsigned kOverdueTip = 619;
inline constexpr unsigned kOfferOverdueBackup = 620;
inline constexpr unsigned kReminderLabel = 621;  // the preference
inline constexpr unsigned kReminderDaysUnit = 622;
inline constexpr unsigned kReminderOff = 623;
// Keep rules: their page, the forget log, and what they did after a backup.
inline constexpr unsigned kKeepRulesCaption = 650;
inline constexpr unsigned kKeepRulesIntro = 651;
inline constexpr unsigned kKeepRulesEnabled = 652;
inline constexpr unsigned kKeepLastLabel = 653;
inline constexpr unsigned kKeepLastUnit = 654;
inline constexpr unsigned kKeepDailyLabel = 655;
inline constexpr unsigned kKeepDailyUnit = 656;
inline constexpr unsigned kKeepWeeklyLabel = 657;
inline constexpr unsigned kKeepWeeklyUnit = 658;
inline constexpr unsigned kKeepMonthlyLabel = 659;
inline constexpr unsigned kKeepMonthlyUnit = 660;
inline constexpr unsigned kKeepRulesNoRule = 661;
inline constexpr unsigned kKeepPreviewOn = 662;
inline constexpr unsigned kKeepPreviewNone = 663;
inline constexpr unsigned kKeepPreviewOff = 664;
inline constexpr unsigned kShowForgetLog = 665;
inline constexpr unsigned kForgetLogCaption = 666;
inline constexpr unsigned kForgetLogEmpty = 667;
inline constexpr unsigned kForgetLogForgot = 668;
inline constexpr unsigned kForgetLogCompacted = 669;
inline constexpr unsigned kForgetLogForgetFailed = 670;
inline constexpr unsigned kForgetLogCompactFailed = 671;
inline constexpr unsigned kRuleLast = 672;
inline constexpr unsigned kRuleDaily = 673;
inline constexpr unsigned kRuleWeekly = 674;
inline constexpr unsigned kRuleMonthly = 675;
inline constexpr unsigned kKeepRulesNote = 676;  // the status bar after a backup
inline constexpr unsigned kKeepRulesNoteCompacted = 677;
inline constexpr unsigned kKeepRulesNotSaved = 678;
// The drive: kept awake while backing up, safely removed, backing up by itself.
inline constexpr unsigned kKeepingAwake = 680;
inline constexpr unsigned kSafelyRemoveButton = 681;
inline constexpr unsigned kRemovalNoService = 682;
inline constexpr unsigned kRemovalNotFound = 683;
inline constexpr unsigned kRemovalNotRemovable = 684;
inline constexpr unsigned kRemovalFailed = 685;
inline constexpr unsigned kRemovalBusy = 686;
inline constexpr unsigned kRemovalConfirm = 687;
inline constexpr unsigned kRemovalDone = 688;
inline constexpr unsigned kRemovalOfFolder = 689;
inline constexpr unsigned kAutoBackupCheck = 690;
inline constexpr unsigned kAutoBackupFolder = 691;  // the drive is no file system of its own
inline constexpr unsigned kAutoBackupFailed = 692;
inline constexpr unsigned kAutoBackupInstalled = 693;
inline constexpr unsigned kOfferBackupNow = 695;
inline constexpr unsigned kAppTitle = 57344;
inline constexpr unsigned kReady = 57345;
}  // namespace ids

// Commands shared by the menus, the toolbar and the context menus. Their
// strings (same numbers) hold "status prompt\ntooltip".
namespace cmd {
inline constexpr unsigned kNewSelection = 32778;
inline constexpr unsigned kRenameSelection = 32779;
inline constexpr unsigned kDeleteSelection = 32780;
inline constexpr unsigned kPreferences = 32782;
inline constexpr unsigned kBackup = 32783;
inline constexpr unsigned kRestore = 32784;
inline constexpr unsigned kBackupAll = 32830;
inline constexpr unsigned kKeepRules = 32870;
inline constexpr unsigned kForgetLog = 32871;
inline constexpr unsigned kSafelyRemove = 32872;
inline constexpr unsigned kVerify = 32800;
inline constexpr unsigned kDeleteSnapshot = 32801;
inline constexpr unsigned kOpenInFileManager = 32840;
inline constexpr unsigned kFindInSnapshots = 32850;
inline constexpr unsigned kFileVersions = 32851;
inline constexpr unsigned kCompareWithNow = 32852;
inline constexpr unsigned kCompareWithSnapshot = 32853;
inline constexpr unsigned kViewFile = 32785;
inline constexpr unsigned kProperties = 32790;
inline constexpr unsigned kHelpContents = 32791;
inline constexpr unsigned kRenameInPlace = 32793;
inline constexpr unsigned kFirstRunCheck = 32794;
inline constexpr unsigned kAbout = 57664;
inline constexpr unsigned kExit = 57665;
}  // namespace cmd

// Menus.
namespace menu {
inline constexpr unsigned kMain = 128;
inline constexpr unsigned kSelectionItem = 141;   // right click on a selection row
inline constexpr unsigned kContentItem = 142;     // right click on a content tree item
inline constexpr unsigned kSelectionSpace = 150;  // right click on empty list space
inline constexpr unsigned kSnapshotItem = 151;    // right click on a snapshot row
}  // namespace menu

// Dialog templates. Control 0 of a template is its caption.
namespace dlg {
inline constexpr unsigned kCaption = 0;
inline constexpr unsigned kOk = 1;
inline constexpr unsigned kCancel = 2;

inline constexpr unsigned kAbout = 100;
inline constexpr unsigned kSelectContent = 103;
inline constexpr unsigned kProgress = 134;
inline constexpr unsigned kPreferences = 138;
inline constexpr unsigned kProperties = 139;
inline constexpr unsigned kRestorePath = 140;
inline constexpr unsigned kWelcome = 149;
inline constexpr unsigned kCreateProfile = 177;
}  // namespace dlg

namespace about_dlg {
inline constexpr unsigned kProductName = 1101;
inline constexpr unsigned kVersionLine = 1102;  // "Version " followed by the product version
inline constexpr unsigned kDescription = 1103;
}  // namespace about_dlg

namespace progress_dlg {
inline constexpr unsigned kProgressBar = 1005;
inline constexpr unsigned kStatusLine = 1006;
inline constexpr unsigned kMessageList = 1020;
inline constexpr unsigned kMessagesLabel = 1037;
inline constexpr unsigned kDetailsButton = 1036;
inline constexpr unsigned kFilesDoneLabel = 1042;
inline constexpr unsigned kFilesDone = 1035;
inline constexpr unsigned kFilesSkippedLabel = 1044;
inline constexpr unsigned kFilesSkipped = 1038;
inline constexpr unsigned kBytesDoneLabel = 1043;
inline constexpr unsigned kBytesDone = 1039;
inline constexpr unsigned kCapacityUsedLabel = 1045;
inline constexpr unsigned kCapacityUsed = 1040;
inline constexpr unsigned kBytesDoneUnit = 1052;
inline constexpr unsigned kCapacityUsedUnit = 1053;
inline constexpr unsigned kStatusLabel = 1101;  // "Action Status:"
inline constexpr unsigned kSummaryGroup = 1102;
}  // namespace progress_dlg

namespace create_profile_dlg {
inline constexpr unsigned kPathEdit = 178;
inline constexpr unsigned kBrowseButton = 179;
inline constexpr unsigned kPictureFrame = 180;
inline constexpr unsigned kNameEdit = 181;
inline constexpr unsigned kFinishHint = 1035;
inline constexpr unsigned kPathLabel = 1101;
inline constexpr unsigned kNameLabel = 1102;
}  // namespace create_profile_dlg

namespace select_content_dlg {
inline constexpr unsigned kCreateButton = 1003;
inline constexpr unsigned kCancelButton = 1004;
inline constexpr unsigned kNameEdit = 1005;
inline constexpr unsigned kPathEdit = 1015;
inline constexpr unsigned kPathLabel = 1101;
inline constexpr unsigned kNameLabel = 1102;
}  // namespace select_content_dlg

namespace properties_dlg {
inline constexpr unsigned kNameEdit = 1014;
inline constexpr unsigned kDescriptionEdit = 1015;
inline constexpr unsigned kNameLabel = 1101;
inline constexpr unsigned kDescriptionLabel = 1102;
inline constexpr unsigned kExclusionsList = 1016;
inline constexpr unsigned kPatternEdit = 1017;
inline constexpr unsigned kAddButton = 1018;
inline constexpr unsigned kRemoveButton = 1019;
inline constexpr unsigned kExclusionsLabel = 1103;
inline constexpr unsigned kChangeSourceButton = 1104;
}  // namespace properties_dlg

namespace restore_path_dlg {
inline constexpr unsigned kDestinationEdit = 1016;
inline constexpr unsigned kBrowseButton = 1017;
inline constexpr unsigned kPictureFrame = 1019;
inline constexpr unsigned kDestinationLabel = 1101;
}  // namespace restore_path_dlg

namespace preferences_dlg {
inline constexpr unsigned kFileSizeEdit = 1000;
inline constexpr unsigned kCapacityEdit = 1007;
inline constexpr unsigned kFileSizeSpin = 1011;
inline constexpr unsigned kFileSizeUnit = 1012;
inline constexpr unsigned kFreeSpaceEdit = 1022;
inline constexpr unsigned kCapacitySlider = 1031;
inline constexpr unsigned kSliderPercent = 1032;
inline constexpr unsigned kPictureFrame = 1046;
inline constexpr unsigned kLimitFilesCheck = 1047;
inline constexpr unsigned kIntroText = 1057;
inline constexpr unsigned kFreePercent = 1072;
inline constexpr unsigned kCapacityLabel = 1101;
inline constexpr unsigned kCapacityUnit = 1102;
inline constexpr unsigned kFreeSpaceLabel = 1103;
inline constexpr unsigned kFreeSpaceUnit = 1104;
inline constexpr unsigned kUnitKb = 1105;  // combo item with value 0
inline constexpr unsigned kUnitMb = 1106;  // combo item with value 1
inline constexpr unsigned kSliderLabel = 1107;
}  // namespace preferences_dlg

namespace welcome_dlg {
inline constexpr unsigned kPictureFrame = 1046;
inline constexpr unsigned kTitle = 1049;
inline constexpr unsigned kBody = 1101;
}  // namespace welcome_dlg

}  // namespace marrowby
