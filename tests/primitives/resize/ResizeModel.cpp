#include "ResizeModel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <sstream>

#include "primitives/core/Dispatcher.h"
#include "primitives/resize/ResizeDrivers.h"

namespace primitives::test {
namespace {

// One axis of the model: the clipped destination size and the source
// position of every destination pixel.
struct ModelAxis {
    int32_t count;
    std::vector<double> positions;
};

ModelAxis modelAxis(int32_t region, double factor, int32_t dst, double shift, bool nearest, int32_t factorMode) {
    ModelAxis axis{dst, {}};
    double start = 0.0;
    double step;
    if (factorMode == 1) {
        const double filled = factor * region + 1e-7;
        if (filled < dst) axis.count = std::max(static_cast<int32_t>(filled), 1);
        if (nearest) {
            step = 1.0 / factor;
            start = 0.5 / factor;
        } else {
            step = factor * region > 1.0 ? (region - 1.0) / (factor * region - 1.0) : 0.0;
        }
    } else {
        step = factor;
        if (nearest) {
            const double filled = region / factor + 1e-7;
            if (filled < dst) axis.count = std::max(static_cast<int32_t>(filled), 1);
            start = 0.5 * factor;
        } else {
            const double filled = (region - 1.0) / factor + 1e-7;
            if (filled < dst - 1.0) axis.count = static_cast<int32_t>(filled) + 1;
        }
    }
    double position = start + shift;
    for (int32_t j = 0; j < axis.count; ++j) {
        axis.positions.push_back(position);
        position += step;
    }
    return axis;
}

double onRegion(double position, int32_t region) {
    if (!(position > 0.0)) return 0.0;
    return std::min(position, region - 1.0);
}

int64_t nearestIndex(double position, int32_t region) {
    return static_cast<int64_t>(onRegion(position, region) + 1e-7);
}

// Base pixel, Q14 weight and float fraction of pixel base + 1.
struct ModelTap {
    int64_t base;
    uint32_t q14;
    float fraction;
};

ModelTap linearTap(double position, int32_t region, int32_t origin, int32_t imageSize) {
    const double c = onRegion(position, region);
    const auto k = static_cast<int64_t>(c + 1e-7);
    if (origin + k == imageSize - 1) return {k - 1, 16384, 1.0f};
    return {k, static_cast<uint32_t>(static_cast<int64_t>((c - k) * 16384.0 + 1e-7)), static_cast<float>(c - k)};
}

template <typename T>
T readElement(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
void writeElement(uint8_t* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

int32_t processedValues(int32_t layout) { return layout == 1 ? 1 : layout == 3 ? 3 : 4; }

}  // namespace

int32_t ResizeCase::elementSize() const { return resizeElementSize(dataType); }

int32_t ResizeCase::planes() const { return planar ? (layout == 3 ? 3 : 4) : 1; }

bool ResizeCase::entryShaped() const {
    return dataType == resizeData8u && channels == 4 && layout == 3 && !planar && factorMode == 1 && xShift == 0.0 &&
           yShift == 0.0;
}

ResizeParameters ResizeCase::parameters(const void* src, void* dst) const {
    return {src,     srcWidth, srcHeight, srcStep,  roiX,   roiY,   roiWidth,         roiHeight,
            dst,     dstStep,  dstWidth,  dstHeight, xFactor, yFactor, xShift,        yShift,
            channels, layout,  dataType,  planar ? 1 : 0, interpolation, factorMode};
}

std::string ResizeCase::describe() const {
    std::ostringstream s;
    s.precision(17);
    s << "type " << dataType << " channels " << channels << " layout " << layout << (planar ? " planar" : "")
      << " method " << interpolation << " mode " << factorMode << " src " << srcWidth << "x" << srcHeight << " step "
      << srcStep << " roi " << roiX << "," << roiY << " " << roiWidth << "x" << roiHeight << " dst " << dstWidth << "x"
      << dstHeight << " step " << dstStep << " factors " << xFactor << ", " << yFactor << " shifts " << xShift << ", "
      << yShift;
    return s.str();
}

ResizeCase packedResizeCase(int32_t dataType, int32_t channels, int32_t layout, int32_t interpolation,
                            int32_t srcWidth, int32_t srcHeight, int32_t dstWidth, int32_t dstHeight) {
    ResizeCase c;
    c.dataType = dataType;
    c.channels = channels;
    c.layout = layout;
    c.interpolation = interpolation;
    c.srcWidth = c.roiWidth = srcWidth;
    c.srcHeight = c.roiHeight = srcHeight;
    c.dstWidth = dstWidth;
    c.dstHeight = dstHeight;
    const int32_t es = c.elementSize();
    c.srcStep = srcWidth * (layout == 1 ? 1 : channels) * es;
    c.dstStep = dstWidth * (layout == 1 ? 1 : layout == 3 ? channels : 4) * es;
    c.xFactor = static_cast<double>(dstWidth) / srcWidth;
    c.yFactor = static_cast<double>(dstHeight) / srcHeight;
    return c;
}

ResizeBuffers::ResizeBuffers(const ResizeCase& c, std::mt19937_64& random) {
    const int32_t planes = c.planes();
    src.assign(planes, std::vector<uint8_t>(static_cast<std::size_t>(c.srcHeight) * c.srcStep));
    dst.assign(planes, std::vector<uint8_t>(static_cast<std::size_t>(c.dstHeight) * c.dstStep));
    for (auto& plane : src) {
        const std::size_t elements = plane.size() / c.elementSize();
        for (std::size_t e = 0; e < elements; ++e) {
            uint8_t* p = plane.data() + e * c.elementSize();
            if (c.dataType == resizeData8u) {
                *p = static_cast<uint8_t>(random());
            } else if (c.dataType == resizeData16u) {
                // Full range, with the extremes often.
                const int32_t pick = randomInt(random, 0, 7);
                writeElement<uint16_t>(p, pick == 0 ? 65535 : pick == 1 ? 0 : static_cast<uint16_t>(random()));
            } else {
                writeElement<float>(p, static_cast<float>(randomDouble(random, -1000.0, 1000.0)));
            }
        }
    }
    for (auto& plane : dst) {
        for (auto& byte : plane) byte = static_cast<uint8_t>(random());
    }
    pointPlanes();
}

ResizeBuffers::ResizeBuffers(const ResizeBuffers& other) : src(other.src), dst(other.dst) { pointPlanes(); }

void ResizeBuffers::pointPlanes() {
    srcPlanes.clear();
    dstPlanes.clear();
    for (auto& plane : src) srcPlanes.push_back(plane.data());
    for (auto& plane : dst) dstPlanes.push_back(plane.data());
}

const void* ResizeBuffers::srcArgument() const {
    return srcPlanes.size() > 1 ? static_cast<const void*>(srcPlanes.data()) : srcPlanes[0];
}

void* ResizeBuffers::dstArgument() {
    return dstPlanes.size() > 1 ? static_cast<void*>(dstPlanes.data()) : dstPlanes[0];
}

FloatModel floatModelOf(int32_t build) { return build == buildGeneric ? FloatModel::doublePrecision : FloatModel::single; }

std::vector<std::vector<uint8_t>> modelResize(const ResizeCase& c, const ResizeBuffers& before, FloatModel floats) {
    std::vector<std::vector<uint8_t>> result = before.dst;
    const bool nearest = c.interpolation == resizeInterpolationNearest || c.srcWidth < 2 || c.srcHeight < 2;
    const int32_t roiWidth = std::min(c.roiWidth, c.srcWidth - c.roiX);
    const int32_t roiHeight = std::min(c.roiHeight, c.srcHeight - c.roiY);
    const ModelAxis cols = modelAxis(roiWidth, c.xFactor, c.dstWidth, c.xShift, nearest, c.factorMode);
    const ModelAxis rows = modelAxis(roiHeight, c.yFactor, c.dstHeight, c.yShift, nearest, c.factorMode);

    const int32_t es = c.elementSize();
    const int32_t shift = es == 4 ? 2 : es == 2 ? 1 : 0;
    const int64_t srcStepElements = c.srcStep >> shift;
    const int64_t dstStepElements = c.dstStep >> shift;
    const bool oneValue = c.planar || c.layout == 1;
    const int64_t srcStride = oneValue ? 1 : c.channels;
    const int64_t dstStride = oneValue ? 1 : c.layout == 3 ? c.channels : 4;
    const int32_t values = oneValue ? 1 : processedValues(c.layout);
    const int64_t regionOffset = int64_t{c.roiY} * c.srcStep + int64_t{c.roiX} * (c.planar ? 1 : c.channels) * es;

    for (std::size_t plane = 0; plane < result.size(); ++plane) {
        const uint8_t* region = before.src[plane].data() + regionOffset;
        uint8_t* out = result[plane].data();
        // The source element of a region row and column, as a byte address.
        const auto at = [&](int64_t row, int64_t col, int32_t channel) {
            return region + (row * srcStepElements + col * srcStride + channel) * es;
        };
        for (int32_t i = 0; i < rows.count; ++i) {
            for (int32_t j = 0; j < cols.count; ++j) {
                uint8_t* pixel = out + (i * dstStepElements + j * dstStride) * es;
                if (nearest) {
                    const int64_t row = nearestIndex(rows.positions[i], roiHeight);
                    const int64_t col = nearestIndex(cols.positions[j], roiWidth);
                    for (int32_t ch = 0; ch < values; ++ch) std::memcpy(pixel + ch * es, at(row, col, ch), es);
                    continue;
                }
                const ModelTap y = linearTap(rows.positions[i], roiHeight, c.roiY, c.srcHeight);
                const ModelTap x = linearTap(cols.positions[j], roiWidth, c.roiX, c.srcWidth);
                for (int32_t ch = 0; ch < values; ++ch) {
                    uint8_t* target = pixel + ch * es;
                    if (c.dataType == resizeData8u) {
                        uint32_t h[2];
                        for (int r = 0; r < 2; ++r) {
                            h[r] = (*at(y.base + r, x.base, ch) * (16384 - x.q14) + *at(y.base + r, x.base + 1, ch) * x.q14 +
                                    128) >> 8;
                        }
                        *target = static_cast<uint8_t>((h[0] * (16384 - y.q14) + h[1] * y.q14 + 524288) >> 20);
                    } else if (c.dataType == resizeData16u) {
                        uint32_t h[2];
                        for (int r = 0; r < 2; ++r) {
                            const uint32_t left = readElement<uint16_t>(at(y.base + r, x.base, ch));
                            const uint32_t right = readElement<uint16_t>(at(y.base + r, x.base + 1, ch));
                            h[r] = (left * (16384 - x.q14) + right * x.q14 + 8192) >> 14;
                        }
                        writeElement(target, static_cast<uint16_t>((h[0] * (16384 - y.q14) + h[1] * y.q14 + 8192) >> 14));
                    } else {
                        float h[2];
                        for (int r = 0; r < 2; ++r) {
                            const float s0 = readElement<float>(at(y.base + r, x.base, ch));
                            const float s1 = readElement<float>(at(y.base + r, x.base + 1, ch));
                            h[r] = floats == FloatModel::single
                                       ? s0 + (s1 - s0) * x.fraction
                                       : static_cast<float>(double{s0} + (double{s1} - double{s0}) * x.fraction);
                        }
                        const float w = y.fraction;
                        const float value = floats == FloatModel::single
                                                ? h[0] * (1.0f - w) + h[1] * w
                                                : static_cast<float>(double{w} * h[1] + (1.0 - double{w}) * h[0]);
                        writeElement(target, value);
                    }
                }
            }
        }
    }
    return result;
}

::testing::AssertionResult sameDestination(const ResizeCase& c, const std::vector<std::vector<uint8_t>>& expected,
                                           const std::vector<std::vector<uint8_t>>& actual, int floatUlps) {
    for (std::size_t plane = 0; plane < expected.size(); ++plane) {
        const auto& e = expected[plane];
        const auto& a = actual[plane];
        const std::size_t es = c.elementSize();
        for (std::size_t at = 0; at + es <= e.size(); at += es) {
            if (std::memcmp(e.data() + at, a.data() + at, es) == 0) continue;
            if (c.dataType == resizeData32f && floatUlps > 0) {
                const float fe = readElement<float>(e.data() + at);
                const float fa = readElement<float>(a.data() + at);
                if (std::isnan(fe) && std::isnan(fa)) continue;
                const auto ordered = [](float f) {
                    int32_t bits;
                    std::memcpy(&bits, &f, 4);
                    return bits < 0 ? int64_t{INT32_MIN} - bits : int64_t{bits};
                };
                if (std::llabs(ordered(fe) - ordered(fa)) <= floatUlps) continue;
            }
            const std::size_t element = at / es;
            const std::size_t rowElements = c.dstStep / es;
            std::ostringstream s;
            s << "plane " << plane << " row " << element / rowElements << " element " << element % rowElements
              << ": expected ";
            for (std::size_t b = 0; b < es; ++b) s << int(e[at + b]) << (b + 1 < es ? "," : "");
            s << " got ";
            for (std::size_t b = 0; b < es; ++b) s << int(a[at + b]) << (b + 1 < es ? "," : "");
            return ::testing::AssertionFailure() << s.str() << " (" << c.describe() << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

GeneralDriverFunction generalDriverOf(int32_t build) {
    switch (build) {
    case buildGeneric: return resizeGeneralDriver_generic;
    case buildSse: return resizeGeneralDriver_sse;
    case buildSse2: return resizeGeneralDriver_sse2;
    default: return ResizeGeneralDriver;
    }
}

int32_t randomInt(std::mt19937_64& random, int32_t low, int32_t high) {
    return low + static_cast<int32_t>(random() % static_cast<uint64_t>(int64_t{high} - low + 1));
}

double randomDouble(std::mt19937_64& random, double low, double high) {
    return low + (high - low) * (static_cast<double>(random() >> 11) * 0x1.0p-53);
}

}  // namespace primitives::test

namespace primitives::test {

ResizeCase randomResizeCase(std::mt19937_64& random) {
    ResizeCase c;
    c.dataType = randomInt(random, 0, 2);
    switch (randomInt(random, 0, 4)) {
    case 0: c.channels = 1, c.layout = 1; break;
    case 1: c.channels = 3, c.layout = 3; break;
    case 2: c.channels = 4, c.layout = 3; break;
    case 3: c.channels = 4, c.layout = 4; break;
    default:
        c.planar = true;
        c.layout = std::array{1, 3, 4}[randomInt(random, 0, 2)];
        c.channels = c.layout;
        break;
    }
    c.interpolation = randomInt(random, 0, 9) < 3 ? resizeInterpolationNearest : resizeInterpolationLinear;
    c.factorMode = randomInt(random, 0, 9) < 2 ? 0 : 1;
    if (randomInt(random, 0, 9) < 2) c.xShift = randomDouble(random, -0.5, 1.5);
    if (randomInt(random, 0, 9) < 2) c.yShift = randomDouble(random, -0.5, 1.5);

    // One axis: region origin and size, image size, factor and destination.
    const auto axis = [&](int32_t& origin, int32_t& regionSize, int32_t& imageSize, double& factor, int32_t& dst) {
        // Small regions more often; every size up to 67 (each SIMD tail).
        regionSize = randomInt(random, 0, 2) == 0 ? randomInt(random, 1, 67) : randomInt(random, 1, 12);
        origin = randomInt(random, 0, 1) == 0 ? 0 : randomInt(random, 1, 3);
        const int32_t placement = randomInt(random, 0, 9);
        if (placement < 4) {
            imageSize = origin + regionSize;  // region at the image's edge
        } else if (placement < 5 && regionSize > 1) {
            imageSize = origin + randomInt(random, 1, regionSize - 1);  // region overhangs: clipped
        } else {
            imageSize = origin + regionSize + randomInt(random, 1, 3);
        }
        const int32_t clipped = std::min(regionSize, imageSize - origin);
        double filled;
        if (randomInt(random, 0, 1) == 0) {
            const int32_t wanted = randomInt(random, 1, 90);
            factor = static_cast<double>(wanted) / clipped;
        } else {
            factor = std::exp(randomDouble(random, std::log(0.02), std::log(20.0)));
        }
        if (c.factorMode == 0) factor = 1.0 / factor;  // a step through the source
        filled = c.factorMode == 1 ? factor * clipped : clipped / factor;
        const int32_t around = static_cast<int32_t>(std::min(filled, 200.0)) + randomInt(random, -3, 3);
        dst = randomInt(random, 0, 3) == 0 ? randomInt(random, 1, 120) : std::clamp(around, 1, 160);
    };
    axis(c.roiX, c.roiWidth, c.srcWidth, c.xFactor, c.dstWidth);
    axis(c.roiY, c.roiHeight, c.srcHeight, c.yFactor, c.dstHeight);

    const int32_t es = c.elementSize();
    const bool oneValue = c.planar || c.layout == 1;
    const int32_t srcStride = oneValue ? 1 : c.channels;
    const int32_t dstStride = oneValue ? 1 : c.layout == 3 ? c.channels : 4;
    c.srcStep = (c.srcWidth * srcStride + randomInt(random, 0, 3)) * es;
    c.dstStep = (c.dstWidth * dstStride + randomInt(random, 0, 3)) * es;
    return c;
}

}  // namespace primitives::test
