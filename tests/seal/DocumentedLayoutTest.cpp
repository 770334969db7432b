// The container and key file layouts as docs/drive-layout.md describes
// them, built and taken apart here with libsodium alone: a frame made from
// the layout docs reads as data, and a frame the container wrote opens by
// them. A change to either side that the other does not follow fails here.
#include <gtest/gtest.h>
#include <sodium.h>
#include <zstd.h>

#include <cstring>

#include "SealTestSupport.h"
#include "seal/KeyFile.h"
#include "util/ByteOrder.h"
#include "util/Crc32.h"

namespace vaultline::seal {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Subkey(const SecretBytes& master, uint64_t id) {
  Bytes key(32);
  crypto_kdf_derive_from_key(key.data(), key.size(), id, "VLSEALK1", master.data());
  return key;
}

Bytes Identity(RecordFileKind kind) {
  Bytes identity(24, 0);
  std::fill(identity.begin(), identity.begin() + 16, 0x5A);  // as the fixture's store
  StoreLe32(static_cast<uint32_t>(kind), &identity[16]);
  return identity;
}

Bytes HeaderCheck(const Bytes& identity, const uint8_t* header, const Bytes& key) {
  Bytes input = identity;
  input.insert(input.end(), header, header + 64);
  Bytes check(16);
  crypto_generichash(check.data(), 16, input.data(), input.size(), key.data(), key.size());
  return check;
}

void Mask(uint8_t* header, const Bytes& maskKey) {
  uint8_t stream[12];
  crypto_stream_xchacha20(stream, 12, header + 32, maskKey.data());
  for (int i = 0; i < 12; ++i) header[12 + i] ^= stream[i];
}

TEST(DocumentedLayout, SealedFrameByTheLayoutDocsReadsAsData) {
  testing::ContainerFixture fixture(FrameKind::kSealed);
  const SecretBytes master = testing::RandomMaster(7);
  const Bytes identity = Identity(RecordFileKind::kContent);
  const Bytes batch = testing::RandomBytes(1000, 1);

  Bytes frame(80, 0);
  const size_t content = batch.size();
  const size_t stored = (80 + 8 + content + 16 + 255) / 256 * 256 - 80;
  StoreLe32(0x46434C56, &frame[0]);
  StoreLe16(1, &frame[4]);
  StoreLe16(1, &frame[6]);
  StoreLe32(static_cast<uint32_t>(stored), &frame[8]);
  StoreLe32(static_cast<uint32_t>(batch.size()), &frame[12]);
  StoreLe64(0, &frame[16]);
  StoreLe64(0, &frame[24]);
  randombytes_buf(&frame[32], 24);
  Mask(frame.data(), Subkey(master, 2));
  const Bytes check = HeaderCheck(identity, frame.data(), Subkey(master, 1));
  std::copy(check.begin(), check.end(), frame.begin() + 64);
  Bytes inner(stored - 16, 0);
  StoreLe32(0, &inner[0]);
  StoreLe32(static_cast<uint32_t>(content), &inner[4]);
  std::copy(batch.begin(), batch.end(), inner.begin() + 8);
  Bytes additional = identity;
  additional.insert(additional.end(), frame.begin(), frame.end());
  Bytes body(stored);
  unsigned long long length = 0;
  crypto_aead_xchacha20poly1305_ietf_encrypt(
      body.data(), &length, inner.data(), inner.size(), additional.data(), additional.size(),
      nullptr, &frame[32],
      Subkey(master, 5 + static_cast<uint32_t>(RecordFileKind::kContent)).data());
  frame.insert(frame.end(), body.begin(), body.end());
  testing::WriteWhole(fixture.Path(), std::string(frame.begin(), frame.end()));

  auto stream = fixture.Open(false);
  ASSERT_TRUE(stream);
  ASSERT_EQ(stream->LogicalLength(), 1000);
  Bytes read(1000);
  EXPECT_EQ(stream->ReadAt(0, read.data(), read.size()), 1000);
  EXPECT_EQ(read, batch);
}

TEST(DocumentedLayout, FramesTheContainerWroteOpenByTheLayoutDocs) {
  testing::ContainerFixture fixture(FrameKind::kSealed);
  const SecretBytes master = testing::RandomMaster(7);
  const Bytes identity = Identity(RecordFileKind::kContent);
  const Bytes first = testing::TextBytes(5000, 1), second = testing::RandomBytes(300, 2);
  {
    auto stream = fixture.Open();
    ASSERT_TRUE(stream->Append(first));
    ASSERT_TRUE(stream->Append(second));
  }
  const std::string file = testing::ReadWhole(fixture.Path());
  Bytes logical;
  for (size_t at = 0, sequence = 0; at < file.size(); ++sequence) {
    Bytes header(file.begin() + at, file.begin() + at + 80);
    EXPECT_EQ(LoadLe32(&header[0]), 0x46434C56u);
    EXPECT_EQ(HeaderCheck(identity, header.data(), Subkey(master, 1)),
              Bytes(header.begin() + 64, header.end()));
    const size_t stored = LoadLe32(&header[8]);
    EXPECT_EQ((80 + stored) % 256, 0u);
    Bytes fields = header;
    Mask(fields.data(), Subkey(master, 2));
    EXPECT_EQ(LoadLe64(&fields[16]), logical.size());
    EXPECT_EQ(LoadLe64(&header[24]), sequence);
    Bytes additional = identity;
    additional.insert(additional.end(), header.begin(), header.end());
    Bytes inner(stored - 16);
    unsigned long long length = 0;
    ASSERT_EQ(
        crypto_aead_xchacha20poly1305_ietf_decrypt(
            inner.data(), &length, nullptr, reinterpret_cast<const uint8_t*>(file.data()) + at + 80,
            stored, additional.data(), additional.size(), &header[32],
            Subkey(master, 5 + static_cast<uint32_t>(RecordFileKind::kContent)).data()),
        0);
    const uint32_t flags = LoadLe32(&inner[0]);
    const uint32_t content = LoadLe32(&inner[4]);
    Bytes batch(LoadLe32(&fields[12]));
    if (flags == 1) {
      ASSERT_EQ(ZSTD_decompress(batch.data(), batch.size(), &inner[8], content), batch.size());
    } else {
      ASSERT_EQ(flags, 0u);
      batch.assign(inner.begin() + 8, inner.begin() + 8 + content);
    }
    logical.insert(logical.end(), batch.begin(), batch.end());
    at += 80 + stored;
  }
  Bytes expected = first;
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(logical, expected);
}

TEST(DocumentedLayout, KeyFileOpensByTheLayoutDocs) {
  platform::testing::TempFolder folder;
  UnlockedKey made;
  ASSERT_EQ(KeyFile::Create(folder.Wide("file.key"), SecretBytes::FromText("pass word"),
                            {2, 1 << 20}, &made),
            KeyFileStatus::kOk);
  const std::string text = testing::ReadWhole(folder.path() / "file.key");
  ASSERT_EQ(text.size(), 132u);
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  EXPECT_EQ(LoadLe32(bytes), 0x594B4C56u);
  EXPECT_EQ(LoadLe16(bytes + 6), 2);
  EXPECT_EQ(LoadLe32(bytes + 128), Crc32(bytes, 128));
  uint8_t wrapping[32], master[32];
  ASSERT_EQ(crypto_pwhash(wrapping, 32, "pass word", 9, bytes + 24, LoadLe64(bytes + 8),
                          LoadLe64(bytes + 16), crypto_pwhash_ALG_ARGON2ID13),
            0);
  unsigned long long length = 0;
  ASSERT_EQ(crypto_aead_xchacha20poly1305_ietf_decrypt(master, &length, nullptr, bytes + 80, 48,
                                                       bytes, 80, bytes + 56, wrapping),
            0);
  EXPECT_EQ(std::memcmp(master, made.master.data(), 32), 0);
  EXPECT_EQ(std::memcmp(bytes + 40, made.store.data(), 16), 0);
}

}  // namespace
}  // namespace vaultline::seal
