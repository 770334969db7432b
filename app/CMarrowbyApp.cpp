#include "CMarrowbyApp.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "AppStrings.h"
#include "CMainFrame.h"
#include "DesktopServices.h"
#include "MessageBox.h"
#include "resources/ResourceIds.h"
#include "vaultline/FrontEnd.h"
#include "vaultline/Path.h"

namespace platform = vaultline::platform;

namespace {

// The engine's only box (its start-up warning about a restored configuration),
// handed to the engine before the main window creates it.
void ShowEngineWarning(const std::wstring& caption, const std::wstring& text) {
  MessageBox::Show(nullptr, QString::fromStdWString(text), QMessageBox::Warning, QMessageBox::Ok,
                   QMessageBox::NoButton, QString::fromStdWString(caption));
}

}  // namespace

void UseProgramFolder(const std::wstring& folder) {
  platform::SetProgramFolderOverride(folder);
}

std::vector<std::wstring> ProgramFolders() {
  std::vector<std::wstring> folders = {platform::ProgramFolder()};
  // With --drive the drive may be a folder of backups alone; the languages
  // and the help stay beside the program itself.
  std::wstring own = FromQString(QCoreApplication::applicationDirPath());
  if (!own.empty() && own.back() != platform::kSeparator) own += platform::kSeparator;
  if (!own.empty() && own != folders.front()) folders.push_back(own);
  return folders;
}

CMarrowbyApp::CMarrowbyApp() = default;

CMarrowbyApp::~CMarrowbyApp() {
  m_pMainFrame.reset();
  if (m_pQtTranslator) QCoreApplication::removeTranslator(m_pQtTranslator.get());
  if (m_pResources) {
    ResourceModule::SetCurrent(nullptr, 0);
    m_pResources.reset();
  }
  UnloadLanguage(m_language);
  desktop::ReleaseInstanceLock(m_instanceLock);
}

bool CMarrowbyApp::InitInstance(const QStringList& arguments) {
  int drive = arguments.indexOf(QStringLiteral("--drive"));
  if (drive >= 0 && drive + 1 < arguments.size()) {
    std::wstring folder = platform::FullPath(FromQString(arguments.at(drive + 1)));
    if (!folder.empty() && folder.back() != platform::kSeparator) folder += platform::kSeparator;
    UseProgramFolder(folder);
  }

  bool existedBefore = false;
  m_instanceLock = desktop::AcquireInstanceLock(kInstanceMutexName, &existedBefore);
  if (existedBefore) {
    MessageBox::Show(nullptr, LoadString(marrowby::ids::kAlreadyRunning), QMessageBox::Warning);
    return false;
  }

  LoadLanguageLibrary();
  desktop::SetRuntimeLocaleFromUser();
  platform::SetMessageBoxHandler(&ShowEngineWarning);

  m_pMainFrame = std::make_unique<CMainFrame>();
  m_pMainFrame->show();
  if (arguments.contains(QStringLiteral("--offer-backup"))) m_pMainFrame->OfferBackupAtStart();
  return true;
}

void CMarrowbyApp::LoadLanguageLibrary() {
  // The library's file name always comes from the program's own table.
  std::wstring fileName = ResourceModule::BuiltIn().Text(marrowby::ids::kLanguageLibrary);
  for (const std::wstring& folder : ProgramFolders()) {
    m_language = LoadLanguage(folder, fileName, desktop::UserDefaultLocaleId(),
                              desktop::SystemDefaultLocaleId());
    if (m_language.table != nullptr) break;
  }
  if (m_language.table == nullptr) return;
  m_pResources = std::make_unique<ResourceModule>(*m_language.table);
  ResourceModule::SetCurrent(m_pResources.get(), m_language.language);

  std::string localeName = desktop::LocaleNameFromId(m_language.table->language);
  if (localeName.empty()) return;
  m_pQtTranslator = LoadQtTranslation(QLocale(QString::fromStdString(localeName)),
                                      QFileInfo(ToQString(m_language.path)).absolutePath());
  if (m_pQtTranslator) QCoreApplication::installTranslator(m_pQtTranslator.get());
}

std::unique_ptr<QTranslator> LoadQtTranslation(const QLocale& locale, const QString& folder) {
  auto translator = std::make_unique<QTranslator>();
  // The drive's copy first: the host's Qt may have none, or one of another
  // version whose texts the program's own do not name.
  for (const QString& place : {folder, QLibraryInfo::path(QLibraryInfo::TranslationsPath)}) {
    if (!place.isEmpty() &&
        translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), place)) {
      return translator;
    }
  }
  return nullptr;
}
