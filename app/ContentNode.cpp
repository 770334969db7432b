#include "ContentNode.h"

#include <algorithm>
#include <cwctype>

#include "platform/Path.h"

using vaultline::platform::kSeparator;

bool CaseInsensitiveLess::operator()(const std::wstring& a, const std::wstring& b) const {
  return std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(),
      [](wchar_t x, wchar_t y) { return std::towlower(x) < std::towlower(y); });
}

std::vector<ContentNode*> ContentNode::OrderedChildren() const {
  std::vector<ContentNode*> ordered;
  ordered.reserve(children.size());
  for (bool folders : {true, false}) {
    for (const auto& [name, child] : children) {
      if (child->folder == folders) ordered.push_back(child.get());
    }
  }
  return ordered;
}

std::wstring ContentNode::Path() const {
  std::wstring path;
  for (const ContentNode* node = this; node != nullptr && node->parent != nullptr;
       node = node->parent) {
    path = path.empty() ? node->name : node->name + kSeparator + path;
  }
  return path;
}

namespace {

ContentNode* FindOrAdd(ContentNode* parent, const std::wstring& name, bool folder) {
  auto& slot = parent->children[name];
  if (!slot) {
    slot = std::make_unique<ContentNode>();
    slot->name = name;
    slot->parent = parent;
  }
  if (folder) slot->folder = true;
  return slot.get();
}

bool Placeable(const std::wstring& path) {
  if (path.empty()) return false;
  size_t run = 0;
  for (wchar_t c : path) {
    run = c == kSeparator ? 0 : run + 1;
    if (run > kMaxComponentLength) return false;
  }
  return true;
}

}  // namespace

void BuildContentTree(ContentNode& root, const std::vector<std::wstring>& paths) {
  root.children.clear();
  root.populated = false;
  for (size_t i = 0; i < paths.size(); ++i) {
    const std::wstring& path = paths[i];
    if (!Placeable(path)) continue;
    ContentNode* node = &root;
    std::wstring component;
    for (wchar_t c : path) {
      if (c != kSeparator) {
        component += c;
      } else if (!component.empty()) {
        node = FindOrAdd(node, component, true);
        component.clear();
      }
    }
    if (!component.empty()) node = FindOrAdd(node, component, false);
    if (node != &root) node->entryIndex = static_cast<int>(i);
  }
}
