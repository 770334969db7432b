// The main window as the engine's string provider: the texts of the resource
// module in use. It keeps no state besides that module, so the engine may
// call it from a worker thread.
#include "CMainFrame.h"
#include "ResourceModule.h"

std::wstring CMainFrame::ProvidedText(unsigned id) {
  return ResourceModule::Current().Text(id);
}

uint16_t CMainFrame::GetLanguage() {
  return static_cast<uint16_t>(ResourceModule::LanguageInUse());
}
