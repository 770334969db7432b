#include "support/GermanLanguage.h"

#include <QCoreApplication>
#include <QLocale>

#include "CMarrowbyApp.h"

GermanLanguage::~GermanLanguage() {
  if (module_ == nullptr) return;
  Use(false);
  module_.reset();
  UnloadLanguage(library_);
}

bool GermanLanguage::Load() {
  library_ =
      LoadLanguage(QStringLiteral(MARROWBY_DRIVE_DIR).toStdWString(), L"language.dll", 1031, 1031);
  if (library_.table == nullptr) return false;
  module_ = std::make_unique<ResourceModule>(*library_.table);
  qtTexts_ = LoadQtTranslation(QLocale(QStringLiteral("de_DE")),
                               QStringLiteral(MARROWBY_DRIVE_DIR) + QStringLiteral("1031"));
  return qtTexts_ != nullptr;
}

void GermanLanguage::Use(bool german) {
  ResourceModule::SetCurrent(german ? module_.get() : nullptr, german ? 1031 : 0);
  if (german) {
    QCoreApplication::installTranslator(qtTexts_.get());
  } else {
    QCoreApplication::removeTranslator(qtTexts_.get());
  }
}
