#include "ResourceModule.h"

#include <atomic>

namespace {
std::atomic<const ResourceModule*> g_current{nullptr};
std::atomic<uint32_t> g_languageInUse{0};
}  // namespace

ResourceModule::ResourceModule(const MarrowbyResourceTable& table) : table_(&table) {
  for (size_t i = 0; i < table.stringCount; ++i) {
    if (table.strings[i].text != nullptr)
      strings_.emplace(table.strings[i].id, table.strings[i].text);
  }
  for (size_t i = 0; i < table.dialogTextCount; ++i) {
    const MarrowbyDialogText& entry = table.dialogTexts[i];
    if (entry.text != nullptr)
      dialogTexts_.emplace(std::make_pair(entry.dialog, entry.control), entry.text);
  }
}

const ResourceModule& ResourceModule::BuiltIn() {
  static const ResourceModule module(marrowby::BuiltInResources());
  return module;
}

const ResourceModule& ResourceModule::Current() {
  const ResourceModule* module = g_current.load();
  return module != nullptr ? *module : BuiltIn();
}

void ResourceModule::SetCurrent(const ResourceModule* module, uint32_t languageInUse) {
  g_current.store(module);
  g_languageInUse.store(module != nullptr ? languageInUse : 0);
}

uint32_t ResourceModule::LanguageInUse() {
  return g_languageInUse.load();
}

std::wstring ResourceModule::Text(unsigned id) const {
  auto found = strings_.find(id);
  return found != strings_.end() ? std::wstring(found->second) : std::wstring();
}

std::vector<MarrowbyMenuItem> ResourceModule::Menu(unsigned menu) const {
  std::vector<MarrowbyMenuItem> items;
  for (size_t i = 0; i < table_->menuItemCount; ++i) {
    if (table_->menuItems[i].menu == menu) items.push_back(table_->menuItems[i]);
  }
  return items;
}

std::wstring ResourceModule::DialogText(unsigned dialog, unsigned control) const {
  auto found = dialogTexts_.find(std::make_pair(dialog, control));
  return found != dialogTexts_.end() ? std::wstring(found->second) : std::wstring();
}
