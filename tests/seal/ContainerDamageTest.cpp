// A container changed on the drive gives back only true bytes and names
// what it lost: every byte flipped in turn, frames swapped, the end torn
// at every length by a power cut.
#include <gtest/gtest.h>

#include "SealTestSupport.h"

namespace vaultline::seal {
namespace {

using testing::ContainerFixture;
using testing::RandomBytes;
using testing::ReadsOnlyTrueBytes;
using testing::ReadWhole;
using testing::TextBytes;
using testing::WriteWhole;

class ContainerDamage : public ::testing::TestWithParam<FrameKind> {
 protected:
  ContainerDamage() : fixture_(GetParam()) {}

  // Appends `batches`, remembering where each frame ends in the file.
  void Write(const std::vector<std::vector<uint8_t>>& batches) {
    auto stream = fixture_.Open();
    ASSERT_TRUE(stream);
    for (const auto& batch : batches) {
      ASSERT_TRUE(stream->Append(batch));
      all_.insert(all_.end(), batch.begin(), batch.end());
      logicalEnds_.push_back(static_cast<int64_t>(all_.size()));
      fileEnds_.push_back(static_cast<int64_t>(std::filesystem::file_size(fixture_.Path())));
    }
    pristine_ = ReadWhole(fixture_.Path());
  }

  ContainerFixture fixture_;
  std::vector<uint8_t> all_;
  std::vector<int64_t> logicalEnds_, fileEnds_;
  std::string pristine_;
};

TEST_P(ContainerDamage, EveryFlippedByteIsFoundAndNeverReadAsData) {
  Write({RandomBytes(300, 1), TextBytes(900, 2), RandomBytes(200, 3)});
  for (size_t at = 0; at < pristine_.size(); ++at) {
    SCOPED_TRACE("byte " + std::to_string(at));
    std::string bytes = pristine_;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x5A);
    WriteWhole(fixture_.Path(), bytes);
    auto stream = fixture_.Open(false);
    ASSERT_TRUE(stream);
    EXPECT_TRUE(ReadsOnlyTrueBytes(*stream, all_));
    const bool sound = stream->CheckAll();
    // In the last frame a flip looks like a torn end, and is named as one.
    ASSERT_TRUE(!sound || stream->TornTail());
    if (static_cast<int64_t>(at) < fileEnds_[1]) {
      ASSERT_FALSE(stream->Damage().empty());
      EXPECT_NE(stream->Describe(stream->Damage().front()).find(L"file.fp.vlc"),
                std::wstring::npos);
    } else {
      ASSERT_TRUE(stream->TornTail());
      EXPECT_EQ(stream->TornTail()->logicalStart, logicalEnds_[1]);
    }
    // Frames before the flipped one read whole.
    const size_t frame = static_cast<int64_t>(at) < fileEnds_[0] ? 0
                         : at < size_t(fileEnds_[1])             ? 1
                                                                 : 2;
    if (frame > 0) {
      std::vector<uint8_t> first(static_cast<size_t>(logicalEnds_[frame - 1]));
      EXPECT_EQ(stream->ReadAt(0, first.data(), first.size()), static_cast<int64_t>(first.size()));
    }
  }
}

TEST_P(ContainerDamage, SwappedOrRepeatedFramesAreDamage) {
  Write({RandomBytes(400, 1), RandomBytes(400, 2), RandomBytes(400, 3), RandomBytes(400, 4)});
  const size_t a = static_cast<size_t>(fileEnds_[0]);
  const size_t b = static_cast<size_t>(fileEnds_[1]);
  const size_t c = static_cast<size_t>(fileEnds_[2]);
  ASSERT_EQ(b - a, a);
  // Frames 1 and 2 change places.
  std::string swapped = pristine_.substr(0, a) + pristine_.substr(b, c - b) +
                        pristine_.substr(a, b - a) + pristine_.substr(c);
  // Frame 0 written again in place of frame 1.
  std::string repeated = pristine_.substr(0, a) + pristine_.substr(0, a) + pristine_.substr(b);
  for (const std::string& bytes : {swapped, repeated}) {
    WriteWhole(fixture_.Path(), bytes);
    auto stream = fixture_.Open(false);
    ASSERT_TRUE(stream);
    EXPECT_TRUE(ReadsOnlyTrueBytes(*stream, all_));
    EXPECT_FALSE(stream->CheckAll());
    ASSERT_FALSE(stream->Damage().empty());
    EXPECT_FALSE(stream->TornTail());
    // The last frame is still where it was, and readable.
    std::vector<uint8_t> last(400);
    EXPECT_EQ(stream->ReadAt(1200, last.data(), last.size()), 400);
    EXPECT_TRUE(std::equal(last.begin(), last.end(), all_.begin() + 1200));
  }
}

TEST_P(ContainerDamage, TornLastFrameIsCutOffAtEveryLength) {
  Write({TextBytes(3000, 1), RandomBytes(700, 2), TextBytes(2000, 3)});
  const auto more = TextBytes(500, 4);
  for (int64_t length = fileEnds_[1]; length < fileEnds_[2]; ++length) {
    SCOPED_TRACE("cut at " + std::to_string(length));
    WriteWhole(fixture_.Path(), pristine_.substr(0, static_cast<size_t>(length)));
    auto stream = fixture_.Open();
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->LogicalLength(), logicalEnds_[1]);
    EXPECT_TRUE(stream->Damage().empty());
    EXPECT_EQ(stream->TornTail().has_value(), length > fileEnds_[1]);
    ASSERT_TRUE(stream->CheckAll());
    ASSERT_TRUE(ReadsOnlyTrueBytes(*stream, all_));
    // The next batch goes where the torn frame began.
    ASSERT_TRUE(stream->Append(more));
    stream.reset();
    auto reopened = fixture_.Open(false);
    ASSERT_TRUE(reopened);
    EXPECT_FALSE(reopened->TornTail());
    std::vector<uint8_t> expected(all_.begin(), all_.begin() + logicalEnds_[1]);
    expected.insert(expected.end(), more.begin(), more.end());
    ASSERT_TRUE(ReadsOnlyTrueBytes(*reopened, expected));
    EXPECT_EQ(reopened->LogicalLength(), static_cast<int64_t>(expected.size()));
  }
}

TEST_P(ContainerDamage, ZerosAfterTheLastFrameAreATornTail) {
  Write({TextBytes(3000, 1), RandomBytes(700, 2)});
  WriteWhole(fixture_.Path(), pristine_ + std::string(5000, '\0'));
  auto stream = fixture_.Open(false);
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->LogicalLength(), logicalEnds_[1]);
  ASSERT_TRUE(stream->TornTail());
  EXPECT_EQ(stream->TornTail()->fileStart, fileEnds_[1]);
  EXPECT_TRUE(stream->CheckAll());
}

TEST_P(ContainerDamage, DamageInTheMiddleStaysNamedAfterLaterAppends) {
  Write({RandomBytes(500, 1), RandomBytes(500, 2), RandomBytes(500, 3), RandomBytes(500, 4)});
  std::string bytes = pristine_;
  bytes[static_cast<size_t>(fileEnds_[0]) + 100] ^= 1;  // frame 1's body
  bytes[static_cast<size_t>(fileEnds_[1]) + 2] ^= 1;    // frame 2's header
  WriteWhole(fixture_.Path(), bytes);
  {
    auto stream = fixture_.Open();
    ASSERT_TRUE(stream);
    ASSERT_TRUE(stream->Append(RandomBytes(500, 5)));
  }
  auto stream = fixture_.Open(false);
  ASSERT_TRUE(stream);
  std::vector<uint8_t> buffer(500);
  EXPECT_EQ(stream->ReadAt(0, buffer.data(), 500), 500);
  EXPECT_EQ(stream->ReadAt(500, buffer.data(), 500), RecordStream::kDamaged);
  // Frame 2's header is lost, and with it its length: the range from frame
  // 1's end to the next sound frame is named.
  EXPECT_EQ(stream->ReadAt(1000, buffer.data(), 500), RecordStream::kDamaged);
  EXPECT_EQ(stream->ReadAt(1500, buffer.data(), 500), 500);
  EXPECT_FALSE(stream->CheckAll());
  ASSERT_EQ(stream->Damage().size(), 2u);
  EXPECT_EQ(stream->Damage()[0].logicalStart, 1000);
  EXPECT_EQ(stream->Damage()[0].logicalEnd, 1500);
  EXPECT_EQ(stream->Damage()[1].logicalStart, 500);
  EXPECT_EQ(stream->Damage()[1].logicalEnd, 1000);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ContainerDamage,
                         ::testing::Values(FrameKind::kSealed, FrameKind::kChecksummed));

}  // namespace
}  // namespace vaultline::seal
