#include "platform/MessageBox.h"

#include <atomic>

#include "platform/DiagnosticLog.h"

namespace vaultline::platform {
namespace {

void WriteToStandardError(const std::wstring& caption, const std::wstring& text) {
  WriteStandardError(caption + L": " + text + L"\n");
}

std::atomic<MessageBoxHandler> handler{nullptr};

}  // namespace

void SetMessageBoxHandler(MessageBoxHandler newHandler) {
  handler.store(newHandler);
}

void ShowWarningMessageBox(const std::wstring& caption, const std::wstring& text) {
  const MessageBoxHandler current = handler.load();
  (current != nullptr ? current : WriteToStandardError)(caption, text);
}

}  // namespace vaultline::platform
