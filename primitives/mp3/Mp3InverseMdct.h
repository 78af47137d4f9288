// The hybrid synthesis of one granule and channel: alias reduction, inverse
// MDCT (one 36-point transform per long sub-band, three 12-point ones per
// short sub-band), windowing, overlap-add and frequency inversion. The
// driver is shared; each build supplies its transform kernels and its
// 32-bit word-fill kernel through the policy K:
//
//   K::aliasReduce(spectrum, boundaries)     boundaries 1..boundaries-1, in place
//   K::longTransform(lines, y, windowRow)    18 lines -> 36 windowed outputs
//   K::shortTransform(lines, y)              3 windows of 6 lines -> 36 outputs
//   K::fillWords(dst, count)                 count 32-bit zeros
//
// The outputs are the standard's windowed IMDCT divided by 4, which takes a
// Q26 spectrum to sub-band samples of full scale 2^24.
#pragma once

#include <algorithm>
#include <cstdint>

#include "primitives.h"
#include "primitives/mp3/Mp3FixedPoint.h"
#include "primitives/mp3/Mp3SignalTables.h"
#include "primitives/mp3/Mp3TransformLayout.h"

namespace primitives::mp3 {

template <typename K>
PrimitiveStatus inverseMdct(int32_t* spectrum, int32_t* subbandSamples, int32_t* overlap, int32_t nonzeroBound,
                            int32_t* previousCount, int32_t blockType, int32_t mixedBlockFlag) {
    if (spectrum == nullptr || subbandSamples == nullptr || overlap == nullptr || previousCount == nullptr) {
        return primitiveStatusNullPointer;
    }
    if (nonzeroBound < 0 || nonzeroBound > 576 || blockType < 0 || blockType > 3 || mixedBlockFlag < 0 ||
        mixedBlockFlag > 1) {
        return primitiveStatusBadArgument;
    }
    if (*previousCount < 0 || *previousCount > 32) return primitiveStatusBadArgument;

    // Sub-bands that can be non-zero; long blocks take one more for the
    // alias butterflies. The multiplications equal the quotients
    // (a + 17) / 18 and (a + 8) / 18 for every a in 0..576.
    const bool shortBlocks = blockType == 2;
    int32_t m = shortBlocks ? (nonzeroBound * 3641 + 61897) >> 16 : ((nonzeroBound * 3641 + 29128) >> 16) + 1;
    if (shortBlocks && mixedBlockFlag == 1 && m < 2) m = 2;
    m = std::min(m, 32);

    const int32_t boundaries = !shortBlocks ? m : (mixedBlockFlag == 1 ? 2 : 0);
    K::aliasReduce(spectrum, boundaries);

    const int32_t processed = std::max(m, *previousCount);
    alignas(16) int32_t y[36];
    for (int32_t s = 0; s < processed; ++s) {
        const int32_t* lines = spectrum + 18 * s;
        if (s >= m) {
            K::fillWords(y, 36);
        } else if (mixedBlockFlag == 1 && s < 2) {
            K::longTransform(lines, y, 0);
        } else if (shortBlocks) {
            K::shortTransform(lines, y);
        } else {
            K::longTransform(lines, y, blockType);
        }
        int32_t* previous = overlap + 18 * s;
        for (int32_t k = 0; k < 18; ++k) {
            int32_t sample = wrapAdd(y[k], previous[k]);
            if ((s & k & 1) != 0) sample = wrapNegate(sample);
            subbandSamples[32 * k + s] = sample;
            previous[k] = y[18 + k];
        }
    }
    *previousCount = m;
    if (processed < 32) {
        for (int32_t t = 0; t < 18; ++t) K::fillWords(subbandSamples + 32 * t + processed, 32 - processed);
    }
    return primitiveStatusOk;
}

// The transform kernels of the generic and SSE builds: 32-bit values with
// 64-bit products.
struct IntegerImdct {
    static void aliasReduce(int32_t* x, int32_t boundaries) {
        for (int32_t b = 1; b < boundaries; ++b) {
            for (int32_t i = 0; i < 8; ++i) {
                int32_t& lo = x[18 * b - 1 - i];
                int32_t& up = x[18 * b + i];
                const int32_t l = lo;
                const int32_t u = up;
                lo = wrapSub(mulQ31(l, kAliasCs[i]), mulQ31(u, kAliasCa[i]));
                up = wrapAdd(mulQ31(u, kAliasCs[i]), mulQ31(l, kAliasCa[i]));
            }
        }
    }

    // The 18-point DCT-IV (through the DCT-II of the prescaled lines, in
    // Q31 with 64-bit sums that wrap like the hardware on corrupt input),
    // divided by 4 with rounding; then each output takes its signed DCT value
    // times the window (Q30).
    static void longTransform(const int32_t* lines, int32_t* y, int32_t windowRow) {
        int32_t x[18];
        for (int32_t k = 0; k < 18; ++k) {
            ProductSum scaled;
            scaled.add(lines[k], kImdctPrescaleQ31[k]);
            x[k] = scaled.roundedShift(31);
        }
        int32_t sums[9];
        int32_t differences[9];
        for (int32_t k = 0; k < 9; ++k) {
            sums[k] = wrapAdd(x[k], x[17 - k]);
            differences[k] = wrapSub(x[k], x[17 - k]);
        }
        uint64_t dct[18];
        for (int32_t m = 0; m < 9; ++m) {
            uint64_t evenSum = 0;
            uint64_t oddSum = 0;
            for (int32_t k = 0; k < 9; ++k) {
                evenSum += static_cast<uint64_t>(static_cast<int64_t>(sums[k]) * kImdctEvenQ31[9 * m + k]);
                oddSum += static_cast<uint64_t>(static_cast<int64_t>(differences[k]) * kImdctOddQ31[9 * m + k]);
            }
            dct[2 * m] = evenSum;
            dct[2 * m + 1] = oddSum;
        }
        int32_t c[18];
        uint64_t previous = dct[0];
        c[0] = roundShift33(previous);
        for (int32_t j = 1; j < 18; ++j) {
            previous = 2 * dct[j] - previous;
            c[j] = roundShift33(previous);
        }
        const int32_t* window = kLongWindowQ30 + 36 * windowRow;
        for (int32_t i = 0; i < 36; ++i) {
            ProductSum product;
            product.add(c[longImdctSource(i).index], window[i]);
            y[i] = product.roundedShift(30);
        }
    }

    // A Q31 sum divided by 4 and rounded to a 32-bit value (wrapping).
    static int32_t roundShift33(uint64_t sum) {
        return static_cast<int32_t>(static_cast<int64_t>(sum + (uint64_t{1} << 32)) >> 33);
    }

    // Three 12-point transforms from the six held cosines per output (the
    // other six outputs follow by symmetry), windowed and overlapped.
    static void shortTransform(const int32_t* lines, int32_t* y) {
        int32_t acc[3][12];
        for (int32_t w = 0; w < 3; ++w) {
            const int32_t* z = lines + 6 * w;
            int32_t* a = acc[w];
            for (int32_t i = 3; i <= 8; ++i) {
                int32_t sum = 0;
                for (int32_t k = 0; k < 6; ++k) sum = wrapAdd(sum, mulHigh(z[k], kShortImdctQ31[6 * (i - 3) + k]));
                a[i] = sum;
            }
            a[0] = wrapNegate(a[5]);
            a[1] = wrapNegate(a[4]);
            a[2] = wrapNegate(a[3]);
            a[9] = a[8];
            a[10] = a[7];
            a[11] = a[6];
        }
        const int32_t* W = kShortWindowQ31;
        for (int32_t q = 0; q < 6; ++q) {
            y[q] = 0;
            y[6 + q] = mulHigh(acc[0][q], W[q]);
            y[12 + q] = wrapAdd(mulHigh(acc[0][6 + q], W[6 + q]), mulHigh(acc[1][q], W[q]));
            y[18 + q] = wrapAdd(mulHigh(acc[1][6 + q], W[6 + q]), mulHigh(acc[2][q], W[q]));
            y[24 + q] = mulHigh(acc[2][6 + q], W[6 + q]);
            y[30 + q] = 0;
        }
    }
};

}  // namespace primitives::mp3
