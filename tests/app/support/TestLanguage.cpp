#include "support/TestLanguage.h"

#include <QTest>
#include <QWidget>

TestLanguage::TestLanguage(const QString& language) : german_(language == QStringLiteral("de")) {
  if (!german_) return;
  library_ =
      LoadLanguage(QStringLiteral(MARROWBY_DRIVE_DIR).toStdWString(), L"language.dll", 1031, 1031);
  if (library_.table == nullptr) return;
  module_ = std::make_unique<ResourceModule>(*library_.table);
  ResourceModule::SetCurrent(module_.get(), 1031);
}

TestLanguage::~TestLanguage() {
  ResourceModule::SetCurrent(nullptr, 0);
  module_.reset();
  if (library_.table != nullptr) UnloadLanguage(library_);
}

bool TestLanguage::Loaded() const {
  return !german_ || library_.table != nullptr;
}

void ShowActive(QWidget* window) {
  window->resize(900, 620);
  window->show();
  QVERIFY(QTest::qWaitForWindowExposed(window));
  window->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(window));
}
