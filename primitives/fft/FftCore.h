// The complex FFT core, written once over a four-lane vector type and
// compiled per build: FftCoreGeneric.cpp instantiates it with plain scalar
// lanes, the SSE, SSE2 and SSE3-class files with SSE registers under their
// own target.
//
// The passes are a decimation in time on bit-reversed data. Between passes
// the data are kept in blocks of four complex values stored split (four real
// parts, then four imaginary parts), so that every radix-4 stage after the
// first runs on whole registers without shuffles. The first pass gathers the
// bit-reversed input into that form (fused with the 4- or 8-point
// butterflies) and the last pass writes interleaved pairs again; both forms
// take 32 bytes per four points, so every pass may work in place.
//
// Include this header only after the build's target pragma.
#pragma once

#include <xmmintrin.h>

#include <cstdint>
#include <cstring>

#include "primitives/fft/RealFftSpec.h"

namespace primitives::fftcore {

// ---- Lanes ----------------------------------------------------------------

struct ScalarVec {
    float v[4];
};

// Four scalar lanes; the generic build.
template <int Build>
struct ScalarOps {
    static constexpr int kBuild = Build;
    using V = ScalarVec;
    static V load(const float* p) { return {{p[0], p[1], p[2], p[3]}}; }
    static void store(float* p, V a) {
        p[0] = a.v[0];
        p[1] = a.v[1];
        p[2] = a.v[2];
        p[3] = a.v[3];
    }
    static V set1(float x) { return {{x, x, x, x}}; }
    static V add(V a, V b) { return {{a.v[0] + b.v[0], a.v[1] + b.v[1], a.v[2] + b.v[2], a.v[3] + b.v[3]}}; }
    static V sub(V a, V b) { return {{a.v[0] - b.v[0], a.v[1] - b.v[1], a.v[2] - b.v[2], a.v[3] - b.v[3]}}; }
    static V mul(V a, V b) { return {{a.v[0] * b.v[0], a.v[1] * b.v[1], a.v[2] * b.v[2], a.v[3] * b.v[3]}}; }
    static V reverse(V a) { return {{a.v[3], a.v[2], a.v[1], a.v[0]}}; }
    static void transpose(V& a, V& b, V& c, V& d) {
        const V ra = a, rb = b, rc = c, rd = d;
        a = {{ra.v[0], rb.v[0], rc.v[0], rd.v[0]}};
        b = {{ra.v[1], rb.v[1], rc.v[1], rd.v[1]}};
        c = {{ra.v[2], rb.v[2], rc.v[2], rd.v[2]}};
        d = {{ra.v[3], rb.v[3], rc.v[3], rd.v[3]}};
    }
    // Four interleaved complex values at p into real and imaginary lanes.
    static void loadComplex(const float* p, V& re, V& im) {
        re = {{p[0], p[2], p[4], p[6]}};
        im = {{p[1], p[3], p[5], p[7]}};
    }
    // The same for the values at p in reverse order (lane 0 from p[6], p[7]).
    static void loadComplexReversed(const float* p, V& re, V& im) {
        re = {{p[6], p[4], p[2], p[0]}};
        im = {{p[7], p[5], p[3], p[1]}};
    }
    static void storeComplexReversed(float* p, V re, V im) { storeComplex(p, reverse(re), reverse(im)); }
    static void storeComplex(float* p, V re, V im) {
        const V r = re, i = im;
        p[0] = r.v[0];
        p[1] = i.v[0];
        p[2] = r.v[1];
        p[3] = i.v[1];
        p[4] = r.v[2];
        p[5] = i.v[2];
        p[6] = r.v[3];
        p[7] = i.v[3];
    }
};

// SSE registers; only SSE1 float instructions, so one body serves the SSE,
// SSE2 and SSE3-class builds, each compiled under its own target.
template <int Build>
struct SseOps {
    static constexpr int kBuild = Build;
    using V = __m128;
    static V load(const float* p) { return _mm_loadu_ps(p); }
    static void store(float* p, V a) { _mm_storeu_ps(p, a); }
    static V set1(float x) { return _mm_set1_ps(x); }
    static V add(V a, V b) { return _mm_add_ps(a, b); }
    static V sub(V a, V b) { return _mm_sub_ps(a, b); }
    static V mul(V a, V b) { return _mm_mul_ps(a, b); }
    static V reverse(V a) { return _mm_shuffle_ps(a, a, _MM_SHUFFLE(0, 1, 2, 3)); }
    static void transpose(V& a, V& b, V& c, V& d) { _MM_TRANSPOSE4_PS(a, b, c, d); }
    static void loadComplex(const float* p, V& re, V& im) {
        const V lo = _mm_loadu_ps(p), hi = _mm_loadu_ps(p + 4);
        re = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0));
        im = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1));
    }
    static void storeComplex(float* p, V re, V im) {
        _mm_storeu_ps(p, _mm_unpacklo_ps(re, im));
        _mm_storeu_ps(p + 4, _mm_unpackhi_ps(re, im));
    }
    static void loadComplexReversed(const float* p, V& re, V& im) {
        const V lo = _mm_loadu_ps(p), hi = _mm_loadu_ps(p + 4);
        re = _mm_shuffle_ps(hi, lo, _MM_SHUFFLE(0, 2, 0, 2));
        im = _mm_shuffle_ps(hi, lo, _MM_SHUFFLE(1, 3, 1, 3));
    }
    static void storeComplexReversed(float* p, V re, V im) {
        const V hi = _mm_unpacklo_ps(re, im);  // r0 i0 r1 i1 -> memory p + 4 reversed
        const V lo = _mm_unpackhi_ps(re, im);  // r2 i2 r3 i3
        _mm_storeu_ps(p, _mm_shuffle_ps(lo, lo, _MM_SHUFFLE(1, 0, 3, 2)));
        _mm_storeu_ps(p + 4, _mm_shuffle_ps(hi, hi, _MM_SHUFFLE(1, 0, 3, 2)));
    }
};

// ---- Twiddle tables -------------------------------------------------------

// sin(2 pi a / M) from a quarter-wave table of M = 2^s points, a in [0, M).
static inline double sineFromTable(const float* sine, int64_t quarter, int64_t a) {
    if (a <= quarter) return sine[a];
    if (a <= 2 * quarter) return sine[2 * quarter - a];
    if (a <= 3 * quarter) return -static_cast<double>(sine[a - 2 * quarter]);
    return -static_cast<double>(sine[4 * quarter - a]);
}

// exp(-2 pi i e / L) as (cos, -sin), L = 2^l <= M = 2^s, from the table.
static inline void twiddleFromTable(const float* sine, int32_t s, int32_t l, int64_t e, float& re, float& im) {
    const int64_t quarter = (int64_t{1} << s) / 4;
    const int64_t mask = (int64_t{1} << s) - 1;
    const int64_t a = (e << (s - l)) & mask;
    re = static_cast<float>(sineFromTable(sine, quarter, (a + quarter) & mask));
    im = static_cast<float>(-sineFromTable(sine, quarter, a));
}

// Float offset of the stage of length 2^l (l >= 4) inside a radix table.
static inline int64_t radixStageOffset(int32_t l) { return 6 * ((int64_t{1} << l) / 4 - 4); }

static inline void fillRadixTable(float* table, int32_t a, const float* sine, int32_t s) {
    for (int32_t l = 4; l <= a; ++l) {
        float* stage = table + radixStageOffset(l);
        const int64_t butterflies = (int64_t{1} << l) / 4;
        for (int64_t j = 0; j < butterflies; ++j) {
            float* group = stage + (j / 4) * 24 + (j % 4);
            for (int32_t p = 1; p <= 3; ++p) {
                float re, im;
                twiddleFromTable(sine, s, l, p * j, re, im);
                group[(p - 1) * 8] = re;
                group[(p - 1) * 8 + 4] = im;
            }
        }
    }
}

static inline int32_t reverseBits(int64_t x, int32_t bits) {
    int64_t r = 0;
    for (int32_t i = 0; i < bits; ++i) r |= ((x >> i) & 1) << (bits - 1 - i);
    return static_cast<int32_t>(r);
}

// ---- Passes ---------------------------------------------------------------

inline constexpr float kSqrtHalf = 0.70710677f;  // 0x3F3504F3

template <class Ops, bool Inverse>
struct Passes {
    using V = typename Ops::V;

    struct C {
        V re, im;
    };

    [[gnu::always_inline]] static C cadd(C a, C b) { return {Ops::add(a.re, b.re), Ops::add(a.im, b.im)}; }
    [[gnu::always_inline]] static C csub(C a, C b) { return {Ops::sub(a.re, b.re), Ops::sub(a.im, b.im)}; }
    // Multiplies by -i (forward) or +i (inverse).
    [[gnu::always_inline]] static C rotate(C a) {
        if (Inverse) return {Ops::sub(Ops::set1(0.0f), a.im), a.re};
        return {a.im, Ops::sub(Ops::set1(0.0f), a.re)};
    }
    // a (-i) b forward, a (+i) b inverse, without forming the rotation.
    [[gnu::always_inline]] static C subRotated(C a, C b) {
        if (Inverse) return {Ops::sub(a.re, b.im), Ops::add(a.im, b.re)};
        return {Ops::add(a.re, b.im), Ops::sub(a.im, b.re)};
    }
    [[gnu::always_inline]] static C addRotated(C a, C b) {
        if (Inverse) return {Ops::add(a.re, b.im), Ops::sub(a.im, b.re)};
        return {Ops::sub(a.re, b.im), Ops::add(a.im, b.re)};
    }
    // Times the table's twiddle (cos, -sin); the inverse uses its conjugate.
    [[gnu::always_inline]] static C twiddle(C a, V wr, V wi) {
        if (Inverse)
            return {Ops::add(Ops::mul(a.re, wr), Ops::mul(a.im, wi)), Ops::sub(Ops::mul(a.im, wr), Ops::mul(a.re, wi))};
        return {Ops::sub(Ops::mul(a.re, wr), Ops::mul(a.im, wi)), Ops::add(Ops::mul(a.re, wi), Ops::mul(a.im, wr))};
    }

    // 4-point DFT of bit-reversed inputs p0..p3 (p1 holds x2, p2 holds x1).
    [[gnu::always_inline]] static void dft4(C p0, C p1, C p2, C p3, C* y) {
        const C s01 = cadd(p0, p1), d01 = csub(p0, p1), s23 = cadd(p2, p3), d23 = csub(p2, p3);
        y[0] = cadd(s01, s23);
        y[2] = csub(s01, s23);
        y[1] = subRotated(d01, d23);
        y[3] = addRotated(d01, d23);
    }

    // 8-point DFT of bit-reversed inputs p[0..7].
    [[gnu::always_inline]] static void dft8(const C* p, C* y) {
        C u[4], v[4];
        dft4(p[0], p[1], p[2], p[3], u);
        dft4(p[4], p[5], p[6], p[7], v);
        const V c = Ops::set1(kSqrtHalf);
        // v1 * exp(-+ i pi/4), v2 * (-+i), v3 * exp(-+ 3 i pi/4)
        C t1, t3;
        if (Inverse) {
            t1 = {Ops::mul(c, Ops::sub(v[1].re, v[1].im)), Ops::mul(c, Ops::add(v[1].re, v[1].im))};
            t3 = {Ops::mul(c, Ops::sub(Ops::sub(Ops::set1(0.0f), v[3].re), v[3].im)),
                  Ops::mul(c, Ops::sub(v[3].re, v[3].im))};
        } else {
            t1 = {Ops::mul(c, Ops::add(v[1].re, v[1].im)), Ops::mul(c, Ops::sub(v[1].im, v[1].re))};
            t3 = {Ops::mul(c, Ops::sub(v[3].im, v[3].re)),
                  Ops::mul(c, Ops::sub(Ops::sub(Ops::set1(0.0f), v[3].re), v[3].im))};
        }
        const C t2 = rotate(v[2]);
        y[0] = cadd(u[0], v[0]);
        y[4] = csub(u[0], v[0]);
        y[1] = cadd(u[1], t1);
        y[5] = csub(u[1], t1);
        y[2] = cadd(u[2], t2);
        y[6] = csub(u[2], t2);
        y[3] = cadd(u[3], t3);
        y[7] = csub(u[3], t3);
    }

    // Writes y[0..3] of four lanes as split blocks: lane l to block[l].
    [[gnu::always_inline]] static void storeGroupBlocks(float* work, const C* y, const int64_t* block) {
        V r0 = y[0].re, r1 = y[1].re, r2 = y[2].re, r3 = y[3].re;
        V i0 = y[0].im, i1 = y[1].im, i2 = y[2].im, i3 = y[3].im;
        Ops::transpose(r0, r1, r2, r3);
        Ops::transpose(i0, i1, i2, i3);
        float* p0 = work + 8 * block[0];
        float* p1 = work + 8 * block[1];
        float* p2 = work + 8 * block[2];
        float* p3 = work + 8 * block[3];
        Ops::store(p0, r0);
        Ops::store(p0 + 4, i0);
        Ops::store(p1, r1);
        Ops::store(p1 + 4, i1);
        Ops::store(p2, r2);
        Ops::store(p2 + 4, i2);
        Ops::store(p3, r3);
        Ops::store(p3 + 4, i3);
    }

    // One radix-4 stage of length 2^l on split blocks in work; the last stage
    // writes interleaved pairs to out (which may be work).
    template <bool Last>
    static void stage(float* work, float* out, int64_t n, int32_t l, const float* table) {
        const int64_t length = int64_t{1} << l, quarter = length / 4;
        const float* stageTable = table + radixStageOffset(l);
        for (int64_t base = 0; base < n; base += length) {
            const float* tw = stageTable;
            float* q0 = work + 2 * base;
            float* o0 = out + 2 * base;
            for (int64_t j = 0; j < quarter; j += 4, tw += 24, q0 += 8, o0 += 8) {
                float* q1 = q0 + 2 * quarter;
                float* q2 = q1 + 2 * quarter;
                float* q3 = q2 + 2 * quarter;
                const C a = {Ops::load(q0), Ops::load(q0 + 4)};
                const C c = twiddle({Ops::load(q1), Ops::load(q1 + 4)}, Ops::load(tw + 8), Ops::load(tw + 12));
                const C b = twiddle({Ops::load(q2), Ops::load(q2 + 4)}, Ops::load(tw), Ops::load(tw + 4));
                const C d = twiddle({Ops::load(q3), Ops::load(q3 + 4)}, Ops::load(tw + 16), Ops::load(tw + 20));
                const C sac = cadd(a, c), dac = csub(a, c), sbd = cadd(b, d), dbd = csub(b, d);
                const C y0 = cadd(sac, sbd), y2 = csub(sac, sbd);
                const C y1 = subRotated(dac, dbd), y3 = addRotated(dac, dbd);
                if constexpr (Last) {
                    Ops::storeComplex(o0, y0.re, y0.im);
                    Ops::storeComplex(o0 + 2 * quarter, y1.re, y1.im);
                    Ops::storeComplex(o0 + 4 * quarter, y2.re, y2.im);
                    Ops::storeComplex(o0 + 6 * quarter, y3.re, y3.im);
                } else {
                    Ops::store(q0, y0.re);
                    Ops::store(q0 + 4, y0.im);
                    Ops::store(q1, y1.re);
                    Ops::store(q1 + 4, y1.im);
                    Ops::store(q2, y2.re);
                    Ops::store(q2 + 4, y2.im);
                    Ops::store(q3, y3.re);
                    Ops::store(q3 + 4, y3.im);
                }
            }
        }
    }

    // The radix-4 stages of lengths 2^(firstOrder+2) .. 2^order on split
    // blocks in work; the last one writes interleaved pairs to out.
    static void stages(float* work, float* out, int32_t order, int32_t firstOrder, const float* table) {
        const int64_t n = int64_t{1} << order;
        for (int32_t l = firstOrder + 2; l < order; l += 2) stage<false>(work, work, n, l, table);
        stage<true>(work, out, n, order, table);
    }

    // Orders 0 to 3, one scalar lane: bit-reversed in[] to natural out[].
    static void smallScalar(const float* in, float* out, int32_t order) {
        using S = ScalarOps<Ops::kBuild + 100>;
        using P = Passes<S, Inverse>;
        const int64_t n = int64_t{1} << order;
        float re[8], im[8];
        for (int64_t i = 0; i < n; ++i) {
            re[i] = in[2 * i];
            im[i] = in[2 * i + 1];
        }
        auto lane = [](float x) { return ScalarVec{{x, 0.0f, 0.0f, 0.0f}}; };
        typename P::C p[8], y[8];
        for (int64_t i = 0; i < n; ++i) p[i] = {lane(re[i]), lane(im[i])};
        if (order == 3) {
            P::dft8(p, y);
        } else if (order == 2) {
            P::dft4(p[0], p[1], p[2], p[3], y);
        } else if (order == 1) {
            y[0] = P::cadd(p[0], p[1]);
            y[1] = P::csub(p[0], p[1]);
        } else {
            y[0] = p[0];
        }
        for (int64_t i = 0; i < n; ++i) {
            out[2 * i] = y[i].re.v[0];
            out[2 * i + 1] = y[i].im.v[0];
        }
    }

    // Bit-reversed data in place to the natural-order DFT of 2^order points.
    static void radixPasses(float* data, int32_t order, const float* table) {
        if (order <= 3) {
            smallScalar(data, data, order);
            return;
        }
        const int64_t n = int64_t{1} << order;
        const bool odd = order & 1;
        const int64_t group = odd ? 8 : 4;
        const int64_t groups = n / group;
        // Four consecutive groups per step: lane l holds group g + l.
        for (int64_t g = 0; g < groups; g += 4) {
            C p[8];
            for (int64_t half = 0; half < group / 4; ++half) {
                V re[4], im[4];
                for (int l = 0; l < 4; ++l) Ops::loadComplex(data + 2 * ((g + l) * group + 4 * half), re[l], im[l]);
                Ops::transpose(re[0], re[1], re[2], re[3]);
                Ops::transpose(im[0], im[1], im[2], im[3]);
                for (int t = 0; t < 4; ++t) p[4 * half + t] = {re[t], im[t]};
            }
            storeFirstPass(data, p, g, odd, [g](int l) { return g + l; });
        }
        stages(data, data, order, odd ? 3 : 2, table);
    }

    template <class GroupOf>
    [[gnu::always_inline]] static void storeFirstPass(float* work, const C* p, int64_t, bool odd, GroupOf groupOf) {
        C y[8];
        int64_t blocks[4];
        if (odd) {
            dft8(p, y);
            for (int l = 0; l < 4; ++l) blocks[l] = 2 * groupOf(l);
            storeGroupBlocks(work, y, blocks);
            for (int l = 0; l < 4; ++l) ++blocks[l];
            storeGroupBlocks(work, y + 4, blocks);
        } else {
            dft4(p[0], p[1], p[2], p[3], y);
            for (int l = 0; l < 4; ++l) blocks[l] = groupOf(l);
            storeGroupBlocks(work, y, blocks);
        }
    }

    // The whole transform from src (natural order) to dst (natural order),
    // the bit-reversed gathering fused with the first pass. When src is dst
    // the passes run in `buffer` (8 * 2^order bytes) and the last one writes
    // dst.
    static void medium(const float* src, float* dst, int32_t order, const float* table, const int32_t* bitReverse,
                       float* buffer) {
        if (order <= 3) {
            float tmp[16];
            const int64_t n = int64_t{1} << order;
            for (int64_t i = 0; i < n; ++i) {
                const int64_t r = reverseBits(i, order);
                tmp[2 * r] = src[2 * i];
                tmp[2 * r + 1] = src[2 * i + 1];
            }
            smallScalar(tmp, dst, order);
            return;
        }
        float* work = src == dst ? buffer : dst;
        if (order & 1)
            gatherFirstPass<true>(src, work, order, bitReverse);
        else
            gatherFirstPass<false>(src, work, order, bitReverse);
        stages(work, dst, order, (order & 1) ? 3 : 2, table);
    }

    // Bit-reversed gathering fused with the 4-point (even order) or 8-point
    // (odd order) butterflies. Lane l holds source index s + l, whose group
    // (of 4 or 8 bit-reversed points) is rev(s + l).
    template <bool Odd>
    static void gatherFirstPass(const float* src, float* work, int32_t order, const int32_t* bitReverse) {
        const int64_t n = int64_t{1} << order;
        constexpr int64_t group = Odd ? 8 : 4;
        const int64_t rows = n / group;  // a group's inputs lie this many points apart
        for (int64_t s = 0; s < rows; s += 4) {
            C p[group];
            const float* in = src + 2 * s;
            if constexpr (Odd) {
                // rows in bit-reversed order: 0, 4, 2, 6, 1, 5, 3, 7
                Ops::loadComplex(in, p[0].re, p[0].im);
                Ops::loadComplex(in + 8 * rows, p[1].re, p[1].im);
                Ops::loadComplex(in + 4 * rows, p[2].re, p[2].im);
                Ops::loadComplex(in + 12 * rows, p[3].re, p[3].im);
                Ops::loadComplex(in + 2 * rows, p[4].re, p[4].im);
                Ops::loadComplex(in + 10 * rows, p[5].re, p[5].im);
                Ops::loadComplex(in + 6 * rows, p[6].re, p[6].im);
                Ops::loadComplex(in + 14 * rows, p[7].re, p[7].im);
                C y[8];
                dft8(p, y);
                int64_t blocks[4];
                for (int l = 0; l < 4; ++l) blocks[l] = bitReverse[2 * (s + l)];  // 2 * group = block of y0..y3
                storeGroupBlocks(work, y, blocks);
                for (int l = 0; l < 4; ++l) ++blocks[l];
                storeGroupBlocks(work, y + 4, blocks);
            } else {
                Ops::loadComplex(in, p[0].re, p[0].im);
                Ops::loadComplex(in + 4 * rows, p[1].re, p[1].im);
                Ops::loadComplex(in + 2 * rows, p[2].re, p[2].im);
                Ops::loadComplex(in + 6 * rows, p[3].re, p[3].im);
                C y[4];
                dft4(p[0], p[1], p[2], p[3], y);
                int64_t blocks[4];
                for (int l = 0; l < 4; ++l) blocks[l] = bitReverse[s + l] / 2;
                storeGroupBlocks(work, y, blocks);
            }
        }
    }
};

// ---- Bit reversal, scaling ------------------------------------------------

// For 2^6 points and more the permutation runs in tiles of 8 x 8 points:
// with p = (a, c, d), a the top three bits, d the low three and c the rest,
// rev(p) = (rev3(d), rev(c), rev3(a)), so the tile of a middle value c (eight
// runs of eight neighbours) goes whole to the tile of rev(c), and both the
// reads and the writes stay within a few cache lines.
inline constexpr int64_t kRev3[8] = {0, 4, 2, 6, 1, 5, 3, 7};

// The 64 points of tile c, in the order they take in tile rev(c).
static inline void readTile(const float* src, float* tile, int64_t n, int64_t c) {
    const int64_t top = n / 8;
    for (int64_t a = 0; a < 8; ++a) {
        const float* in = src + 2 * (a * top + 8 * c);
        for (int64_t d = 0; d < 8; ++d) std::memcpy(tile + 2 * (8 * kRev3[d] + kRev3[a]), in + 2 * d, 8);
    }
}

static inline void writeTile(float* dst, const float* tile, int64_t n, int64_t c) {
    const int64_t top = n / 8;
    for (int64_t row = 0; row < 8; ++row) std::memcpy(dst + 2 * (row * top + 8 * c), tile + 16 * row, 64);
}

static inline void bitReverseCopy(const float* src, float* dst, int64_t n, const int32_t* table) {
    if (n < 4) {
        std::memcpy(dst, src, static_cast<std::size_t>(n) * 8);
        return;
    }
    const int64_t quarter = n / 4;
    if (n < 64) {
        for (int64_t k = 0; k < quarter; ++k) {
            const int64_t r = table[k] / 2;
            const float* in = src + 8 * k;
            float* out = dst + 2 * r;
            std::memcpy(out, in, 8);
            std::memcpy(out + 4 * quarter, in + 2, 8);
            std::memcpy(out + 2 * quarter, in + 4, 8);
            std::memcpy(out + 6 * quarter, in + 6, 8);
        }
        return;
    }
    float tile[128];
    for (int64_t c = 0; c < n / 64; ++c) {
        readTile(src, tile, n, c);
        writeTile(dst, tile, n, table[16 * c] / 2);  // rev(c) over the middle bits
    }
}

static inline void bitReverseInPlace(float* data, int64_t n, const int32_t* table) {
    if (n < 4) return;
    const int64_t quarter = n / 4;
    if (n < 64) {
        static constexpr int64_t rev2[4] = {0, 2, 1, 3};
        for (int64_t k = 0; k < quarter; ++k) {
            const int64_t r = table[k] / 2;
            for (int64_t t = 0; t < 4; ++t) {
                const int64_t p = 4 * k + t, q = rev2[t] * quarter + r;
                if (p < q) {
                    float a[2];
                    std::memcpy(a, data + 2 * p, 8);
                    std::memcpy(data + 2 * p, data + 2 * q, 8);
                    std::memcpy(data + 2 * q, a, 8);
                }
            }
        }
        return;
    }
    // Tiles c and rev(c) trade places; a self-reversed tile is permuted alone.
    float first[128], second[128];
    for (int64_t c = 0; c < n / 64; ++c) {
        const int64_t rc = table[16 * c] / 2;
        if (rc < c) continue;
        readTile(data, first, n, c);
        if (rc != c) {
            readTile(data, second, n, rc);
            writeTile(data, second, n, c);
        }
        writeTile(data, first, n, rc);
    }
}

template <class Ops>
void scale(float factor, float* data, int64_t count) {
    const typename Ops::V f = Ops::set1(factor);
    int64_t i = 0;
    for (; i + 4 <= count; i += 4) Ops::store(data + i, Ops::mul(Ops::load(data + i), f));
    for (; i < count; ++i) data[i] *= factor;
}

// ---- Real-spectrum recombination ------------------------------------------

// Generic layout: weight pairs (h_k, e_k) for k = 0 .. n/2 - 1.
static inline void recombineForwardPairs(float* z, int64_t n, const float* weights) {
    for (int64_t k = 1; 2 * k < n; ++k) {
        const int64_t j = n - k;
        const float h = weights[2 * k], e = weights[2 * k + 1];
        const float ar = z[2 * k], ai = z[2 * k + 1], br = z[2 * j], bi = z[2 * j + 1];
        const float d = ar - br, g = ai + bi;
        const float l = d * e + g * h, u = g * e - d * h;
        z[2 * k] = br + l;
        z[2 * k + 1] = u - bi;
        z[2 * j] = ar - l;
        z[2 * j + 1] = u - ai;
    }
    if (n >= 2) z[n + 1] = -z[n + 1];
}

static inline void recombineInversePairs(const float* x, float* y, int64_t n, const float* twiddles) {
    for (int64_t k = 1; 2 * k < n; ++k) {
        const int64_t j = n - k;
        const float wr = twiddles[2 * k], wi = twiddles[2 * k + 1];
        const float ar = x[2 * k], ai = x[2 * k + 1], br = x[2 * j], bi = x[2 * j + 1];
        const float sr = ar + br, si = ai - bi, dr = ar - br, di = ai + bi;
        const float l = dr * wi - di * wr, h = dr * wr + di * wi;
        y[2 * k] = sr + l;
        y[2 * k + 1] = si + h;
        y[2 * j] = sr - l;
        y[2 * j + 1] = h - si;
    }
    if (n >= 2) {
        y[n] = 2.0f * x[n];
        y[n + 1] = -2.0f * x[n + 1];
    }
}

// SIMD layout: k = 1 .. n/2 in groups of four (n >= 8). The group that
// reaches the middle bin treats it as its own partner, which with the exact
// table values cos = 0, sin = 1 there gives the middle bin's rule.
template <class Ops>
void recombineForwardGroups(float* z, int64_t n, const float* weights) {
    using V = typename Ops::V;
    for (int64_t k = 1; k <= n / 2; k += 4, weights += 8) {
        const int64_t j = n - k - 3;  // partners n-k .. n-k-3, stored from j up
        V ar, ai, br, bi;
        Ops::loadComplex(z + 2 * k, ar, ai);
        Ops::loadComplexReversed(z + 2 * j, br, bi);
        const V h = Ops::load(weights), e = Ops::load(weights + 4);
        const V d = Ops::sub(ar, br), g = Ops::add(ai, bi);
        const V l = Ops::add(Ops::mul(d, e), Ops::mul(g, h));
        const V u = Ops::sub(Ops::mul(g, e), Ops::mul(d, h));
        const V xr = Ops::add(br, l), xi = Ops::sub(u, bi);
        const V yr = Ops::sub(ar, l), yi = Ops::sub(u, ai);
        Ops::storeComplexReversed(z + 2 * j, yr, yi);
        Ops::storeComplex(z + 2 * k, xr, xi);
    }
}

template <class Ops>
void recombineInverseGroups(const float* x, float* y, int64_t n, const float* twiddles) {
    using V = typename Ops::V;
    for (int64_t k = 1; k <= n / 2; k += 4, twiddles += 8) {
        const int64_t j = n - k - 3;
        V ar, ai, br, bi;
        Ops::loadComplex(x + 2 * k, ar, ai);
        Ops::loadComplexReversed(x + 2 * j, br, bi);
        const V wr = Ops::load(twiddles), wi = Ops::load(twiddles + 4);
        const V sr = Ops::add(ar, br), si = Ops::sub(ai, bi), dr = Ops::sub(ar, br), di = Ops::add(ai, bi);
        const V l = Ops::sub(Ops::mul(dr, wi), Ops::mul(di, wr));
        const V h = Ops::add(Ops::mul(dr, wr), Ops::mul(di, wi));
        const V yr = Ops::sub(sr, l), yi = Ops::sub(h, si);
        Ops::storeComplexReversed(y + 2 * j, yr, yi);
        Ops::storeComplex(y + 2 * k, Ops::add(sr, l), Ops::add(si, h));
    }
}

}  // namespace primitives::fftcore
