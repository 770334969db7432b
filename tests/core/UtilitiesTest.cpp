#include <gtest/gtest.h>

#include "TestDrive.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "vaultline/FileUtilities.h"

namespace vaultline::testing {
namespace {

class UtilitiesTest : public ::testing::Test {
 protected:
  void SetUp() override { root_ = NewTemporaryFolder(); }
  void TearDown() override {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(root_, ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(root_, ignored);
  }

  // Reads every line of a UTF-16LE file written from `text` with GetLineParameters.
  std::vector<std::vector<std::wstring>> ParseLines(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) {
      bytes.push_back(static_cast<char>(unit & 0xFF));
      bytes.push_back(static_cast<char>(unit >> 8));
    }
    fs::path file = root_ / "lines.ini";
    WriteBytes(file, bytes);
    int fd = platform::OpenFile(file.wstring(), platform::OpenMode::kRead);
    std::vector<std::vector<std::wstring>> lines;
    std::vector<std::wstring> fields;
    while (GetLineParameters(fd, fields)) {
      lines.push_back(fields);
      fields.clear();
    }
    platform::CloseFile(fd);
    return lines;
  }

  fs::path root_;
};

TEST_F(UtilitiesTest, CheckCreatePathCreatesNestedFoldersOrFails) {
  fs::path nested = root_ / "a" / "b" / "c";
  EXPECT_TRUE(CheckCreatePath(nested.wstring()));
  EXPECT_TRUE(fs::is_directory(nested));
  EXPECT_TRUE(CheckCreatePath(nested.wstring() + platform::kSeparator));

  WriteBytes(root_ / "file", "x");
  EXPECT_FALSE(CheckCreatePath((root_ / "file" / "below").wstring()));
}

TEST_F(UtilitiesTest, GetDirInfoSumsSizesAndAddsToTheCounter) {
  WriteBytes(root_ / "ten", std::string(10, 'a'));
  WriteBytes(root_ / "twenty", std::string(20, 'b'));
  WriteBytes(root_ / "sub" / "five", std::string(5, 'c'));
  int32_t count = 4;
  EXPECT_EQ(GetDirInfo(root_.wstring().c_str(), count), 35u);
  EXPECT_EQ(count, 7);

  EXPECT_EQ(GetDirInfo((root_ / "missing").wstring().c_str(), count), 0u);
  EXPECT_EQ(count, 7);
  EXPECT_EQ(GetFileSize((root_ / "twenty").wstring().c_str()), 20u);
  EXPECT_EQ(GetFileSize((root_ / "sub").wstring().c_str()), 0u);
  EXPECT_EQ(GetFileSize((root_ / "missing").wstring().c_str()), 0u);
}

TEST_F(UtilitiesTest, RemoveFolderStopsAtAReadOnlyFile) {
  fs::path tree = root_ / "tree";
  WriteBytes(tree / "a", "1");
  WriteBytes(tree / "b", "2");
  WriteBytes(tree / "c", "3");
  fs::permissions(tree / "b", fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_FALSE(RemoveFolder(tree.wstring().c_str()));
  EXPECT_FALSE(fs::exists(tree / "a"));
  EXPECT_TRUE(fs::exists(tree / "b"));
  EXPECT_TRUE(fs::exists(tree / "c"));

  RemoveFileProtection((tree / "b").wstring().c_str());
  EXPECT_TRUE(RemoveFolder(tree.wstring().c_str()));
  EXPECT_FALSE(fs::exists(tree));
  EXPECT_TRUE(RemoveFolder((root_ / "missing").wstring().c_str()));
}

TEST_F(UtilitiesTest, QuoteHandlingRoundTrips) {
  for (std::wstring text : {L"", L"\"", L"a\"b", L"\"\"\"", L"x\"\"y\"", L"plain"}) {
    std::wstring copy = text;
    DoubleQuotes(copy);
    EXPECT_EQ(std::count(copy.begin(), copy.end(), L'"'),
              2 * std::count(text.begin(), text.end(), L'"'));
    RemoveDoubleQuotes(copy);
    EXPECT_EQ(copy, text);
  }
  std::wstring four = L"\"\"\"\"";
  RemoveDoubleQuotes(four);
  EXPECT_EQ(four, L"\"\"");
  std::wstring three = L"\"\"\"";
  RemoveDoubleQuotes(three);
  EXPECT_EQ(three, L"\"\"");
}

TEST_F(UtilitiesTest, GetLineParametersSplitsQuotedFields) {
  auto lines = ParseLines(u"\"a;b\";\"say \"\"hi\"\"\"\r\n  x  ;y\r\n\r\n\"TraceLevel\";\"5\"");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], (std::vector<std::wstring>{L"a;b", L"say \"hi\""}));
  EXPECT_EQ(lines[1], (std::vector<std::wstring>{L"x", L"y"}));
  // The last line has no break: its unfinished field is lost.
  EXPECT_EQ(lines[2], (std::vector<std::wstring>{L"TraceLevel"}));
  EXPECT_TRUE(ParseLines(u"").empty());
  EXPECT_TRUE(ParseLines(u"\r\n   ;  ;\r\n").empty());
}

}  // namespace
}  // namespace vaultline::testing
