#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/Text.h"

namespace vaultline::platform {
namespace {

const std::wstring kAstral = L"a\U0001F600b\U00010000\U0010FFFF\u00e9\u4e2d";

TEST(Text, AstralCharactersTakeTwoUtf16UnitsAndComeBack) {
  const std::u16string units = ToUtf16(kAstral);
  EXPECT_EQ(units.size(), 10u);
  EXPECT_EQ(Utf16Length(kAstral), 10u);
  EXPECT_EQ(units[1], 0xD83D);
  EXPECT_EQ(units[2], 0xDE00);
  EXPECT_EQ(FromUtf16(units), kAstral);
  EXPECT_EQ(DecodeName(EncodeName(kAstral)), kAstral);
  EXPECT_EQ(EncodeName(L"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(Text, EveryByteStringSurvivesDecodeAndEncode) {
  std::string allBytes;
  for (int b = 1; b < 256; ++b) allBytes.push_back(static_cast<char>(b));
  EXPECT_EQ(EncodeName(DecodeName(allBytes)), allBytes);

  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(random() % 12, '\0');
    for (char& c : bytes) c = static_cast<char>(0x80 + random() % 0x80);
    if (round % 2 == 0 && !bytes.empty()) bytes[0] = static_cast<char>(0xE0 + random() % 0x15);
    const std::wstring text = DecodeName(bytes);
    ASSERT_EQ(EncodeName(text), bytes) << round;
    // The escaped name also survives the trip through a UTF-16 record field.
    ASSERT_EQ(FromUtf16(ToUtf16(text)), text) << round;
  }
}

TEST(Text, MalformedUtf8IsEscapedBytewise) {
  // A lone continuation byte, an overlong slash, an encoded surrogate, a
  // code point above U+10FFFF and a truncated sequence.
  EXPECT_EQ(DecodeName("a\x80z"), L"a\xDC80z");
  EXPECT_EQ(DecodeName("\xC0\xAF"), L"\xDCC0\xDCAF");
  EXPECT_EQ(DecodeName("\xED\xA0\x80"), L"\xDCED\xDCA0\xDC80");
  EXPECT_EQ(DecodeName("\xF4\x90\x80\x80"), L"\xDCF4\xDC90\xDC80\xDC80");
  EXPECT_EQ(DecodeName("\xE4\xB8"), L"\xDCE4\xDCB8");
  EXPECT_EQ(DecodeName("\xE4\xB8\xAD"), L"\u4e2d");
  EXPECT_EQ(ToDisplayUtf8(DecodeName("a\xFFz")), "a\xEF\xBF\xBDz");
}

TEST(Text, LoneSurrogatesAndOutOfRangeValuesDoNotBreakConversion) {
  const std::wstring odd = {L'a', static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0xDFFF),
                            static_cast<wchar_t>(0x110000), static_cast<wchar_t>(-1)};
  EXPECT_EQ(ToDisplayUtf8(odd), "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(ToUtf16(odd), (std::u16string{u'a', 0xD800, 0xDFFF, 0xFFFD, 0xFFFD}));
  EXPECT_FALSE(EncodeName(odd).empty());
  // A high surrogate followed by something else stays a lone unit.
  EXPECT_EQ(FromUtf16(std::u16string{0xD800, u'x'}),
            (std::wstring{static_cast<wchar_t>(0xD800), L'x'}));
}

TEST(Text, FixedArrayHoldsUpToCapacityMinusOneUnits) {
  constexpr size_t kCapacity = 512;
  std::vector<uint8_t> field(2 * kCapacity, 0xAA);
  uint32_t length = 99;

  const std::wstring longest(kCapacity - 1, L'x');
  ASSERT_TRUE(PutFixedUtf16(longest, field.data(), kCapacity, &length));
  EXPECT_EQ(length, kCapacity - 1);
  EXPECT_EQ(field[2 * kCapacity - 2], 0);
  EXPECT_EQ(field[2 * kCapacity - 1], 0);
  EXPECT_EQ(GetFixedUtf16(field.data(), kCapacity, length), longest);

  // 510 units and one astral character need 512: refused, nothing written.
  std::vector<uint8_t> untouched(2 * kCapacity, 0xAA);
  std::wstring tooLong(kCapacity - 2, L'y');
  tooLong += L"\U0001F600";
  length = 99;
  EXPECT_FALSE(PutFixedUtf16(tooLong, untouched.data(), kCapacity, &length));
  EXPECT_EQ(untouched, std::vector<uint8_t>(2 * kCapacity, 0xAA));
  EXPECT_EQ(length, 99u);

  // Short text: little-endian units, then zeros to the end of the field.
  ASSERT_TRUE(PutFixedUtf16(kAstral, field.data(), kCapacity, &length));
  EXPECT_EQ(length, 10u);
  EXPECT_EQ(field[0], 'a');
  EXPECT_EQ(field[1], 0);
  EXPECT_EQ(field[2], 0x3D);
  EXPECT_EQ(field[3], 0xD8);
  for (size_t i = 2 * length; i < field.size(); ++i) ASSERT_EQ(field[i], 0) << i;
  EXPECT_EQ(GetFixedUtf16(field.data(), kCapacity, length), kAstral);
}

TEST(Text, FixedArrayReadIsClampedAndKeepsEscapes) {
  constexpr size_t kCapacity = 8;
  std::vector<uint8_t> field(2 * kCapacity, 'z');  // a damaged field: no terminator
  const std::wstring clamped = GetFixedUtf16(field.data(), kCapacity, 0xFFFFFFFF);
  EXPECT_EQ(clamped.size(), kCapacity - 1);

  const std::wstring escaped = DecodeName("n\xFF");
  uint32_t length = 0;
  ASSERT_TRUE(PutFixedUtf16(escaped, field.data(), kCapacity, &length));
  EXPECT_EQ(EncodeName(GetFixedUtf16(field.data(), kCapacity, length)), "n\xFF");
}

}  // namespace
}  // namespace vaultline::platform
