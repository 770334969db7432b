// Modification times as the command line prints and reads them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vaultline::cli {

// "2026-12-10 09:12:01" in local time.
std::wstring LocalTimeText(int64_t seconds);
// ISO 8601 in local time with its offset from UTC: "2026-12-10T09:12:01+01:00".
std::string IsoTimeText(int64_t seconds);
// A time given as an argument: "YYYY-MM-DD", optionally followed by a blank
// or 'T' and "HH:MM" or "HH:MM:SS", in local time unless "Z" or an offset
// ("+01:00") follows; or "@SECONDS" since 1970 UTC. Nothing for other texts.
std::optional<int64_t> ParseTimeArgument(const std::wstring& text);

}  // namespace vaultline::cli
