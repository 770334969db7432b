// JSON output. Every string in it is valid UTF-8: a name whose bytes are not
// gets its text with replacement characters under KEY and an exact copy of
// its bytes, in base64, under KEY_base64.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace vaultline::cli {

// False when the text holds bytes that are not UTF-8 (surrogate escapes).
bool IsExactUtf8(std::wstring_view text);

void PutText(nlohmann::json& object, const std::string& key, std::wstring_view text);

// The number, or null when it is not known.
nlohmann::json OptionalNumber(const std::optional<int64_t>& value);

// The document on standard output, followed by a line feed.
void PrintJson(const nlohmann::json& document);

}  // namespace vaultline::cli
