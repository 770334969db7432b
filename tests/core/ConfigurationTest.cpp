#include <gtest/gtest.h>

#include "TestDrive.h"
#include "core/Configuration.h"
#include "core/ConfigurationFiles.h"
#include "platform/Text.h"
#include "vaultline/DriveSettings.h"
#include "vaultline/FileUtilities.h"

namespace vaultline::testing {
namespace {

std::string Utf16Le(const std::u16string& text, bool bigEndian = false) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : text) {
    char low = static_cast<char>(unit & 0xFF);
    char high = static_cast<char>(unit >> 8);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

class ConfigurationTest : public DriveTest {
 protected:
  // A selection's location as config.ini keeps it.
  static std::string Relative(const char* stamp) {
    return (fs::path("BackupStorage") / stamp / "Dir" / "file").string();
  }

  fs::path Config() const { return Storage() / "config.ini"; }
  fs::path Backup() const { return Storage() / "config.bak"; }

  static std::vector<std::wstring> Names(IVaultline& engine) {
    std::vector<std::wstring> names;
    for (const std::wstring& name : Items(engine, engine.GetProfileNames())) {
      if (!name.empty()) names.push_back(name);
    }
    return names;
  }
};

TEST_F(ConfigurationTest, SavedFileHasTheExactFormatAndReadsBack) {
  auto engine = StartEngine();
  fs::path source = drive_ / "src;\"quoted\"";
  fs::create_directories(source);
  int index = Create(*engine, L"My \"best\"; files", source);
  engine->SetMaxFileSize(1234);

  std::wstring location = Items(*engine, engine->GetProfileLocation(index)).at(0);
  std::wstring relative =
      location.substr(location.find(std::wstring(L"BackupStorage") + platform::kSeparator));
  std::wstring quotedSource = source.wstring();
  quotedSource.replace(quotedSource.find(L"\"quoted\""), 8, L"\"\"quoted\"\"");
  std::u16string expected = u"\"MaxFileSize\";\"1234\"\r\n\"MaxBackupSize\";\"16777216\"\r\n";
  std::wstring line =
      L"\"My \"\"best\"\"; files\";\"" + relative + L"\";\"" + quotedSource + L"\"\r\n";
  expected += std::u16string(line.begin(), line.end());
  EXPECT_EQ(ReadBytes(Config()), Utf16Le(expected));

  auto restarted = StartEngine();
  EXPECT_EQ(restarted->GetMaxFileSize(), 1234);
  EXPECT_EQ(restarted->GetMaxBackupSize(), 16777216);
  EXPECT_EQ(Names(*restarted), std::vector<std::wstring>{L"My \"best\"; files"});
  EXPECT_EQ(Items(*restarted, restarted->GetProfileContents(0)),
            std::vector<std::wstring>{source.wstring()});
  EXPECT_EQ(Items(*restarted, restarted->GetProfileLocation(0)),
            std::vector<std::wstring>{location});
  EXPECT_EQ(restarted->GetConfigEncoding(), ConfigEncoding::kUtf16Le);
}

TEST_F(ConfigurationTest, ReadsEightBitAndBigEndianFilesAndSkipsMalformedLines) {
  std::string lines =
      "\n\n  \"MaxFileSize\";  \"77\"\r\n"
      "\"MaxBackupSize\";\"lots\"\r\n"  // not a number: the default stays
      "\"MaxFileSize\";\"-5\"\r\n"      // nor is a negative size
      "\"maxfilesize\";\"5\"\r\n"       // keys are case-sensitive
      "\"one\";\"two\";\"three\";\"four\"\r\n"
      "\"A\";\"" +
      Relative("20240101000000") + "\";\"" + (drive_ / "a").string() +
      "\"\r\n"
      ";;;\r\n"
      "\"B\";\"" +
      Relative("20240101000001") + "\";\"" + (drive_ / "b").string() + "\"\r\n";
  fs::create_directories(Storage());
  WriteBytes(Config(), lines);
  auto ansi = StartEngine();
  EXPECT_EQ(ansi->GetConfigEncoding(), ConfigEncoding::kAnsi);
  EXPECT_EQ(ansi->GetMaxFileSize(), 77);
  EXPECT_EQ(ansi->GetMaxBackupSize(), 16777216);
  EXPECT_EQ(Names(*ansi), (std::vector<std::wstring>{L"A", L"B"}));
  EXPECT_EQ(Items(*ansi, ansi->GetProfileLocation(1)).at(0),
            (drive_ / "BackupStorage" / "20240101000001" / "Dir" / "file").wstring());

  WriteBytes(Config(), Utf16Le(std::u16string(lines.begin(), lines.end()) +
                                   u"\"\u00e9t\u00e9\";\"x\";\"y\"\r\n",
                               true));
  auto bigEndian = StartEngine();
  EXPECT_EQ(bigEndian->GetConfigEncoding(), ConfigEncoding::kUtf16Be);
  EXPECT_EQ(bigEndian->GetMaxFileSize(), 77);
  EXPECT_EQ(Names(*bigEndian), (std::vector<std::wstring>{L"A", L"B", L"\u00e9t\u00e9"}));
}

TEST_F(ConfigurationTest, DiagnosticsKeysIgnoreCaseAndTheFirstOneWins) {
  fs::create_directories(Storage());
  WriteBytes(Storage() / "diagnostics.ini",
             Utf16Le(u"traceLevel;5\r\nTRACELEVEL;7\r\nShowTimeTick;\"1\"\r\n"
                     u"CreateProfileDlg;-1\r\nTotalSpaceAvailabeInDevice;65536\r\n"));
  auto engine = StartEngine();
  EXPECT_EQ(engine->GetTraceLevel(), 5);
  EXPECT_EQ(engine->GetShowTimeTick(), 1);
  EXPECT_EQ(engine->GetCreateProfileDlg(), 1);
  EXPECT_EQ(engine->GetTotalSpaceAvailabeInDevice(), 65536);

  auto defaults = std::make_unique<Engine>(nullptr, drive_.wstring().c_str());
  EXPECT_EQ(defaults->GetTraceLevel(), 3);
  EXPECT_EQ(defaults->GetMaxBackupSize(), 16777216);
}

TEST_F(ConfigurationTest, SettersSaveOnlyOnChangeAndKeepThePreviousFile) {
  auto engine = StartEngine();
  fs::create_directories(drive_ / "src");
  Create(*engine, L"one", drive_ / "src");
  std::string before = ReadBytes(Config());
  fs::remove(Backup());
  engine->SetMaxBackupSize(engine->GetMaxBackupSize());
  EXPECT_FALSE(fs::exists(Backup()));

  engine->SetMaxFileSize(99);
  EXPECT_EQ(ReadBytes(Backup()), before);
  EXPECT_NE(ReadBytes(Config()), before);
}

TEST_F(ConfigurationTest, FrontEndSettingsAreLinesTheSizesReaderSkipsAndSurviveSaves) {
  fs::create_directories(Storage());
  // A line of a later writer, unknown to this one, is kept where it stood.
  WriteBytes(Config(), Utf16Le(u"\"MaxFileSize\";\"0\"\r\n\"Later\";\"x\"\r\n"
                               u"\"MaxBackupSize\";\"100\"\r\n"));
  auto engine = StartEngine();
  EXPECT_EQ(GetDriveSetting(engine.get(), L"ReminderDays", 7), 7);
  EXPECT_EQ(GetDriveSetting(engine.get(), L"Later", 7), 7);  // not a number
  EXPECT_FALSE(SetDriveSetting(engine.get(), L"MaxFileSize", 3));
  EXPECT_FALSE(SetDriveSetting(engine.get(), L"Two\nLines", 3));
  ASSERT_TRUE(SetDriveSetting(engine.get(), L"ReminderDays", 3));
  engine->SetMaxBackupSize(200);
  EXPECT_EQ(ReadBytes(Config()), Utf16Le(u"\"MaxFileSize\";\"0\"\r\n\"MaxBackupSize\";\"200\"\r\n"
                                         u"\"Later\";\"x\"\r\n\"ReminderDays\";\"3\"\r\n"));

  auto restarted = StartEngine();
  EXPECT_EQ(GetDriveSetting(restarted.get(), L"ReminderDays", 7), 3);
  EXPECT_EQ(restarted->GetMaxBackupSize(), 200);
  // What a reader of the sizes alone sees: the two sizes, nothing else.
  Configuration sizes;
  DecodeConfiguration(ReadBytes(Config()), &sizes);
  EXPECT_EQ(sizes.maxBackupSize, 200);
  EXPECT_TRUE(sizes.selections.empty());
}

TEST_F(ConfigurationTest, EnginesSharingTheDriveKeepEachOthersSelections) {
  fs::create_directories(drive_ / "src");
  auto desktop = StartEngine();
  auto commandLine = StartEngine();
  Create(*desktop, L"gone", drive_ / "src");
  Create(*commandLine, L"theirs", drive_ / "src");
  Create(*desktop, L"mine", drive_ / "src");
  ASSERT_TRUE(desktop->DeleteProfile(0));  // "gone", which the other never saw
  commandLine->SetMaxFileSize(5);
  desktop->RenameProfile(1, L"mine, renamed");

  auto restarted = StartEngine();
  EXPECT_EQ(Names(*restarted), (std::vector<std::wstring>{L"mine, renamed", L"theirs"}));
}

TEST_F(ConfigurationTest, MissingOrEmptyConfigIsRestoredFromTheBackup) {
  auto engine = StartEngine();
  EXPECT_TRUE(MessageBoxLog::Texts().empty());
  fs::create_directories(drive_ / "src");
  Create(*engine, L"one", drive_ / "src");
  Create(*engine, L"two", drive_ / "src");
  engine.reset();

  for (const char* damage : {"missing", "cut short", "huge"}) {
    SCOPED_TRACE(damage);
    MessageBoxLog::Texts().clear();
    fs::copy_file(Config(), Backup(), fs::copy_options::overwrite_existing);
    fs::remove(Config());
    if (damage == std::string("cut short")) {
      WriteBytes(Config(), "\xFF\xFE\"MaxF");  // the first line never ended
    } else if (damage == std::string("huge")) {
      std::ofstream(Config()).close();
      fs::resize_file(Config(), int64_t{1} << 30);
    }
    auto restarted = StartEngine();
    EXPECT_EQ(MessageBoxLog::Texts(),
              std::vector<std::wstring>{L"Quorlin Brindle|Configuration file is missing. \nThe "
                                        L"previous configuration will be restored!"});
    EXPECT_EQ(Names(*restarted), (std::vector<std::wstring>{L"one", L"two"}));
    EXPECT_EQ(ReadBytes(Config()), ReadBytes(Backup()));
  }
}

// With no sound copy to fall back on, a damaged config.ini is named, not
// read silently as "no selections", and kept aside before a save rotates it
// away; a copy kept earlier is not replaced.
TEST_F(ConfigurationTest, ADamagedConfigWithNoSoundCopyIsReportedAndKept) {
  auto engine = StartEngine();
  fs::create_directories(drive_ / "src");
  Create(*engine, L"one", drive_ / "src");
  engine.reset();
  const fs::path damaged = Storage() / "config.damaged";
  const std::string garbage = "\x13\x37 not a configuration \x00\xFF";
  for (const char* backup : {"missing", "damaged too"}) {
    SCOPED_TRACE(backup);
    MessageBoxLog::Texts().clear();
    fs::remove(Backup());
    if (backup == std::string("damaged too")) WriteBytes(Backup(), "\xFF\xFE");
    WriteBytes(Config(), garbage);
    auto restarted = StartEngine();
    ASSERT_EQ(MessageBoxLog::Texts().size(), 1u);
    EXPECT_NE(MessageBoxLog::Texts()[0].find(L"config.damaged"), std::wstring::npos);
    EXPECT_TRUE(Names(*restarted).empty());
    EXPECT_EQ(ReadBytes(damaged), garbage);
    Create(*restarted, L"two", drive_ / "src");  // saves twice over
    Create(*restarted, L"three", drive_ / "src");
    EXPECT_EQ(ReadBytes(damaged), garbage);
  }
  MessageBoxLog::Texts().clear();
  EXPECT_EQ(Names(*StartEngine()), (std::vector<std::wstring>{L"two", L"three"}));
  EXPECT_TRUE(MessageBoxLog::Texts().empty());
}

TEST_F(ConfigurationTest, SaveNeverRotatesAnEmptyConfigOverAGoodBackup) {
  auto engine = StartEngine();
  fs::create_directories(drive_ / "src");
  Create(*engine, L"one", drive_ / "src");
  Create(*engine, L"two", drive_ / "src");
  std::string good = ReadBytes(Config());
  fs::copy_file(Config(), Backup(), fs::copy_options::overwrite_existing);

  WriteBytes(Config(), "");  // the drive was pulled after the size was updated
  engine->SetMaxFileSize(5);
  EXPECT_EQ(ReadBytes(Backup()), good);
  engine.reset();
  EXPECT_EQ(Names(*StartEngine()), (std::vector<std::wstring>{L"one", L"two"}));
}

TEST_F(ConfigurationTest, ACrashAtAnyStepOfASaveLosesNoSelection) {
  using Step = ConfigurationFiles::SaveStep;
  for (Step crashAt :
       {Step::kTemporaryWritten, Step::kBackupDeleted, Step::kRotated, Step::kReplaced}) {
    SCOPED_TRACE(static_cast<int>(crashAt));
    fs::remove_all(Storage());
    auto engine = StartEngine();
    fs::create_directories(drive_ / "src");
    Create(*engine, L"one", drive_ / "src");
    Create(*engine, L"two", drive_ / "src");
    engine.reset();

    Configuration three;
    for (const wchar_t* name : {L"one", L"two", L"three"}) {
      three.selections.push_back(
          {name, platform::DecodeName(Relative("x")), (drive_ / "src").wstring()});
    }
    ConfigurationFiles files(Storage().wstring() + platform::kSeparator);
    files.SetCrashPointForTesting([crashAt](Step step) { return step == crashAt; });
    EXPECT_FALSE(files.Save(EncodeConfiguration(three)));

    auto restarted = StartEngine();
    EXPECT_GE(Names(*restarted).size(), 2u);
    // The next save after the restart keeps a complete previous copy.
    restarted->SetMaxFileSize(42);
    std::string backup = ReadBytes(Backup());
    EXPECT_TRUE(IsUsableConfiguration(backup));
    Configuration previous;
    DecodeConfiguration(backup, &previous);
    EXPECT_GE(previous.selections.size(), 2u);
  }
}

TEST_F(ConfigurationTest, AFailedWriteLeavesTheOldConfiguration) {
  auto engine = StartEngine();
  fs::create_directories(drive_ / "src");
  Create(*engine, L"one", drive_ / "src");
  std::string good = ReadBytes(Config());
  fs::create_directories(Storage() / "config.new");  // the temporary file cannot be created

  engine->SetMaxFileSize(5);
  EXPECT_FALSE(engine->SaveConfiguration());
  EXPECT_EQ(ReadBytes(Config()), good);
  engine.reset();
  EXPECT_EQ(Names(*StartEngine()), std::vector<std::wstring>{L"one"});
}

TEST_F(ConfigurationTest, StorageUsedCountsEveryFileInSixtyFourBits) {
  auto engine = StartEngine();
  EXPECT_EQ(engine->GetStorageUsed(), 0);
  WriteBytes(Storage() / "a" / "b", std::string(100, 'x'));
  WriteBytes(Storage() / "c", std::string(23, 'y'));
  EXPECT_EQ(engine->GetStorageUsed(), 123);

  // A sparse file takes no room but counts with its size.
  std::ofstream(Storage() / "huge").close();
  fs::resize_file(Storage() / "huge", (int64_t{5} << 30) + 7);
  EXPECT_EQ(engine->GetStorageUsed(), (int64_t{5} << 30) + 130);
  int32_t files = 0;
  EXPECT_EQ(GetDirInfo(Storage().wstring().c_str(), files), (1u << 30) + 130u);
  EXPECT_EQ(files, 3);
}

}  // namespace
}  // namespace vaultline::testing
