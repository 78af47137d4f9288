// The aligned allocators. Layout of a block of n elements of size s:
//
//   heap allocation of n*s + 40 bytes
//   | padding 0..31 | underlying address (8 bytes) | block: n*s bytes ... |
//
// The block starts at the first multiple of 32 at least 8 bytes above the
// underlying address, so it lies 8 to 39 bytes in and ends inside the
// allocation; zoveZiva reads the word before the block to free it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "primitives.h"

namespace primitives {

inline constexpr std::size_t kBlockAlignment = 32;
inline constexpr std::size_t kBlockOverhead = 40;

// Internal 16-bit allocator of the resize drivers; same contract as the
// entries.
int16_t* allocAligned16Bit(int32_t length);

namespace generic {
void zoveZiva(void* block);
uint8_t* vaduRivuro_8v(int32_t length);
float* revoRovara_32z(int32_t length);
int32_t* zaviMalloc_32s(int32_t length);
}  // namespace generic

namespace sse3 {
float* revoRovara_32z(int32_t length);
int32_t* zaviMalloc_32s(int32_t length);
}  // namespace sse3

}  // namespace primitives
