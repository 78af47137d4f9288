// The super-sampling driver, shared by the four builds: checks, geometry,
// the one row accumulator of the call, and the worker of the data type and
// layout (once per plane for planar images).
#pragma once

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "primitives/core/AlignedMemory.h"
#include "primitives/resize/ResizeGeneralDriver.h"
#include "primitives/resize/SuperSampling.h"

namespace primitives {

// A build's nine workers, by data type (8-bit, 16-bit, float).
struct SuperSamplingWorkers {
    SuperSampleWorker oneChannel[3];
    SuperSampleWorker threeChannels[3];
    SuperSampleWorker fourChannels[3];
};

// `layout` 1 and every plane take the one-channel worker, 4 the four-channel
// worker, any other value the three-channel worker at a pixel stride of
// `channels`. Planar images have 3 planes with `layout` 3, else 4.
//
// The accumulator is allocated once, before the first worker runs, so that a
// failed allocation (-9) leaves every plane untouched; a byte count beyond
// the allocators' 32-bit range fails the same way.
template <typename Build>
PrimitiveStatus resizeSuperSamplingDriver(const SuperSamplingParameters& p, const SuperSamplingWorkers& workers) {
    if (const PrimitiveStatus status = checkResizeArguments(p); status != primitiveStatusOk) return status;
    const SuperSamplingGeometry g = superSamplingGeometry(p);
    if (p.dataType < resizeData8u || p.dataType > resizeData32f) return primitiveStatusOk;

    const bool planar = p.planar != 0;
    const int shape = planar || p.layout == 1 ? 1 : p.layout == 4 ? 4 : 3;
    const int64_t entries = int64_t{g.srcColumns} * (shape == 3 ? p.channels : shape);
    void* accumulator;
    if (g.samplingCase == BothWhole) {
        const bool wide = p.dataType != resizeData32f &&
                          superSamplingWideColumnSums(p.dataType, static_cast<int64_t>(std::floor(g.invYFactor)));
        const int64_t bytes = entries * (wide ? 8 : 4);
        if (bytes > INT32_MAX) return primitiveStatusAllocationFailed;
        accumulator = generic::vaduRivuro_8v(static_cast<int32_t>(bytes));
    } else {
        if (entries > INT32_MAX) return primitiveStatusAllocationFailed;
        accumulator = Build::allocate32(static_cast<int32_t>(entries));
    }
    if (accumulator == nullptr) return primitiveStatusAllocationFailed;

    const int64_t elementSize = resizeElementSize(p.dataType);
    const auto run = [&](SuperSampleWorker worker, const void* srcOrigin, void* dst) {
        worker(srcOrigin, dst, p.srcStep, p.dstStep, g.srcColumns, g.roiHeight, g.dstWidth, g.dstHeight,
               g.invXFactor, g.invYFactor, g.areaScale, p.channels, g.samplingCase, accumulator);
    };
    if (planar) {
        const int64_t offset = int64_t{p.roiY} * p.srcStep + int64_t{p.roiX} * elementSize;
        const auto* srcPlanes = static_cast<const void* const*>(p.src);
        void* const* dstPlanes = static_cast<void* const*>(p.dst);
        const int planes = p.layout == 3 ? 3 : 4;
        for (int plane = 0; plane < planes; ++plane) {
            run(workers.oneChannel[p.dataType], static_cast<const std::byte*>(srcPlanes[plane]) + offset,
                dstPlanes[plane]);
        }
    } else {
        const int64_t offset = int64_t{p.roiY} * p.srcStep + int64_t{p.roiX} * p.channels * elementSize;
        const SuperSampleWorker worker = shape == 1   ? workers.oneChannel[p.dataType]
                                         : shape == 4 ? workers.fourChannels[p.dataType]
                                                      : workers.threeChannels[p.dataType];
        run(worker, static_cast<const std::byte*>(p.src) + offset, p.dst);
    }
    generic::zoveZiva(accumulator);
    return primitiveStatusOk;
}

}  // namespace primitives
