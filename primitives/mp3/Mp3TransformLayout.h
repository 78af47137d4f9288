// Index and sign maps shared by the transforms and the table generator,
// which folds the signs into the tables.
//
// Synthesis history: each slot stores the 32 outputs X_0..X_31 of the unscaled 32-point DCT-II of its sub-band samples,
// X_n = sum_k S_k cos(n (2k + 1) pi / 64). The 64-value matrixing vector of
// the standard follows from them: V_i = X_(16+i) for i = 0..15, V_16 = 0,
// V_i = -X_(48-i) for i = 17..47 and V_(48+j) = -X_j for j = 0..15.
//
// The windowing of output sample j takes V_j from the slots of even age and
// V_(32+j) from those of odd age. This header says which stored value and
// which sign that is; the table generator folds the signs into the window
// taps, the synthesis reads the values.
#pragma once

#include <cstdint>

namespace primitives::mp3 {

struct SynthesisTapSource {
    int32_t index;  // which of X_0..X_31
    int32_t sign;   // +1, -1, or 0 where V is identically zero
};

// parity 0: V_j of an even-aged slot; parity 1: V_(32+j) of an odd-aged one.
constexpr SynthesisTapSource synthesisTapSource(int32_t parity, int32_t j) {
    if (parity == 0) {
        if (j < 16) return {16 + j, 1};
        if (j == 16) return {0, 0};
        return {48 - j, -1};
    }
    if (j < 16) return {16 - j, -1};
    return {j - 16, -1};
}

// Long inverse MDCT: the 36 outputs x_i = sum_k X_k cos(pi/72 (2i + 19)(2k + 1))
// are signed copies of the 18-point DCT-IV c_j = sum_k X_k cos(pi/72 (2j + 1)(2k + 1)):
// x_i = c_(i+9) for i = 0..8, -c_(26-i) for i = 9..26, -c_(i-27) for i = 27..35.
struct LongImdctSource {
    int32_t index;
    int32_t sign;
};

constexpr LongImdctSource longImdctSource(int32_t i) {
    if (i < 9) return {i + 9, 1};
    if (i < 27) return {26 - i, -1};
    return {i - 27, -1};
}

}  // namespace primitives::mp3
