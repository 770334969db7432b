// The key file: the password unwraps the same master key until it is
// changed; a wrong password, a damaged or hostile file change nothing and
// say what is wrong.
#include <gtest/gtest.h>

#include "SealTestSupport.h"
#include "seal/KeyFile.h"
#include "util/ByteOrder.h"
#include "util/Crc32.h"

namespace vaultline::seal {
namespace {

using testing::ReadWhole;
using testing::WriteWhole;

// Costs small enough for tests; the defaults are measured in the bench.
constexpr KdfCost kCheap{1, 1 << 20};

SecretBytes Password(std::string_view text) {
  return SecretBytes::FromText(text);
}

bool SameKey(const UnlockedKey& a, const UnlockedKey& b) {
  return a.master.size() == b.master.size() &&
         std::equal(a.master.data(), a.master.data() + a.master.size(), b.master.data()) &&
         a.store == b.store;
}

class KeyFileTest : public ::testing::Test {
 protected:
  std::wstring Path() const { return folder_.Wide("file.key"); }
  std::filesystem::path FsPath() const { return folder_.path() / "file.key"; }
  platform::testing::TempFolder folder_;
};

TEST_F(KeyFileTest, PasswordUnwrapsTheKeyItWasMadeWith) {
  UnlockedKey made, opened;
  ASSERT_EQ(KeyFile::Create(Path(), Password("correct horse"), kCheap, &made), KeyFileStatus::kOk);
  EXPECT_EQ(std::filesystem::file_size(FsPath()), KeyFile::kSize);
  EXPECT_EQ(std::filesystem::status(FsPath()).permissions() & std::filesystem::perms::group_all,
            std::filesystem::perms::none);
  ASSERT_EQ(KeyFile::Open(Path(), Password("correct horse"), &opened), KeyFileStatus::kOk);
  EXPECT_TRUE(SameKey(made, opened));
  // The key file never holds the master key or the password as they are.
  const std::string bytes = ReadWhole(FsPath());
  EXPECT_EQ(bytes.find(std::string(made.master.data(), made.master.data() + 32)),
            std::string::npos);
  EXPECT_EQ(bytes.find("correct horse"), std::string::npos);
  // A second key file is never made over the first.
  UnlockedKey again;
  EXPECT_EQ(KeyFile::Create(Path(), Password("other"), kCheap, &again), KeyFileStatus::kExists);
  EXPECT_EQ(ReadWhole(FsPath()), bytes);
}

TEST_F(KeyFileTest, WrongPasswordIsRefusedAndChangesNothing) {
  UnlockedKey made, opened;
  ASSERT_EQ(KeyFile::Create(Path(), Password("right"), kCheap, &made), KeyFileStatus::kOk);
  const std::string before = ReadWhole(FsPath());
  EXPECT_EQ(KeyFile::Open(Path(), Password("wrong"), &opened), KeyFileStatus::kWrongPassword);
  EXPECT_TRUE(opened.master.empty());
  EXPECT_EQ(KeyFile::ChangePassword(Path(), Password("wrong"), Password("new"), kCheap),
            KeyFileStatus::kWrongPassword);
  EXPECT_EQ(ReadWhole(FsPath()), before);
  EXPECT_FALSE(std::filesystem::exists(FsPath().string() + ".new"));
  const std::wstring message = KeyFile::Message(KeyFileStatus::kWrongPassword, Path());
  EXPECT_NE(message.find(L"wrong"), std::wstring::npos);
  EXPECT_EQ(message.find(L"right"), std::wstring::npos);
}

TEST_F(KeyFileTest, ChangedPasswordKeepsTheSealedDataReadable) {
  UnlockedKey made;
  ASSERT_EQ(KeyFile::Create(Path(), Password("first"), kCheap, &made), KeyFileStatus::kOk);
  const auto batch = testing::TextBytes(10000, 1);
  FileIdentity identity{made.store, RecordFileKind::kSnapshots};
  {
    SealKeys keys(made.master);
    int error = 0;
    auto stream = SealedStream::Open(folder_.Wide("file.snp.vlc"),
                                     FrameCodec::Sealed(keys, identity, 3), true, &error);
    ASSERT_TRUE(stream);
    ASSERT_TRUE(stream->Append(batch));
  }
  const std::string before = ReadWhole(FsPath());
  ASSERT_EQ(KeyFile::ChangePassword(Path(), Password("first"), Password("second"), kCheap),
            KeyFileStatus::kOk);
  EXPECT_NE(ReadWhole(FsPath()), before);
  UnlockedKey opened;
  EXPECT_EQ(KeyFile::Open(Path(), Password("first"), &opened), KeyFileStatus::kWrongPassword);
  ASSERT_EQ(KeyFile::Open(Path(), Password("second"), &opened), KeyFileStatus::kOk);
  EXPECT_TRUE(SameKey(made, opened));
  SealKeys keys(opened.master);
  int error = 0;
  auto stream = SealedStream::Open(folder_.Wide("file.snp.vlc"),
                                   FrameCodec::Sealed(keys, identity, 3), false, &error);
  ASSERT_TRUE(stream);
  std::vector<uint8_t> read(batch.size());
  EXPECT_EQ(stream->ReadAt(0, read.data(), read.size()), static_cast<int64_t>(batch.size()));
  EXPECT_EQ(read, batch);
}

TEST_F(KeyFileTest, DamagedHostileOrMissingFilesAreNamed) {
  UnlockedKey made, opened;
  EXPECT_EQ(KeyFile::Open(Path(), Password("x"), &opened), KeyFileStatus::kMissing);
  ASSERT_EQ(KeyFile::Create(Path(), Password("x"), kCheap, &made), KeyFileStatus::kOk);
  const std::string pristine = ReadWhole(FsPath());
  // Any byte flipped: damaged (the checksum), never a key.
  for (size_t at = 0; at < pristine.size(); ++at) {
    std::string bytes = pristine;
    bytes[at] ^= 0x10;
    WriteWhole(FsPath(), bytes);
    EXPECT_EQ(KeyFile::Open(Path(), Password("x"), &opened), KeyFileStatus::kDamaged) << at;
  }
  WriteWhole(FsPath(), pristine.substr(0, 100));
  EXPECT_EQ(KeyFile::Open(Path(), Password("x"), &opened), KeyFileStatus::kDamaged);
  // Costs no one should compute, with a checksum that holds: refused
  // before any memory is taken.
  std::string hostile = pristine;
  auto* raw = reinterpret_cast<uint8_t*>(hostile.data());
  StoreLe64(uint64_t{1} << 40, raw + 16);
  StoreLe32(Crc32(raw, KeyFile::kSize - 4), raw + KeyFile::kSize - 4);
  WriteWhole(FsPath(), hostile);
  EXPECT_EQ(KeyFile::Open(Path(), Password("x"), &opened), KeyFileStatus::kUnsupported);
  EXPECT_TRUE(opened.master.empty());
  for (auto status : {KeyFileStatus::kMissing, KeyFileStatus::kDamaged, KeyFileStatus::kUnsupported,
                      KeyFileStatus::kFailed}) {
    EXPECT_NE(KeyFile::Message(status, Path()).find(Path()), std::wstring::npos);
  }
}

}  // namespace
}  // namespace vaultline::seal
