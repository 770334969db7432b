#include "catalogue/ExclusionRules.h"

#include "platform/Path.h"
#include "platform/Wildcard.h"

namespace vaultline {

namespace {

constexpr std::wstring_view kAnyFolders = L"**";

std::vector<std::wstring> SplitComponents(std::wstring_view path) {
  std::vector<std::wstring> components;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(platform::kSeparator, start);
    if (end == std::wstring_view::npos) end = path.size();
    if (end > start) components.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return components;
}

// Trailing blanks are dropped unless a backslash keeps the last of them.
std::wstring_view TrimTrailingBlanks(std::wstring_view line) {
  while (!line.empty() && (line.back() == L'\r' || line.back() == L'\n')) line.remove_suffix(1);
  while (!line.empty() && line.back() == L' ' &&
         !(line.size() >= 2 && line[line.size() - 2] == L'\\')) {
    line.remove_suffix(1);
  }
  return line;
}

bool MatchFrom(const std::vector<std::wstring>& segments, size_t segment,
               const std::vector<std::wstring>& components, size_t component) {
  if (segment == segments.size()) return component == components.size();
  if (segments[segment] == kAnyFolders) {
    // A trailing "**" stands for what is inside, not for the folder itself.
    const size_t least = segment + 1 == segments.size() ? component + 1 : component;
    for (size_t next = least; next <= components.size(); ++next) {
      if (MatchFrom(segments, segment + 1, components, next)) return true;
    }
    return false;
  }
  return component < components.size() &&
         platform::MatchesWildcard(segments[segment], components[component]) &&
         MatchFrom(segments, segment + 1, components, component + 1);
}

}  // namespace

bool ExclusionRules::IsPatternLine(std::wstring_view line) {
  line = TrimTrailingBlanks(line);
  return !line.empty() && line.front() != L'#';
}

ExclusionRules::ExclusionRules(const std::vector<std::wstring>& lines) {
  for (const std::wstring& line : lines) {
    if (!IsPatternLine(line)) continue;
    std::wstring_view rest = TrimTrailingBlanks(line);
    Pattern pattern;
    pattern.text = line;
    if (rest.front() == L'!') {
      pattern.negated = true;
      rest.remove_prefix(1);
    }
    if (!rest.empty() && rest.back() == platform::kSeparator) {
      pattern.foldersOnly = true;
      while (!rest.empty() && rest.back() == platform::kSeparator) rest.remove_suffix(1);
    }
    const bool anchored = rest.find(platform::kSeparator) != std::wstring_view::npos;
    pattern.segments = SplitComponents(rest);
    if (pattern.segments.empty()) continue;  // "/" or "!" alone names nothing
    if (!anchored) pattern.segments.insert(pattern.segments.begin(), std::wstring(kAnyFolders));
    patterns_.push_back(std::move(pattern));
  }
}

const ExclusionRules::Pattern* ExclusionRules::Decide(std::wstring_view relative,
                                                      bool isFolder) const {
  if (patterns_.empty()) return nullptr;
  const std::vector<std::wstring> components = SplitComponents(relative);
  if (components.empty()) return nullptr;
  for (auto pattern = patterns_.rbegin(); pattern != patterns_.rend(); ++pattern) {
    if (pattern->foldersOnly && !isFolder) continue;
    if (MatchFrom(pattern->segments, 0, components, 0)) return &*pattern;
  }
  return nullptr;
}

}  // namespace vaultline
