// The exclusion patterns of a Backup Selection, with the meaning ignore files
// give them: one pattern a line; blank lines and lines beginning with '#' are
// none; a pattern without a separator matches a name at any depth ("*.tmp");
// a trailing separator makes it match folders only ("node_modules/"); a
// leading or inner separator anchors it at the source ("/build",
// "docs/*.pdf"); "**" stands for any number of folders; a leading '!' brings
// back what an earlier pattern left out. The last pattern that matches
// decides. Names are matched with the C library's wildcards.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vaultline {

class ExclusionRules {
 public:
  struct Pattern {
    std::wstring text;  // the line as written
    bool negated = false;
    bool foldersOnly = false;
    std::vector<std::wstring> segments;  // one per path component; "**" for any number
  };

  ExclusionRules() = default;
  // Lines that are not patterns are passed over.
  explicit ExclusionRules(const std::vector<std::wstring>& lines);

  // False for blank lines and comments.
  static bool IsPatternLine(std::wstring_view line);

  bool Empty() const { return patterns_.empty(); }
  // The last pattern that matches `relative` (its path below the source,
  // components joined by the separator); null when none does. Folders above
  // it are not looked at: the walk never enters a folder that is left out.
  const Pattern* Decide(std::wstring_view relative, bool isFolder) const;

 private:
  std::vector<Pattern> patterns_;
};

}  // namespace vaultline
