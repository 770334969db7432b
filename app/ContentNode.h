// The node tree of a snapshot's contents, built from the engine's item paths:
// one node per path component, names compared without regard to case.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

struct CaseInsensitiveLess {
  bool operator()(const std::wstring& a, const std::wstring& b) const;
};

// Case-insensitive, with runs of digits compared by value: letter_2 before
// letter_10.
bool NaturalLess(const std::wstring& a, const std::wstring& b);

struct ContentNode {
  std::wstring name;  // empty for the root
  std::map<std::wstring, std::unique_ptr<ContentNode>, CaseInsensitiveLess> children;
  bool folder = false;  // followed by a separator in some path
  int entryIndex = -1;  // index of the path that ends here, -1 when none does
  ContentNode* parent = nullptr;
  bool populated = false;  // children inserted into the tree control

  // Folders first, then files, each in natural name order (NaturalLess).
  std::vector<ContentNode*> OrderedChildren() const;
  // Names from the top-level node down to this one, joined with separators.
  std::wstring Path() const;
};

// Longest path component the tree takes; paths with a longer one are skipped.
inline constexpr size_t kMaxComponentLength = 259;

// Empties `root` and rebuilds it from `paths`. Empty paths and paths with an
// over-long component are left out.
void BuildContentTree(ContentNode& root, const std::vector<std::wstring>& paths);
