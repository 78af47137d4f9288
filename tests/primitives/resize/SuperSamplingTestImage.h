// Small packed images for super-sampling calls written by hand.
#pragma once

#include <cstdint>
#include <type_traits>
#include <vector>

#include "SuperSamplingModel.h"

namespace primitives::test {

template <typename T>
constexpr int32_t dataTypeOf() {
    return std::is_same_v<T, uint8_t> ? resizeData8u : std::is_same_v<T, uint16_t> ? resizeData16u : resizeData32f;
}

// A packed image of `stride` elements per pixel.
template <typename T>
struct TestImage {
    int32_t width;
    int32_t height;
    int32_t stride;
    std::vector<T> data;

    TestImage(int32_t w, int32_t h, int32_t s, T fill = T{}) : width(w), height(h), stride(s), data(std::size_t(w) * h * s, fill) {}

    T& at(int32_t x, int32_t y, int32_t element = 0) { return data[(std::size_t(y) * width + x) * stride + element]; }
    const T& at(int32_t x, int32_t y, int32_t element = 0) const {
        return data[(std::size_t(y) * width + x) * stride + element];
    }
    int32_t step() const { return width * stride * static_cast<int32_t>(sizeof(T)); }
};

// One driver call over the region `roi` of src into dst (its whole size
// unless given), with `channels` = the source's stride.
template <typename T>
PrimitiveStatus reduceImage(int32_t build, const TestImage<T>& src, TestImage<T>& dst, double xFactor, double yFactor,
                            int32_t layout, ImageRect roi, int32_t dstWidth = -1, int32_t dstHeight = -1) {
    const SuperSamplingParameters p{src.data.data(), src.width,  src.height,  src.step(),
                                    roi.x,           roi.y,      roi.width,   roi.height,
                                    dst.data.data(), dst.step(), dstWidth < 0 ? dst.width : dstWidth,
                                    dstHeight < 0 ? dst.height : dstHeight,
                                    xFactor,         yFactor,    src.stride,  layout,
                                    dataTypeOf<T>(), 0};
    return superSamplingDriverOf(build)(p);
}

template <typename T>
PrimitiveStatus reduceImage(int32_t build, const TestImage<T>& src, TestImage<T>& dst, double xFactor, double yFactor,
                            int32_t layout) {
    return reduceImage(build, src, dst, xFactor, yFactor, layout, ImageRect{0, 0, src.width, src.height});
}

}  // namespace primitives::test
