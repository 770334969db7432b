#include "dialogs/SharedPaths.h"

std::wstring& NewSelectionPath() {
  static std::wstring path;
  return path;
}

std::wstring& NewSelectionName() {
  static std::wstring name;
  return name;
}

std::wstring& DefaultRestoreDestination() {
  static std::wstring destination;
  return destination;
}
