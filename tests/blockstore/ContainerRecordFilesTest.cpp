// The store's record files kept in a container instead of a plain file: the
// same logical bytes, each written batch one frame, and nothing that needs
// the plain file's descriptor.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "blockstore/BlockIndexFile.h"
#include "blockstore/DataFile.h"
#include "seal/SealedStream.h"
#include "util/WorkerThread.h"
#include "util/WriteBehind.h"

namespace vaultline {
namespace {

using test::Bytes;

class ContainerRecordFilesTest : public ::testing::Test {
 protected:
  std::unique_ptr<seal::SealedStream> Open(const std::string& name, seal::RecordFileKind kind) {
    seal::FileIdentity identity;
    identity.kind = kind;
    int error = 0;
    auto stream =
        seal::SealedStream::Open((folder_.path() / name).wstring(),
                                 seal::FrameCodec::Checksummed(identity, 3), true, &error);
    EXPECT_NE(stream, nullptr) << "error " << error;
    return stream;
  }

  test::TempFolder folder_;
};

TEST_F(ContainerRecordFilesTest, BlocksAndIndexRecordsReadBackFromOneFramePerBatch) {
  std::vector<Bytes> blocks;
  std::vector<int64_t> positions;
  {
    auto dataStream = Open("file.vlc", seal::RecordFileKind::kData);
    auto indexStream = Open("file.ind.vlc", seal::RecordFileKind::kIndex);
    DataFile data(*dataStream);
    BlockIndexFile index(*indexStream);
    WorkerThread worker(true);
    for (int i = 0; i < 5; ++i) {
      blocks.push_back(test::RandomBytes(static_cast<size_t>(1000 + i), static_cast<uint64_t>(i)));
      const Bytes& block = blocks.back();
      int64_t position = -1;
      const auto length = static_cast<int32_t>(block.size());
      data.AppendBlock(i, Md5::Of(block.data(), block.size()), block.data(), length, nullptr, 0,
                       &position);
      positions.push_back(position);
      ASSERT_TRUE(index.Append(i, Md5::Of(block.data(), block.size()), position));
      // Two batches: the first written behind on the worker.
      if (i == 2) {
        ASSERT_TRUE(data.FlushBehind(worker));
      }
    }
    ASSERT_TRUE(data.Flush());
    ASSERT_TRUE(index.Flush());
    EXPECT_EQ(dataStream->FrameCount(), 2);
    EXPECT_EQ(indexStream->FrameCount(), 1);
  }
  // The file is a container, not the plain layout.
  EXPECT_EQ(test::ReadAll(folder_.path() / "file.vlc")[0], 0x56);  // "VLCF", little-endian

  auto dataStream = Open("file.vlc", seal::RecordFileKind::kData);
  auto indexStream = Open("file.ind.vlc", seal::RecordFileKind::kIndex);
  DataFile data(*dataStream);
  BlockIndexFile index(*indexStream);
  std::vector<uint8_t> buffer(DataRecordHeader::kSize + DataRecordHeader::kMaxLength);
  for (size_t i = 0; i < blocks.size(); ++i) {
    int32_t weak = -1;
    Md5Digest digest;
    int64_t position = -1;
    ASSERT_TRUE(data.ReadNextHeader(&weak, &digest, &position)) << i;
    EXPECT_EQ(position, positions[i]);
    DataRecordHeader header;
    ASSERT_TRUE(data.ReadWholeBlock(position, static_cast<int32_t>(blocks[i].size()), buffer.data(),
                                    &header));
    EXPECT_EQ(Bytes(buffer.begin() + DataRecordHeader::kSize,
                    buffer.begin() + DataRecordHeader::kSize + header.length),
              blocks[i]);
    ASSERT_TRUE(index.ReadNext(&weak, &digest, &position));
    EXPECT_EQ(weak, static_cast<int32_t>(i));
    EXPECT_EQ(position, positions[i]);
  }
  int32_t weak;
  Md5Digest digest;
  int64_t position;
  EXPECT_FALSE(data.ReadNextHeader(&weak, &digest, &position));
}

// Appends that must go where their positions say: a container is cut back
// only to where a batch began; anywhere else the next batch is refused, not
// put behind bytes its positions did not count.
TEST_F(ContainerRecordFilesTest, AnEndMovedBackIsCutAtABatchOrRefused) {
  auto stream = Open("file.dir.vlc", seal::RecordFileKind::kDirectory);
  const std::string abc = "abc", defg = "defg";
  WriteBehind writes(*stream, 0, L"\nwrite failed", 0);
  writes.Append(abc.data(), abc.size());
  ASSERT_TRUE(writes.Flush());
  writes.Append(defg.data(), defg.size());
  ASSERT_TRUE(writes.Flush());

  writes.AssumeEnd(5);  // inside the second batch
  writes.Append("Z", 1);
  test::DiagnosticCapture log;
  EXPECT_FALSE(writes.Flush());
  EXPECT_EQ(log.text(), L"\nwrite failed");
  EXPECT_EQ(stream->LogicalLength(), 7);

  writes.AssumeEnd(3);
  writes.Append("Y", 1);
  ASSERT_TRUE(writes.Flush());
  std::string read(4, '\0');
  ASSERT_EQ(stream->ReadAt(0, read.data(), read.size()), 4);
  EXPECT_EQ(read, "abcY");
  EXPECT_EQ(writes.End(), 4);
}

}  // namespace
}  // namespace vaultline
