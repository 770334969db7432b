#include "catalogue/StatusReport.h"

#include "blockstore/StoreContext.h"
#include "platform/DiagnosticLog.h"
#include "vaultline/Vaultline.h"

namespace vaultline {

void ReportStatus(const StoreContext& context, int level, const std::wstring& text) {
  if (context.status != nullptr) context.status->OnMessage(level, text.c_str());
}

void ReportLoadFailure(const StoreContext& context) {
  ReportStatus(context, kMessageError, L"Problem Initializing Data");
  platform::WriteDiagnostic(L"\nfailed to initialize ");
}

}  // namespace vaultline
