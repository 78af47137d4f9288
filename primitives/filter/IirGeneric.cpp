// The generic build of the IIR entries: states with taps and a delay line
// only, and a transposed direct form II run sample by sample (in pairs from
// order 2) with double intermediates. A value is rounded to float only where
// it is stored: a tap, a delay element, an output.
#include "primitives/core/AlignedMemory.h"
#include "primitives/filter/IirState.h"
#include "primitives/filter/IirStateLayout.h"
#include "primitives/filter/IirVectorCalls.h"

namespace primitives {

using iir_layout::loadSample;
using iir_layout::storeSample;

// ---- Creation ------------------------------------------------------------------

void iirLoadDelayLine_generic(IirState* state, const float* delayLine) {
    const int32_t order = state->order;
    if (order == 0) return;
    if (delayLine != nullptr) {
        generic::iirCopy(delayLine, state->delayLine, order);
    } else {
        generic::iirZero(state->delayLine, order);
    }
    state->delayLine[order] = 0.0f;
}

PrimitiveStatus iirNormaliseTaps_generic(IirState* state, const float* taps) {
    const int32_t order = state->order;
    const float a0 = taps[order + 1];
    if (!iir_layout::isUsableLeadingTap(a0)) return primitiveStatusDivisionByZero;
    // One division, then one product per tap, each rounded once to float.
    const double reciprocal = 1.0 / static_cast<double>(a0);
    float* normalised = state->taps;
    normalised[0] = static_cast<float>(static_cast<double>(taps[0]) * reciprocal);
    for (int32_t k = 1; k <= order; ++k) {
        normalised[k] = static_cast<float>(static_cast<double>(taps[k]) * reciprocal);
        normalised[order + k] = static_cast<float>(static_cast<double>(taps[order + 1 + k]) * reciprocal);
    }
    return primitiveStatusOk;
}

PrimitiveStatus iirLayOutState_generic(void* block, IirState** result, const float* taps, int32_t order,
                                       const float* delayLine) {
    IirState* state = iir_layout::placeState(block, buildGeneric, order, 0);
    *result = state;
    iirLoadDelayLine_generic(state, delayLine);
    return iirNormaliseTaps_generic(state, taps);
}

PrimitiveStatus iirCreateState_generic(IirState** result, const float* taps, int32_t order,
                                       const float* delayLine) {
    const int64_t bytes = iirStateBytes(buildGeneric, order);
    if (bytes > kIirLargestRequest) return primitiveStatusAllocationFailed;
    void* block = generic::vaduRivuro_8v(static_cast<int32_t>(bytes));
    if (block == nullptr) return primitiveStatusAllocationFailed;
    const PrimitiveStatus status = iirLayOutState_generic(block, result, taps, order, delayLine);
    static_cast<IirState*>(block)->owned = 1;
    return status;
}

PrimitiveStatus iirCreateSectionsState_generic(IirState** result, int32_t sections, const float* taps,
                                               const float* delayLine) {
    if (result == nullptr || taps == nullptr) return primitiveStatusNullPointer;
    if (sections < 1) return primitiveStatusBadIirOrder;
    // A request too large to make is refused before any tap is read.
    const int64_t bytes = iirSectionsStateBytes(buildGeneric, sections);
    if (bytes > kIirLargestRequest) return primitiveStatusAllocationFailed;
    // Every a0 is tested before the block exists: nothing is handed out.
    for (int64_t s = 0; s < sections; ++s) {
        if (!iir_layout::isUsableLeadingTap(taps[6 * s + 3])) return primitiveStatusDivisionByZero;
    }
    void* block = generic::vaduRivuro_8v(static_cast<int32_t>(bytes));
    if (block == nullptr) return primitiveStatusAllocationFailed;

    IirState* state = iir_layout::placeState(block, buildGeneric, 2 * sections, sections);
    iirLoadDelayLine_generic(state, delayLine);
    for (int64_t s = 0; s < sections; ++s) {
        const float* given = taps + 6 * s;
        float* normalised = state->taps + 5 * s;
        const double reciprocal = 1.0 / static_cast<double>(given[3]);
        normalised[0] = static_cast<float>(static_cast<double>(given[0]) * reciprocal);
        normalised[1] = static_cast<float>(static_cast<double>(given[1]) * reciprocal);
        normalised[2] = static_cast<float>(static_cast<double>(given[2]) * reciprocal);
        normalised[3] = static_cast<float>(static_cast<double>(given[4]) * reciprocal);
        normalised[4] = static_cast<float>(static_cast<double>(given[5]) * reciprocal);
    }
    state->owned = 1;
    *result = state;
    return primitiveStatusOk;
}

// ---- Filtering -----------------------------------------------------------------

void iirArbitraryFilter_generic(IirState* state, const float* src, float* dst, int32_t len) {
    const int32_t order = state->order;
    const float* taps = state->taps;
    float* z = state->delayLine;  // z[order] is 0
    auto b = [taps](int32_t k) { return static_cast<double>(taps[k]); };
    auto a = [taps, order](int32_t k) { return static_cast<double>(taps[order + k]); };
    auto delay = [z](int32_t i) { return static_cast<double>(z[i]); };

    if (order == 0) {
        const double b0 = b(0);
        for (int32_t n = 0; n < len; ++n) {
            storeSample(dst + n, static_cast<float>(b0 * loadSample(src + n)));
        }
        return;
    }

    if (order == 1) {
        const double b0 = b(0), b1 = b(1), c1 = -a(1);
        for (int32_t n = 0; n < len; ++n) {
            const double x = loadSample(src + n);
            const double y = b0 * x + delay(0);
            z[0] = static_cast<float>(b1 * x + c1 * y);
            storeSample(dst + n, static_cast<float>(y));
        }
        return;
    }

    // Two samples per step: the delay line is rounded once per pair.
    int32_t n = 0;
    for (; n + 1 < len; n += 2) {
        const double x0 = loadSample(src + n);
        const double x1 = loadSample(src + n + 1);
        const double y0 = b(0) * x0 + delay(0);
        const double y1 = b(0) * x1 + ((b(1) * x0 + delay(1)) + (-a(1)) * y0);
        for (int32_t j = 0; j <= order - 2; ++j) {
            z[j] = static_cast<float>((((b(j + 1) * x1 - a(j + 1) * y1) + b(j + 2) * x0) - a(j + 2) * y0) +
                                      delay(j + 2));
        }
        z[order - 1] = static_cast<float>(b(order) * x1 + (-a(order)) * y1);
        // Outputs last, so that in place both inputs were read first.
        storeSample(dst + n, static_cast<float>(y0));
        storeSample(dst + n + 1, static_cast<float>(y1));
    }
    if (n < len) {
        const double x = loadSample(src + n);
        const double y = b(0) * x + delay(0);
        for (int32_t i = 0; i < order; ++i) {
            z[i] = static_cast<float>((b(i + 1) * x - a(i + 1) * y) + delay(i + 1));
        }
        storeSample(dst + n, static_cast<float>(y));
    }
}

void iirSectionsFilter_generic(IirState* state, const float* src, float* dst, int32_t len) {
    const int32_t sections = state->sectionCount;
    const float* taps = state->taps;
    float* z = state->delayLine;
    for (int32_t n = 0; n < len; ++n) {
        // A section's output goes to the next one unrounded.
        double x = loadSample(src + n);
        for (int32_t s = 0; s < sections; ++s) {
            const float* t = taps + 5 * s;
            float* zs = z + 2 * s;
            const double b0 = t[0], b1 = t[1], b2 = t[2], a1 = t[3], a2 = t[4];
            const double y = b0 * x + zs[0];
            zs[0] = static_cast<float>((b1 * x + zs[1]) - a1 * y);
            zs[1] = static_cast<float>(b2 * x + (-a2) * y);
            x = y;
        }
        storeSample(dst + n, static_cast<float>(x));
    }
}

// ---- Entries -------------------------------------------------------------------

namespace generic {

PrimitiveStatus zaviIIRInitAlloc_32f(IirState** result, const float* taps, int32_t order,
                                     const float* delayLine) {
    if (taps == nullptr || result == nullptr) return primitiveStatusNullPointer;
    if (order < 0) return primitiveStatusBadIirOrder;
    return iirCreateState_generic(result, taps, order, delayLine);
}

PrimitiveStatus zaviIIRFree_32f(IirState* state) { return iir_layout::freeState(state); }

PrimitiveStatus zaviIIRGetDlyLine_32f(const IirState* state, float* delayLine) {
    if (state == nullptr || delayLine == nullptr) return primitiveStatusNullPointer;
    if (!iir_layout::hasKnownTag(state)) return primitiveStatusWrongContext;
    iirCopy(state->delayLine, delayLine, state->order);  // order 0 copies nothing
    return primitiveStatusOk;
}

PrimitiveStatus zaviIIR_32f(const float* src, float* dst, int32_t len, IirState* state) {
    if (state == nullptr || src == nullptr || dst == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    if (!iir_layout::hasKnownTag(state)) return primitiveStatusWrongContext;
    if (state->kindTag == kIirArbitraryOrderTag) {
        iirArbitraryFilter_generic(state, src, dst, len);
    } else {
        iirSectionsFilter_generic(state, src, dst, len);
    }
    return primitiveStatusOk;
}

// The same checks in the same order, and the same filter: the generic
// filter reads every input before it writes the output in its place.
PrimitiveStatus zaviIIR_32f_I(float* srcDst, int32_t len, IirState* state) {
    return generic::zaviIIR_32f(srcDst, srcDst, len, state);
}

}  // namespace generic
}  // namespace primitives
