// Turns a batch into a frame and back (layout in FrameLayout.h). Sealed
// frames are compressed, padded and encrypted (XChaCha20-Poly1305, a random
// nonce each), their headers checked with a keyed digest and their logical
// fields masked; checksummed frames are compressed and carry plain digests.
// Both bind each frame to its file (the identity) and its place (sequence
// number, logical start), so that a frame moved, swapped or copied from
// another file does not read as data.
//
// Which kind a file holds is the caller's to know (the selection says so),
// never the frame's: a reader made for sealed frames refuses checksummed
// ones, so that no one can replace sealed frames with frames of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "seal/BatchCompressor.h"
#include "seal/FrameLayout.h"
#include "seal/SealKeys.h"
#include "seal/SecretBytes.h"

namespace vaultline::seal {

class FrameCodec {
 public:
  // Sealed frames of `identity`'s file. `keys` must be Valid().
  static FrameCodec Sealed(const SealKeys& keys, const FileIdentity& identity, int level);
  // Checksummed frames (compression only).
  static FrameCodec Checksummed(const FileIdentity& identity, int level);
  FrameCodec(FrameCodec&&) noexcept = default;
  FrameCodec& operator=(FrameCodec&&) noexcept = default;

  FrameKind Kind() const { return kind_; }
  // False for a sealed codec whose keys could not be had (no memory, keys
  // not Valid()): it must not be used.
  bool Ready() const { return kind_ == FrameKind::kChecksummed || !keys_.empty(); }
  // The bytes of the frame holding `batch` (at most
  // frame::kMaxLogicalLength, not empty), appended to `out`.
  void Encode(uint64_t sequence, uint64_t logicalStart, std::span<const uint8_t> batch,
              std::vector<uint8_t>& out);
  // The header's values when `header` (frame::kHeaderSize bytes) is a sound
  // header of this codec's kind and file; nullopt otherwise.
  std::optional<FrameHeader> ReadHeader(const uint8_t* header) const;
  // The batch of a frame whose header ReadHeader accepted, into `batch`;
  // false when the body fails its tag or digest or does not hold a batch of
  // the header's length. `body` is changed (decrypted in place).
  bool DecodeBody(const uint8_t* header, const FrameHeader& values, std::span<uint8_t> body,
                  std::vector<uint8_t>& batch);

 private:
  FrameCodec(FrameKind kind, const FileIdentity& identity, int level);
  void Check(const uint8_t* header, uint8_t* check) const;
  void MaskLogical(const uint8_t* nonce, uint8_t* fields) const;
  void BodyDigest(const uint8_t* header, const uint8_t* inner, size_t length,
                  uint8_t* digest) const;
  size_t StoredLengthFor(size_t contentLength) const;

  FrameKind kind_;
  std::array<uint8_t, frame::kIdentitySize> identity_{};
  std::unique_ptr<BatchCompressor> compressor_;
  SecretBytes keys_;  // sealed: payload, header check, mask keys
};

}  // namespace vaultline::seal
