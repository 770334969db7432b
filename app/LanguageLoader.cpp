#include "LanguageLoader.h"

#include "DesktopServices.h"
#include "vaultline/Path.h"

namespace platform = vaultline::platform;

namespace {

bool TryLoad(const std::wstring& path, uint32_t language, LoadedLanguage* loaded) {
  void* library = desktop::LoadLibraryFile(path);
  if (library == nullptr) return false;
  auto entry = reinterpret_cast<MarrowbyResourcesFunction>(
      desktop::LibrarySymbol(library, MARROWBY_RESOURCE_ENTRY));
  const MarrowbyResourceTable* table = entry != nullptr ? entry() : nullptr;
  if (table == nullptr || table->version != MARROWBY_RESOURCE_VERSION) {
    desktop::FreeLibraryFile(library);
    return false;
  }
  *loaded = LoadedLanguage{library, table, language, path};
  return true;
}

}  // namespace

LoadedLanguage LoadLanguage(const std::wstring& folder, const std::wstring& fileName,
                            uint32_t userLocale, uint32_t systemLocale) {
  LoadedLanguage loaded;
  for (uint32_t locale : {userLocale, userLocale & 0xFFFF, systemLocale, systemLocale & 0xFFFF}) {
    std::wstring path = folder + std::to_wstring(locale) + platform::kSeparator + fileName;
    if (TryLoad(path, locale, &loaded)) return loaded;
  }
  TryLoad(fileName, 0, &loaded);
  return loaded;
}

void UnloadLanguage(LoadedLanguage& language) {
  desktop::FreeLibraryFile(language.library);
  language = LoadedLanguage{};
}
