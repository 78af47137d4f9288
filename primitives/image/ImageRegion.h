// What the 4-channel image entries share: the size check of a region and the
// pointer walk from row to row.
#pragma once

#include <cstdint>

#include "primitives.h"

namespace primitives {

inline constexpr int64_t kPixelBytes = 4;

// Bytes of the whole region, counted in 64 bits so that no size wraps.
inline int64_t regionBytes(ImageSize size) {
    return kPixelBytes * static_cast<int64_t>(size.width) * size.height;
}

// Check 2 of every image entry: an empty region, or one whose byte count
// does not fit the signed 32-bit counts the kernels work with, is refused.
// (Pixels are compared, not bytes: 4 * width * height can pass 2^63.)
inline bool regionSizeValid(ImageSize size) {
    return size.width > 0 && size.height > 0 &&
           static_cast<int64_t>(size.width) * size.height <= INT32_MAX / kPixelBytes;
}

// Pointer `rows` steps further on; the step may be smaller than the row.
template <typename Byte>
inline Byte* rowAt(Byte* first, int32_t step, int32_t rows) {
    return first + static_cast<int64_t>(step) * rows;
}

}  // namespace primitives
