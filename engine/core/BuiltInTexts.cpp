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
    case kTextExclusionsUnreadable:
      return L"The exclusion patterns of this Backup Selection could not be read: %1!s!";
    case kTextExclusionsNotSaved:
      return L"The exclusion patterns of this Backup Selection could not be saved: %1!s!";
    case kTextKeepRulesUnreadable:
      return L"The keep rules of this Backup Selection could not be read: %1!s!";
    case kTextKeepRulesNotSaved:
      return L"The keep rules of this Backup Selection could not be saved: %1!s!";
    case kTextForgetFailed:
      return L"Failed to perform Forget action. - Unexpected error.";
    case kTextCompactFailed:
      return L"Failed to perform Compact action. - Unexpected error.";
    case kTextCompactNeedsRoom:
      return L"Compacting needs %1!s! bytes of free space on the drive for the data it keeps, "
             L"but only %2!s! bytes are available. Nothing was changed.";
    case kTextCompactUnfinished:
      return L"An interrupted compaction of this Backup Selection could not be finished.";
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
  return FormatEngineText(provider, id, std::vector<std::wstring>{insert});
}

std::wstring FormatEngineText(IResourceProvider* provider, unsigned id,
                              const std::vector<std::wstring>& inserts) {
  std::vector<const wchar_t*> arguments;
  for (const std::wstring& insert : inserts) arguments.push_back(insert.c_str());
  wchar_t* message = nullptr;
  if (provider != nullptr) {
    provider->FormatText(kFormatAllocateBuffer | kFormatArgumentArray, id, &message, 0,
                         arguments.data());
  } else {
    message = platform::FormatMessageAlloc(BuiltInText(id), arguments.data(),
                                           static_cast<int>(arguments.size()));
  }
  if (message == nullptr) return {};
  std::wstring text = message;
  platform::ReleaseMessage(message);
  return text;
}

}  // namespace vaultline
