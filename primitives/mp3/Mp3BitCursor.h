// The bit cursor of the Layer III steps: a byte pointer and a bit offset
// 0..7 (bits of the current byte already consumed, most significant first).
#pragma once

#include <cstdint>

namespace primitives::mp3 {

// Reads n bits (0..25) as an unsigned value and advances the cursor. The
// four bytes at `bytes` are taken as one big-endian word, so up to three
// bytes after the last wanted bit are read; a read of 0 bits reads nothing.
[[gnu::always_inline]] inline uint32_t readBits(const uint8_t*& bytes, int32_t& offset, int32_t n) {
    if (n == 0) return 0;
    const uint32_t window = uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
    const uint32_t value = (window << offset) >> (32 - n);
    const int32_t end = offset + n;
    bytes += end >> 3;
    offset = end & 7;
    return value;
}

// Moves a cursor by a signed number of bits.
[[gnu::always_inline]] inline void advanceBits(const uint8_t*& bytes, int32_t& offset, int64_t bits) {
    const int64_t end = offset + bits;
    const int64_t wholeBytes = end >= 0 ? end / 8 : -((7 - end) / 8);
    bytes += wholeBytes;
    offset = static_cast<int32_t>(end - wholeBytes * 8);
}

}  // namespace primitives::mp3
