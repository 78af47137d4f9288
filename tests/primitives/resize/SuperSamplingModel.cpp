#include "SuperSamplingModel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "primitives/core/Dispatcher.h"
#include "primitives/resize/ResizeDrivers.h"

namespace primitives::test {
namespace {

constexpr double kTolerance = 1e-7;

SuperSamplingAxisModel axisModel(double factor, int32_t imageSize, int32_t origin, int32_t regionSize,
                                 int32_t requested) {
    SuperSamplingAxisModel a;
    a.region = static_cast<int32_t>(std::min<int64_t>(regionSize, int64_t{imageSize} - origin));
    const double filled = factor * a.region + kTolerance;
    a.count = filled >= requested ? requested : std::max(1, static_cast<int32_t>(filled));
    if (filled < 1.0) {
        a.inverse = a.region;
        a.scaleFactor = 1.0 / a.region;
    } else {
        a.inverse = 1.0 / factor;
        a.scaleFactor = factor;
    }
    a.whole = a.inverse == std::trunc(a.inverse);
    return a;
}

// One source row or column of a box and its weight.
struct Part {
    int64_t index;
    double weight;
};

// The rows of every destination row: B whole rows each, or the carried
// fractions replayed from the first row. Rows at or past the region are
// dropped.
std::vector<std::vector<Part>> boxRows(const SuperSamplingAxisModel& y) {
    const double b = y.inverse;
    const auto whole = static_cast<int64_t>(std::floor(b));
    std::vector<std::vector<Part>> rows(y.count);
    const auto add = [&](std::vector<Part>& parts, int64_t row, double weight) {
        if (row < y.region) parts.push_back({row, weight});
    };
    if (y.whole) {
        for (int64_t i = 0; i < y.count; ++i) {
            for (int64_t m = 0; m < whole; ++m) add(rows[i], i * whole + m, 1.0);
        }
        return rows;
    }
    int64_t cursor = 0;
    double carried = b - static_cast<double>(whole);
    for (int64_t i = 0; i < y.count; ++i) {
        if (i == 0) {
            for (int64_t m = 0; m < whole; ++m) add(rows[i], cursor++, 1.0);
        } else {
            const double shared = 1.0 - carried;
            const double x = b - shared;
            const auto k = static_cast<int64_t>(std::floor(x + kTolerance));
            carried = x - static_cast<double>(k);
            if (shared > kTolerance) add(rows[i], cursor, shared);
            ++cursor;
            for (int64_t m = 0; m < k; ++m) add(rows[i], cursor++, 1.0);
        }
        if (carried > kTolerance) add(rows[i], cursor, carried);
    }
    return rows;
}

// The columns of one destination column, grouped as the horizontal pass
// rounds them: a left part, whole columns, a right part.
struct ColumnBox {
    bool first = false;
    bool hasLeft = false;
    Part left{};
    std::vector<int64_t> whole;
    bool hasRight = false;
    Part right{};
};

std::vector<ColumnBox> boxColumns(const SuperSamplingAxisModel& x, int64_t srcColumns) {
    const double a = x.inverse;
    const auto whole = static_cast<int64_t>(std::floor(a));
    std::vector<ColumnBox> columns(x.count);
    if (x.whole) {
        for (int64_t j = 0; j < x.count; ++j) {
            for (int64_t m = 0; m < whole; ++m) {
                if (j * whole + m < srcColumns) columns[j].whole.push_back(j * whole + m);
            }
        }
        return columns;
    }
    double q = a - static_cast<double>(whole);
    ColumnBox& first = columns[0];
    first.first = true;
    for (int64_t m = 0; m < whole && m < srcColumns; ++m) first.whole.push_back(m);
    if (q > kTolerance && whole < srcColumns) {
        first.hasRight = true;
        first.right = {whole, q};
    }
    int64_t left = whole;
    for (int64_t j = 1; j < x.count; ++j) {
        ColumnBox& box = columns[j];
        const double w = 1.0 - q;
        const double position = a - w;
        const auto k = static_cast<int64_t>(std::floor(position + kTolerance));
        q = position - static_cast<double>(k);
        if (w > kTolerance && left < srcColumns) {
            box.hasLeft = true;
            box.left = {left, w};
        }
        for (int64_t m = left + 1; m <= left + k; ++m) {
            if (m < srcColumns) box.whole.push_back(m);
        }
        left += k + 1;
        if (q > kTolerance && left < srcColumns) {
            box.hasRight = true;
            box.right = {left, q};
        }
    }
    return columns;
}

// Where the elements of a case lie.
struct Layout {
    int32_t es;
    int64_t srcStride, dstStride;  // elements from pixel to pixel
    int32_t slots;                 // processed elements per pixel
    int64_t regionOffset;          // bytes, from the image or each plane
    bool oneValue;

    explicit Layout(const ResizeCase& c) {
        es = c.elementSize();
        oneValue = c.planar || c.layout == 1;
        srcStride = oneValue ? 1 : c.layout == 4 ? 4 : c.channels;
        dstStride = srcStride;
        slots = oneValue ? 1 : c.layout == 4 ? 4 : 3;
        regionOffset = int64_t{c.roiY} * c.srcStep + int64_t{c.roiX} * (c.planar ? 1 : c.channels) * es;
    }
};

double sampleAt(const ResizeCase& c, const Layout& l, const uint8_t* region, int64_t row, int64_t col, int32_t s) {
    const uint8_t* p = region + row * c.srcStep + (col * l.srcStride + s) * l.es;
    if (c.dataType == resizeData8u) return *p;
    if (c.dataType == resizeData16u) return readElement<uint16_t>(p);
    return readElement<float>(p);
}

void storeResult(const ResizeCase& c, uint8_t* p, double scaled) {
    if (c.dataType == resizeData8u) {
        *p = static_cast<uint8_t>(static_cast<int64_t>(scaled + 0.5));
    } else if (c.dataType == resizeData16u) {
        writeElement(p, static_cast<uint16_t>(static_cast<int64_t>(scaled + 0.5)));
    } else {
        writeElement(p, static_cast<float>(scaled));
    }
}

int64_t levelAt(const ResizeCase& c, const uint8_t* p) {
    return c.dataType == resizeData8u ? *p : readElement<uint16_t>(p);
}

}  // namespace

SuperSamplingParameters superSamplingParameters(const ResizeCase& c, const void* src, void* dst) {
    return {src,       c.srcWidth, c.srcHeight, c.srcStep, c.roiX,    c.roiY,     c.roiWidth,      c.roiHeight, dst,
            c.dstStep, c.dstWidth, c.dstHeight, c.xFactor, c.yFactor, c.channels, c.layout, c.dataType, c.planar ? 1 : 0};
}

bool superSamplingEntryShaped(const ResizeCase& c) {
    return c.dataType == resizeData8u && c.channels == 4 && c.layout == 3 && !c.planar && c.xFactor <= 1.0 &&
           c.yFactor <= 1.0;
}

SuperSamplingDriverFunction superSamplingDriverOf(int32_t build) {
    switch (build) {
    case buildGeneric: return resizeSuperSamplingDriver_generic;
    case buildSse: return resizeSuperSamplingDriver_sse;
    case buildSse2: return resizeSuperSamplingDriver_sse2;
    default: return ResizeSuperSamplingDriver;
    }
}

bool doubleTailOf(int32_t build) { return build == buildSse2 || build == buildSse3; }

SuperSamplingShape superSamplingShapeOf(const ResizeCase& c) {
    SuperSamplingShape shape;
    shape.x = axisModel(c.xFactor, c.srcWidth, c.roiX, c.roiWidth, c.dstWidth);
    shape.y = axisModel(c.yFactor, c.srcHeight, c.roiY, c.roiHeight, c.dstHeight);
    const double columns = std::trunc(shape.x.inverse * (shape.x.count + 1.0)) + 1.0;
    shape.srcColumns = columns < shape.x.region ? static_cast<int32_t>(columns) : shape.x.region;
    shape.samplingCase = (shape.y.whole ? 0 : 1) | (shape.x.whole ? 0 : 2);
    return shape;
}

std::vector<std::vector<uint8_t>> modelSuperSampling(const ResizeCase& c, const ResizeBuffers& before,
                                                     bool doubleTail) {
    std::vector<std::vector<uint8_t>> result = before.dst;
    const SuperSamplingShape shape = superSamplingShapeOf(c);
    const Layout l(c);
    const int64_t n = shape.srcColumns;
    const auto rows = boxRows(shape.y);
    const auto columns = boxColumns(shape.x, n);
    const double scale = shape.x.scaleFactor * shape.y.scaleFactor;
    const bool integerSums = shape.samplingCase == 0 && c.dataType != resizeData32f;
    const int64_t tailStart = doubleTail && l.oneValue ? n - n % 16 : n;

    for (std::size_t plane = 0; plane < result.size(); ++plane) {
        const uint8_t* region = before.src[plane].data() + l.regionOffset;
        for (int64_t i = 0; i < shape.y.count; ++i) {
            // One column of the box's rows, as the vertical pass leaves it.
            const auto columnSum = [&](int64_t col, int32_t s) -> float {
                if (shape.samplingCase == 0) {  // float data: single adds, or one double sum
                    if (col >= tailStart) {
                        double sum = 0.0;
                        for (const Part& r : rows[i]) sum += sampleAt(c, l, region, r.index, col, s);
                        return static_cast<float>(sum);
                    }
                    float sum = 0.0f;
                    for (const Part& r : rows[i]) sum = sum + static_cast<float>(sampleAt(c, l, region, r.index, col, s));
                    return sum;
                }
                float entry = 0.0f;
                for (const Part& r : rows[i]) {
                    entry = static_cast<float>(static_cast<double>(entry) +
                                               r.weight * sampleAt(c, l, region, r.index, col, s));
                }
                return entry;
            };
            uint8_t* outRow = result[plane].data() + i * c.dstStep;
            for (int64_t j = 0; j < shape.x.count; ++j) {
                const ColumnBox& box = columns[j];
                for (int32_t s = 0; s < l.slots; ++s) {
                    double value;
                    if (integerSums) {
                        uint64_t sum = 0;
                        for (const int64_t col : box.whole) {
                            for (const Part& r : rows[i]) {
                                sum += static_cast<uint64_t>(sampleAt(c, l, region, r.index, col, s));
                            }
                        }
                        value = static_cast<double>(sum);
                    } else if (shape.x.whole) {
                        double sum = 0.0;
                        for (const int64_t col : box.whole) sum += columnSum(col, s);
                        value = static_cast<float>(sum);
                    } else if (box.first) {
                        double sum = 0.0;
                        for (const int64_t col : box.whole) sum += columnSum(col, s);
                        if (box.hasRight) sum += box.right.weight * columnSum(box.right.index, s);
                        value = static_cast<float>(sum);
                    } else {
                        float v = box.hasLeft ? static_cast<float>(box.left.weight * columnSum(box.left.index, s))
                                              : 0.0f;
                        double sum = v;
                        for (const int64_t col : box.whole) sum += columnSum(col, s);
                        v = static_cast<float>(sum);
                        if (box.hasRight) {
                            v = static_cast<float>(static_cast<double>(v) +
                                                   box.right.weight * columnSum(box.right.index, s));
                        }
                        value = v;
                    }
                    storeResult(c, outRow + (j * l.dstStride + s) * l.es, scale * value);
                }
            }
        }
    }
    return result;
}

std::vector<std::vector<uint8_t>> coverageSuperSampling(const ResizeCase& c, const ResizeBuffers& before) {
    std::vector<std::vector<uint8_t>> result = before.dst;
    const SuperSamplingShape shape = superSamplingShapeOf(c);
    const Layout l(c);
    // Source pixels of box k along an axis and their covered widths.
    const auto cover = [](const SuperSamplingAxisModel& axis, double factor, int64_t k) {
        const bool wholeRegion = factor * axis.region + kTolerance < 1.0;
        const long double size = wholeRegion ? static_cast<long double>(axis.region) : 1.0L / factor;
        const long double low = k * size;
        const long double high = std::min<long double>((k + 1) * size, axis.region);
        std::vector<std::pair<int64_t, long double>> parts;
        for (auto p = static_cast<int64_t>(std::floor(low)); p < high; ++p) {
            const long double w = std::min<long double>(high, p + 1) - std::max<long double>(low, p);
            if (w > 0) parts.push_back({p, w});
        }
        return parts;
    };
    const auto scaleOf = [](const SuperSamplingAxisModel& axis, double factor) {
        return factor * axis.region + kTolerance < 1.0 ? 1.0L / axis.region : static_cast<long double>(factor);
    };
    const long double scale = scaleOf(shape.x, c.xFactor) * scaleOf(shape.y, c.yFactor);
    const long double largest = c.dataType == resizeData8u ? 255 : 65535;
    for (std::size_t plane = 0; plane < result.size(); ++plane) {
        const uint8_t* region = before.src[plane].data() + l.regionOffset;
        for (int64_t i = 0; i < shape.y.count; ++i) {
            const auto rows = cover(shape.y, c.yFactor, i);
            for (int64_t j = 0; j < shape.x.count; ++j) {
                const auto cols = cover(shape.x, c.xFactor, j);
                for (int32_t s = 0; s < l.slots; ++s) {
                    long double sum = 0;
                    for (const auto& [row, wy] : rows) {
                        for (const auto& [col, wx] : cols) sum += wy * wx * sampleAt(c, l, region, row, col, s);
                    }
                    const long double level = std::clamp(std::trunc(scale * sum + 0.5L), 0.0L, largest);
                    uint8_t* p = result[plane].data() + i * c.dstStep + (j * l.dstStride + s) * l.es;
                    if (c.dataType == resizeData8u) {
                        *p = static_cast<uint8_t>(level);
                    } else {
                        writeElement(p, static_cast<uint16_t>(level));
                    }
                }
            }
        }
    }
    return result;
}

int64_t largestLevelDifference(const ResizeCase& c, const std::vector<std::vector<uint8_t>>& a,
                               const std::vector<std::vector<uint8_t>>& b) {
    int64_t largest = 0;
    const std::size_t es = c.elementSize();
    for (std::size_t plane = 0; plane < a.size(); ++plane) {
        for (std::size_t at = 0; at + es <= a[plane].size(); at += es) {
            largest = std::max(largest, std::abs(levelAt(c, &a[plane][at]) - levelAt(c, &b[plane][at])));
        }
    }
    return largest;
}

ResizeCase randomSuperSamplingCase(std::mt19937_64& random) {
    ResizeCase c;
    c.interpolation = resizeInterpolationSuperSampling;
    c.dataType = randomInt(random, 0, 2);
    switch (randomInt(random, 0, 5)) {
    case 0: c.channels = 1, c.layout = 1; break;
    case 1: c.channels = randomInt(random, 3, 5), c.layout = 3; break;
    case 2: c.channels = 4, c.layout = 3; break;
    case 3: c.channels = 4, c.layout = 4; break;
    case 4:
        c.planar = true;
        c.layout = std::array{1, 3, 4}[randomInt(random, 0, 2)];
        c.channels = 1;
        break;
    default:  // the entry's format
        c.dataType = resizeData8u, c.channels = 4, c.layout = 3;
        break;
    }
    static constexpr double kFactors[] = {
        1.0, 0.5, 1.0 / 3, 1.0 / 7, 0.1, 1.0 / 256, 0.25,                  // whole reciprocals
        0.33333333, 0.3333333432674408, 1.0 / 49, 0.3, 0.4, 0.7, 0.6, 0.45,  // fractional, some near-whole
        0.333333334, 0.1428571434,  // reciprocals within 1e-7 below a whole number
    };
    const auto axis = [&](int32_t& origin, int32_t& regionSize, int32_t& imageSize, double& factor, int32_t& dst,
                          bool columns) {
        factor = randomInt(random, 0, 4) == 0 ? randomDouble(random, 0.04, 1.0)
                                              : kFactors[randomInt(random, 0, std::size(kFactors) - 1)];
        if (columns) {
            // Up to 40 source columns (every tail of an 8- or 16-column block),
            // sometimes a wide region of which a narrow destination needs few.
            regionSize = randomInt(random, 0, 6) == 0 ? randomInt(random, 41, 150) : randomInt(random, 1, 40);
        } else {
            const int32_t boxes = randomInt(random, 1, 6);
            regionSize = std::clamp(static_cast<int32_t>(boxes / factor) + randomInt(random, -2, 2), 1, 600);
            if (randomInt(random, 0, 3) == 0) regionSize = randomInt(random, 1, 30);
        }
        origin = randomInt(random, 0, 1) == 0 ? 0 : randomInt(random, 1, 3);
        const int32_t placement = randomInt(random, 0, 9);
        if (placement < 4) {
            imageSize = origin + regionSize;  // at the right or bottom edge
        } else if (placement < 5 && regionSize > 1) {
            imageSize = origin + randomInt(random, 1, regionSize - 1);  // overhanging: clipped
        } else {
            imageSize = origin + regionSize + randomInt(random, 1, 3);
        }
        const int32_t clipped = std::min(regionSize, imageSize - origin);
        const auto filled = static_cast<int32_t>(factor * clipped + 1e-7);
        if (columns && regionSize > 40) {
            dst = randomInt(random, 1, 3);
        } else {
            dst = randomInt(random, 0, 3) == 0 ? randomInt(random, 1, 50) : std::max(1, filled + randomInt(random, -2, 2));
        }
    };
    axis(c.roiX, c.roiWidth, c.srcWidth, c.xFactor, c.dstWidth, true);
    axis(c.roiY, c.roiHeight, c.srcHeight, c.yFactor, c.dstHeight, false);

    const int32_t es = c.elementSize();
    const Layout l(c);
    const int32_t srcPixel = c.planar ? 1 : c.layout == 1 ? 1 : c.channels;
    c.srcStep = (c.srcWidth * srcPixel + randomInt(random, 0, 3)) * es;
    c.dstStep = (c.dstWidth * static_cast<int32_t>(l.dstStride) + randomInt(random, 0, 3)) * es;
    return c;
}

}  // namespace primitives::test
