// The resource model and the main window as the engine's string provider.
#include <QTest>
#include <memory>
#include <set>

#include "CMainFrame.h"
#include "LanguageLoader.h"
#include "ResourceModule.h"
#include "resources/ResourceIds.h"
#include "support/TestDrive.h"
#include "vaultline/Format.h"

using namespace marrowby;

class ResourcesTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void germanTablesMatchTheProgramsOwn();
  void loadTextCopiesAndTruncates();
  void formatTextInsertsArguments();
  void timesConvert();

 private:
  std::unique_ptr<TestDrive> drive_;
  std::unique_ptr<CMainFrame> frame_;
  LoadedLanguage german_;
};

void ResourcesTest::initTestCase() {
  drive_ = std::make_unique<TestDrive>();
  QVERIFY(drive_->AddSelection(L"Documents", QStringLiteral("docs"), {QStringLiteral("a.txt")}, 1));
  frame_ = std::make_unique<CMainFrame>();
  german_ =
      LoadLanguage(QStringLiteral(MARROWBY_DRIVE_DIR).toStdWString(), L"language.dll", 1031, 1031);
  QVERIFY(german_.table != nullptr);
}

void ResourcesTest::cleanupTestCase() {
  frame_.reset();
  UnloadLanguage(german_);
}

// Every string, menu item and dialog text of the program has its translation,
// and the translation adds nothing the program does not know.
void ResourcesTest::germanTablesMatchTheProgramsOwn() {
  const MarrowbyResourceTable& own = BuiltInResources();
  const MarrowbyResourceTable& german = *german_.table;
  QCOMPARE(german.language, 1031u);
  auto stringIds = [](const MarrowbyResourceTable& table) {
    std::set<unsigned> ids;
    for (size_t i = 0; i < table.stringCount; ++i) ids.insert(table.strings[i].id);
    return ids;
  };
  QCOMPARE(stringIds(german), stringIds(own));
  QCOMPARE(german.menuItemCount, own.menuItemCount);
  for (size_t i = 0; i < own.menuItemCount; ++i) {
    QCOMPARE(german.menuItems[i].menu, own.menuItems[i].menu);
    QCOMPARE(german.menuItems[i].command, own.menuItems[i].command);
    QCOMPARE(german.menuItems[i].text == nullptr, own.menuItems[i].text == nullptr);
  }
  auto dialogKeys = [](const MarrowbyResourceTable& table) {
    std::set<std::pair<unsigned, unsigned>> keys;
    for (size_t i = 0; i < table.dialogTextCount; ++i) {
      keys.insert({table.dialogTexts[i].dialog, table.dialogTexts[i].control});
    }
    return keys;
  };
  QCOMPARE(dialogKeys(german), dialogKeys(own));

  // Texts with inserts keep them, so that formatting reads the same arguments.
  ResourceModule ownModule(own);
  ResourceModule germanModule(german);
  for (size_t i = 0; i < own.stringCount; ++i) {
    unsigned id = own.strings[i].id;
    auto conversions = [](const std::wstring& text) {
      std::wstring found;
      for (size_t at = text.find(L'%'); at != std::wstring::npos; at = text.find(L'%', at + 2)) {
        found += text.substr(at, 2);
      }
      return found;
    };
    QVERIFY2(conversions(ownModule.Text(id)) == conversions(germanModule.Text(id)),
             qPrintable(QString::number(id)));
  }
}

void ResourcesTest::loadTextCopiesAndTruncates() {
  wchar_t buffer[260];
  int length = frame_->LoadText(ids::kProductCaption, buffer, 260);
  QCOMPARE(length, 8);
  QCOMPARE(std::wstring(buffer), std::wstring(L"Brindle+"));
  QCOMPARE(frame_->LoadText(ids::kProductCaption, buffer, 5), 4);
  QCOMPARE(std::wstring(buffer), std::wstring(L"Brin"));
  buffer[0] = L'x';
  QCOMPARE(frame_->LoadText(4242, buffer, 260), 0);
  QCOMPARE(buffer[0], L'\0');
  QCOMPARE(frame_->LoadText(ids::kStatusGaugeSizer, buffer, 260), 91);
  QCOMPARE(frame_->GetLanguage(), uint16_t{0});
}

void ResourcesTest::formatTextInsertsArguments() {
  const wchar_t* arguments[] = {L"big-file.iso"};
  wchar_t* text = nullptr;
  QCOMPARE(frame_->FormatText(kFormatAllocateBuffer | kFormatArgumentArray,
                              ids::kFileSkippedForSize, &text, 0, arguments),
           0);
  QVERIFY(text != nullptr);
  QCOMPARE(
      std::wstring(text),
      std::wstring(L"The file: big-file.iso was skipped. File size exceeds predefined limit."));
  vaultline::platform::ReleaseMessage(text);

  // Into the caller's buffer, cut to its size.
  wchar_t small[12];
  frame_->FormatText(kFormatArgumentArray, ids::kFileSkippedForSize, small, 12, arguments);
  QCOMPARE(std::wstring(small), std::wstring(L"The file: b"));
}

void ResourcesTest::timesConvert() {
  int64_t fileTime = 0;
  frame_->TimeToFileTime(0, &fileTime);
  QCOMPARE(fileTime, int64_t{116444736000000000});

  SystemTime time{};
  QVERIFY(frame_->TimeToSystemTime(1700000000, &time));  // Tue 2023-11-14 22:13:20 UTC
  QCOMPARE(time.year, uint16_t{2023});
  QCOMPARE(time.month, uint16_t{11});
  QCOMPARE(time.day, uint16_t{14});
  QCOMPARE(time.dayOfWeek, uint16_t{2});
  QCOMPARE(time.hour, uint16_t{22});
  QCOMPARE(time.minute, uint16_t{13});
  QCOMPARE(time.second, uint16_t{20});
  QVERIFY(frame_->TimeToSystemTime(-86400, &time));
  QCOMPARE(time.year, uint16_t{1969});
  QCOMPARE(time.day, uint16_t{31});
}

QTEST_MAIN(ResourcesTest)
#include "ResourcesTest.moc"
