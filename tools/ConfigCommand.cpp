// config [KEY [VALUE]]: the two size limits, in bytes.
#include <charconv>

#include "CommandError.h"
#include "Commands.h"
#include "Console.h"
#include "JsonText.h"
#include "vaultline/FileUtilities.h"
#include "vaultline/Path.h"
#include "vaultline/Text.h"

namespace vaultline::cli {
namespace {

struct Setting {
  const wchar_t* key;
  int64_t (IVaultline::*get)();
  void (IVaultline::*set)(int64_t);
};

constexpr Setting kSettings[] = {
    {L"max-file-size", &IVaultline::GetMaxFileSize, &IVaultline::SetMaxFileSize},
    {L"max-backup-size", &IVaultline::GetMaxBackupSize, &IVaultline::SetMaxBackupSize},
};

const Setting& FindSetting(const std::wstring& key) {
  for (const Setting& setting : kSettings) {
    if (key == setting.key) return setting;
  }
  throw CommandError{kExitUsage, L"unknown setting \"" + key +
                                     L"\"; the settings are max-file-size and max-backup-size"};
}

int64_t ParseBytes(const std::wstring& text) {
  const std::string digits = platform::EncodeName(text);
  int64_t value = -1;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size() || value < 0) {
    throw CommandError{kExitUsage, L"\"" + text + L"\" is not a number of bytes"};
  }
  return value;
}

}  // namespace

int RunConfig(EngineSession& session, const std::optional<std::wstring>& key,
              const std::optional<std::wstring>& value) {
  IVaultline& engine = session.engine();
  if (!key) {
    if (session.options().json) {
      nlohmann::json document = nlohmann::json::object();
      for (const Setting& setting : kSettings) {
        document[platform::ToDisplayUtf8(setting.key)] = (engine.*setting.get)();
      }
      PrintJson(document);
    } else {
      for (const Setting& setting : kSettings) {
        PrintLine(std::wstring(setting.key) + L"\t" + std::to_wstring((engine.*setting.get)()));
      }
    }
    return kExitSuccess;
  }
  const Setting& setting = FindSetting(*key);
  if (!value) {
    PrintLine(std::to_wstring((engine.*setting.get)()));
    return kExitSuccess;
  }
  const int64_t bytes = ParseBytes(*value);
  if ((engine.*setting.get)() == bytes) return kExitSuccess;
  // The engine saves a changed setting at once, but cannot write config.ini
  // before its storage folder exists.
  const std::wstring storage = session.programFolder() + L"BackupStorage" + platform::kSeparator;
  if (!CheckCreatePath(storage)) {
    throw CommandError{kExitFailure, L"the storage folder " + storage + L" cannot be created"};
  }
  // The setter saves at once but cannot tell that the save failed. Saving the
  // unchanged configuration first does tell, and the setter's own save then
  // still keeps the configuration before the change as config.bak.
  if (!engine.SaveConfiguration()) {
    throw CommandError{kExitFailure, L"the configuration cannot be written in " + storage};
  }
  (engine.*setting.set)(bytes);
  return kExitSuccess;
}

}  // namespace vaultline::cli
