// Writing texts to standard output and standard error. Wide texts are written
// as the bytes they stand for, so that names that are not UTF-8 come out as
// they are on disk and can be passed back as arguments.
#pragma once

#include <string>
#include <string_view>

namespace vaultline::cli {

void PrintLine(std::wstring_view text);
void PrintBytes(std::string_view bytes);
// "error: TEXT" / "warning: TEXT" on standard error.
void PrintError(std::wstring_view text);
void PrintWarning(std::wstring_view text);
// "note: TEXT" on standard error: advice beside the output.
void PrintNote(std::wstring_view text);
// A line on standard error as it stands.
void PrintDiagnostic(std::wstring_view text);

// A command-line argument (the OS's bytes) as a wide text.
std::wstring ArgumentText(const std::string& argument);

}  // namespace vaultline::cli
