// Nearest-neighbour sub-drivers: each destination pixel is a copy of the
// source pixel that the driver's tables name. Elements are copied as they
// are; float data is moved as 32-bit words (T = uint32_t), so NaN payloads
// and -0 pass unchanged.
#pragma once

#include <cstdint>

#include "primitives/resize/ResizeBuilds.h"
#include "primitives/resize/ResizeSubDriverTable.h"

namespace primitives {

// `Values` elements per pixel (1, 3 or 4). The three-value members step
// `channels` elements per destination pixel and neither read nor write a
// fourth element; the others step `Values` and ignore `channels`. Build only
// tells the builds' members apart.
template <typename T, int Values, typename Build>
void resizeNearest(const void* src, void* dst, int32_t dstStep, int32_t dstWidth, int32_t dstHeight,
                   const int64_t* rowOffsets, const int64_t* colIndexes, int32_t channels) {
    const int32_t stride = Values == 3 ? channels : Values;
    T* out = static_cast<T*>(dst);
    for (int32_t i = 0; i < dstHeight; ++i, out += dstStep) {
        const T* row = static_cast<const T*>(src) + rowOffsets[i];
        T* pixel = out;
        for (int32_t j = 0; j < dstWidth; ++j, pixel += stride) {
            const T* from = row + colIndexes[j];
            for (int c = 0; c < Values; ++c) pixel[c] = from[c];
        }
    }
}

// The members of the tables, by entry 18-26: the generic and SSE tables hold
// the _generic ones, the SSE2 and SSE3-class tables the _sse2 ones.
inline constexpr NearestSubDriver resizeNearest3ChU8_generic = &resizeNearest<uint8_t, 3, GenericBuild>;
inline constexpr NearestSubDriver resizeNearest3ChU16_generic = &resizeNearest<uint16_t, 3, GenericBuild>;
inline constexpr NearestSubDriver resizeNearest3ChF32_generic = &resizeNearest<uint32_t, 3, GenericBuild>;
inline constexpr NearestSubDriver resizeNearest1ChU8_generic = &resizeNearest<uint8_t, 1, GenericBuild>;
inline constexpr NearestSubDriver resizeNearest1ChU16_generic = &resizeNearest<uint16_t, 1, GenericBuild>;
inline constexpr NearestSubDriver resizeNearest1ChF32_generic = &resizeNearest<uint32_t, 1, GenericBuild>;
inline constexpr NearestSubDriver resizeNearest4ChU8_generic = &resizeNearest<uint8_t, 4, GenericBuild>;
inline constexpr NearestSubDriver resizeNearest4ChU16_generic = &resizeNearest<uint16_t, 4, GenericBuild>;
inline constexpr NearestSubDriver resizeNearest4ChF32_generic = &resizeNearest<uint32_t, 4, GenericBuild>;

inline constexpr NearestSubDriver resizeNearest3ChU8_sse2 = &resizeNearest<uint8_t, 3, Sse2Build>;
inline constexpr NearestSubDriver resizeNearest3ChU16_sse2 = &resizeNearest<uint16_t, 3, Sse2Build>;
inline constexpr NearestSubDriver resizeNearest3ChF32_sse2 = &resizeNearest<uint32_t, 3, Sse2Build>;
inline constexpr NearestSubDriver resizeNearest1ChU8_sse2 = &resizeNearest<uint8_t, 1, Sse2Build>;
inline constexpr NearestSubDriver resizeNearest1ChU16_sse2 = &resizeNearest<uint16_t, 1, Sse2Build>;
inline constexpr NearestSubDriver resizeNearest1ChF32_sse2 = &resizeNearest<uint32_t, 1, Sse2Build>;
inline constexpr NearestSubDriver resizeNearest4ChU8_sse2 = &resizeNearest<uint8_t, 4, Sse2Build>;
inline constexpr NearestSubDriver resizeNearest4ChU16_sse2 = &resizeNearest<uint16_t, 4, Sse2Build>;
inline constexpr NearestSubDriver resizeNearest4ChF32_sse2 = &resizeNearest<uint32_t, 4, Sse2Build>;

}  // namespace primitives
