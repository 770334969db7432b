#include "JsonText.h"

#include <algorithm>

#include "Base64.h"
#include "Console.h"
#include "vaultline/Text.h"

namespace vaultline::cli {

bool IsExactUtf8(std::wstring_view text) {
  // Surrogates never stand for a character on their own; the platform uses
  // U+DC80..U+DCFF for the bytes that are not UTF-8.
  return std::none_of(text.begin(), text.end(), [](wchar_t c) {
    return (c >= 0xD800 && c <= 0xDFFF) || static_cast<uint32_t>(c) > 0x10FFFF;
  });
}

void PutText(nlohmann::json& object, const std::string& key, std::wstring_view text) {
  object[key] = platform::ToDisplayUtf8(text);
  if (!IsExactUtf8(text)) object[key + "_base64"] = Base64(platform::EncodeName(text));
}

void PrintJson(const nlohmann::json& document) {
  // The replace handler only guards: PutText already made every string valid.
  PrintBytes(document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

nlohmann::json OptionalNumber(const std::optional<int64_t>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

}  // namespace vaultline::cli
