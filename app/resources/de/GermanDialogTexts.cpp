// The German texts of the dialog templates, control for control as the
// program's own.
#include "resources/ResourceIds.h"
#include "resources/de/GermanTables.h"

namespace marrowby {

const MarrowbyDialogText kGermanDialogTexts[] = {
    {dlg::kAbout, dlg::kCaption, L"Über Brindle+"},
    {dlg::kAbout, about_dlg::kProductName, L"Brindle+"},
    {dlg::kAbout, about_dlg::kVersionLine, L"Version "},
    {dlg::kAbout, about_dlg::kDescription,
     L"Snapshot-Sicherungen Ihrer Ordner und Dateien, aufbewahrt auf diesem Laufwerk."},
    {dlg::kAbout, dlg::kOk, L"OK"},

    {dlg::kSelectContent, select_content_dlg::kPathLabel, L"Pfad:"},
    {dlg::kSelectContent, select_content_dlg::kNameLabel, L"Name der Sicherungsauswahl:"},
    {dlg::kSelectContent, select_content_dlg::kCreateButton, L"&Sicherungsauswahl anlegen"},
    {dlg::kSelectContent, select_content_dlg::kCancelButton, L"Abbrechen"},

    {dlg::kProgress, dlg::kCaption, L"Sicherungsfortschritt"},
    {dlg::kProgress, progress_dlg::kStatusLabel, L"Status des Vorgangs:"},
    {dlg::kProgress, progress_dlg::kStatusLine, L"Statusmeldung"},
    {dlg::kProgress, progress_dlg::kMessagesLabel, L"Meldungen"},
    {dlg::kProgress, progress_dlg::kDetailsButton, L"&Details >>"},
    {dlg::kProgress, dlg::kCancel, L"Abbrechen"},
    {dlg::kProgress, progress_dlg::kSummaryGroup, L"Zusammenfassung"},
    {dlg::kProgress, progress_dlg::kFilesDoneLabel, L"Anzahl gesicherter Dateien:"},
    {dlg::kProgress, progress_dlg::kFilesDone, L"0"},
    {dlg::kProgress, progress_dlg::kFilesSkippedLabel, L"Übersprungene Dateien:"},
    {dlg::kProgress, progress_dlg::kFilesSkipped, L"0"},
    {dlg::kProgress, progress_dlg::kBytesDoneLabel,
     L"Gesamtgröße der vom Datenträger gesicherten Dateien:"},
    {dlg::kProgress, progress_dlg::kBytesDone, L"0"},
    {dlg::kProgress, progress_dlg::kBytesDoneUnit, L"KB"},
    {dlg::kProgress, progress_dlg::kCapacityUsedLabel, L"Vom Snapshot belegter Laufwerksplatz:"},
    {dlg::kProgress, progress_dlg::kCapacityUsed, L"0"},
    {dlg::kProgress, progress_dlg::kCapacityUsedUnit, L"KB"},

    {dlg::kPreferences, dlg::kCaption, L"Sicherungseinstellungen"},
    {dlg::kPreferences, preferences_dlg::kIntroText,
     L"Legen Sie fest, wie viel dieses Laufwerks die Sicherungen belegen dürfen und welche "
     L"Dateien zu groß zum Sichern sind."},
    {dlg::kPreferences, preferences_dlg::kSliderLabel, L"Anteil des Laufwerks für Sicherungen:"},
    {dlg::kPreferences, preferences_dlg::kSliderPercent, L"100 %"},
    {dlg::kPreferences, preferences_dlg::kCapacityLabel, L"Max. Sicherungskapazität:"},
    {dlg::kPreferences, preferences_dlg::kCapacityUnit, L"MB"},
    {dlg::kPreferences, preferences_dlg::kLimitFilesCheck,
     L"Keine Dateien sichern, die größer sind als:"},
    {dlg::kPreferences, preferences_dlg::kUnitKb, L"KB"},
    {dlg::kPreferences, preferences_dlg::kUnitMb, L"MB"},
    {dlg::kPreferences, preferences_dlg::kFreeSpaceLabel,
     L"Freier Speicherplatz auf dem Laufwerk:"},
    {dlg::kPreferences, preferences_dlg::kFreeSpaceUnit, L"MB"},
    {dlg::kPreferences, preferences_dlg::kFreePercent, L"(100 %)"},
    {dlg::kPreferences, dlg::kOk, L"&Speichern"},
    {dlg::kPreferences, dlg::kCancel, L"Abbrechen"},

    {dlg::kProperties, dlg::kCaption, L"Eigenschaften der Sicherungsauswahl"},
    {dlg::kProperties, properties_dlg::kNameLabel, L"Name der Sicherungsauswahl:"},
    {dlg::kProperties, properties_dlg::kDescriptionLabel, L"Beschreibung:"},
    {dlg::kProperties, properties_dlg::kExclusionsLabel,
     L"Von jeder Sicherung ausnehmen (Muster wie *.tmp, node_modules/ oder /build):"},
    {dlg::kProperties, properties_dlg::kAddButton, L"&Hinzufügen"},
    {dlg::kProperties, properties_dlg::kRemoveButton, L"&Entfernen"},
    {dlg::kProperties, properties_dlg::kChangeSourceButton, L"Ä&ndern..."},
    {dlg::kProperties, dlg::kOk, L"OK"},
    {dlg::kProperties, dlg::kCancel, L"Abbrechen"},

    {dlg::kRestorePath, dlg::kCaption, L"Snapshot auf den Datenträger wiederherstellen"},
    {dlg::kRestorePath, restore_path_dlg::kDestinationLabel, L"In diesen Ordner:"},
    {dlg::kRestorePath, restore_path_dlg::kBrowseButton, L"Durchsuchen..."},
    {dlg::kRestorePath, dlg::kOk, L"OK"},
    {dlg::kRestorePath, dlg::kCancel, L"Abbrechen"},

    {dlg::kWelcome, dlg::kCaption, L"Willkommen bei Brindle+"},
    {dlg::kWelcome, welcome_dlg::kTitle, L"Willkommen bei Brindle+"},
    {dlg::kWelcome, welcome_dlg::kBody,
     L"Dieser Assistent bereitet das Laufwerk für Ihre Sicherungen vor.\n\nLegen Sie zuerst "
     L"fest, wie viel des Laufwerks die Sicherungen belegen dürfen, und wählen Sie dann den "
     L"Ordner oder die Datei, die gesichert werden soll. Sobald Sie auf „Abschließen“ "
     L"klicken, erstellt Brindle+ den ersten Snapshot."},

    {dlg::kCreateProfile, dlg::kCaption, L"Sicherungsauswahl anlegen"},
    {dlg::kCreateProfile, create_profile_dlg::kPathLabel, L"Zu sichernder Ordner oder Datei:"},
    {dlg::kCreateProfile, create_profile_dlg::kBrowseButton, L"Durchsuchen..."},
    {dlg::kCreateProfile, create_profile_dlg::kNameLabel, L"Name der Sicherungsauswahl:"},
    {dlg::kCreateProfile, create_profile_dlg::kFinishHint,
     L"Klicken Sie auf „Abschließen“, um die Sicherungsauswahl anzulegen und ihren ersten "
     L"Snapshot zu erstellen."},
    {dlg::kCreateProfile, dlg::kOk, L"OK"},
    {dlg::kCreateProfile, dlg::kCancel, L"Abbrechen"},
};
const size_t kGermanDialogTextCount = sizeof(kGermanDialogTexts) / sizeof(kGermanDialogTexts[0]);

}  // namespace marrowby
