// Containers in a temporary folder for the tests: codecs of either kind,
// files read and written whole, and batches that compress or do not.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "seal/FrameCodec.h"
#include "seal/SealKeys.h"
#include "seal/SealedStream.h"

namespace vaultline::seal::testing {

inline SecretBytes RandomMaster(uint64_t seed) {
  SecretBytes master(SealKeys::kMasterKeySize);
  std::mt19937_64 random(seed);
  for (size_t i = 0; i < master.size(); ++i) master.data()[i] = static_cast<uint8_t>(random());
  return master;
}

inline std::vector<uint8_t> RandomBytes(size_t size, uint64_t seed) {
  std::vector<uint8_t> bytes(size);
  std::mt19937_64 random(seed);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

// Text-like bytes that compress well: words from a small list.
inline std::vector<uint8_t> TextBytes(size_t size, uint64_t seed) {
  static const char* const kWords[] = {"snapshot ",  "folder ",  "block ", "record ", "drive\n",
                                       "selection ", "restore ", "the ",   "of ",     "backup "};
  std::mt19937_64 random(seed);
  std::vector<uint8_t> bytes;
  while (bytes.size() < size) {
    const std::string word = kWords[random() % 10];
    bytes.insert(bytes.end(), word.begin(), word.end());
  }
  bytes.resize(size);
  return bytes;
}

inline std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWhole(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class ContainerFixture {
 public:
  explicit ContainerFixture(FrameKind kind, RecordFileKind file = RecordFileKind::kContent)
      : kind_(kind), keys_(RandomMaster(7)) {
    identity_.store.fill(0x5A);
    identity_.kind = file;
  }

  FrameCodec Codec(RecordFileKind file) const {
    FileIdentity identity = identity_;
    identity.kind = file;
    return kind_ == FrameKind::kSealed ? FrameCodec::Sealed(keys_, identity, 3)
                                       : FrameCodec::Checksummed(identity, 3);
  }
  FrameCodec Codec() const { return Codec(identity_.kind); }

  std::unique_ptr<SealedStream> Open(bool writable = true) const {
    return OpenAs(Codec(), writable);
  }
  std::unique_ptr<SealedStream> OpenAs(FrameCodec codec, bool writable = true) const {
    int error = 0;
    auto stream =
        SealedStream::Open(folder_.Wide("file.fp.vlc"), std::move(codec), writable, &error);
    EXPECT_NE(stream, nullptr) << "error " << error;
    return stream;
  }
  std::filesystem::path Path() const { return folder_.path() / "file.fp.vlc"; }
  const SealKeys& Keys() const { return keys_; }

 private:
  platform::testing::TempFolder folder_;
  FrameKind kind_;
  SealKeys keys_;
  FileIdentity identity_;
};

// Every logical byte of `stream` that reads as data, compared with
// `expected`: true when none differs (damaged ranges are skipped).
inline ::testing::AssertionResult ReadsOnlyTrueBytes(SealedStream& stream,
                                                     const std::vector<uint8_t>& expected) {
  std::vector<uint8_t> buffer(512);
  for (int64_t at = 0; at < stream.LogicalLength(); at += static_cast<int64_t>(buffer.size())) {
    const int64_t got = stream.ReadAt(at, buffer.data(), buffer.size());
    if (got == RecordStream::kDamaged) continue;
    if (got < 0) return ::testing::AssertionFailure() << "read error at " << at;
    if (at + got > static_cast<int64_t>(expected.size())) {
      return ::testing::AssertionFailure() << "bytes beyond the end at " << at;
    }
    if (!std::equal(buffer.begin(), buffer.begin() + got, expected.begin() + at)) {
      return ::testing::AssertionFailure() << "wrong bytes read at " << at;
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace vaultline::seal::testing
