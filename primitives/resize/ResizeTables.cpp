#include "primitives/resize/ResizeTables.h"

namespace primitives {
namespace {

constexpr double kIndexBias = 1e-7;

// Runs fn(j, position) for every destination pixel of an axis, the positions
// produced by repeated addition (not j * step: the two differ in the last
// bits, and that decides indexes next to whole numbers).
template <typename Fn>
void forEachPosition(const ResizeAxis& axis, Fn fn) {
    double position = axis.start;
    for (int32_t j = 0; j < axis.count; ++j) {
        fn(j, position);
        position += axis.step;
    }
}

struct LinearTap {
    int64_t base;
    bool atImageEdge;  // the sample lies on the image's last pixel
    double fraction;
};

LinearTap linearTap(double position, const ResizeAxisExtent& extent) {
    const double limited = limitResizePosition(position, extent.regionSize);
    const int64_t k = resizeIndexOf(limited);
    if (extent.origin + k == static_cast<int64_t>(extent.imageSize) - 1) return {k - 1, true, 0.0};
    return {k, false, limited - static_cast<double>(k)};
}

uint16_t q14(const LinearTap& tap) {
    if (tap.atImageEdge) return 16384;
    // The fraction lies in [-1e-7, 1 - 1e-7), so this is 0 ... 16383.
    return static_cast<uint16_t>(static_cast<int32_t>(tap.fraction * 16384.0 + kIndexBias));
}

template <typename Weight, typename MakeWeight>
void buildLinear(const ResizeAxis& axis, const ResizeAxisExtent& extent, int64_t scale, int64_t* offsets,
                 Weight* weights, MakeWeight makeWeight) {
    forEachPosition(axis, [&](int32_t j, double position) {
        const LinearTap tap = linearTap(position, extent);
        offsets[j] = tap.base * scale;
        weights[j] = makeWeight(tap);
    });
}

}  // namespace

ResizeAxis mapResizeAxis(int32_t regionSize, double factor, int32_t dstSize, double shift, bool nearest,
                         int32_t factorMode) {
    const double region = regionSize;
    ResizeAxis axis{dstSize, 0.0, 0.0};
    if (factorMode != 0) {
        const double scaled = factor * region;
        if (scaled + kIndexBias < dstSize) {
            const auto n = static_cast<int32_t>(scaled + kIndexBias);
            axis.count = n > 1 ? n : 1;
        }
        if (nearest) {
            axis.step = 1.0 / factor;
            axis.start = 0.5 / factor;
        } else {
            axis.step = scaled > 1.0 ? (region - 1.0) / (scaled - 1.0) : 0.0;
        }
    } else {
        axis.step = factor;
        if (nearest) {
            const double fill = region / factor + kIndexBias;
            if (fill < dstSize) {
                const auto n = static_cast<int32_t>(fill);
                axis.count = n > 1 ? n : 1;
            }
            axis.start = 0.5 * factor;
        } else {
            const double fill = (region - 1.0) / factor + kIndexBias;
            if (fill < static_cast<double>(dstSize) - 1.0) axis.count = static_cast<int32_t>(fill) + 1;
        }
    }
    axis.start += shift;
    return axis;
}

void buildNearestTable(const ResizeAxis& axis, const ResizeAxisExtent& extent, int64_t scale, int64_t* out) {
    forEachPosition(axis, [&](int32_t j, double position) {
        out[j] = resizeIndexOf(limitResizePosition(position, extent.regionSize)) * scale;
    });
}

void buildCubicTable(const ResizeAxis& axis, const ResizeAxisExtent& extent, int64_t scale, int64_t* offsets,
                     float* fractions) {
    const int64_t lastPixel = static_cast<int64_t>(extent.imageSize) - 1;
    forEachPosition(axis, [&](int32_t j, double position) {
        const double c = limitResizePosition(position, extent.regionSize);
        int64_t k = resizeIndexOf(c);
        const int64_t pixel = extent.origin + k;
        float fraction;
        if (pixel == lastPixel) {
            k -= 2;
            fraction = 2.0f;
        } else {
            if (pixel == 0) {
                k += 1;
            } else if (pixel == lastPixel - 1) {
                k -= 1;
            }
            fraction = static_cast<float>(c - static_cast<double>(k));
        }
        offsets[j] = k * scale;
        fractions[j] = fraction;
    });
}

void buildLanczosTable(const ResizeAxis& axis, const ResizeAxisExtent& extent, int64_t scale, int64_t* offsets,
                       float* fractions) {
    forEachPosition(axis, [&](int32_t j, double position) {
        const double c = limitResizePosition(position, extent.regionSize);
        const int64_t k = resizeIndexOf(c);
        offsets[j] = k * scale;
        fractions[j] = static_cast<float>(c - static_cast<double>(k));
    });
}

void buildLinearTable(const ResizeAxis& axis, const ResizeAxisExtent& extent, int64_t scale, int64_t* offsets,
                      uint16_t* weights) {
    buildLinear(axis, extent, scale, offsets, weights, q14);
}

void buildLinearTable(const ResizeAxis& axis, const ResizeAxisExtent& extent, int64_t scale, int64_t* offsets,
                      LinearWeightPairQ14* weights) {
    buildLinear(axis, extent, scale, offsets, weights, [](const LinearTap& tap) {
        const uint16_t right = q14(tap);
        return LinearWeightPairQ14{static_cast<uint16_t>(16384 - right), right};
    });
}

void buildLinearTable(const ResizeAxis& axis, const ResizeAxisExtent& extent, int64_t scale, int64_t* offsets,
                      float* weights) {
    buildLinear(axis, extent, scale, offsets, weights,
                [](const LinearTap& tap) { return tap.atImageEdge ? 1.0f : static_cast<float>(tap.fraction); });
}

}  // namespace primitives
