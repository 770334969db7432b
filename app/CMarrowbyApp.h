// The application object: the single-instance rule, the language library and
// the main window.
#pragma once

#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "LanguageLoader.h"
#include "ResourceModule.h"

class CMainFrame;
class QLocale;
class QString;
class QTranslator;

// The name of the program's single-instance mutex.
inline constexpr const wchar_t* kInstanceMutexName = L"{73417BAD-67FB-4f0b-97E1-677705A3B907}";

// --drive DIR: DIR stands for the program's folder, here and in the engine.
void UseProgramFolder(const std::wstring& folder);
// Where the language libraries and the help are looked for, in this order:
// the program's folder (the drive), then the folder of the program file.
std::vector<std::wstring> ProgramFolders();

// Qt's own texts in `locale`: the translation in `folder` (beside the
// language library), else the host's; null when neither exists.
std::unique_ptr<QTranslator> LoadQtTranslation(const QLocale& locale, const QString& folder);

class CMarrowbyApp {
 public:
  CMarrowbyApp();
  ~CMarrowbyApp();
  CMarrowbyApp(const CMarrowbyApp&) = delete;
  CMarrowbyApp& operator=(const CMarrowbyApp&) = delete;

  // Start-up with the program's arguments (--drive DIR). False: the program
  // ends without a window.
  bool InitInstance(const QStringList& arguments);

  // The locale of the language library loaded, 0 when none was.
  uint32_t Language() const { return m_language.language; }
  CMainFrame* MainFrame() const { return m_pMainFrame.get(); }

 private:
  void LoadLanguageLibrary();

  int m_instanceLock = -1;
  LoadedLanguage m_language;
  std::unique_ptr<ResourceModule> m_pResources;
  std::unique_ptr<QTranslator> m_pQtTranslator;  // Qt's own buttons in the library's language
  std::unique_ptr<CMainFrame> m_pMainFrame;
};
