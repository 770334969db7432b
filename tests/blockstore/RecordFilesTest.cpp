#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "TestSupport.h"
#include "blockstore/BlockIndexFile.h"
#include "blockstore/ContentRecord.h"
#include "blockstore/DataFile.h"
#include "blockstore/FpRecordFile.h"
#include "platform/File.h"
#include "util/ByteOrder.h"
#include "util/PlainRecordStream.h"

namespace vaultline {
namespace {

using test::Bytes;

class RecordFilesTest : public ::testing::Test {
 protected:
  int Open(const std::string& name) {
    int fd = platform::OpenFile((folder_ / name).wstring(), platform::OpenMode::kReadWriteStore);
    EXPECT_GE(fd, 0);
    fds_.push_back(fd);
    return fd;
  }
  // The file as a record stream; the descriptor is closed with the others.
  RecordStream& Stream(const std::string& name) {
    return *streams_.emplace_back(PlainRecordStream::Borrow(Open(name)));
  }
  Bytes Contents(const std::string& name) { return test::ReadAll(folder_ / name); }
  ~RecordFilesTest() override {
    for (int fd : fds_) platform::CloseFile(fd);
  }

  // Three blocks of 100, 200 and 300 bytes; returns their positions.
  std::vector<int64_t> WriteThreeBlocks(DataFile& data) {
    std::vector<int64_t> positions;
    for (int32_t length : {100, 200, 300}) {
      Bytes bytes = test::RandomBytes(static_cast<size_t>(length), static_cast<uint64_t>(length));
      int64_t position = -1;
      data.AppendBlock(length, Md5::Of(bytes.data(), bytes.size()), bytes.data(), length, nullptr,
                       0, &position);
      EXPECT_TRUE(data.Flush());
      positions.push_back(position);
    }
    return positions;
  }

  std::vector<int64_t> Scan(DataFile& data) {
    std::vector<int64_t> found;
    int32_t checksum;
    Md5Digest digest;
    int64_t position;
    while (data.ReadNextHeader(&checksum, &digest, &position)) found.push_back(position);
    return found;
  }

  test::TempFolder folder_;
  std::vector<int> fds_;
  std::vector<std::unique_ptr<RecordStream>> streams_;
};

Md5Digest CountingDigest() {
  Md5Digest digest;
  for (int i = 0; i < 16; ++i) digest[static_cast<size_t>(i)] = static_cast<uint8_t>(0xA0 + i);
  return digest;
}

TEST_F(RecordFilesTest, ContentRecordsHaveTheirByteLayout) {
  int fd = Open("content");
  FpRecordFile record(fd);
  const std::wstring name(511, L'x');
  ASSERT_TRUE(record.WriteHeader(name, 0x0102030405060708, 1, L""));
  // Top bit set: the checksum of the bytes 0x80 0x01.
  ASSERT_TRUE(record.WriteEntry(static_cast<int32_t>(0xFF01FF81u), CountingDigest(), 8192,
                                0x1122334455, 0x66778899AA));
  // A name of 512 units has no room for its NUL: nothing is written.
  EXPECT_FALSE(record.WriteHeader(std::wstring(512, L'y'), 1, 1, L""));
  ASSERT_TRUE(record.Flush());

  Bytes bytes = Contents("content");
  ASSERT_EQ(bytes.size(), 2072u + 40u);
  EXPECT_EQ(LoadLe16(&bytes[0]), 0xBCAE);
  EXPECT_EQ(LoadLe32(&bytes[4]), 511u);
  EXPECT_EQ(LoadLe16(&bytes[8]), L'x');
  EXPECT_EQ(LoadLe16(&bytes[8 + 1020]), L'x');
  EXPECT_EQ(LoadLe16(&bytes[8 + 1022]), 0);
  EXPECT_EQ(LoadLe64(&bytes[1032]), 0x0102030405060708u);
  EXPECT_EQ(LoadLe16(&bytes[1040]), 1);
  EXPECT_EQ(LoadLe32(&bytes[1044]), 0u);
  EXPECT_EQ(LoadLe16(&bytes[1048]), 0);

  const uint8_t* entry = &bytes[2072];
  EXPECT_EQ(LoadLe32(entry), 0xFF01FF81u);
  EXPECT_EQ(entry[4], 0xA0);
  EXPECT_EQ(entry[19], 0xAF);
  EXPECT_EQ(LoadLe32(entry + 20), 8192u);
  EXPECT_EQ(LoadLe64(entry + 24), 0x1122334455u);
  EXPECT_EQ(LoadLe64(entry + 32), 0x66778899AAu);

  platform::SeekFile(fd, 0, platform::SeekFrom::kStart);
  std::wstring readName, second;
  int64_t size;
  uint16_t layout;
  ASSERT_TRUE(record.ReadHeader(&readName, &size, &layout, &second));
  EXPECT_EQ(readName, name);
  EXPECT_EQ(size, 0x0102030405060708);
  int32_t checksum, length;
  Md5Digest digest;
  int64_t source, data;
  ASSERT_TRUE(record.ReadEntry(&checksum, &digest, &length, &source, &data));
  EXPECT_EQ(checksum, static_cast<int32_t>(0xFF01FF81u));
  EXPECT_EQ(digest, CountingDigest());
  EXPECT_EQ(data, 0x66778899AA);
  EXPECT_FALSE(record.ReadEntry(&checksum, &digest, &length, &source, &data));
}

TEST_F(RecordFilesTest, AContentRecordOfManyShortPiecesIsReadWhole) {
  // Reads of the pieces are sized for whole blocks: a record of short
  // pieces (literals between matches) takes many, and the record after it
  // must not be taken for more of them.
  int fd = Open("content");
  FpRecordFile record(fd);
  std::vector<int32_t> lengths;
  int64_t size = 0;
  for (int i = 0; i < 3000; ++i) {
    lengths.push_back(i % 7 == 0 ? 8192 : 1 + i % 300);
    size += lengths.back();
  }
  ASSERT_TRUE(record.WriteHeader(L"/short", size, 1, L""));
  int64_t source = 0;
  for (int32_t length : lengths) {
    ASSERT_TRUE(record.WriteEntry(7, CountingDigest(), length, source, 0));
    source += length;
  }
  ASSERT_TRUE(record.WriteHeader(L"/next", 8192, 1, L""));
  ASSERT_TRUE(record.WriteEntry(7, CountingDigest(), 8192, 0, 0));
  ASSERT_TRUE(record.Flush());

  ContentRecord read;
  std::wstring why;
  const int64_t dataEnd = int64_t{1} << 40;
  ASSERT_EQ(ContentRecord::Read(fd, 0, L"/short", size, dataEnd, &read, &why),
            ContentRecord::Check::kSound)
      << why;
  ASSERT_EQ(read.entries.size(), lengths.size());
  EXPECT_EQ(read.entries.back().length, lengths.back());
  const int64_t next = FpHeader::kSize + FpEntry::kSize * static_cast<int64_t>(lengths.size());
  ASSERT_EQ(ContentRecord::Read(fd, next, L"/next", 8192, dataEnd, &read, &why),
            ContentRecord::Check::kSound)
      << why;
  EXPECT_EQ(read.entries.size(), 1u);
}

TEST_F(RecordFilesTest, AHeaderClaimingALongerNameIsRejected) {
  int fd = Open("content");
  FpRecordFile record(fd);
  ASSERT_TRUE(record.WriteHeader(L"short", 5, 0, L""));
  Bytes bytes = Contents("content");
  StoreLe32(512, &bytes[4]);
  test::WriteAll(folder_ / "content", bytes);
  platform::SeekFile(fd, 0, platform::SeekFrom::kStart);
  std::wstring name, second;
  int64_t size;
  uint16_t layout;
  EXPECT_FALSE(record.ReadHeader(&name, &size, &layout, &second));
}

TEST_F(RecordFilesTest, DataAndIndexRecordsHaveTheirByteLayout) {
  DataFile data(Stream("data"));
  BlockIndexFile index(Stream("index"));
  EXPECT_FALSE(data.HasRecords());
  const Bytes block = {1, 2, 3};
  int64_t position = -1;
  data.AppendBlock(static_cast<int32_t>(0x80000001u), CountingDigest(), block.data(), 3, nullptr, 0,
                   &position);
  ASSERT_TRUE(data.Flush());
  ASSERT_TRUE(index.Append(static_cast<int32_t>(0x80000001u), CountingDigest(), position));
  ASSERT_TRUE(index.Flush());
  EXPECT_EQ(position, 0);
  EXPECT_TRUE(data.HasRecords());
  EXPECT_FALSE(index.HasRecords());  // one record of 32 bytes is not enough

  Bytes bytes = Contents("data");
  ASSERT_EQ(bytes.size(), 43u);
  EXPECT_EQ(LoadLe16(&bytes[0]), 0xBCDB);
  EXPECT_EQ(LoadLe16(&bytes[2]), 1);
  EXPECT_EQ(LoadLe32(&bytes[4]), 0x80000001u);
  EXPECT_EQ(bytes[8], 0xA0);
  EXPECT_EQ(LoadLe32(&bytes[24]), 3u);
  EXPECT_EQ(LoadLe64(&bytes[32]), 0u);
  EXPECT_EQ(bytes[40], 1);

  data.AppendBlock(5, CountingDigest(), block.data(), 3, nullptr, 0, &position);
  ASSERT_TRUE(data.Flush());
  EXPECT_EQ(position, 43);
  EXPECT_EQ(LoadLe64(&Contents("data")[43 + 32]), 43u);

  Bytes entry = Contents("index");
  ASSERT_EQ(entry.size(), 32u);
  EXPECT_EQ(LoadLe32(&entry[0]), 0x80000001u);
  EXPECT_EQ(entry[4], 0xA0);
  EXPECT_EQ(LoadLe64(&entry[24]), 0u);
}

TEST_F(RecordFilesTest, ACutLastRecordIsATornTailThatTheNextAppendReplaces) {
  std::vector<int64_t> positions;
  {
    DataFile data(Stream("data"));
    positions = WriteThreeBlocks(data);
  }
  // The header of the third block whole, half of its bytes; then only part
  // of its header.
  for (int64_t cut : {positions[2] + 40 + 150, positions[2] + 20}) {
    std::filesystem::resize_file(folder_ / "data", static_cast<uintmax_t>(cut));
    DataFile data(Stream("data"));
    EXPECT_EQ(Scan(data), (std::vector<int64_t>{positions[0], positions[1]}));
    EXPECT_EQ(data.LogicalEnd(), positions[2]);
    int64_t position = -1;
    data.AppendBlock(1, CountingDigest(), "z", 1, nullptr, 0, &position);
    EXPECT_EQ(position, positions[2]);
    ASSERT_TRUE(data.Flush());
    EXPECT_EQ(std::filesystem::file_size(folder_ / "data"),
              static_cast<uintmax_t>(positions[2] + 41));
  }
}

TEST_F(RecordFilesTest, AScanResynchronisesBehindADamagedHeader) {
  std::vector<int64_t> positions;
  {
    DataFile data(Stream("data"));
    positions = WriteThreeBlocks(data);
  }
  const uintmax_t size = std::filesystem::file_size(folder_ / "data");
  for (size_t damaged : {size_t{0}, size_t{32}}) {  // the magic, then the position field
    Bytes bytes = Contents("data");
    bytes[static_cast<size_t>(positions[1]) + damaged] ^= 0x55;
    test::WriteAll(folder_ / "data.damaged", bytes);
    test::DiagnosticCapture log;
    DataFile data(Stream("data.damaged"));
    EXPECT_EQ(Scan(data), (std::vector<int64_t>{positions[0], positions[2]}));
    EXPECT_EQ(data.LogicalEnd(), static_cast<int64_t>(size));
    EXPECT_NE(log.text().find(L"skipped 240 bytes"), std::wstring::npos) << log.text();
  }
}

TEST_F(RecordFilesTest, ReadBlockIsBoundedByTheLogicalEnd) {
  DataFile data(Stream("data"));
  WriteThreeBlocks(data);
  const int64_t end = data.LogicalEnd();
  uint8_t buffer[300];
  test::DiagnosticCapture log;
  EXPECT_FALSE(data.ReadBlock(buffer, end - 39, 1));
  EXPECT_EQ(log.text(), L"\nmetadata file offset too high");
  log.Clear();
  // At exactly the end minus 40 the offset passes; there are no bytes to read.
  EXPECT_FALSE(data.ReadBlock(buffer, end - 40, 1));
  EXPECT_EQ(log.text().rfind(L"\n Failed to read data file data, size is 1\nfile position ", 0), 0u)
      << log.text();
  EXPECT_TRUE(data.ReadBlock(buffer, end - 40 - 300, 300));
  EXPECT_EQ(Bytes(buffer, buffer + 300), test::RandomBytes(300, 300));
}

TEST_F(RecordFilesTest, ATornIndexRecordIsDroppedNotAppendedBehind) {
  {
    BlockIndexFile index(Stream("index"));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(index.Append(i, CountingDigest(), i * 100));
  }
  std::filesystem::resize_file(folder_ / "index", 3 * 32 - 7);
  BlockIndexFile index(Stream("index"));
  EXPECT_EQ(index.LogicalEnd(), 64);
  ASSERT_TRUE(index.Append(9, CountingDigest(), 900));
  ASSERT_TRUE(index.Flush());
  int32_t checksum;
  Md5Digest digest;
  int64_t position;
  std::vector<int32_t> checksums;
  BlockIndexFile reread(Stream("index"));
  while (reread.ReadNext(&checksum, &digest, &position)) checksums.push_back(checksum);
  EXPECT_EQ(checksums, (std::vector<int32_t>{0, 1, 9}));
}

}  // namespace
}  // namespace vaultline
