// What every build's IIR code shares: placing the header and areas of a new
// state in its block, the kind-tag test, the free body, and sample access
// that allows any source or destination alignment.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>

#include "primitives/core/AlignedMemory.h"
#include "primitives/filter/IirState.h"

namespace primitives::iir_layout {

// Sources and destinations need not be 4-byte aligned, so samples are moved
// with memcpy (one plain load or store once compiled).
inline float loadSample(const float* p) {
    float value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

inline void storeSample(float* p, float value) { std::memcpy(p, &value, sizeof value); }

inline bool hasKnownTag(const IirState* state) {
    return state->kindTag == kIirArbitraryOrderTag || state->kindTag == kIirSectionsTag;
}

// Lays out the header and the areas of a state in `block` (at least
// iirStateBytes or iirSectionsStateBytes bytes, 16-byte aligned). `sections`
// is 0 for the arbitrary-order kind. Sets every field but leaves owned 0 and
// writes nothing into the areas.
inline IirState* placeState(void* block, int32_t build, int32_t order, int32_t sections) {
    auto* state = static_cast<IirState*>(block);
    const bool simd = build != buildGeneric;
    const int64_t tapCount = sections > 0 ? 5 * int64_t{sections} : 2 * int64_t{order} + 1;
    auto* cursor = static_cast<std::byte*>(block) + kIirHeaderBytes;
    auto take = [&cursor](int64_t bytes) {
        auto* area = reinterpret_cast<float*>(cursor);
        cursor += iirRound16(bytes);
        return area;
    };

    state->kindTag = sections > 0 ? kIirSectionsTag : kIirArbitraryOrderTag;
    state->order = order;
    state->sectionCount = sections;
    state->owned = 0;
    state->taps = take(4 * tapCount);
    state->delayLine = take(4 * (int64_t{order} + 1));
    state->sectionVectors = nullptr;
    state->numeratorRows = nullptr;
    state->recursionMatrix = nullptr;
    state->scratch = nullptr;
    state->secondScratch = nullptr;
    if (simd) {
        if (sections > 0) {
            state->sectionVectors = take(16 * 2 * int64_t{sections});
            state->numeratorRows = take(16 * 3 * int64_t{sections});
            state->recursionMatrix = take(16 * 5 * int64_t{sections});
        } else {
            state->numeratorRows = take(16 * (int64_t{order} + 1));
            state->recursionMatrix = take(16 * (int64_t{order} + 3));
        }
        state->scratch = take(4 * kIirStretch);
    }
    assert(cursor - static_cast<std::byte*>(block) ==
           (sections > 0 ? iirSectionsStateBytes(build, sections) : iirStateBytes(build, order)));
    return state;
}

// The body of zaviIIRFree_32f. The record is the block's first byte, so it
// is what goes back to the allocator.
inline PrimitiveStatus freeState(IirState* state) {
    if (state == nullptr) return primitiveStatusNullPointer;
    if (!hasKnownTag(state)) return primitiveStatusWrongContext;
    if (state->owned != 0) generic::zoveZiva(state);
    return primitiveStatusOk;
}

// a0 fails when it compares equal to zero (either sign) or is unordered.
inline bool isUsableLeadingTap(float a0) { return a0 < 0.0f || a0 > 0.0f; }

}  // namespace primitives::iir_layout
