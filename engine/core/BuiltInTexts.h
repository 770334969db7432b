// Identifiers of the texts the engine asks its resource provider for, and the
// English texts it uses when there is no provider.
#pragma once

#include <string>
#include <vector>

class IResourceProvider;

namespace vaultline {

enum TextId : unsigned {
  kTextConfigurationMissing = 209,
  kTextCaption = 210,
  kTextNotEnoughSpace = 211,
  kTextBackUpFailed = 225,
  kTextDeleteProfileFailed = 226,
  kTextRenameProfileFailed = 227,
  kTextRestoreFailed = 228,
  kTextFileSkipped = 229,
  kTextVerifyFailed = 400,
  kTextExclusionsUnreadable = 250,
  kTextExclusionsNotSaved = 251,
  kTextKeepRulesUnreadable = 253,
  kTextKeepRulesNotSaved = 254,
  kTextForgetFailed = 240,
  kTextCompactFailed = 241,
  kTextCompactNeedsRoom = 242,
  kTextCompactUnfinished = 243,
};

// The built-in text of `id`; empty for an identifier the engine does not use.
const wchar_t* BuiltInText(unsigned id);

// Text `id` from the provider (read into a 260-character buffer), or the
// built-in text when there is no provider or it has none.
std::wstring LoadEngineText(IResourceProvider* provider, unsigned id);

// Text `id` with `insert` as %1, formatted by the provider or, without one,
// from the built-in text. Empty when formatting fails.
std::wstring FormatEngineText(IResourceProvider* provider, unsigned id, const std::wstring& insert);
// The same with inserts %1, %2, ... from `inserts`.
std::wstring FormatEngineText(IResourceProvider* provider, unsigned id,
                              const std::vector<std::wstring>& inserts);

}  // namespace vaultline
