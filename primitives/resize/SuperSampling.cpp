#include "primitives/resize/SuperSampling.h"

#include <cmath>
#include <cstdint>

namespace primitives {
namespace {

// The destination size along one axis: what the region fills, at least 1,
// never more than asked for. Compared in double first, so that no huge
// product is converted.
int32_t clippedDestination(double factor, int32_t region, int32_t requested) {
    const double filled = factor * region + kSuperSamplingTolerance;
    if (!(filled < requested)) return requested;
    return filled < 1.0 ? 1 : static_cast<int32_t>(filled);
}

struct BoxAxis {
    double inverse;  // box size in source pixels
    double factor;   // its reciprocal, for the area scale
};

// A region smaller than one box: the box becomes the region.
BoxAxis boxAxis(double factor, int32_t region) {
    if (factor * region + kSuperSamplingTolerance < 1.0) return {static_cast<double>(region), 1.0 / region};
    return {1.0 / factor, factor};
}

bool isWhole(double value) { return value - std::trunc(value) == 0.0; }

}  // namespace

SuperSamplingGeometry superSamplingGeometry(const SuperSamplingParameters& p) {
    SuperSamplingGeometry g;
    g.roiWidth = p.roiWidth > p.srcWidth - p.roiX ? p.srcWidth - p.roiX : p.roiWidth;
    g.roiHeight = p.roiHeight > p.srcHeight - p.roiY ? p.srcHeight - p.roiY : p.roiHeight;
    g.dstWidth = clippedDestination(p.xFactor, g.roiWidth, p.dstWidth);
    g.dstHeight = clippedDestination(p.yFactor, g.roiHeight, p.dstHeight);
    const BoxAxis x = boxAxis(p.xFactor, g.roiWidth);
    const BoxAxis y = boxAxis(p.yFactor, g.roiHeight);
    g.invXFactor = x.inverse;
    g.invYFactor = y.inverse;
    g.areaScale = x.factor * y.factor;
    // Capped in double before the conversion.
    const double columns = std::trunc(g.invXFactor * (g.dstWidth + 1.0)) + 1.0;
    g.srcColumns = columns < g.roiWidth ? static_cast<int32_t>(columns) : g.roiWidth;
    const bool wholeColumns = isWhole(g.invXFactor);
    const bool wholeRows = isWhole(g.invYFactor);
    g.samplingCase = wholeColumns ? (wholeRows ? BothWhole : ColumnsWhole) : (wholeRows ? RowsWhole : NeitherWhole);
    return g;
}

bool superSamplingWideColumnSums(int32_t dataType, int64_t rows) {
    const int64_t largest = dataType == resizeData16u ? 65535 : 255;
    return rows > int64_t{UINT32_MAX} / largest;
}

}  // namespace primitives
