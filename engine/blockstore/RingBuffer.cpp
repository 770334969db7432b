#include "blockstore/RingBuffer.h"

namespace vaultline {

// Not cleared: every byte is read from a source file before it is used.
RingBuffer::RingBuffer(int32_t capacity)
    : capacity_(capacity), data_(new uint8_t[static_cast<size_t>(capacity)]) {}

RingBuffer::~RingBuffer() = default;

}  // namespace vaultline
