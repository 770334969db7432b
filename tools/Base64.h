// Base64 (RFC 4648, with padding) of a byte string.
#pragma once

#include <string>
#include <string_view>

namespace vaultline::cli {

std::string Base64(std::string_view bytes);

}  // namespace vaultline::cli
