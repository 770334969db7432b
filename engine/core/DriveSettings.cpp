// Front-end settings in config.ini.
#include "vaultline/DriveSettings.h"

#include "core/DecimalNumber.h"
#include "core/Engine.h"

namespace vaultline {

bool Engine::GetDriveSetting(const std::wstring& key, std::wstring* value) const {
  for (const SettingLine& line : otherSettings_) {
    if (line.key != key) continue;
    *value = line.value;
    return true;
  }
  return false;
}

bool Engine::SetDriveSetting(const std::wstring& key, const std::wstring& value) {
  Configuration configuration;
  configuration.otherSettings = std::move(otherSettings_);
  SetOtherSetting(&configuration, key, value);
  otherSettings_ = std::move(configuration.otherSettings);
  return SaveConfiguration();
}

}  // namespace vaultline

namespace {

bool IsDriveSettingKey(const std::wstring& key) {
  return !key.empty() && key.find_first_of(L"\r\n") == std::wstring::npos &&
         key != L"MaxFileSize" && key != L"MaxBackupSize";
}

}  // namespace

int64_t GetDriveSetting(IVaultline* engine, const wchar_t* key, int64_t fallback) {
  auto* own = dynamic_cast<vaultline::Engine*>(engine);
  std::wstring text;
  int64_t value = 0;
  if (own == nullptr || key == nullptr || !own->GetDriveSetting(key, &text) ||
      !vaultline::ParseDecimal(text, &value)) {
    return fallback;
  }
  return value;
}

bool SetDriveSetting(IVaultline* engine, const wchar_t* key, int64_t value) {
  auto* own = dynamic_cast<vaultline::Engine*>(engine);
  if (own == nullptr || key == nullptr || !IsDriveSettingKey(key)) return false;
  return own->SetDriveSetting(key, std::to_wstring(value));
}
