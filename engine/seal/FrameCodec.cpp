#include "seal/FrameCodec.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>

#include "util/ByteOrder.h"

namespace vaultline::seal {
namespace {

using namespace frame;

// Where each key lies in keys_.
constexpr size_t kPayloadKey = 0;
constexpr size_t kHeaderKey = SealKeys::kKeySize;
constexpr size_t kMaskKey = 2 * SealKeys::kKeySize;
constexpr size_t kAdditionalSize = kIdentitySize + kHeaderSize;

static_assert(crypto_aead_xchacha20poly1305_ietf_NPUBBYTES == kNonce.size);
static_assert(crypto_aead_xchacha20poly1305_ietf_ABYTES == kTrailerSize);
static_assert(crypto_aead_xchacha20poly1305_ietf_KEYBYTES == SealKeys::kKeySize);
static_assert(crypto_stream_xchacha20_NONCEBYTES == kNonce.size);

size_t RoundUp(size_t value, size_t step) {
  return (value + step - 1) / step * step;
}

}  // namespace

FrameCodec::FrameCodec(FrameKind kind, const FileIdentity& identity, int level)
    : kind_(kind), compressor_(std::make_unique<BatchCompressor>(level)) {
  std::memcpy(identity_.data(), identity.store.data(), identity.store.size());
  StoreLe32(static_cast<uint32_t>(identity.kind), identity_.data() + 16);
}

FrameCodec FrameCodec::Sealed(const SealKeys& keys, const FileIdentity& identity, int level) {
  FrameCodec codec(FrameKind::kSealed, identity, level);
  if (!keys.Valid()) return codec;
  codec.keys_ = SecretBytes(3 * SealKeys::kKeySize);
  if (codec.keys_.empty()) return codec;
  std::memcpy(codec.keys_.data() + kPayloadKey, keys.Payload(identity.kind), SealKeys::kKeySize);
  std::memcpy(codec.keys_.data() + kHeaderKey, keys.HeaderCheck(), SealKeys::kKeySize);
  std::memcpy(codec.keys_.data() + kMaskKey, keys.Mask(), SealKeys::kKeySize);
  return codec;
}

FrameCodec FrameCodec::Checksummed(const FileIdentity& identity, int level) {
  return FrameCodec(FrameKind::kChecksummed, identity, level);
}

size_t FrameCodec::StoredLengthFor(size_t contentLength) const {
  const size_t inner = kInnerPrefix + contentLength;
  if (kind_ == FrameKind::kChecksummed) return inner + kTrailerSize;
  // Padding to the alignment shows the size of a batch only to within it.
  return RoundUp(kHeaderSize + inner + kTrailerSize, kSealedAlignment) - kHeaderSize;
}

void FrameCodec::Check(const uint8_t* header, uint8_t* check) const {
  uint8_t input[kIdentitySize + kCheck.offset];
  std::memcpy(input, identity_.data(), kIdentitySize);
  std::memcpy(input + kIdentitySize, header, kCheck.offset);
  const bool keyed = kind_ == FrameKind::kSealed;
  crypto_generichash(check, kCheck.size, input, sizeof input,
                     keyed ? keys_.data() + kHeaderKey : nullptr, keyed ? SealKeys::kKeySize : 0);
}

void FrameCodec::MaskLogical(const uint8_t* nonce, uint8_t* fields) const {
  uint8_t stream[12];
  crypto_stream_xchacha20(stream, sizeof stream, nonce, keys_.data() + kMaskKey);
  for (size_t i = 0; i < sizeof stream; ++i) fields[i] ^= stream[i];
}

void FrameCodec::BodyDigest(const uint8_t* header, const uint8_t* inner, size_t length,
                            uint8_t* digest) const {
  crypto_generichash_state state;
  crypto_generichash_init(&state, nullptr, 0, kTrailerSize);
  crypto_generichash_update(&state, identity_.data(), kIdentitySize);
  crypto_generichash_update(&state, header, kHeaderSize);
  crypto_generichash_update(&state, inner, length);
  crypto_generichash_final(&state, digest, kTrailerSize);
}

void FrameCodec::Encode(uint64_t sequence, uint64_t logicalStart, std::span<const uint8_t> batch,
                        std::vector<uint8_t>& out) {
  const size_t base = out.size();
  const size_t room = std::max(BatchCompressor::Bound(batch.size()), batch.size());
  out.resize(base + kHeaderSize + RoundUp(kInnerPrefix + room + kTrailerSize, kSealedAlignment));
  uint8_t* header = out.data() + base;
  uint8_t* inner = header + kHeaderSize;

  size_t content = compressor_->Compress(batch, inner + kInnerPrefix);
  const uint32_t flags = content == 0 ? 0 : kFlagCompressed;
  if (content == 0) {
    std::memcpy(inner + kInnerPrefix, batch.data(), batch.size());
    content = batch.size();
  }
  const size_t stored = StoredLengthFor(content);
  const size_t innerLength = stored - kTrailerSize;
  StoreLe32(flags, inner);
  StoreLe32(static_cast<uint32_t>(content), inner + 4);
  std::memset(inner + kInnerPrefix + content, 0, innerLength - kInnerPrefix - content);

  std::memset(header, 0, kHeaderSize);
  StoreLe32(kMagic, header);
  StoreLe16(kVersion, header + 4);
  StoreLe16(static_cast<uint16_t>(kind_), header + 6);
  StoreLe32(static_cast<uint32_t>(stored), header + 8);
  StoreLe32(static_cast<uint32_t>(batch.size()), header + 12);
  StoreLe64(logicalStart, header + 16);
  StoreLe64(sequence, header + 24);
  if (kind_ == FrameKind::kSealed) {
    randombytes_buf(header + kNonce.offset, kNonce.size);
    MaskLogical(header + kNonce.offset, header + 12);
  }
  Check(header, header + kCheck.offset);

  if (kind_ == FrameKind::kSealed) {
    uint8_t additional[kAdditionalSize];
    std::memcpy(additional, identity_.data(), kIdentitySize);
    std::memcpy(additional + kIdentitySize, header, kHeaderSize);
    unsigned long long sealedLength = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(inner, &sealedLength, inner, innerLength, additional,
                                               sizeof additional, nullptr, header + kNonce.offset,
                                               keys_.data() + kPayloadKey);
  } else {
    BodyDigest(header, inner, innerLength, inner + innerLength);
  }
  out.resize(base + kHeaderSize + stored);
}

std::optional<FrameHeader> FrameCodec::ReadHeader(const uint8_t* header) const {
  if (LoadLe32(header) != kMagic || LoadLe16(header + 4) != kVersion ||
      LoadLe16(header + 6) != static_cast<uint16_t>(kind_) || LoadLe64(header + 56) != 0) {
    return std::nullopt;
  }
  uint8_t check[kCheck.size];
  Check(header, check);
  if (sodium_memcmp(check, header + kCheck.offset, kCheck.size) != 0) return std::nullopt;
  uint8_t fields[12];
  std::memcpy(fields, header + 12, sizeof fields);
  if (kind_ == FrameKind::kSealed) MaskLogical(header + kNonce.offset, fields);
  FrameHeader values;
  values.storedLength = LoadLe32(header + 8);
  values.logicalLength = LoadLe32(fields);
  values.logicalStart = LoadLe64(fields + 4);
  values.sequence = LoadLe64(header + 24);
  if (values.logicalLength == 0 || values.logicalLength > kMaxLogicalLength ||
      values.storedLength < StoredLengthFor(0) ||
      values.storedLength > StoredLengthFor(values.logicalLength) ||
      values.logicalStart > (uint64_t{1} << 62)) {
    return std::nullopt;
  }
  if (kind_ == FrameKind::kSealed && (kHeaderSize + values.storedLength) % kSealedAlignment != 0) {
    return std::nullopt;
  }
  return values;
}

bool FrameCodec::DecodeBody(const uint8_t* header, const FrameHeader& values,
                            std::span<uint8_t> body, std::vector<uint8_t>& batch) {
  if (body.size() != values.storedLength) return false;
  uint8_t* inner = body.data();
  const size_t innerLength = body.size() - kTrailerSize;
  if (kind_ == FrameKind::kSealed) {
    uint8_t additional[kAdditionalSize];
    std::memcpy(additional, identity_.data(), kIdentitySize);
    std::memcpy(additional + kIdentitySize, header, kHeaderSize);
    unsigned long long openedLength = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(
            inner, &openedLength, nullptr, inner, body.size(), additional, sizeof additional,
            header + kNonce.offset, keys_.data() + kPayloadKey) != 0) {
      return false;
    }
  } else {
    uint8_t digest[kTrailerSize];
    BodyDigest(header, inner, innerLength, digest);
    if (sodium_memcmp(digest, inner + innerLength, kTrailerSize) != 0) return false;
  }
  const uint32_t flags = LoadLe32(inner);
  const size_t content = LoadLe32(inner + 4);
  if ((flags & ~kFlagCompressed) != 0 || content > innerLength - kInnerPrefix) return false;
  const uint8_t* padding = inner + kInnerPrefix + content;
  const uint8_t* innerEnd = inner + innerLength;
  if (std::any_of(padding, innerEnd, [](uint8_t b) { return b != 0; })) return false;
  const std::span<const uint8_t> stored(inner + kInnerPrefix, content);
  if ((flags & kFlagCompressed) != 0) {
    batch.resize(values.logicalLength);
    return compressor_->Decompress(stored, batch);
  }
  if (content != values.logicalLength) return false;
  batch.assign(stored.begin(), stored.end());
  return true;
}

}  // namespace vaultline::seal
