// MD5 of many messages of one length at once: where the processor has AVX2,
// eight are hashed side by side, one in each 32-bit lane, at several times
// the speed of hashing them one after another; sixteen with AVX-512. New blocks are nearly all of
// one length, so the store and the restore check hash them this way.
#pragma once

#include <cstddef>
#include <cstdint>

#include "blockstore/Md5.h"

namespace vaultline {

// digests[i] = Md5::Of(messages[i], length) for i < count, the fastest way
// this processor has.
void Md5OfEach(const uint8_t* const* messages, size_t count, size_t length, Md5Digest* digests);
// digests[i] = Md5::Of(messages[i], lengths[i]): runs of messages of one
// length side by side, as above.
void Md5OfEach(const uint8_t* const* messages, const size_t* lengths, size_t count,
               Md5Digest* digests);
// How many ways it has: 0 is one message after another, 1 AVX2, 2 AVX2 with
// AVX-512VL's ternary logic and rotation, 3 that with sixteen messages at a
// time in AVX-512's vectors. The same digests come from each.
int Md5OfEachWays();
void Md5OfEach(const uint8_t* const* messages, size_t count, size_t length, Md5Digest* digests,
               int way);

}  // namespace vaultline
