// The general resize driver, shared by the four builds: checks, lowering of
// the method for tiny sources, clipping, the index and weight tables, working
// memory, and one call of a sub-driver from the build's table (once per
// plane for planar images).
//
// Working memory per method, allocated in this order and all released when
// the call ends or an allocation fails: row offsets and column indexes
// (every method); row and column weights (linear) or fractions (cubic,
// Lanczos); 2, 4 or 6 row buffers; for Lanczos the column, then the row tap
// weights.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>

#include "primitives/resize/ResizeBuilds.h"
#include "primitives/resize/ResizeParameters.h"
#include "primitives/resize/ResizeSubDriverTable.h"
#include "primitives/resize/ResizeTables.h"

namespace primitives {

// The checks that the general and the super-sampling drivers share, in their
// order; the first failing one decides.
template <typename Parameters>
PrimitiveStatus checkResizeArguments(const Parameters& p) {
    if (p.src == nullptr || p.dst == nullptr) return primitiveStatusNullPointer;
    if (p.srcWidth <= 0 || p.srcHeight <= 0) return primitiveStatusBadSize;
    if (p.srcStep <= 0 || p.dstStep <= 0) return primitiveStatusBadRowStep;
    if (p.roiX < 0 || p.roiY < 0 || p.roiWidth <= 0 || p.roiHeight <= 0) return primitiveStatusBadSize;
    if (p.roiX >= p.srcWidth || p.roiY >= p.srcHeight) return primitiveStatusNoRoiIntersection;
    if (p.dstWidth <= 0 || p.dstHeight <= 0) return primitiveStatusBadSize;
    if (!(p.xFactor > 0.0) || !(p.yFactor > 0.0)) return primitiveStatusBadResizeFactor;  // NaN fails too
    return primitiveStatusOk;
}

// Sources narrower or lower than 8, 4 and 2 pixels (the whole image, not the
// region) step Lanczos down to cubic, cubic to linear, and anything to
// nearest, in turn.
inline int32_t lowerResizeMethod(int32_t method, int32_t srcWidth, int32_t srcHeight) {
    if (method == resizeInterpolationLanczos && (srcWidth < 8 || srcHeight < 8)) method = resizeInterpolationCubic;
    if (method == resizeInterpolationCubic && (srcWidth < 4 || srcHeight < 4)) method = resizeInterpolationLinear;
    if (srcWidth < 2 || srcHeight < 2) method = resizeInterpolationNearest;
    return method;
}

// The blocks of one driver call, all released when the call ends, whether it
// succeeds or an allocation fails part way.
class ResizeWorkingMemory {
public:
    ResizeWorkingMemory() = default;
    ResizeWorkingMemory(const ResizeWorkingMemory&) = delete;
    ResizeWorkingMemory& operator=(const ResizeWorkingMemory&) = delete;
    ~ResizeWorkingMemory() {
        for (int i = count_ - 1; i >= 0; --i) generic::zoveZiva(blocks_[i]);
    }

    template <typename T>
    T* keep(void* block) {
        blocks_[count_++] = block;
        return static_cast<T*>(block);
    }

private:
    // At most: offsets, indexes, two fraction tables, six row buffers and
    // two tap-weight tables (Lanczos).
    void* blocks_[12] = {};
    int count_ = 0;
};

template <typename Build>
PrimitiveStatus resizeGeneralDriver(const ResizeParameters& p, const ResizeSubDriverTable& table) {
    if (const PrimitiveStatus status = checkResizeArguments(p); status != primitiveStatusOk) return status;
    const int32_t requested = p.interpolation;
    if (requested != resizeInterpolationNearest && requested != resizeInterpolationLinear &&
        requested != resizeInterpolationCubic && requested != resizeInterpolationLanczos) {
        return primitiveStatusBadInterpolation;
    }
    const int32_t method = lowerResizeMethod(requested, p.srcWidth, p.srcHeight);
    const bool nearest = method == resizeInterpolationNearest;
    const bool linear = method == resizeInterpolationLinear;
    const bool lanczos = method == resizeInterpolationLanczos;

    // Clip the region to the image; written so that nothing can overflow.
    const int32_t roiWidth = p.roiWidth > p.srcWidth - p.roiX ? p.srcWidth - p.roiX : p.roiWidth;
    const int32_t roiHeight = p.roiHeight > p.srcHeight - p.roiY ? p.srcHeight - p.roiY : p.roiHeight;
    const ResizeAxis cols = mapResizeAxis(roiWidth, p.xFactor, p.dstWidth, p.xShift, nearest, p.factorMode);
    const ResizeAxis rows = mapResizeAxis(roiHeight, p.yFactor, p.dstHeight, p.yShift, nearest, p.factorMode);

    const int32_t elementSize = resizeElementSize(p.dataType);
    const int sizeShift = elementSize == 4 ? 2 : elementSize == 2 ? 1 : 0;
    const bool planar = p.planar != 0;
    const bool oneValue = planar || p.layout == 1;  // one value per pixel in the tables
    const int64_t pixelStride = oneValue ? 1 : p.channels;
    // Byte offset of the region's first element, from the image or each plane.
    const int64_t regionOffset =
        int64_t{p.roiY} * p.srcStep + int64_t{p.roiX} * (planar ? 1 : p.channels) * elementSize;
    const int32_t srcStep = p.srcStep >> sizeShift;
    const int32_t dstStep = p.dstStep >> sizeShift;

    // Every count in 64 bits before anything is allocated; one beyond the
    // allocators' 32-bit range fails the call as a lack of memory. Offsets
    // and indexes are 64-bit, two 32-bit elements each.
    const bool floatData = p.dataType == resizeData32f;
    const int64_t offsetsCount = 2 * int64_t{rows.count};
    const int64_t indexesCount = 2 * int64_t{cols.count};
    const int64_t colWeightsCount = linear && !floatData ? 2 * int64_t{cols.count} : int64_t{cols.count};
    const int64_t rowBufCount = oneValue ? int64_t{cols.count} + 4
                                : p.layout == 3 ? 3 * int64_t{cols.count} + 12
                                                : 4 * int64_t{cols.count} + 16;
    const int64_t tapWeightsCount = 6 * int64_t{cols.count > rows.count ? cols.count : rows.count};
    if (offsetsCount > INT32_MAX || indexesCount > INT32_MAX ||
        (!nearest && (colWeightsCount > INT32_MAX || rowBufCount > INT32_MAX)) ||
        (lanczos && tapWeightsCount > INT32_MAX)) {
        return primitiveStatusAllocationFailed;
    }

    ResizeWorkingMemory memory;
    auto* rowOffsets = memory.keep<int64_t>(Build::allocate32(static_cast<int32_t>(offsetsCount)));
    if (rowOffsets == nullptr) return primitiveStatusAllocationFailed;
    auto* colIndexes = memory.keep<int64_t>(Build::allocate32(static_cast<int32_t>(indexesCount)));
    if (colIndexes == nullptr) return primitiveStatusAllocationFailed;

    const ResizeAxisExtent colExtent{roiWidth, p.roiX, p.srcWidth};
    const ResizeAxisExtent rowExtent{roiHeight, p.roiY, p.srcHeight};
    // Row and column weights (linear) or fractions (cubic, Lanczos), then the
    // row buffers: 2 for linear, 4 for cubic, 6 for Lanczos.
    void* rowWeights = nullptr;
    void* colWeights = nullptr;
    void* rowBuf[6] = {};
    float* colTapWeights = nullptr;
    float* rowTapWeights = nullptr;
    if (nearest) {
        buildNearestTable(rows, rowExtent, srcStep, rowOffsets);
        buildNearestTable(cols, colExtent, pixelStride, colIndexes);
    } else {
        // 16-bit weights and intermediate rows for linear 8-bit and 16-bit
        // data, floats for everything else.
        const bool sixteenBit = linear && !floatData;
        const auto allocate = [sixteenBit](int64_t count) -> void* {
            const auto n = static_cast<int32_t>(count);
            return sixteenBit ? static_cast<void*>(allocAligned16Bit(n)) : static_cast<void*>(Build::allocate32(n));
        };
        rowWeights = memory.keep<void>(allocate(rows.count));
        if (rowWeights == nullptr) return primitiveStatusAllocationFailed;
        colWeights = memory.keep<void>(allocate(colWeightsCount));
        if (colWeights == nullptr) return primitiveStatusAllocationFailed;
        if (linear && floatData) {
            buildLinearTable(rows, rowExtent, srcStep, rowOffsets, static_cast<float*>(rowWeights));
            buildLinearTable(cols, colExtent, pixelStride, colIndexes, static_cast<float*>(colWeights));
        } else if (linear) {
            buildLinearTable(rows, rowExtent, srcStep, rowOffsets, static_cast<uint16_t*>(rowWeights));
            buildLinearTable(cols, colExtent, pixelStride, colIndexes, static_cast<LinearWeightPairQ14*>(colWeights));
        } else if (lanczos) {
            buildLanczosTable(rows, rowExtent, srcStep, rowOffsets, static_cast<float*>(rowWeights));
            buildLanczosTable(cols, colExtent, pixelStride, colIndexes, static_cast<float*>(colWeights));
        } else {
            buildCubicTable(rows, rowExtent, srcStep, rowOffsets, static_cast<float*>(rowWeights));
            buildCubicTable(cols, colExtent, pixelStride, colIndexes, static_cast<float*>(colWeights));
        }
        const int buffers = linear ? 2 : lanczos ? 6 : 4;
        for (int b = 0; b < buffers; ++b) {
            rowBuf[b] = memory.keep<void>(allocate(rowBufCount));
            if (rowBuf[b] == nullptr) return primitiveStatusAllocationFailed;
        }
        if (lanczos) {
            // Each filled right after its allocation: columns, then rows.
            colTapWeights = memory.keep<float>(Build::allocate32(6 * cols.count));
            if (colTapWeights == nullptr) return primitiveStatusAllocationFailed;
            Build::LanczosWeights::build(static_cast<const float*>(colWeights), cols.count, colTapWeights);
            rowTapWeights = memory.keep<float>(Build::allocate32(6 * rows.count));
            if (rowTapWeights == nullptr) return primitiveStatusAllocationFailed;
            Build::LanczosWeights::build(static_cast<const float*>(rowWeights), rows.count, rowTapWeights);
        }
    }
    // Whether consecutive destination rows move down by at most one source
    // row: factor mode 1 enlarging, or factor mode 0 with a step below 1.
    const int32_t rowUpscale = p.factorMode != 0 ? (p.yFactor >= 1.0 ? 1 : 0) : (p.yFactor < 1.0 ? 1 : 0);

    int32_t group;
    if (nearest) {
        group = oneValue ? resizeGroupNearest1Ch : p.layout == 4 ? resizeGroupNearest4Ch : resizeGroupNearest3Ch;
    } else if (linear) {
        group = oneValue ? resizeGroupLinear1Ch : resizeGroupLinearMultiCh;
    } else if (lanczos) {
        group = oneValue ? resizeGroupLanczos1Ch : resizeGroupLanczosMultiCh;
    } else {
        group = oneValue ? resizeGroupCubic1Ch : resizeGroupCubicMultiCh;
    }
    const ResizeSubDriverSlot& slot = table[resizeSubDriverIndex(group, p.dataType)];
    const auto run = [&](const void* src, void* dst, int32_t channels, int32_t layout) {
        if (nearest) {
            slot.nearest(src, dst, dstStep, cols.count, rows.count, rowOffsets, colIndexes, channels);
        } else if (linear) {
            slot.linear(src, dst, srcStep, dstStep, cols.count, rows.count, rowOffsets, colIndexes, rowWeights,
                        colWeights, rowBuf[0], rowBuf[1], channels, layout);
        } else if (lanczos) {
            slot.lanczos(src, dst, srcStep, dstStep, cols.count, rows.count, rowOffsets, colIndexes, rowTapWeights,
                         colTapWeights, rowBuf[0], rowBuf[1], rowBuf[2], rowBuf[3], rowBuf[4], rowBuf[5], p.roiX,
                         p.roiY, p.srcWidth - p.roiX, p.srcHeight - p.roiY, rowUpscale, channels, layout);
        } else {
            slot.cubic(src, dst, srcStep, dstStep, cols.count, rows.count, rowOffsets, colIndexes,
                       static_cast<const float*>(rowWeights), static_cast<const float*>(colWeights), rowBuf[0],
                       rowBuf[1], rowBuf[2], rowBuf[3], channels, layout);
        }
    };
    if (planar) {
        const auto* srcPlanes = static_cast<const void* const*>(p.src);
        void* const* dstPlanes = static_cast<void* const*>(p.dst);
        const int32_t planes = p.layout == 3 ? 3 : 4;
        for (int32_t plane = 0; plane < planes; ++plane) {
            run(static_cast<const std::byte*>(srcPlanes[plane]) + regionOffset, dstPlanes[plane], 0, 0);
        }
    } else {
        run(static_cast<const std::byte*>(p.src) + regionOffset, p.dst, p.channels, p.layout);
    }
    return primitiveStatusOk;
}

// The entry of a build: super-sampling when asked for with both factors at
// most 1 (NaN is not), the general driver for everything else. The pixel
// format is fixed: 8-bit, four elements per pixel, elements 0 to 2 processed.
template <PrimitiveStatus (*GeneralDriver)(const ResizeParameters&),
          PrimitiveStatus (*SuperSamplingDriver)(const SuperSamplingParameters&)>
PrimitiveStatus resizeEntry(const uint8_t* src, ImageSize srcSize, int32_t srcStep, ImageRect srcRoi, uint8_t* dst,
                            int32_t dstStep, ImageSize dstRoiSize, double xFactor, double yFactor,
                            int32_t interpolation) {
    if (interpolation == resizeInterpolationSuperSampling && xFactor <= 1.0 && yFactor <= 1.0) {
        return SuperSamplingDriver({src, srcSize.width, srcSize.height, srcStep, srcRoi.x, srcRoi.y, srcRoi.width,
                                    srcRoi.height, dst, dstStep, dstRoiSize.width, dstRoiSize.height, xFactor,
                                    yFactor, 4, 3, resizeData8u, 0});
    }
    return GeneralDriver({src, srcSize.width, srcSize.height, srcStep, srcRoi.x, srcRoi.y, srcRoi.width,
                          srcRoi.height, dst, dstStep, dstRoiSize.width, dstRoiSize.height, xFactor, yFactor, 0.0,
                          0.0, 4, 3, resizeData8u, 0, interpolation, 1});
}

}  // namespace primitives
