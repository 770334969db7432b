#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "TestSupport.h"
#include "blockstore/Md5.h"
#include "blockstore/Md5Lanes.h"

namespace vaultline {
namespace {

std::string Hex(const Md5Digest& digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (uint8_t byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

TEST(Md5Test, MatchesTheRfcTestSuite) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
       "0",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [message, expected] : cases) {
    EXPECT_EQ(Hex(Md5::Of(message.data(), message.size())), expected) << message;
  }
}

TEST(Md5Test, PiecesOfAnySizeGiveTheOneShotDigest) {
  test::Bytes bytes = test::RandomBytes(10000, 7);
  Md5Digest whole = Md5::Of(bytes.data(), bytes.size());
  // Piece sizes around the 64-byte block and the 56-byte padding boundary.
  for (size_t piece : {1u, 55u, 56u, 63u, 64u, 65u, 127u, 4096u}) {
    Md5 md5;
    for (size_t at = 0; at < bytes.size(); at += piece) {
      md5.Update(bytes.data() + at, std::min(piece, bytes.size() - at));
    }
    Md5Digest digest;
    md5.Final(&digest);
    EXPECT_EQ(digest, whole) << piece;
    // Final leaves the context ready for the next message.
    md5.Update("abc", 3);
    md5.Final(&digest);
    EXPECT_EQ(Hex(digest), "900150983cd24fb0d6963f7d28e17f72");
  }
}

TEST(Md5Test, AgreesWithMd5sumOnALargeRandomInput) {
  test::TempFolder folder;
  test::Bytes bytes = test::RandomBytes(3 * 1024 * 1024 + 17, 11);
  test::WriteAll(folder / "input", bytes);
  std::string command =
      "md5sum '" + (folder / "input").string() + "' > '" + (folder / "sum").string() + "'";
  if (std::system(command.c_str()) != 0) GTEST_SKIP() << "md5sum is not available";
  std::ifstream sum(folder / "sum");
  std::string expected;
  sum >> expected;
  EXPECT_EQ(Hex(Md5::Of(bytes.data(), bytes.size())), expected);
}

TEST(Md5Test, MessagesHashedSideBySideGiveTheirOwnDigests) {
  // Every length around the 56-byte padding limit and whole blocks, and
  // counts around the eight and sixteen lanes, each message different.
  for (size_t length : {0, 1, 55, 56, 63, 64, 65, 119, 120, 128, 8191, 8192}) {
    for (size_t count : {1, 2, 3, 7, 8, 9, 15, 16, 17, 25, 33}) {
      std::vector<test::Bytes> messages;
      std::vector<const uint8_t*> pointers;
      for (size_t i = 0; i < count; ++i) {
        messages.push_back(test::RandomBytes(length, 100 * length + i));
      }
      for (const test::Bytes& message : messages) pointers.push_back(message.data());
      for (int way = 0; way < Md5OfEachWays(); ++way) {
        std::vector<Md5Digest> digests(count);
        Md5OfEach(pointers.data(), count, length, digests.data(), way);
        for (size_t i = 0; i < count; ++i) {
          EXPECT_EQ(digests[i], Md5::Of(pointers[i], length))
              << "way " << way << ", " << length << " bytes, " << count << " messages, #" << i;
        }
      }
    }
  }
  // Messages of mixed lengths, as a file's last block ends a batch; then
  // groups of every size up to past two passes of sixteen lanes, of lengths
  // around the block and tail limits, empty ones among them.
  std::vector<std::vector<size_t>> groups = {
      {8192, 8192, 8192, 8192, 100, 8192, 8192, 8192, 0, 64}};
  const size_t picks[] = {0, 1, 55, 56, 63, 64, 65, 119, 120, 200, 4097, 8191, 8192, 16383};
  for (size_t count = 1; count <= 34; ++count) {
    std::vector<size_t> lengths;
    for (size_t i = 0; i < count; ++i) lengths.push_back(picks[(count * 7 + i * 5) % 14]);
    groups.push_back(lengths);
  }
  for (const std::vector<size_t>& lengths : groups) {
    std::vector<test::Bytes> messages;
    std::vector<const uint8_t*> pointers;
    for (size_t i = 0; i < lengths.size(); ++i) {
      messages.push_back(test::RandomBytes(lengths[i], 1000 + i));
    }
    for (const test::Bytes& message : messages) pointers.push_back(message.data());
    std::vector<Md5Digest> digests(lengths.size());
    Md5OfEach(pointers.data(), lengths.data(), lengths.size(), digests.data());
    for (size_t i = 0; i < lengths.size(); ++i) {
      EXPECT_EQ(digests[i], Md5::Of(pointers[i], lengths[i]))
          << "#" << i << " of " << lengths.size() << ", " << lengths[i] << " bytes";
    }
  }
}

}  // namespace
}  // namespace vaultline
