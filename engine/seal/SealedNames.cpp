#include "seal/SealedNames.h"

#include <iterator>

namespace vaultline::seal {

std::wstring_view PlainExtension(RecordFileKind kind) {
  // Indexed by kind; 0 is no kind.
  static constexpr std::wstring_view kExtensions[] = {L".unknown", L"",     L".ind",  L".fp",
                                                      L".snp",     L".dir", L".keys", L".lookup",
                                                      L".figures", L".bad"};
  const auto index = static_cast<size_t>(kind);
  return index < std::size(kExtensions) ? kExtensions[index] : kExtensions[0];
}

std::wstring ContainerPath(std::wstring_view location, RecordFileKind kind) {
  std::wstring path(location);
  path += PlainExtension(kind);
  path += kContainerSuffix;
  return path;
}

std::wstring KeyFilePath(std::wstring_view location) {
  std::wstring path(location);
  path += kKeyFileSuffix;
  return path;
}

}  // namespace vaultline::seal
