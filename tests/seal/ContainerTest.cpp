// Containers keep exactly the bytes appended: with and without compression,
// across frame boundaries, cut back after a failed batch, reopened; sealed
// ones show none of them.
#include <gtest/gtest.h>

#include <algorithm>

#include "SealTestSupport.h"
#include "platform/File.h"
#include "util/PlainRecordStream.h"

namespace vaultline::seal {
namespace {

using testing::ContainerFixture;
using testing::RandomBytes;
using testing::ReadWhole;
using testing::TextBytes;

std::vector<uint8_t> ReadAll(RecordStream& stream) {
  std::vector<uint8_t> bytes(static_cast<size_t>(stream.LogicalLength()));
  EXPECT_EQ(stream.ReadAt(0, bytes.data(), bytes.size()), static_cast<int64_t>(bytes.size()));
  return bytes;
}

class ContainerRoundTrip : public ::testing::TestWithParam<FrameKind> {};

TEST_P(ContainerRoundTrip, KeepsBatchesOfEveryKind) {
  ContainerFixture fixture(GetParam());
  std::vector<uint8_t> all;
  {
    auto stream = fixture.Open();
    ASSERT_TRUE(stream);
    const std::vector<std::vector<uint8_t>> batches = {
        TextBytes(300000, 1), RandomBytes(70000, 2), {},
        RandomBytes(1, 3),    TextBytes(5, 4),       TextBytes(1 << 20, 5)};
    for (const auto& batch : batches) {
      ASSERT_TRUE(stream->Append(batch));
      all.insert(all.end(), batch.begin(), batch.end());
      EXPECT_EQ(stream->LogicalLength(), static_cast<int64_t>(all.size()));
    }
    // The empty batch made no frame.
    EXPECT_EQ(stream->FrameCount(), 5);
    EXPECT_EQ(ReadAll(*stream), all);
    ASSERT_TRUE(stream->Sync());
  }
  auto reopened = fixture.Open(false);
  ASSERT_TRUE(reopened);
  EXPECT_EQ(reopened->LogicalLength(), static_cast<int64_t>(all.size()));
  EXPECT_EQ(ReadAll(*reopened), all);
  EXPECT_TRUE(reopened->CheckAll());
  EXPECT_TRUE(reopened->Damage().empty());
  EXPECT_FALSE(reopened->TornTail());
  // Compressible batches are stored smaller than they are.
  EXPECT_LT(std::filesystem::file_size(fixture.Path()), all.size() * 3 / 4);
}

TEST_P(ContainerRoundTrip, ReadsAcrossFrameBoundariesAtAnyOffset) {
  ContainerFixture fixture(GetParam());
  auto stream = fixture.Open();
  ASSERT_TRUE(stream);
  std::vector<uint8_t> all;
  for (int i = 0; i < 40; ++i) {
    const auto batch = i % 2 ? RandomBytes(100 + 37 * i, i) : TextBytes(1000 + 13 * i, i);
    ASSERT_TRUE(stream->Append(batch));
    all.insert(all.end(), batch.begin(), batch.end());
  }
  for (size_t at = 0; at < all.size(); at += 311) {
    std::vector<uint8_t> buffer(2500, 0xEE);
    const int64_t got = stream->ReadAt(static_cast<int64_t>(at), buffer.data(), buffer.size());
    const size_t expected = std::min(buffer.size(), all.size() - at);
    ASSERT_EQ(got, static_cast<int64_t>(expected)) << at;
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + got, all.begin() + at)) << at;
  }
  uint8_t byte = 0;
  EXPECT_EQ(stream->ReadAt(static_cast<int64_t>(all.size()), &byte, 1), 0);
  EXPECT_EQ(stream->ReadAt(-1, &byte, 1), RecordStream::kReadError);
}

TEST_P(ContainerRoundTrip, SplitsBatchesLongerThanAFrame) {
  ContainerFixture fixture(GetParam());
  auto stream = fixture.Open();
  ASSERT_TRUE(stream);
  const auto batch = TextBytes(frame::kMaxLogicalLength + 4096, 9);
  ASSERT_TRUE(stream->Append(batch));
  EXPECT_EQ(stream->FrameCount(), 2);
  stream.reset();
  auto reopened = fixture.Open(false);
  ASSERT_TRUE(reopened);
  EXPECT_EQ(ReadAll(*reopened), batch);
}

TEST_P(ContainerRoundTrip, CutsBackToAFrameBoundaryAndAppendsAgain) {
  ContainerFixture fixture(GetParam());
  auto stream = fixture.Open();
  ASSERT_TRUE(stream);
  const auto first = TextBytes(5000, 1);
  const auto second = RandomBytes(3000, 2);
  const auto third = TextBytes(700, 3);
  ASSERT_TRUE(stream->Append(first));
  ASSERT_TRUE(stream->Append(second));
  // Not where a batch began: refused, nothing changed.
  EXPECT_FALSE(stream->CutBack(5001));
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(stream->LogicalLength(), 8000);
  ASSERT_TRUE(stream->CutBack(5000));
  EXPECT_EQ(stream->LogicalLength(), 5000);
  ASSERT_TRUE(stream->Append(third));
  stream.reset();
  auto reopened = fixture.Open();
  ASSERT_TRUE(reopened);
  std::vector<uint8_t> expected = first;
  expected.insert(expected.end(), third.begin(), third.end());
  EXPECT_EQ(ReadAll(*reopened), expected);
  EXPECT_TRUE(reopened->Damage().empty());
  EXPECT_FALSE(reopened->TornTail());
}

TEST_P(ContainerRoundTrip, ReadOnlyContainerRefusesChanges) {
  ContainerFixture fixture(GetParam());
  ASSERT_TRUE(fixture.Open()->Append(TextBytes(100, 1)));
  auto stream = fixture.Open(false);
  ASSERT_TRUE(stream);
  EXPECT_FALSE(stream->Append(TextBytes(10, 2)));
  EXPECT_FALSE(stream->CutBack(0));
  EXPECT_EQ(stream->LogicalLength(), 100);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ContainerRoundTrip,
                         ::testing::Values(FrameKind::kSealed, FrameKind::kChecksummed));

TEST(SealedContainer, ShowsNoMarkerOfItsBatches) {
  ContainerFixture fixture(FrameKind::kSealed);
  const std::string marker = "MARKER-7f3c-this-text-never-shows";
  auto stream = fixture.Open();
  ASSERT_TRUE(stream);
  for (int i = 0; i < 20; ++i) {
    std::string text;
    for (int j = 0; j < 50 + i; ++j) text += marker + " " + std::to_string(j) + "\n";
    // Stored as it is (incompressible around it) and compressed, in turn.
    std::vector<uint8_t> batch(text.begin(), text.end());
    if (i % 2) {
      const auto noise = RandomBytes(4096, i);
      batch.insert(batch.begin(), noise.begin(), noise.end());
    }
    ASSERT_TRUE(stream->Append(batch));
  }
  stream.reset();
  const std::string bytes = ReadWhole(fixture.Path());
  EXPECT_EQ(bytes.find("MARKER"), std::string::npos);
  EXPECT_EQ(bytes.find("7f3c"), std::string::npos);
  // Every frame fills whole steps of the padding.
  EXPECT_EQ(bytes.size() % frame::kSealedAlignment, 0u);
}

TEST(SealedContainer, FramesBelongToTheirFileKindAndKey) {
  ContainerFixture fixture(FrameKind::kSealed);
  const auto batch = TextBytes(4000, 1);
  ASSERT_TRUE(fixture.Open()->Append(batch));
  std::vector<uint8_t> buffer(batch.size());
  // The same bytes read as another file of the store: nothing is data.
  auto asIndex = fixture.OpenAs(fixture.Codec(RecordFileKind::kIndex), false);
  ASSERT_TRUE(asIndex);
  EXPECT_EQ(asIndex->LogicalLength(), 0);
  ASSERT_TRUE(asIndex->TornTail());
  // Another master key: nothing is data either.
  SealKeys other(testing::RandomMaster(8));
  FileIdentity identity;
  identity.store.fill(0x5A);
  identity.kind = RecordFileKind::kContent;
  auto otherKey = fixture.OpenAs(FrameCodec::Sealed(other, identity, 3), false);
  ASSERT_TRUE(otherKey);
  EXPECT_EQ(otherKey->LogicalLength(), 0);
  // Keys that could not be derived never seal or open anything.
  int error = 0;
  EXPECT_EQ(
      SealedStream::Open(L"/nonexistent/file.fp.vlc",
                         FrameCodec::Sealed(SealKeys(SecretBytes(16)), identity, 3), true, &error),
      nullptr);
  EXPECT_EQ(error, ENOMEM);
  // A reader of checksummed frames takes no sealed frame for its own.
  auto checksummed = fixture.OpenAs(FrameCodec::Checksummed(identity, 3), false);
  ASSERT_TRUE(checksummed);
  EXPECT_EQ(checksummed->LogicalLength(), 0);
}

TEST(PlainStream, IsTheFileItself) {
  platform::testing::TempFolder folder;
  const auto batch = TextBytes(1000, 1);
  int error = 0;
  auto stream = PlainRecordStream::Open(folder.Wide("file.fp"), true, &error);
  ASSERT_TRUE(stream);
  ASSERT_TRUE(stream->Append(batch));
  ASSERT_TRUE(stream->Append(batch));
  ASSERT_TRUE(stream->CutBack(1000));
  ASSERT_TRUE(stream->Sync());
  EXPECT_EQ(ReadAll(*stream), batch);
  EXPECT_EQ(ReadWhole(folder.path() / "file.fp"), std::string(batch.begin(), batch.end()));
  EXPECT_EQ(PlainRecordStream::Open(folder.Wide("missing"), false, &error), nullptr);
  EXPECT_EQ(error, ENOENT);
}

}  // namespace
}  // namespace vaultline::seal
