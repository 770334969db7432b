// Keyed identities: the same for the same key, unrelated across keys, and
// not the unkeyed digests someone could compute from a known file.
#include <gtest/gtest.h>
#include <sodium.h>

#include <cstring>
#include <set>

#include "SealTestSupport.h"
#include "seal/KeyedIdentity.h"

namespace vaultline::seal {
namespace {

TEST(KeyedIdentity, DependsOnTheKeyAlone) {
  const SealKeys keys(testing::RandomMaster(1));
  const SealKeys same(testing::RandomMaster(1));
  const SealKeys other(testing::RandomMaster(2));
  const KeyedIdentity a(keys), b(same), c(other);
  ASSERT_TRUE(a.Valid());
  const auto block = testing::RandomBytes(8192, 3);
  uint8_t da[16], db[16], dc[16], plain[16];
  a.BlockDigest(block.data(), block.size(), da);
  b.BlockDigest(block.data(), block.size(), db);
  c.BlockDigest(block.data(), block.size(), dc);
  crypto_generichash(plain, sizeof plain, block.data(), block.size(), nullptr, 0);
  EXPECT_EQ(std::memcmp(da, db, 16), 0);
  EXPECT_NE(std::memcmp(da, dc, 16), 0);
  EXPECT_NE(std::memcmp(da, plain, 16), 0);
  EXPECT_EQ(a.WeakKey(0x024A0126), b.WeakKey(0x024A0126));
  EXPECT_NE(a.WeakKey(0x024A0126), c.WeakKey(0x024A0126));
  // Neighbouring checksums scatter (a lookup table needs their spread).
  std::set<uint32_t> seen;
  for (uint32_t w = 0; w < 1000; ++w) seen.insert(a.WeakKey(w) >> 22);
  EXPECT_GT(seen.size(), 500u);
}

TEST(SealKeys, EveryPurposeHasItsOwnKey) {
  const SealKeys keys(testing::RandomMaster(1));
  ASSERT_TRUE(keys.Valid());
  std::set<std::vector<uint8_t>> distinct;
  auto add = [&](const uint8_t* key) { distinct.insert({key, key + SealKeys::kKeySize}); };
  add(keys.HeaderCheck());
  add(keys.Mask());
  add(keys.BlockDigest());
  add(keys.WeakChecksum());
  for (uint32_t kind = 1; kind <= 9; ++kind) add(keys.Payload(static_cast<RecordFileKind>(kind)));
  EXPECT_EQ(distinct.size(), 13u);
  EXPECT_FALSE(SealKeys(SecretBytes(16)).Valid());
}

}  // namespace
}  // namespace vaultline::seal
