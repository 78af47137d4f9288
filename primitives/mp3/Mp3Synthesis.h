// The polyphase synthesis of one time slot: matrixing into the 16-slot
// history, windowing with the 512 taps of D (Q30), rounding and saturation
// to 16-bit PCM. The driver and the windowing are shared; each build
// supplies the matrixing through the policy K:
//
//   K::matrix(samples, x)   the 32-point DCT-II of the 32 sub-band samples
//                           (Mp3TransformLayout.h), in their integer units
//
// History layout: slot r (0..15) holds the 32 DCT outputs at 32 r. The ring
// position is the slot of the newest result; the slot of age a is
// (position + a) mod 16.
#pragma once

#include <cstdint>

#include "primitives.h"
#include "primitives/mp3/Mp3FixedPoint.h"
#include "primitives/mp3/Mp3SignalTables.h"
#include "primitives/mp3/Mp3TransformLayout.h"

namespace primitives::mp3 {

// The windowed sums of one slot: acc_j = sum over the 16 ages of the upper
// halves of (history value x signed tap), each floor(u d / 4). Slots of even
// age feed sample j and sample 32 - j from the same value X_(16+k), slots of
// odd age from X_(16-k) (Mp3TransformLayout.h), so each value is loaded once
// for its two products.
inline void windowSlot(const int32_t* history, int32_t position, int32_t* acc) {
    uint32_t sums[32] = {};
    for (int32_t age = 0; age < 16; ++age) {
        const int32_t* slot = history + 32 * ((position + age) & 15);
        const int32_t* taps = kSynthesisTaps + 32 * age;
        const int32_t direction = (age & 1) == 0 ? 1 : -1;
        const int32_t* values = slot + 16;
        sums[0] += static_cast<uint32_t>(mulHigh(values[0], taps[0]));
        for (int32_t k = 1; k < 16; ++k) {
            const int32_t v = values[direction * k];
            sums[k] += static_cast<uint32_t>(mulHigh(v, taps[k]));
            sums[32 - k] += static_cast<uint32_t>(mulHigh(v, taps[32 - k]));
        }
        if (direction < 0) sums[16] += static_cast<uint32_t>(mulHigh(slot[0], taps[16]));  // even ages: V_16 = 0
    }
    for (int32_t j = 0; j < 32; ++j) acc[j] = static_cast<int32_t>(sums[j]);
}

// (acc + 64) >> 7, halves rounded upwards, saturated to 16 bits.
inline int16_t roundToPcm(int32_t acc) {
    const int32_t sample = static_cast<int32_t>((static_cast<int64_t>(acc) + 64) >> 7);
    if (sample > 32767) return 32767;
    if (sample < -32768) return -32768;
    return static_cast<int16_t>(sample);
}

template <typename K>
PrimitiveStatus synthesizeSlot(const int32_t* samples, int16_t* pcm, int32_t* history, int32_t* position,
                               int32_t mode) {
    if (samples == nullptr || pcm == nullptr || history == nullptr || position == nullptr) {
        return primitiveStatusNullPointer;
    }
    if (mode < 1 || mode > 2 || *position < 0 || *position > 15) return primitiveStatusBadArgument;

    const int32_t newest = (*position + 15) & 15;
    *position = newest;
    K::matrix(samples, history + 32 * newest);

    int32_t acc[32];
    windowSlot(history, newest, acc);
    for (int32_t j = 0; j < 32; ++j) pcm[j * mode] = roundToPcm(acc[j]);
    return primitiveStatusOk;
}

// The matrixing of the generic and SSE builds: a recursive even/odd split of
// the DCT-II (the even outputs are the half-size DCT of s_k + s_(N-1-k), the
// odd ones a matrix of the differences) with Q31 cosines, 64-bit products
// and rounding once per output.
struct IntegerSynthesis {
    template <int32_t N>
    static void dct(const int32_t* s, int32_t* x) {
        if constexpr (N == 1) {
            x[0] = s[0];
        } else {
            int32_t even[N / 2];
            int32_t odd[N / 2];
            for (int32_t k = 0; k < N / 2; ++k) {
                even[k] = wrapAdd(s[k], s[N - 1 - k]);
                odd[k] = wrapSub(s[k], s[N - 1 - k]);
            }
            int32_t evenOut[N / 2];
            dct<N / 2>(even, evenOut);
            const int32_t* rows = oddRows<N>();
            for (int32_t m = 0; m < N / 2; ++m) {
                x[2 * m] = evenOut[m];
                ProductSum sum;
                for (int32_t k = 0; k < N / 2; ++k) sum.add(odd[k], rows[(N / 2) * m + k]);
                x[2 * m + 1] = sum.roundedShift(31);
            }
        }
    }

    template <int32_t N>
    static const int32_t* oddRows() {
        if constexpr (N == 32) return kDctOddRowsQ31_32;
        if constexpr (N == 16) return kDctOddRowsQ31_16;
        if constexpr (N == 8) return kDctOddRowsQ31_8;
        if constexpr (N == 4) return kDctOddRowsQ31_4;
        if constexpr (N == 2) return kDctOddRowsQ31_2;
    }

    static void matrix(const int32_t* samples, int32_t* x) { dct<32>(samples, x); }
};

}  // namespace primitives::mp3
