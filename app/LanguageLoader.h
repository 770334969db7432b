// Finds and loads the language library at start-up. The tries, in order:
// <folder>/<L>/<file>, <folder>/<L & 0xFFFF>/<file>, the same two with the
// system's locale, then <file> by the loader's ordinary search. Only a library
// with the expected resource layout counts as loaded.
#pragma once

#include <cstdint>
#include <string>

#include "resources/ResourceModel.h"

struct LoadedLanguage {
  void* library = nullptr;                       // null when none loaded
  const MarrowbyResourceTable* table = nullptr;  // its resources
  uint32_t language = 0;  // the locale of the try that loaded; 0 for the ordinary search
  std::wstring path;      // what was loaded
};

// `folder` ends with a separator; `fileName` is string 208 ("language.dll").
LoadedLanguage LoadLanguage(const std::wstring& folder, const std::wstring& fileName,
                            uint32_t userLocale, uint32_t systemLocale);
void UnloadLanguage(LoadedLanguage& language);
