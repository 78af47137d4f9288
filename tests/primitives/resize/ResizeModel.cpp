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

ModelArithmetic arithmeticOf(int32_t build) {
    switch (build) {
    case buildGeneric: return ModelArithmetic::doublePrecision;
    case buildSse: return ModelArithmetic::sse;
    default: return ModelArithmetic::sse2Class;
    }
}

int32_t modelMethod(const ResizeCase& c) {
    int32_t method = c.interpolation;
    if (method == resizeInterpolationLanczos && (c.srcWidth < 8 || c.srcHeight < 8)) method = resizeInterpolationCubic;
    if (method == resizeInterpolationCubic && (c.srcWidth < 4 || c.srcHeight < 4)) method = resizeInterpolationLinear;
    if (c.srcWidth < 2 || c.srcHeight < 2) method = resizeInterpolationNearest;
    return method;
}

// ---- Cubic -----------------------------------------------------------------

double modelCubic(double p0, double p1, double p2, double p3, double t) {
    const double a1 = t + 1.0;
    const double a2 = t * a1 * 0.5;
    const double a3 = a2 * (t + -1.0) / 3.0;
    const double d1 = p1 - p0;
    const double d2 = (p2 - p1) - d1;
    const double d3 = p1 - 2.0 * p2 + p3 - d2;
    return a1 * d1 + (a2 * d2 + (p0 + a3 * d3));
}

namespace {

// The double cubic with the coefficients given, in its summation order.
double cubicWith(const double p[4], double a1, double a2, double a3) {
    const double d1 = p[1] - p[0];
    const double d2 = (p[2] - p[1]) - d1;
    const double d3 = p[1] - 2.0 * p[2] + p[3] - d2;
    return a1 * d1 + (a2 * d2 + (p[0] + a3 * d3));
}

// The single-precision forms, each with its own order of operations.
constexpr float kThird = 0.3333333135f;  // 0x3EAAAAAA

float groupHorizontal(const float p[4], float t) {
    const float d1 = p[1] - p[0];
    const float d2 = (p[2] - p[1]) - d1;
    const float d3 = ((p[3] - p[2]) - p[2]) + (p[1] - d2);
    const float a1 = t + 1.0f;
    const float a2 = (t * 0.5f) * a1;
    const float a3 = (t - 1.0f) * (a2 * kThird);
    return (p[0] + d1 * a1) + (d2 * a2 + d3 * a3);
}

float pixelPerStepHorizontal(const float p[4], float t) {
    const float d1 = p[1] - p[0];
    const float d2 = (p[2] - p[1]) - d1;
    const float d3 = ((p[3] - p[2]) - p[2]) + (p[1] - d2);
    const float a1 = t + 1.0f;
    const float a2 = (t * 0.5f) * a1;
    const float a3 = ((t - 1.0f) * kThird) * a2;
    return (p[0] + a1 * d1) + (a2 * d2 + a3 * d3);
}

float scalarHorizontal(const float p[4], float t) {
    const float a1 = 1.0f + t;
    const float a2 = (t * a1) * 0.5f;
    const float a3 = ((t - 1.0f) * a2) / 3.0f;
    const float d1 = p[1] - p[0];
    const float d2 = (p[2] - p[1]) - d1;
    const float d3 = ((p[1] - (p[2] + p[2])) + p[3]) - d2;
    return ((p[0] + a3 * d3) + a2 * d2) + a1 * d1;
}

float groupVertical(const float p[4], float t) {
    const float a1 = t + 1.0f;
    const float a2 = (t * 0.5f) * a1;
    const float a3 = ((t - 1.0f) * kThird) * a2;
    const float d1 = p[1] - p[0];
    const float d2 = (p[2] - p[1]) - d1;
    const float d3 = (p[3] - d2) + ((p[1] - p[2]) - p[2]);
    return (p[0] + d1 * a1) + (d2 * a2 + d3 * a3);
}

float scalarVertical(const float p[4], float t) {
    const float a1 = 1.0f + t;
    const float a2 = (t * a1) * 0.5f;
    const float a3 = ((t - 1.0f) * a2) / 3.0f;
    const float d1 = p[1] - p[0];
    const float d2 = (p[2] - p[1]) - d1;
    const float d3 = (((p[3] - p[2]) - p[2]) + p[1]) - d2;
    return ((p[0] + a3 * d3) + a2 * d2) + a1 * d1;
}

float skipAlphaVerticalF32(const float p[4], float t) {
    const float a1 = 1.0f + t;
    const float a2 = (t * a1) * 0.5f;
    const float a3 = ((t - 1.0f) * a2) / 3.0f;
    const float d1 = p[1] - p[0];
    const float d2 = (p[2] - d1) - p[1];
    const float d3 = (((p[3] - d2) - p[2]) - p[2]) + p[1];
    return ((a3 * d3 + a2 * d2) + a1 * d1) + p[0];
}

// The base pixel and fraction of a cubic position, with the edge rules.
struct CubicTap {
    int64_t base;
    float t;
};

CubicTap cubicTap(double position, int32_t region, int32_t origin, int32_t imageSize) {
    const double c = onRegion(position, region);
    int64_t k = static_cast<int64_t>(c + 1e-7);
    if (origin + k == imageSize - 1) return {k - 2, 2.0f};
    if (origin + k == 0) {
        ++k;
    } else if (origin + k == imageSize - 2) {
        --k;
    }
    return {k, static_cast<float>(c - static_cast<double>(k))};
}

// ---- Lanczos ---------------------------------------------------------------

std::vector<float> makeLanczosTable() {
    std::vector<float> table(302, 0.0f);
    const long double pi = 3.141592653589793238462643383279502884L;
    table[0] = 1.0f;
    for (int i = 1; i < 300; ++i) {
        const long double x = i / 100.0L;
        table[i] = static_cast<float>(3.0L * std::sin(pi * x) * std::sin(pi * x / 3.0L) / (pi * x * pi * x));
    }
    table[100] = -0.0f;
    table[200] = table[300] = table[301] = 0.0f;
    return table;
}

}  // namespace

const std::vector<float>& modelLanczosTable() {
    static const std::vector<float> table = makeLanczosTable();
    return table;
}

void modelLanczosWeights(float fraction, ModelArithmetic arithmetic, float weights[6]) {
    const std::vector<float>& T = modelLanczosTable();
    for (int k = 0; k < 6; ++k) {
        if (arithmetic == ModelArithmetic::doublePrecision) {
            // Distance k - 2 - f; a tap 3 or more away weighs 0.
            const double x = -2.0 - fraction + k;
            weights[k] = 0.0f;
            if (x > -3.0 && x < 3.0) {
                const double y = std::fabs(x) * 100.0;
                const auto u = static_cast<int>(y);
                weights[k] = static_cast<float>(T[u] + (double{T[u + 1]} - T[u]) * (y - u));
            }
        } else {
            const float d = std::min(std::fabs((-fraction - 2.0f) + static_cast<float>(k)), 3.0f);
            const float v = d * 100.0f;
            const auto i = static_cast<int>(v);
            weights[k] = T[i] + (v - static_cast<float>(i)) * (T[i + 1] - T[i]);
        }
    }
}

namespace {

// The six taps' source indexes around a Lanczos position, clamped to the
// image (first..last relative to the region).
void lanczosTaps(int64_t base, int64_t first, int64_t last, int64_t taps[6]) {
    for (int k = 0; k < 6; ++k) taps[k] = std::clamp(base - 2 + k, first, last);
}

template <typename T>
T clampTo(int64_t n) {
    const int64_t max = sizeof(T) == 1 ? 255 : 65535;
    return static_cast<T>(std::clamp<int64_t>(n, 0, max));
}

// The value of one element as a double (8/16-bit exactly, floats widened).
double elementValue(const uint8_t* p, int32_t dataType) {
    if (dataType == resizeData8u) return *p;
    if (dataType == resizeData16u) return readElement<uint16_t>(p);
    return readElement<float>(p);
}

// Stores an integer or float result into an element.
void storeTruncated(uint8_t* target, int32_t dataType, double value) {
    const auto n = static_cast<int64_t>(value + 1e-7);
    if (dataType == resizeData8u) {
        *target = clampTo<uint8_t>(n);
    } else {
        writeElement(target, clampTo<uint16_t>(n));
    }
}

}  // namespace

std::vector<std::vector<uint8_t>> modelResize(const ResizeCase& c, const ResizeBuffers& before, ModelArithmetic arithmetic) {
    std::vector<std::vector<uint8_t>> result = before.dst;
    const int32_t method = modelMethod(c);
    const bool nearest = method == resizeInterpolationNearest;
    const int32_t roiWidth = std::min(c.roiWidth, c.srcWidth - c.roiX);
    const int32_t roiHeight = std::min(c.roiHeight, c.srcHeight - c.roiY);
    const ModelAxis cols = modelAxis(roiWidth, c.xFactor, c.dstWidth, c.xShift, nearest, c.factorMode);
    const ModelAxis rows = modelAxis(roiHeight, c.yFactor, c.dstHeight, c.yShift, nearest, c.factorMode);
    const bool single = arithmetic != ModelArithmetic::doublePrecision;

    const int32_t es = c.elementSize();
    const int32_t shift = es == 4 ? 2 : es == 2 ? 1 : 0;
    const int64_t srcStepElements = c.srcStep >> shift;
    const int64_t dstStepElements = c.dstStep >> shift;
    const bool oneValue = c.planar || c.layout == 1;
    const int64_t srcStride = oneValue ? 1 : c.channels;
    const int64_t dstStride = oneValue ? 1 : c.layout == 3 ? c.channels : 4;
    const int32_t values = oneValue ? 1 : processedValues(c.layout);
    const bool contiguous = oneValue || c.channels == c.layout;
    const int64_t regionOffset = int64_t{c.roiY} * c.srcStep + int64_t{c.roiX} * (c.planar ? 1 : c.channels) * es;

    // Cubic and Lanczos: the place of a value in the vertical pass's run,
    // and the length of the run, which decide group or tail.
    const int64_t runLength = contiguous ? int64_t{cols.count} * values : 3 * int64_t{cols.count};
    const int64_t groupedValues = runLength - runLength % 4;
    const int64_t groupedColumns = cols.count - cols.count % 4;

    for (std::size_t plane = 0; plane < result.size(); ++plane) {
        const uint8_t* region = before.src[plane].data() + regionOffset;
        uint8_t* out = result[plane].data();
        // The source element of a region row and column, as a byte address.
        const auto at = [&](int64_t row, int64_t col, int32_t channel) {
            return region + (row * srcStepElements + col * srcStride + channel) * es;
        };
        const auto sampleAt = [&](int64_t row, int64_t col, int32_t channel) {
            return elementValue(at(row, col, channel), c.dataType);
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
                if (method == resizeInterpolationCubic) {
                    const CubicTap y = cubicTap(rows.positions[i], roiHeight, c.roiY, c.srcHeight);
                    const CubicTap x = cubicTap(cols.positions[j], roiWidth, c.roiX, c.srcWidth);
                    for (int32_t ch = 0; ch < values; ++ch) {
                        // The four intermediate values of the column, rows k - 1 ... k + 2.
                        float h[4];
                        for (int r = 0; r < 4; ++r) {
                            double pd[4];
                            float pf[4];
                            for (int q = 0; q < 4; ++q) {
                                pd[q] = sampleAt(y.base - 1 + r, x.base - 1 + q, ch);
                                pf[q] = static_cast<float>(pd[q]);
                            }
                            if (!single) {
                                const double t = x.t;
                                h[r] = static_cast<float>(cubicWith(pd, t + 1.0, t * (t + 1.0) * 0.5,
                                                                    t * (t + 1.0) * 0.5 * (t + -1.0) / 3.0));
                            } else if (!oneValue && arithmetic == ModelArithmetic::sse2Class) {
                                h[r] = pixelPerStepHorizontal(pf, x.t);
                            } else {
                                h[r] = j < groupedColumns ? groupHorizontal(pf, x.t) : scalarHorizontal(pf, x.t);
                            }
                        }
                        uint8_t* target = pixel + ch * es;
                        const int64_t place = contiguous ? int64_t{j} * values + ch : 3 * int64_t{j} + ch;
                        if (!single) {
                            // a3 held in single precision; all three in the
                            // float pass that skips element 3.
                            const double t = y.t;
                            double a1 = t + 1.0;
                            double a2 = t * (t + 1.0) * 0.5;
                            double a3 = static_cast<float>(a2 * (t + -1.0) / 3.0);
                            if (c.dataType == resizeData32f && !contiguous) {
                                a1 = static_cast<float>(a1);
                                a2 = static_cast<float>(a2);
                            }
                            const double hd[4] = {h[0], h[1], h[2], h[3]};
                            const double value = cubicWith(hd, a1, a2, a3);
                            if (c.dataType == resizeData32f) {
                                writeElement(target, static_cast<float>(value));
                            } else {
                                storeTruncated(target, c.dataType, value);
                            }
                        } else if (c.dataType == resizeData32f) {
                            const float value = !contiguous             ? skipAlphaVerticalF32(h, y.t)
                                                : place < groupedValues ? groupVertical(h, y.t)
                                                                        : scalarVertical(h, y.t);
                            writeElement(target, value);
                        } else if (place < groupedValues) {
                            // Biased, rounded to nearest (ties to even), saturated.
                            const float biased = groupVertical(h, y.t) + 1e-5f;
                            const auto n = static_cast<int64_t>(std::nearbyint(static_cast<double>(biased)));
                            if (c.dataType == resizeData8u) {
                                *target = clampTo<uint8_t>(n);
                            } else {
                                writeElement(target, clampTo<uint16_t>(n));
                            }
                        } else {
                            storeTruncated(target, c.dataType, scalarVertical(h, y.t));
                        }
                    }
                    continue;
                }
                if (method == resizeInterpolationLanczos) {
                    const double cy = onRegion(rows.positions[i], roiHeight);
                    const double cx = onRegion(cols.positions[j], roiWidth);
                    const auto ky = static_cast<int64_t>(cy + 1e-7);
                    const auto kx = static_cast<int64_t>(cx + 1e-7);
                    float wy[6], wx[6];
                    modelLanczosWeights(static_cast<float>(cy - ky), arithmetic, wy);
                    modelLanczosWeights(static_cast<float>(cx - kx), arithmetic, wx);
                    int64_t rowTaps[6], colTaps[6];
                    lanczosTaps(ky, -c.roiY, c.srcHeight - c.roiY - 1, rowTaps);
                    lanczosTaps(kx, -c.roiX, c.srcWidth - c.roiX - 1, colTaps);
                    for (int32_t ch = 0; ch < values; ++ch) {
                        float h[6];
                        for (int r = 0; r < 6; ++r) {
                            if (single) {
                                float sum = static_cast<float>(sampleAt(rowTaps[r], colTaps[0], ch)) * wx[0];
                                for (int k = 1; k < 6; ++k) {
                                    sum = sum + static_cast<float>(sampleAt(rowTaps[r], colTaps[k], ch)) * wx[k];
                                }
                                h[r] = sum;
                            } else {
                                double sum = sampleAt(rowTaps[r], colTaps[0], ch) * wx[0];
                                for (int k = 1; k < 6; ++k) sum = sum + sampleAt(rowTaps[r], colTaps[k], ch) * wx[k];
                                h[r] = static_cast<float>(sum);
                            }
                        }
                        double doubleSum = double{h[0]} * wy[0];
                        float singleSum = h[0] * wy[0];
                        for (int r = 1; r < 6; ++r) {
                            doubleSum = doubleSum + double{h[r]} * wy[r];
                            singleSum = singleSum + h[r] * wy[r];
                        }
                        uint8_t* target = pixel + ch * es;
                        if (c.dataType == resizeData32f) {
                            writeElement(target, single ? singleSum : static_cast<float>(doubleSum));
                        } else {
                            storeTruncated(target, c.dataType,
                                           arithmetic == ModelArithmetic::sse ? double{singleSum} : doubleSum);
                        }
                    }
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
                            h[r] = single ? s0 + (s1 - s0) * x.fraction
                                          : static_cast<float>(double{s0} + (double{s1} - double{s0}) * x.fraction);
                        }
                        const float w = y.fraction;
                        const float value = single ? h[0] * (1.0f - w) + h[1] * w
                                                   : static_cast<float>(double{w} * h[1] + (1.0 - double{w}) * h[0]);
                        writeElement(target, value);
                    }
                }
            }
        }
    }
    return result;
}

std::vector<uint8_t> modelStretchTwice(const std::vector<uint8_t>& src, int32_t srcWidth, int32_t srcHeight,
                                       const std::vector<uint8_t>& dst, int32_t dstWidth, int32_t dstHeight,
                                       int32_t interpolation, ModelArithmetic arithmetic) {
    const ResizeCase c =
        packedResizeCase(resizeData8u, 4, 3, interpolation, srcWidth, srcHeight, dstWidth, dstHeight);
    std::mt19937_64 unused(0);
    ResizeBuffers buffers(c, unused);
    std::vector<uint8_t> current = dst;
    for (std::size_t byte = 0; byte < 2; ++byte) {
        // The image as the call sees it: one byte on; the byte after the
        // image is never read and the one after the destination never written.
        std::fill(buffers.src[0].begin(), buffers.src[0].end(), 0);
        std::copy(src.begin() + byte, src.end(), buffers.src[0].begin());
        std::fill(buffers.dst[0].begin(), buffers.dst[0].end(), 0);
        std::copy(current.begin() + byte, current.end(), buffers.dst[0].begin());
        const auto after = modelResize(c, buffers, arithmetic);
        std::copy(after[0].begin(), after[0].end() - byte, current.begin() + byte);
    }
    return current;
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
namespace {

// Data type and layout: one channel, three of three or of four, four,
// planar with 1, 3 or 4 planes.
void randomPixelFormat(ResizeCase& c, std::mt19937_64& random) {
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
}

// Row steps of the sizes drawn, with 0 to 3 elements of padding.
void randomSteps(ResizeCase& c, std::mt19937_64& random) {
    const int32_t es = c.elementSize();
    const bool oneValue = c.planar || c.layout == 1;
    const int32_t srcStride = oneValue ? 1 : c.channels;
    const int32_t dstStride = oneValue ? 1 : c.layout == 3 ? c.channels : 4;
    c.srcStep = (c.srcWidth * srcStride + randomInt(random, 0, 3)) * es;
    c.dstStep = (c.dstWidth * dstStride + randomInt(random, 0, 3)) * es;
}

}  // namespace

ResizeCase randomResizeCase(std::mt19937_64& random) {
    ResizeCase c;
    randomPixelFormat(c, random);
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

    randomSteps(c, random);
    return c;
}

}  // namespace primitives::test

namespace primitives::test {

ResizeCase randomInterpolatingCase(std::mt19937_64& random) {
    ResizeCase c;
    randomPixelFormat(c, random);
    c.interpolation = randomInt(random, 0, 1) == 0 ? resizeInterpolationCubic : resizeInterpolationLanczos;
    c.factorMode = randomInt(random, 0, 9) < 2 ? 0 : 1;
    // Shifts, positive ones large enough to start below the region's first
    // row and column.
    if (randomInt(random, 0, 9) < 2) c.xShift = randomDouble(random, -0.5, 3.0);
    if (randomInt(random, 0, 9) < 2) c.yShift = randomDouble(random, -0.5, 3.0);

    const auto axis = [&](int32_t& origin, int32_t& regionSize, int32_t& imageSize, double& factor, int32_t& dst) {
        imageSize = randomInt(random, 4, 40);
        if (randomInt(random, 0, 5) == 0) {
            origin = imageSize - randomInt(random, 1, 3);  // the region starts 1 to 3 pixels before the end
        } else {
            origin = std::array{0, 1, 2, 5}[randomInt(random, 0, 3)];
            if (origin >= imageSize) origin = 0;
        }
        const int32_t room = imageSize - origin;
        const int32_t placement = randomInt(random, 0, 9);
        if (placement < 4) {
            regionSize = room;  // ends at the image's edge
        } else if (placement < 8) {
            regionSize = randomInt(random, 1, room);
        } else {
            regionSize = room + randomInt(random, 1, 5);  // overhangs: clipped
        }
        const int32_t clipped = std::min(regionSize, room);
        if (randomInt(random, 0, 1) == 0) {
            factor = static_cast<double>(randomInt(random, 1, 67)) / clipped;
        } else {
            factor = std::exp(randomDouble(random, std::log(0.05), std::log(20.0)));
        }
        if (c.factorMode == 0) factor = 1.0 / factor;  // a step through the source
        const double filled = c.factorMode == 1 ? factor * clipped : clipped / factor;
        const int32_t around = static_cast<int32_t>(std::min(filled, 70.0)) + randomInt(random, -2, 3);
        dst = randomInt(random, 0, 2) == 0 ? randomInt(random, 1, 67) : std::clamp(around, 1, 67);
    };
    axis(c.roiX, c.roiWidth, c.srcWidth, c.xFactor, c.dstWidth);
    axis(c.roiY, c.roiHeight, c.srcHeight, c.yFactor, c.dstHeight);

    randomSteps(c, random);
    return c;
}

}  // namespace primitives::test
