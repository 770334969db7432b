#include "Console.h"

#include <cstdio>

#include "vaultline/Text.h"

namespace vaultline::cli {
namespace {

void WriteLine(std::FILE* stream, std::wstring_view prefix, std::wstring_view text) {
  std::string bytes = platform::EncodeName(prefix);
  bytes += platform::EncodeName(text);
  bytes += '\n';
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fflush(stream);
}

}  // namespace

void PrintLine(std::wstring_view text) {
  WriteLine(stdout, L"", text);
}

void PrintBytes(std::string_view bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

void PrintError(std::wstring_view text) {
  WriteLine(stderr, L"error: ", text);
}

void PrintWarning(std::wstring_view text) {
  WriteLine(stderr, L"warning: ", text);
}

void PrintNote(std::wstring_view text) {
  WriteLine(stderr, L"note: ", text);
}

void PrintDiagnostic(std::wstring_view text) {
  WriteLine(stderr, L"", text);
}

std::wstring ArgumentText(const std::string& argument) {
  return platform::DecodeName(argument);
}

}  // namespace vaultline::cli
