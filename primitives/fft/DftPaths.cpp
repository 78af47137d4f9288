// The paths of the DFT of any length: direct sums, the split of an even
// length's half-length complex DFT into its real spectrum, the chirp-z
// transform through the complex engine, and the mixed-radix drivers over a
// factor plan. Every path may run in place: what it reads of the source is
// in the work buffer or in locals before it writes the destination.
//
// The arithmetic is shared by all builds; the generic build's direct sums
// accumulate in double and round once, at the store, the others sum in
// single precision.
#include <algorithm>
#include <type_traits>
#include <utility>

#include "primitives/core/Dispatcher.h"
#include "primitives/fft/DftButterflies.h"
#include "primitives/fft/DftRoutines.h"
#include "primitives/fft/RealFftSpec.h"

namespace primitives {
namespace {

using dft::Cx;

// ---- Direct sums ----------------------------------------------------------

// The DFT of n complex values by mirrored pairs: work holds s_i = x_i + x_(n-i)
// and d_i = x_i - x_(n-i) for i = 1 .. h - 1.
template <class Acc>
void complexDirect(const float* src, float* dst, int64_t n, int32_t direction, const float* roots, float* work) {
    const int64_t h = (n + 1) / 2;
    const bool even = n % 2 == 0;
    const Cx x0 = dft::loadCx(src);
    const Cx xh = even ? dft::loadCx(src + n) : Cx{0.0f, 0.0f};
    for (int64_t i = 1; i < h; ++i) {
        const Cx a = dft::loadCx(src + 2 * i), b = dft::loadCx(src + 2 * (n - i));
        float* g = work + 4 * (i - 1);
        g[0] = a.re + b.re;
        g[1] = a.im + b.im;
        g[2] = a.re - b.re;
        g[3] = a.im - b.im;
    }
    Acc sumRe = x0.re, sumIm = x0.im;
    Acc altRe = x0.re, altIm = x0.im;  // the alternating sum, bin n/2 of an even n
    for (int64_t i = 1; i < h; ++i) {
        const float* g = work + 4 * (i - 1);
        sumRe += g[0];
        sumIm += g[1];
        altRe += (i % 2 != 0) ? -Acc{g[0]} : Acc{g[0]};
        altIm += (i % 2 != 0) ? -Acc{g[1]} : Acc{g[1]};
    }
    if (even) {
        sumRe += xh.re;
        sumIm += xh.im;
        const bool oddHalf = (n / 2) % 2 != 0;
        altRe += oddHalf ? -Acc{xh.re} : Acc{xh.re};
        altIm += oddHalf ? -Acc{xh.im} : Acc{xh.im};
    }
    for (int64_t k = 1; k < h; ++k) {
        Acc aRe = x0.re, aIm = x0.im, bRe = 0, bIm = 0;
        if (even) {
            aRe += (k % 2 != 0) ? -Acc{xh.re} : Acc{xh.re};
            aIm += (k % 2 != 0) ? -Acc{xh.im} : Acc{xh.im};
        }
        for (int64_t i = 1, index = 0; i < h; ++i) {
            index += k;
            if (index >= n) index -= n;
            const Acc wr = roots[2 * index], wi = roots[2 * index + 1];
            const float* g = work + 4 * (i - 1);
            aRe += wr * g[0];
            aIm += wr * g[1];
            bRe += wi * g[3];
            bIm += wi * g[2];
        }
        const int64_t up = direction > 0 ? k : n - k, down = n - up;
        dst[2 * up] = static_cast<float>(aRe - bRe);
        dst[2 * up + 1] = static_cast<float>(aIm + bIm);
        dst[2 * down] = static_cast<float>(aRe + bRe);
        dst[2 * down + 1] = static_cast<float>(aIm - bIm);
    }
    dst[0] = static_cast<float>(sumRe);
    dst[1] = static_cast<float>(sumIm);
    if (even) {
        dst[n] = static_cast<float>(altRe);
        dst[n + 1] = static_cast<float>(altIm);
    }
}

// The Perm spectrum of an odd number of reals; work holds the sums and
// differences of the mirrored pairs.
template <class Acc>
void realDirectOdd(const float* src, float* dst, int64_t length, const float* roots, float* work) {
    const int64_t h = (length + 1) / 2;
    const float x0 = src[0];
    for (int64_t i = 1; i < h; ++i) {
        work[2 * (i - 1)] = src[i] + src[length - i];
        work[2 * (i - 1) + 1] = src[i] - src[length - i];
    }
    Acc sum = x0;
    for (int64_t i = 1; i < h; ++i) sum += work[2 * (i - 1)];
    for (int64_t k = 1; k < h; ++k) {
        Acc re = x0, im = 0;
        for (int64_t i = 1, index = 0; i < h; ++i) {
            index += k;
            if (index >= length) index -= length;
            re += Acc{roots[2 * index]} * work[2 * (i - 1)];
            im += Acc{roots[2 * index + 1]} * work[2 * (i - 1) + 1];
        }
        dst[2 * k - 1] = static_cast<float>(re);
        dst[2 * k] = static_cast<float>(im);
    }
    dst[0] = static_cast<float>(sum);
}

// From the n-point DFT Z of z(m) = x(2m) + i x(2m + 1), in place, the Perm
// spectrum of the 2n reals. The weight pairs start at bin firstBin.
void recombine(float* z, int64_t n, const float* weights, int64_t firstBin) {
    const float r = z[0], i = z[1];
    z[0] = r + i;
    z[1] = r - i;
    for (int64_t k = 1; 2 * k < n; ++k) {
        const int64_t j = n - k;
        const float wr = weights[2 * (k - firstBin)], wi = weights[2 * (k - firstBin) + 1];
        const float c = z[2 * k], g = z[2 * k + 1], d = z[2 * j], e = z[2 * j + 1];
        const float diff = c - d, sum = g + e;
        const float t = diff * wi + sum * wr, u = sum * wi - diff * wr;
        z[2 * k] = d + t;
        z[2 * k + 1] = u - e;
        z[2 * j] = c - t;
        z[2 * j + 1] = u - g;
    }
    if (n % 2 == 0) z[n + 1] = -z[n + 1];
}

// ---- Chirp-z --------------------------------------------------------------

struct EngineRoutines {
    PrimitiveStatus (*forward)(const float*, float*, const ComplexFftSpec*, uint8_t*);
    PrimitiveStatus (*inverse)(const float*, float*, const ComplexFftSpec*, uint8_t*);
    void (*multiply)(const float*, const float*, float*, int64_t);
    void (*zero)(float*, int64_t);
};

// The circular convolution of work[0 .. n) (zero-padded to M) with the
// transformed filter, in work; the inner engine's buffer follows the M
// values.
template <const EngineRoutines& E>
PrimitiveStatus convolveWithFilter(const RealDftSpec* spec, int64_t n, float* work) {
    const int64_t m = spec->chirpLength;
    if (n < m) E.zero(work + 2 * n, m - n);
    auto* inner = reinterpret_cast<uint8_t*>(work + 2 * m);
    if (const PrimitiveStatus status = E.forward(work, work, spec->innerComplexFft, inner); status != 0) return status;
    E.multiply(spec->chirpFilter, work, work, m);
    return E.inverse(work, work, spec->innerComplexFft, inner);
}

template <const EngineRoutines& E>
PrimitiveStatus complexBluestein(const RealDftSpec* spec, const float* src, float* dst, int64_t n, int32_t direction,
                                 float* work) {
    E.multiply(spec->chirp, src, work, n);
    if (const PrimitiveStatus status = convolveWithFilter<E>(spec, n, work); status != 0) return status;
    E.multiply(spec->chirp, work, dst, n);
    if (direction < 0) {
        for (int64_t j = 1; 2 * j < n; ++j) {
            std::swap(dst[2 * j], dst[2 * (n - j)]);
            std::swap(dst[2 * j + 1], dst[2 * (n - j) + 1]);
        }
    }
    return primitiveStatusOk;
}

template <const EngineRoutines& E>
PrimitiveStatus realBluestein(const RealDftSpec* spec, const float* src, float* dst, float* work) {
    const int64_t n = spec->length;
    for (int64_t j = 0; j < n; ++j) {
        work[2 * j] = src[j] * spec->chirp[2 * j];
        work[2 * j + 1] = src[j] * spec->chirp[2 * j + 1];
    }
    if (const PrimitiveStatus status = convolveWithFilter<E>(spec, n, work); status != 0) return status;
    const int64_t bins = (n + 1) / 2;
    E.multiply(spec->chirp, work, work, bins);
    dst[0] = work[0];
    for (int64_t k = 1; k < bins; ++k) {
        dst[2 * k - 1] = work[2 * k];
        dst[2 * k] = work[2 * k + 1];
    }
    return primitiveStatusOk;
}

// ---- Mixed radix ----------------------------------------------------------

// Sub-transforms of at most this many points run stage by stage over all
// their blocks; larger ones are split depth first.
constexpr int64_t kStageLoopLimit = 2000;

struct Plan {
    explicit Plan(const RealDftSpec* spec)
        : stages(spec->stages), last(spec->lastTwiddledStage), residual(spec->stages[last + 1].radix),
          residualRoots(spec->stages[last + 1].radixRoots), reorder(spec->reorderIndex) {}
    int64_t radix(int32_t j) const { return stages[j].radix; }
    int64_t remaining(int32_t j) const { return stages[j].remaining; }
    int64_t length(int32_t j) const { return radix(j) * remaining(j); }

    const DftStage* stages;
    int32_t last;
    int64_t residual;
    const float* residualRoots;
    const int32_t* reorder;
};

class ComplexMixedRadix {
public:
    ComplexMixedRadix(const RealDftSpec* spec, float* scratch) : plan_(spec), scratch_(scratch) {}

    // The transform of depth d (inputs src[k s_d]) into final, working in out.
    void level(int32_t d, const float* src, float* out, float* final) const {
        const int32_t last = plan_.last;
        if (plan_.length(d) <= kStageLoopLimit && d != last) {
            firstStage(src, out, plan_.stages[last].groupProduct);
            for (int32_t i = last; i >= d; --i) pass(i, out, i == d ? final : out, plan_.stages[i].groupProduct);
            return;
        }
        if (d != last) {
            const int64_t m = plan_.remaining(d), stride = plan_.stages[d].stride;
            for (int64_t t = 0; t < plan_.radix(d); ++t) {
                float* sub = out + 2 * t * m;
                level(d + 1, src + 2 * t * stride, sub, sub);
            }
        } else {
            firstStage(src, out, 1);
        }
        pass(d, out, final, 1);
    }

private:
    void firstStage(const float* src, float* out, int64_t blocks) const {
        const DftStage& stage = plan_.stages[plan_.last];
        const int64_t stride = stage.stride, count = stage.radix, r = plan_.residual;
        switch (r) {
        case 2: dft::firstStageFixed<2>(src, stride, out, count, blocks, plan_.reorder); return;
        case 3: dft::firstStageFixed<3>(src, stride, out, count, blocks, plan_.reorder); return;
        case 4: dft::firstStageFixed<4>(src, stride, out, count, blocks, plan_.reorder); return;
        case 5: dft::firstStageFixed<5>(src, stride, out, count, blocks, plan_.reorder); return;
        default:
            for (int64_t b = 0; b < blocks; ++b) {
                dft::firstStageOdd(src + 2 * static_cast<int64_t>(plan_.reorder[b * count * r]), stride,
                                   out + 2 * b * r * count, r, count, plan_.residualRoots, scratch_);
            }
        }
    }

    void pass(int32_t j, const float* in, float* out, int64_t blocks) const {
        const DftStage& stage = plan_.stages[j];
        const int64_t f = stage.radix, m = stage.remaining;
        switch (f) {
        case 2: dft::passFixed<2>(in, out, m, blocks, stage.stageTwiddles); return;
        case 3: dft::passFixed<3>(in, out, m, blocks, stage.stageTwiddles); return;
        case 4: dft::passFixed<4>(in, out, m, blocks, stage.stageTwiddles); return;
        case 5: dft::passFixed<5>(in, out, m, blocks, stage.stageTwiddles); return;
        default:
            for (int64_t b = 0; b < blocks; ++b) {
                dft::passOdd(in + 2 * b * f * m, out + 2 * b * f * m, f, m, stage.radixRoots, stage.stageTwiddles,
                             scratch_);
            }
        }
    }

    Plan plan_;
    float* scratch_;
};

void complexMixedRadix(const RealDftSpec* spec, const float* src, float* dst, float* work) {
    const int64_t n = int64_t{spec->stages[0].radix} * spec->stages[0].remaining;
    float* data = src != dst ? dst : work;
    float* scratch = work;
    if (src == dst) {
        auto address = reinterpret_cast<uintptr_t>(work + 2 * n);
        scratch = reinterpret_cast<float*>((address + 15) & ~uintptr_t{15});
    }
    ComplexMixedRadix(spec, scratch).level(0, src, data, dst);
}

// Real input of odd length; every pass writes another buffer than it reads.
class RealMixedRadix {
public:
    explicit RealMixedRadix(const RealDftSpec* spec) : plan_(spec) {}

    // The first stage, then the passes of stages last .. d, the first stage's
    // output in `first`, passes alternating between a and b, the last into
    // final (never the buffer it reads).
    void stageLoop(int32_t d, const float* src, float* first, float* a, float* b, float* final,
                   float* scratch) const {
        float* current = first;
        firstStage(src, current, plan_.stages[plan_.last].groupProduct, scratch);
        for (int32_t i = plan_.last; i >= d; --i) {
            float* next = i == d ? final : (current == a ? b : a);
            pass(i, current, next, plan_.stages[i].groupProduct, scratch);
            current = next;
        }
    }

    // The half spectrum of depth d into out; buf is free space from which
    // each level takes its sub-transforms and scratch.
    void level(int32_t d, const float* src, float* out, float* buf) const {
        const int32_t last = plan_.last;
        const int64_t length = plan_.length(d);
        float* scratch = buf + length;
        if (length <= kStageLoopLimit && d != last) {
            // An even number of passes ends where the first stage wrote.
            float* first = (last - d + 1) % 2 == 0 ? out : buf;
            stageLoop(d, src, first, first, first == out ? buf : out, out, scratch);
            return;
        }
        if (d != last) {
            const int64_t m = plan_.remaining(d), stride = plan_.stages[d].stride;
            for (int64_t t = 0; t < plan_.radix(d); ++t) level(d + 1, src + t * stride, buf + t * m, scratch);
        } else {
            firstStage(src, buf, 1, scratch);
        }
        pass(d, buf, out, 1, scratch);
    }

    int32_t last() const { return plan_.last; }

private:
    void firstStage(const float* src, float* out, int64_t blocks, float* scratch) const {
        const DftStage& stage = plan_.stages[plan_.last];
        const int64_t stride = stage.stride, count = stage.radix, r = plan_.residual;
        switch (r) {
        case 3: dft::realFirstStageFixed<3>(src, stride, out, count, blocks, plan_.reorder); return;
        case 5: dft::realFirstStageFixed<5>(src, stride, out, count, blocks, plan_.reorder); return;
        default:
            for (int64_t b = 0; b < blocks; ++b) {
                dft::realFirstStageOdd(src + plan_.reorder[b * count * r], stride, out + b * r * count, r, count,
                                       plan_.residualRoots, scratch);
            }
        }
    }

    void pass(int32_t j, const float* in, float* out, int64_t blocks, float* scratch) const {
        const DftStage& stage = plan_.stages[j];
        const int64_t f = stage.radix, m = stage.remaining;
        switch (f) {
        case 3: dft::realPassFixed<3>(in, out, m, blocks, stage.stageTwiddles); return;
        case 5: dft::realPassFixed<5>(in, out, m, blocks, stage.stageTwiddles); return;
        default:
            for (int64_t b = 0; b < blocks; ++b) {
                dft::realPassOdd(in + b * f * m, out + b * f * m, f, m, stage.radixRoots, stage.stageTwiddles,
                                 scratch);
            }
        }
    }

    Plan plan_;
};

void realMixedRadix(const RealDftSpec* spec, const float* src, float* dst, float* work) {
    const int64_t n = spec->length;
    const RealMixedRadix driver(spec);
    const int32_t last = driver.last();
    if (n > kStageLoopLimit || last == 0) {
        driver.level(0, src, dst, work);
    } else if (last % 2 == 0) {
        driver.stageLoop(0, src, work, work, dst, dst, work + n);
    } else if (src != dst) {
        driver.stageLoop(0, src, dst, dst, work, dst, work + n);
    } else {
        // In place with an even number of passes: two buffers of the work area.
        driver.stageLoop(0, src, work + n, work + n, work, dst, work + 2 * n);
    }
}

// ---- Per-build definitions ------------------------------------------------

template <int Build>
using DirectSum = std::conditional_t<Build == buildGeneric, double, float>;

}  // namespace

#define VELKARN_DEFINE_DFT_PATHS(suffix, index)                                                                   \
    namespace {                                                                                                   \
    constexpr EngineRoutines suffix##Engine = {complexFftForward_##suffix, complexFftInverse_##suffix,           \
                                               complexMultiply_##suffix, complexZero_##suffix};                   \
    }                                                                                                             \
    void complexDftDirect_##suffix(const float* src, float* dst, int64_t n, int32_t direction, const float* roots, \
                                   float* work) {                                                                 \
        complexDirect<DirectSum<index>>(src, dst, n, direction, roots, work);                                     \
    }                                                                                                             \
    void realDftDirectOdd_##suffix(const float* src, float* dst, int64_t length, const float* roots,              \
                                   float* work) {                                                                 \
        realDirectOdd<DirectSum<index>>(src, dst, length, roots, work);                                           \
    }                                                                                                             \
    void dftRecombineRealSpectrum_##suffix(float* data, int64_t n, const float* weights) {                        \
        /* The SSE2 and SSE3-class tables start at bin 1. */                                                     \
        recombine(data, n, weights, index >= buildSse2 ? 1 : 0);                                                  \
    }                                                                                                             \
    PrimitiveStatus complexDftBluestein_##suffix(const RealDftSpec* spec, const float* src, float* dst,           \
                                                 int64_t n, int32_t direction, float* work) {                     \
        return complexBluestein<suffix##Engine>(spec, src, dst, n, direction, work);                              \
    }                                                                                                             \
    PrimitiveStatus realDftBluestein_##suffix(const RealDftSpec* spec, const float* src, float* dst,              \
                                              float* work) {                                                      \
        return realBluestein<suffix##Engine>(spec, src, dst, work);                                               \
    }                                                                                                             \
    void complexDftMixedRadix_##suffix(const RealDftSpec* spec, const float* src, float* dst, float* work) {      \
        complexMixedRadix(spec, src, dst, work);                                                                  \
    }                                                                                                             \
    void realDftMixedRadix_##suffix(const RealDftSpec* spec, const float* src, float* dst, float* work) {         \
        realMixedRadix(spec, src, dst, work);                                                                     \
    }
VELKARN_DEFINE_DFT_PATHS(generic, buildGeneric)
VELKARN_DEFINE_DFT_PATHS(sse, buildSse)
VELKARN_DEFINE_DFT_PATHS(sse2, buildSse2)
VELKARN_DEFINE_DFT_PATHS(sse3, buildSse3)
#undef VELKARN_DEFINE_DFT_PATHS

}  // namespace primitives
