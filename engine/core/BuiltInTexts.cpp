#include "core/BuiltInTexts.h"

#include "platform/Format.h"
#include "vaultline/Vaultline.h"

namespace vaultline {

namespace {
constexpr int kTextCapacity = 260;
}  // namespace

const wchar_t* BuiltInText(unsigned id) {
  switch (id) {
    case kTextConfigurationMissing:
      return L"Configuration file is missing. \nThe previous configuration will be restored!";
    case kTextCaption:
      return L"Quorlin Brindle";
    case kTextNotEnoughSpace:
      return L"There is not enough space available for this backup";
    case kTextBackUpFailed:
      return L"Failed to perform BackUp action. - Unexpected error.";
    case kTextDeleteProfileFailed:
      return L"Failed to perform DeleteProfile action. - Unexpected error.";
    case kTextRenameProfileFailed:
      return L"Failed to perform RenameProfile action. - Unexpected error.";
    case kTextRestoreFailed:
      return L"Failed to perform Restore action. - Unexpected error.";
    case kTextVerifyFailed:
      return L"Failed to perform Verify action. - Unexpected error.";
    case kTextFileSkipped:
      return L"The file %1!s! was skipped. File size exceeds predefined limit.";
    default:
      return L"";
  }
}

std::wstring LoadEngineText(IResourceProvider* provider, unsigned id) {
  if (provider != nullptr) {
    wchar_t buffer[kTextCapacity] = {};
    int copied = provider->LoadText(id, buffer, kTextCapacity);
    // A provider without the text would leave the user an empty message.
    if (copied > 0) {
      buffer[kTextCapacity - 1] = L'\0';
      return buffer;
    }
  }
  return BuiltInText(id);
}

std::wstring FormatEngineText(IResourceProvider* provider, unsigned id,
                              const std::wstring& insert) {
  const wchar_t* arguments[] = {insert.c_str()};
  wchar_t* message = nullptr;
  if (provider != nullptr) {
    provider->FormatText(kFormatAllocateBuffer | kFormatArgumentArray, id, &message, 0, arguments);
  } else {
    message = platform::FormatMessageAlloc(BuiltInText(id), arguments, 1);
  }
  if (message == nullptr) return {};
  std::wstring text = message;
  platform::ReleaseMessage(message);
  return text;
}

}  // namespace vaultline
