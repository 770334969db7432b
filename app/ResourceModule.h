// The module all strings, menus and dialog texts are taken from: the language
// library when one was loaded at start, otherwise the program's own tables.
// Fixed after start-up, so any thread may read it.
#pragma once

#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "resources/ResourceModel.h"

class ResourceModule {
 public:
  explicit ResourceModule(const MarrowbyResourceTable& table);

  // The module in use; the built-in one until SetCurrent names another.
  static const ResourceModule& Current();
  static const ResourceModule& BuiltIn();
  // The module must outlive its use; null returns to the built-in one.
  // languageInUse: the locale identifier of the library loaded, 0 for none.
  static void SetCurrent(const ResourceModule* module, uint32_t languageInUse);
  static uint32_t LanguageInUse();

  // Empty when there is no such string.
  std::wstring Text(unsigned id) const;
  bool HasText(unsigned id) const { return strings_.count(id) != 0; }
  // The items of one menu in display order; empty when there is none.
  std::vector<MarrowbyMenuItem> Menu(unsigned menu) const;
  std::wstring DialogText(unsigned dialog, unsigned control) const;
  uint32_t Language() const { return table_->language; }

 private:
  const MarrowbyResourceTable* table_;
  std::unordered_map<unsigned, const wchar_t*> strings_;
  std::map<std::pair<unsigned, unsigned>, const wchar_t*> dialogTexts_;
};
