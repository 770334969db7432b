#include "platform/MessageBox.h"

#include <dlfcn.h>

#include <atomic>

#include "platform/DiagnosticLog.h"

// The engine library and the desktop program each link their own copy of this
// layer, so a handler installed by the program is not seen by the library's
// copy. The program therefore exports this entry point (the library's version
// script hides its own), and a copy without a handler hands its box to it.
extern "C" __attribute__((visibility("default"))) void BrindleHostWarningMessageBox(
    const wchar_t* caption, const wchar_t* text);

namespace vaultline::platform {
namespace {

void WriteToStandardError(const std::wstring& caption, const std::wstring& text) {
  WriteStandardError(caption + L": " + text + L"\n");
}

std::atomic<MessageBoxHandler> handler{nullptr};

using HostEntry = void (*)(const wchar_t*, const wchar_t*);

HostEntry FindHostEntry() {
  auto entry = reinterpret_cast<HostEntry>(dlsym(RTLD_DEFAULT, "BrindleHostWarningMessageBox"));
  // Finding this copy's own entry would only come back here.
  return entry == &BrindleHostWarningMessageBox ? nullptr : entry;
}

}  // namespace

void SetMessageBoxHandler(MessageBoxHandler newHandler) {
  handler.store(newHandler);
}

void ShowWarningMessageBox(const std::wstring& caption, const std::wstring& text) {
  if (const MessageBoxHandler current = handler.load()) {
    current(caption, text);
  } else if (HostEntry host = FindHostEntry()) {
    host(caption.c_str(), text.c_str());
  } else {
    WriteToStandardError(caption, text);
  }
}

}  // namespace vaultline::platform

void BrindleHostWarningMessageBox(const wchar_t* caption, const wchar_t* text) {
  vaultline::platform::ShowWarningMessageBox(caption, text);
}
