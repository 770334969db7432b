// The command line's own pieces: the English texts it serves the engine, the
// ITEM argument, JSON text and the progress line.
#include <gtest/gtest.h>

#include "Base64.h"
#include "EnglishResources.h"
#include "JsonText.h"
#include "ProgressLine.h"
#include "SelectionArguments.h"
#include "vaultline/Format.h"

namespace vaultline::cli {
namespace {

TEST(EnglishResources, ServesAndFormatsTheEngineTexts) {
  EnglishResources resources;
  wchar_t buffer[260];
  EXPECT_EQ(51, resources.LoadText(211, buffer, 260));
  EXPECT_STREQ(L"There is not enough space available for this backup", buffer);
  EXPECT_EQ(5, resources.LoadText(211, buffer, 6));
  EXPECT_STREQ(L"There", buffer);
  EXPECT_EQ(0, resources.LoadText(4242, buffer, 260));
  EXPECT_STREQ(L"", buffer);
  for (unsigned id : {209u, 210u, 225u, 226u, 227u, 228u, 149u}) {
    EXPECT_GT(resources.LoadText(id, buffer, 260), 0) << id;
  }

  const wchar_t* inserts[] = {L"big file.iso"};
  wchar_t* message = nullptr;
  EXPECT_EQ(0, resources.FormatText(kFormatAllocateBuffer | kFormatArgumentArray, 229, &message, 0,
                                    inserts));
  ASSERT_NE(nullptr, message);
  EXPECT_STREQ(L"The file: big file.iso was skipped. File size exceeds predefined limit.", message);
  platform::ReleaseMessage(message);
}

TEST(EnglishResources, ConvertsTimes) {
  EnglishResources resources;
  int64_t fileTime = 0;
  resources.TimeToFileTime(0, &fileTime);
  EXPECT_EQ(116444736000000000, fileTime);
  SystemTime time{};
  ASSERT_TRUE(resources.TimeToSystemTime(951868799, &time));  // a leap day's last second
  EXPECT_EQ(2000, time.year);
  EXPECT_EQ(2, time.month);
  EXPECT_EQ(29, time.day);
  EXPECT_EQ(2, time.dayOfWeek);  // Tuesday
  EXPECT_EQ(23, time.hour);
  EXPECT_EQ(59, time.minute);
  EXPECT_EQ(59, time.second);
  ASSERT_TRUE(resources.TimeToSystemTime(-1, &time));
  EXPECT_EQ(1969, time.year);
  EXPECT_EQ(31, time.day);
}

TEST(RestoreItem, DropsTheSourceNameAndAFolderSeparator) {
  EXPECT_EQ(L"docs/a.txt", RestoreItemOf(L"Documents/docs/a.txt"));
  EXPECT_EQ(L"docs", RestoreItemOf(L"Documents/docs/"));
  EXPECT_EQ(L"", RestoreItemOf(L"Documents//"));  // the source folder itself
  EXPECT_EQ(L"", RestoreItemOf(L"report.doc"));   // a single-file source
}

TEST(JsonText, KeepsValidTextAndAddsTheBytesOfTheRest) {
  nlohmann::json object;
  PutText(object, "name", L"caf\u00e9 \U0001F600");
  EXPECT_EQ("caf\xc3\xa9 \xf0\x9f\x98\x80", object["name"]);
  EXPECT_FALSE(object.contains("name_base64"));

  // "a", the byte FF (escaped as U+DCFF), "b".
  PutText(object, "path", std::wstring{L'a', static_cast<wchar_t>(0xDCFF), L'b'});
  EXPECT_EQ(
      "a\xef\xbf\xbd"
      "b",
      object["path"]);
  EXPECT_EQ("Yf9i", object["path_base64"]);
  EXPECT_NO_THROW(object.dump());
}

TEST(Base64, PadsAsTheStandardSays) {
  EXPECT_EQ("", Base64(""));
  EXPECT_EQ("Zg==", Base64("f"));
  EXPECT_EQ("Zm8=", Base64("fo"));
  EXPECT_EQ("Zm9v", Base64("foo"));
  EXPECT_EQ("Zm9vYmFy", Base64("foobar"));
  EXPECT_EQ("/w==", Base64("\xff"));
}

TEST(ProgressLine, FitsTheTerminalAndKeepsTheEndOfTheFile) {
  EXPECT_EQ(L" 50%  1.5 KiB of 3.0 KiB  b.txt", ProgressText(1536, 3072, L"b.txt", 80));
  EXPECT_EQ(L"100%  2.0 MiB of 1.0 MiB", ProgressText(2 << 20, 1 << 20, L"", 80));
  EXPECT_EQ(L"  0%  0 B of 0 B", ProgressText(0, 0, L"", 80));
  const std::wstring line = ProgressText(10, 100, L"very long folder name file.bin", 40);
  EXPECT_EQ(39u, line.size());
  EXPECT_EQ(L" 10%  10 B of 100 B  ...r name file.bin", line);
  EXPECT_EQ(L" 10%  10 B", ProgressText(10, 100, L"x", 11));
}

}  // namespace
}  // namespace vaultline::cli
