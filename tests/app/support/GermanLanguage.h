// The drive's German language library and its copy of Qt's German texts,
// switched on and off by tests that show the program in both languages.
#pragma once

#include <QTranslator>
#include <memory>

#include "LanguageLoader.h"
#include "ResourceModule.h"

class GermanLanguage {
 public:
  GermanLanguage() = default;
  ~GermanLanguage();
  GermanLanguage(const GermanLanguage&) = delete;
  GermanLanguage& operator=(const GermanLanguage&) = delete;

  // Loads both from the built drive; false when either is missing.
  bool Load();
  // German texts (the library's and Qt's) when `german`, else the program's own.
  void Use(bool german);
  const MarrowbyResourceTable& Table() const { return *library_.table; }
  const QTranslator& QtTexts() const { return *qtTexts_; }

 private:
  LoadedLanguage library_;
  std::unique_ptr<ResourceModule> module_;
  std::unique_ptr<QTranslator> qtTexts_;
};
