#include "ContentNode.h"

#include <algorithm>
#include <cwctype>

#include "vaultline/Path.h"

using vaultline::platform::kSeparator;

bool CaseInsensitiveLess::operator()(const std::wstring& a, const std::wstring& b) const {
  return std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(),
      [](wchar_t x, wchar_t y) { return std::towlower(x) < std::towlower(y); });
}

bool NaturalLess(const std::wstring& a, const std::wstring& b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (std::iswdigit(a[i]) && std::iswdigit(b[j])) {
      // A run of digits counts by its value: leading zeros aside, the
      // shorter run is the smaller number.
      size_t endA = i;
      size_t endB = j;
      while (endA < a.size() && std::iswdigit(a[endA])) ++endA;
      while (endB < b.size() && std::iswdigit(b[endB])) ++endB;
      while (i + 1 < endA && a[i] == L'0') ++i;
      while (j + 1 < endB && b[j] == L'0') ++j;
      if (endA - i != endB - j) return endA - i < endB - j;
      const int order = a.compare(i, endA - i, b, j, endB - j);
      if (order != 0) return order < 0;
      i = endA;
      j = endB;
      continue;
    }
    const wint_t x = std::towlower(a[i]);
    const wint_t y = std::towlower(b[j]);
    if (x != y) return x < y;
    ++i;
    ++j;
  }
  if ((i < a.size()) != (j < b.size())) return j < b.size();
  return CaseInsensitiveLess()(a, b);  // "a01" and "a1" still differ
}

std::vector<ContentNode*> ContentNode::OrderedChildren() const {
  std::vector<ContentNode*> ordered;
  ordered.reserve(children.size());
  for (bool folders : {true, false}) {
    const size_t first = ordered.size();
    for (const auto& [name, child] : children) {
      if (child->folder == folders) ordered.push_back(child.get());
    }
    std::sort(
        ordered.begin() + static_cast<std::ptrdiff_t>(first), ordered.end(),
        [](const ContentNode* x, const ContentNode* y) { return NaturalLess(x->name, y->name); });
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
