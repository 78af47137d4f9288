// Calls of the resize as the program makes them, and memory placed against
// an inaccessible page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "primitives.h"

namespace primitives::test {

// The program's stretch of a BGRA rectangle: the entry (with linear
// interpolation unless told otherwise), called twice, the second time with
// both pointers one byte on, so that both calls together scale all four
// bytes. `entry` is the stub or one build's body. Returns the first nonzero
// status.
using ResizeEntryFunction = decltype(&::zuzuZivere_8d_OZ4O);
PrimitiveStatus stretchTwice(ResizeEntryFunction entry, const uint8_t* src, int32_t srcStep, int32_t srcWidth,
                             int32_t srcHeight, uint8_t* dst, int32_t dstStep, int32_t dstWidth, int32_t dstHeight,
                             int32_t interpolation = resizeInterpolationLinear);

// A mapping whose usable bytes end exactly where an inaccessible page
// begins, so that any access past them faults. With `lazy` the pages are
// reserved without backing store and only pages that are touched cost memory.
class PageEndBuffer {
public:
    explicit PageEndBuffer(std::size_t bytes, bool lazy = false);
    ~PageEndBuffer();
    PageEndBuffer(const PageEndBuffer&) = delete;
    PageEndBuffer& operator=(const PageEndBuffer&) = delete;

    uint8_t* data() const { return data_; }
    std::size_t size() const { return bytes_; }
    bool valid() const { return data_ != nullptr; }

private:
    void* mapping_ = nullptr;
    std::size_t mappingBytes_ = 0;
    uint8_t* data_ = nullptr;
    std::size_t bytes_ = 0;
};

}  // namespace primitives::test
