#include "core/Configuration.h"

#include "core/DecimalNumber.h"
#include "platform/Format.h"
#include "platform/Text.h"
#include "vaultline/FileUtilities.h"

namespace vaultline {

namespace {

constexpr const wchar_t* kMaxFileSizeKey = L"MaxFileSize";
constexpr const wchar_t* kMaxBackupSizeKey = L"MaxBackupSize";

std::wstring Quoted(std::wstring text) {
  DoubleQuotes(text);
  return L"\"" + text + L"\"";
}

void AppendUtf16Le(std::string* bytes, std::wstring_view text) {
  for (char16_t unit : platform::ToUtf16(text)) {
    bytes->push_back(static_cast<char>(unit & 0xFF));
    bytes->push_back(static_cast<char>(unit >> 8));
  }
}

}  // namespace

void SetOtherSetting(Configuration* configuration, const std::wstring& key,
                     const std::wstring& value) {
  for (SettingLine& line : configuration->otherSettings) {
    if (line.key == key) {
      line.value = value;
      return;
    }
  }
  configuration->otherSettings.push_back({key, value});
}

std::string EncodeConfiguration(const Configuration& configuration) {
  std::string bytes = "\xFF\xFE";
  AppendUtf16Le(&bytes,
                platform::FormatWide(L"\"MaxFileSize\";\"%I64d\"\r\n", configuration.maxFileSize));
  AppendUtf16Le(&bytes, platform::FormatWide(L"\"MaxBackupSize\";\"%I64d\"\r\n",
                                             configuration.maxBackupSize));
  // Readers of the two sizes skip two-field lines with other keys.
  for (const SettingLine& line : configuration.otherSettings) {
    AppendUtf16Le(&bytes, Quoted(line.key) + L";" + Quoted(line.value) + L"\r\n");
  }
  for (const SelectionLine& line : configuration.selections) {
    AppendUtf16Le(&bytes, Quoted(line.name) + L";" + Quoted(line.relativeLocation) + L";" +
                              Quoted(line.contentPath) + L"\r\n");
  }
  return bytes;
}

DecodeResult DecodeConfiguration(std::string_view bytes, Configuration* configuration) {
  ConfigLineReader reader(bytes);
  DecodeResult result;
  result.encoding = reader.encoding();
  std::vector<std::wstring> fields;
  while (reader.ReadLine(&fields)) {
    if (fields.size() == 2) {
      int64_t* setting = nullptr;
      if (fields[0] == kMaxFileSizeKey) setting = &configuration->maxFileSize;
      if (fields[0] == kMaxBackupSizeKey) setting = &configuration->maxBackupSize;
      if (setting == nullptr) {
        SetOtherSetting(configuration, fields[0], fields[1]);
        continue;
      }
      result.hasSettingsLine = true;
      int64_t value = 0;
      // A negative size, from a damaged file, would skip every file or
      // leave no room at all: the value before it stays.
      if (ParseDecimal(fields[1], &value) && value >= 0) *setting = value;
    } else if (fields.size() == 3) {
      configuration->selections.push_back({fields[0], fields[1], fields[2]});
    }
  }
  return result;
}

}  // namespace vaultline
