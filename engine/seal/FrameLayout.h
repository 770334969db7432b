// The layout of one frame of a container file (docs/drive-layout.md,
// "Containers"), shared by the writer and the reader. A container is a
// sequence of frames from offset 0, no file header. Every integer is
// little-endian.
//
// Header (80 bytes, in the clear):
//   0  u32  magic 0x46434C56 ("VLCF")
//   4  u16  version 1
//   6  u16  kind: 1 sealed, 2 checksummed
//   8  u32  stored length: the bytes of the body after the header
//  12  u32  logical length: the batch's bytes (sealed: masked)
//  16  u64  logical start: where the batch begins in the logical file (sealed: masked)
//  24  u64  sequence number: 0 for the first frame, one more for each
//  32  24   nonce (sealed: random; checksummed: zero)
//  56  u64  zero
//  64  16   check of the file identity and header bytes 0..63
// Body: the inner bytes (u32 flags, u32 content length, the content, zero
// padding), sealed: encrypted with a 16-byte tag behind; checksummed: as
// they are with a 16-byte digest behind.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "seal/SealedNames.h"

namespace vaultline::seal {

enum class FrameKind : uint16_t { kSealed = 1, kChecksummed = 2 };

namespace frame {
inline constexpr uint32_t kMagic = 0x46434C56;
inline constexpr uint16_t kVersion = 1;
inline constexpr size_t kHeaderSize = 80;
// A stretch of the header.
struct HeaderField {
  size_t offset;
  size_t size;
};
inline constexpr HeaderField kNonce{32, 24};
inline constexpr HeaderField kCheck{64, 16};
// u32 flags and u32 content length before the content.
inline constexpr size_t kInnerPrefix = 8;
// The tag behind a sealed body, the digest behind a checksummed one.
inline constexpr size_t kTrailerSize = 16;
// A sealed frame (header, body and tag) fills a multiple of this many bytes.
inline constexpr size_t kSealedAlignment = 256;
inline constexpr uint32_t kFlagCompressed = 1;
// Longer batches are split into frames of at most this many bytes; a header
// that claims more is not a frame.
inline constexpr uint32_t kMaxLogicalLength = 16u << 20;
// The identity that every frame's check and tag cover: the store's random
// identity (16 bytes), the file's kind (u32) and zero (u32).
inline constexpr size_t kIdentitySize = 24;
}  // namespace frame

// Which file of which store a frame belongs to.
struct FileIdentity {
  std::array<uint8_t, 16> store{};
  RecordFileKind kind = RecordFileKind::kData;
};

// A frame header's values as the writer meant them (logical fields unmasked).
struct FrameHeader {
  uint32_t storedLength = 0;
  uint32_t logicalLength = 0;
  uint64_t logicalStart = 0;
  uint64_t sequence = 0;
};

}  // namespace vaultline::seal
