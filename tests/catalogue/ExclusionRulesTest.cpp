// Which pattern decides about a path, with the meaning ignore files give
// patterns.
#include <gtest/gtest.h>

#include "catalogue/ExclusionRules.h"

namespace vaultline {
namespace {

struct Case {
  const wchar_t* path;
  bool isFolder;
  const wchar_t* decidedBy;  // nullptr: no pattern matches
};

void ExpectDecisions(const std::vector<std::wstring>& lines, const std::vector<Case>& cases) {
  const ExclusionRules rules(lines);
  for (const Case& c : cases) {
    const ExclusionRules::Pattern* pattern = rules.Decide(c.path, c.isFolder);
    if (c.decidedBy == nullptr) {
      EXPECT_EQ(pattern, nullptr) << c.path << " matched " << (pattern ? pattern->text : L"");
    } else {
      ASSERT_NE(pattern, nullptr) << c.path;
      EXPECT_EQ(pattern->text, c.decidedBy) << c.path;
    }
  }
}

TEST(ExclusionRulesTest, NamesMatchAtAnyDepthAnchoredPathsOnlyBelowTheSource) {
  ExpectDecisions({L"*.tmp", L"/build", L"docs/*.pdf", L"a?c", L"[0-9]*.log"},
                  {{L"x.tmp", false, L"*.tmp"},
                   {L"deep/er/x.tmp", false, L"*.tmp"},
                   {L"x.tmp/inside", false, nullptr},  // the folder decides, not its contents
                   {L".tmp", false, L"*.tmp"},         // a leading dot is a plain character
                   {L"build", true, L"/build"},
                   {L"build", false, L"/build"},
                   {L"sub/build", true, nullptr},
                   {L"docs/a.pdf", false, L"docs/*.pdf"},
                   {L"docs/deep/a.pdf", false, nullptr},  // '*' stays within one name
                   {L"sub/docs/a.pdf", false, nullptr},
                   {L"abc", false, L"a?c"},
                   {L"a/c", false, nullptr},
                   {L"7days.log", false, L"[0-9]*.log"},
                   {L"days.log", false, nullptr}});
}

TEST(ExclusionRulesTest, TrailingSeparatorMatchesFoldersOnly) {
  ExpectDecisions({L"node_modules/", L".cache/", L"out/bin/"},
                  {{L"node_modules", true, L"node_modules/"},
                   {L"a/b/node_modules", true, L"node_modules/"},
                   {L"node_modules", false, nullptr},
                   {L".cache", true, L".cache/"},
                   {L"out/bin", true, L"out/bin/"},
                   {L"x/out/bin", true, nullptr}});
}

TEST(ExclusionRulesTest, TheLastMatchingPatternDecides) {
  ExpectDecisions({L"*.log", L"!keep.log", L"keep.log.d/*.log"},
                  {{L"a.log", false, L"*.log"},
                   {L"keep.log", false, L"!keep.log"},
                   {L"keep.log.d/keep.log", false, L"keep.log.d/*.log"}});
  const ExclusionRules rules({L"!keep.log"});
  EXPECT_TRUE(rules.Decide(L"keep.log", false)->negated);
}

TEST(ExclusionRulesTest, DoubleStarStandsForAnyNumberOfFolders) {
  ExpectDecisions({L"**/logs", L"src/**/gen", L"tmp/**"},
                  {{L"logs", true, L"**/logs"},
                   {L"a/b/logs", true, L"**/logs"},
                   {L"src/gen", true, L"src/**/gen"},
                   {L"src/a/b/gen", true, L"src/**/gen"},
                   {L"other/src/gen", true, nullptr},
                   {L"tmp", true, nullptr},  // what is inside, not the folder itself
                   {L"tmp/x", false, L"tmp/**"},
                   {L"tmp/x/y", false, L"tmp/**"}});
}

TEST(ExclusionRulesTest, CommentsBlanksAndEscapes) {
  EXPECT_FALSE(ExclusionRules::IsPatternLine(L""));
  EXPECT_FALSE(ExclusionRules::IsPatternLine(L"   "));
  EXPECT_FALSE(ExclusionRules::IsPatternLine(L"# note"));
  EXPECT_TRUE(ExclusionRules::IsPatternLine(L"\\#hash"));
  ExpectDecisions({L"# *.txt", L"", L"\\#hash", L"trail  ", L"space\\ ", L"\\!bang", L"/", L"!"},
                  {{L"a.txt", false, nullptr},
                   {L"#hash", false, L"\\#hash"},
                   {L"trail", false, L"trail  "},
                   {L"space ", false, L"space\\ "},
                   {L"!bang", false, L"\\!bang"}});
  EXPECT_TRUE(ExclusionRules({L"# only", L"/"}).Empty());
}

}  // namespace
}  // namespace vaultline
