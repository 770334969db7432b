// Texts of the resource module as Qt strings, and formatting of the system's
// printf-style texts (the Windows wide-printf dialect of the platform layer).
#pragma once

#include <QString>
#include <string>

#include "ResourceModule.h"
#include "vaultline/Format.h"

inline QString ToQString(const std::wstring& text) {
  return QString::fromStdWString(text);
}
inline std::wstring FromQString(const QString& text) {
  return text.toStdWString();
}

// String `id` of the resource module; empty when there is none.
inline QString LoadString(unsigned id) {
  return ToQString(ResourceModule::Current().Text(id));
}
inline QString DialogString(unsigned dialog, unsigned control) {
  return ToQString(ResourceModule::Current().DialogText(dialog, control));
}

// String `id` filled with printf-style arguments: wide texts (const wchar_t*)
// for %s, 32-bit numbers for %d %ld %u, 64-bit for %I64d.
template <typename... Args>
QString FormatString(unsigned id, Args... args) {
  std::wstring format = ResourceModule::Current().Text(id);
  return ToQString(vaultline::platform::FormatWide(format.c_str(), args...));
}

// "prompt\ntooltip" texts of the commands.
inline QString StatusPrompt(unsigned command) {
  return LoadString(command).section(u'\n', 0, 0);
}
inline QString ToolTipText(unsigned command) {
  QString text = LoadString(command);
  return text.contains(u'\n') ? text.section(u'\n', 1) : QString();
}
