// The contents of config.ini: the two size settings and one line per Backup
// Selection. Written as UTF-16LE with FF FE, every field quoted with inner
// quotes doubled, lines ending in CR LF; read in any of ConfigLineReader's
// encodings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/ConfigLineReader.h"

namespace vaultline {

inline constexpr int64_t kDefaultMaxBackupSize = 16777216;

struct SelectionLine {
  std::wstring name;
  std::wstring relativeLocation;  // from "BackupStorage" onwards
  std::wstring contentPath;
};

// A "KEY";"VALUE" line with a key other than the two sizes: a front end's
// setting (the reminder age), kept and written back as it is.
struct SettingLine {
  std::wstring key;
  std::wstring value;
};

struct Configuration {
  int64_t maxFileSize = 0;
  int64_t maxBackupSize = kDefaultMaxBackupSize;
  std::vector<SelectionLine> selections;
  std::vector<SettingLine> otherSettings;
};

// Sets the other setting `key`, in place when it is there, else at the end.
void SetOtherSetting(Configuration* configuration, const std::wstring& key,
                     const std::wstring& value);

// The bytes of config.ini for `configuration`.
std::string EncodeConfiguration(const Configuration& configuration);

// What reading a config.ini found besides the settings and selections.
struct DecodeResult {
  ConfigEncoding encoding = ConfigEncoding::kAnsi;
  bool hasSettingsLine = false;  // false for an empty or cut-off file
};

// Reads `bytes` line by line into `configuration`: settings lines overwrite
// the setting (a value that does not parse keeps it), selection lines are
// appended, other two-field lines are kept in otherSettings (a later one of
// a key replacing the earlier), any other line is skipped.
DecodeResult DecodeConfiguration(std::string_view bytes, Configuration* configuration);

}  // namespace vaultline
