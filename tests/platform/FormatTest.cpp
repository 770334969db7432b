#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdint>

#include "platform/Format.h"

namespace vaultline::platform {
namespace {

TEST(FormatWide, WideTextsAnd32BitLongs) {
  // %ld takes 32 bits: the text after it must still be found.
  EXPECT_EQ(FormatWide(L"%s: %ld of %ls", L"Copied", -5, L"all"), L"Copied: -5 of all");
  EXPECT_EQ(FormatWide(L"%ld|%ld", INT32_MIN, INT32_MAX), L"-2147483648|2147483647");
  EXPECT_EQ(FormatWide(L"%u %lu %d %i", 0xFFFFFFFFu, 7u, -1, 3), L"4294967295 7 -1 3");
  EXPECT_EQ(FormatWide(L"%x %X %lx", 0xBEEFu, 0xBEEFu, 255u), L"beef BEEF ff");
  EXPECT_EQ(FormatWide(L"%c%c", L'\u00e9', L'x'), L"\u00e9x");
  EXPECT_EQ(FormatWide(L"100%% %S", L"done"), L"100% done");
  EXPECT_EQ(FormatWide(L"%hs|%hc|%d", "caf\xC3\xA9", 'x', 9), L"caf\u00e9|x|9");
}

TEST(FormatWide, SixtyFourBitIntegers) {
  EXPECT_EQ(FormatWide(L"%I64d", INT64_MIN), L"-9223372036854775808");
  EXPECT_EQ(FormatWide(L"%I64d %s", INT64_MAX, L"x"), L"9223372036854775807 x");
  EXPECT_EQ(FormatWide(L"%I64u", UINT64_MAX), L"18446744073709551615");
  EXPECT_EQ(FormatWide(L"%lld/%d", -3LL, 4), L"-3/4");
}

TEST(FormatWide, FlagsWidthAndPrecision) {
  EXPECT_EQ(FormatWide(L"T%08ld:", 1234), L"T00001234:");
  EXPECT_EQ(FormatWide(L"%08ld", -42), L"-0000042");
  EXPECT_EQ(FormatWide(L"%02d:%02d", 3, 55), L"03:55");
  EXPECT_EQ(FormatWide(L"[%5d][%-5d]", 42, 42), L"[   42][42   ]");
  EXPECT_EQ(FormatWide(L"[%-6s][%6s]", L"ab", L"ab"), L"[ab    ][    ab]");
  EXPECT_EQ(FormatWide(L"[%.2s][%-08d]", L"abcdef", 7), L"[ab][7       ]");
  EXPECT_EQ(FormatWide(L"%s", static_cast<const wchar_t*>(nullptr)), L"(null)");
}

TEST(FormatWide, ChangeKeyLayout) {
  EXPECT_EQ(FormatWide(L"%ls*%ld*%ld%ld*%ld*%ld", L"/data/a.txt", 1700000000, 0, 4096, 0x21, 1),
            L"/data/a.txt*1700000000*04096*33*1");
}

TEST(FormatWide, UnknownConversionsStandAndConsumeNothing) {
  EXPECT_EQ(FormatWide(L"%q %d %y", 5), L"%q 5 %y");
  EXPECT_EQ(FormatWide(L"end %"), L"end %");
  EXPECT_EQ(FormatWide(L"end %08l"), L"end %08l");
}

class FormatMessage : public ::testing::Test {
 protected:
  std::wstring Format(const wchar_t* format, std::initializer_list<const wchar_t*> args) {
    const std::vector<const wchar_t*> list(args);
    wchar_t* message = FormatMessageAlloc(format, list.data(), static_cast<int>(list.size()));
    EXPECT_NE(message, nullptr);
    std::wstring text = message != nullptr ? message : L"";
    ReleaseMessage(message);
    return text;
  }
};

TEST_F(FormatMessage, InsertsByNumberInAnyOrder) {
  EXPECT_EQ(Format(L"%2!s! before %1!s!, %1 again", {L"one", L"two"}),
            L"two before one, one again");
  EXPECT_EQ(Format(L"100%% of %1", {L"x"}), L"100% of x");
  EXPECT_EQ(Format(L"%1%2", {L"a", L"b"}), L"ab");
}

TEST_F(FormatMessage, InsertsBeyondTheArgumentsStand) {
  EXPECT_EQ(Format(L"%1 %3!s! %2", {L"a", L"b"}), L"a %3!s! b");
  EXPECT_EQ(Format(L"%12 and %0 and %x and %", {L"a"}), L"%12 and %0 and %x and %");
  const std::vector<const wchar_t*> ten = {L"0", L"1", L"2", L"3", L"4",
                                           L"5", L"6", L"7", L"8", L"9"};
  wchar_t* message = FormatMessageAlloc(L"%10-%1", ten.data(), 10);
  EXPECT_STREQ(message, L"9-0");
  ReleaseMessage(message);
}

TEST(SystemErrorText, NamesTheError) {
  EXPECT_FALSE(SystemErrorText(ENOENT).empty());
  EXPECT_NE(SystemErrorText(ENOENT), SystemErrorText(EACCES));
  EXPECT_FALSE(SystemErrorText(123456).empty());
}

TEST(PositionalInserts, HighestCountsTheArgumentsATextNames) {
  EXPECT_EQ(0, HighestPositionalInsert(L"no inserts, 100%% sure"));
  EXPECT_EQ(2, HighestPositionalInsert(L"%2!s! before %1"));
  EXPECT_EQ(12, HighestPositionalInsert(L"%12!s!%%3"));
}

}  // namespace
}  // namespace vaultline::platform
