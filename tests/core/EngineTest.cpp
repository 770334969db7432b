#include <gtest/gtest.h>

#include <stdexcept>

#include "TestDrive.h"
#include "vaultline/Vaultline.h"

namespace vaultline::testing {
namespace {

// An engine whose saves fail in a chosen way, to reach the guards.
class ThrowingEngine : public Engine {
 public:
  using Engine::Engine;
  bool SaveConfiguration() override {
    if (throwStandard) throw std::runtime_error("disk on fire");
    if (throwOther) throw 42;
    return Engine::SaveConfiguration();
  }
  bool throwStandard = false;
  bool throwOther = false;
};

class FakeProvider : public IResourceProvider {
 public:
  void TimeToFileTime(int32_t, int64_t*) override {}
  bool TimeToSystemTime(int32_t, SystemTime*) override { return false; }
  int LoadText(unsigned id, wchar_t* buffer, int capacity) override {
    std::wstring text = L"text " + std::to_wstring(id);
    int copied = std::min<int>(static_cast<int>(text.size()), capacity - 1);
    std::copy_n(text.c_str(), copied, buffer);
    buffer[copied] = L'\0';
    return copied;
  }
  uint16_t GetLanguage() override { return 1033; }
  int FormatText(unsigned, unsigned, void*, int, const wchar_t* const*) override { return 0; }
};

using EngineTest = DriveTest;

TEST_F(EngineTest, InitializeTAcceptsOnlyItsOwnVersions) {
  std::wstring root = drive_.wstring();
  IVaultline* engine = InitializeT(nullptr, root.c_str(), 1, 0, 2);
  ASSERT_NE(engine, nullptr);
  Cleanup(engine);
  EXPECT_EQ(InitializeT(nullptr, root.c_str(), 2, 0, 2), nullptr);
  EXPECT_EQ(InitializeT(nullptr, root.c_str(), 1, 1, 2), nullptr);
  EXPECT_EQ(InitializeT(nullptr, root.c_str(), 1, 0, 3), nullptr);
  Cleanup(nullptr);
}

TEST_F(EngineTest, NullListsReadAsEmpty) {
  auto engine = StartEngine();
  EXPECT_EQ(engine->GetListCount(nullptr), 0);
  EXPECT_STREQ(engine->GetListItem(nullptr, 0), L"");
  engine->ReleaseList(nullptr);
  StringList names = engine->GetProfileNames();
  EXPECT_EQ(engine->GetListCount(names), 0);
  EXPECT_STREQ(engine->GetListItem(names, 0), L"");
  engine->ReleaseList(names);

  EXPECT_EQ(engine->GetProfileContents(3), nullptr);
  EXPECT_EQ(engine->GetSnapshots(3), nullptr);
  EXPECT_EQ(engine->GetSnapshotContents(3, 0), nullptr);
  StringList location = engine->GetProfileLocation(3);
  EXPECT_NE(location, nullptr);
  EXPECT_EQ(engine->GetListCount(location), 0);
  engine->ReleaseList(location);
}

TEST_F(EngineTest, OperationsOutOfRangeFailSilently) {
  auto engine = StartEngine();
  RecordingStatus status;
  engine->SetStatusCallback(&status);
  fs::create_directories(drive_ / "src");
  Create(*engine, L"one", drive_ / "src");
  Create(*engine, L"two", drive_ / "src");
  EXPECT_FALSE(engine->BackUp(5));
  EXPECT_FALSE(engine->Restore(5, 0, L"", drive_.wstring().c_str()));
  EXPECT_FALSE(engine->RenameProfile(5, L"x"));
  EXPECT_FALSE(engine->DeleteProfile(5));
  EXPECT_FALSE(engine->RefreshSnapshots(5));
  EXPECT_TRUE(status.messages.empty());
  EXPECT_EQ(engine->SetStatusCallback(nullptr), &status);
}

TEST_F(EngineTest, ExceptionsBecomeErrorMessages) {
  ThrowingEngine engine(nullptr, drive_.wstring().c_str());
  engine.Initialize();
  fs::create_directories(drive_ / "src");
  Create(engine, L"one", drive_ / "src");
  Create(engine, L"two", drive_ / "src");
  RecordingStatus status;
  engine.SetStatusCallback(&status);

  engine.throwOther = true;
  EXPECT_FALSE(engine.RenameProfile(0, L"renamed"));
  EXPECT_FALSE(engine.DeleteProfile(1));
  engine.throwOther = false;
  engine.throwStandard = true;
  EXPECT_FALSE(engine.RenameProfile(0, L"again"));
  EXPECT_EQ(status.MessagesAt(kMessageError),
            (std::vector<std::wstring>{
                L"Failed to perform RenameProfile action. - Unexpected error.",
                L"Failed to perform DeleteProfile action. - Unexpected error.", L"disk on fire"}));

  // With a provider the texts come from it; without a sink nothing is reported.
  FakeProvider provider;
  ThrowingEngine localised(&provider, drive_.wstring().c_str());
  localised.Initialize();
  localised.SetStatusCallback(&status);
  localised.throwOther = true;
  status.messages.clear();
  EXPECT_FALSE(localised.RenameProfile(0, L"x"));
  EXPECT_EQ(status.MessagesAt(kMessageError), std::vector<std::wstring>{L"text 227"});
  localised.SetStatusCallback(nullptr);
  EXPECT_FALSE(localised.RenameProfile(0, L"x"));
}

}  // namespace
}  // namespace vaultline::testing
