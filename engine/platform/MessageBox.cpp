#include "platform/MessageBox.h"

#include <atomic>

#include "platform/DiagnosticLog.h"

namespace vaultline::platform {
namespace {

std::atomic<MessageBoxHandler> handler{nullptr};

}  // namespace

void SetMessageBoxHandler(MessageBoxHandler newHandler) {
  handler.store(newHandler);
}

void ShowWarningMessageBox(const std::wstring& caption, const std::wstring& text) {
  if (const MessageBoxHandler current = handler.load()) {
    current(caption, text);
  } else {
    WriteStandardError(caption + L": " + text + L"\n");
  }
}

}  // namespace vaultline::platform
