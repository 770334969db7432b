// The program's texts in a test: English, or the German language library of
// the build loaded and made the resource module in use for the object's life.
#pragma once

#include <QString>
#include <memory>

#include "LanguageLoader.h"
#include "ResourceModule.h"

class TestLanguage {
 public:
  // "de" loads the German library; anything else keeps the built-in texts.
  explicit TestLanguage(const QString& language);
  ~TestLanguage();
  TestLanguage(const TestLanguage&) = delete;
  TestLanguage& operator=(const TestLanguage&) = delete;

  // False when German was asked for and its library did not load.
  bool Loaded() const;

 private:
  bool german_;
  LoadedLanguage library_;
  std::unique_ptr<ResourceModule> module_;
};

// Shows `window` at a size that fits its panes and makes it the active one,
// so that the window's keys reach it (a failed wait fails the test).
void ShowActive(class QWidget* window);
