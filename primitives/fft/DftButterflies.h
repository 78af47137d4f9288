// The butterflies of the mixed-radix DFT (decimation in time over a factor
// plan), in plain single precision; every build runs these.
//
// Complex data are interleaved pairs; counts, strides and offsets below are
// in complex values for complex data and in floats for real data.
//
//   first stage   reads the input through the plan's reorder index at a
//                 stride, computes untwiddled DFTs of the residual radix and
//                 writes them one after another;
//   pass          combines f transforms of length m (each block holds them
//                 one after another) into one of length f m, multiplying by
//                 the stage's twiddles first. Complex passes may run in place.
//
// A real-input transform keeps every intermediate as a half spectrum of odd
// length L: X0, Re X1, Im X1, ..., Re Xh, Im Xh (h = (L - 1) / 2), which is
// the Perm order of an odd length. Real passes are out of place.
//
// Twiddle rows (one per position k of a pass): f - 1 pairs W^(l k) for
// l = 1 .. f - 1 when f <= 5, f pairs for l = 0 .. f - 1 above. Roots of a
// radix f above 5: f pairs (cos 2 pi q / f, -sin 2 pi q / f).
#pragma once

#include <bit>
#include <cstdint>

namespace primitives::dft {

struct Cx {
    float re, im;
};

inline Cx loadCx(const float* p) { return {p[0], p[1]}; }
inline void storeCx(float* p, Cx c) {
    p[0] = c.re;
    p[1] = c.im;
}
inline Cx operator+(Cx a, Cx b) { return {a.re + b.re, a.im + b.im}; }
inline Cx operator-(Cx a, Cx b) { return {a.re - b.re, a.im - b.im}; }
inline Cx operator*(float s, Cx a) { return {s * a.re, s * a.im}; }
inline Cx times(Cx a, Cx b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }

inline constexpr float kSin60Negated = -0.8660254f;  // -sin(pi/3)
inline constexpr float kCos72 = 0.309017f;           // cos(2 pi/5)
inline constexpr float kCos36 = 0.809017f;           // -cos(4 pi/5)
inline constexpr float kSin72 = 0.95105654f;         // sin(2 pi/5)
inline constexpr float kSin36 = 0.58778524f;         // sin(4 pi/5)
static_assert(std::bit_cast<uint32_t>(kSin60Negated) == 0xBF5DB3D7u);
static_assert(std::bit_cast<uint32_t>(kCos72) == 0x3E9E377Au);
static_assert(std::bit_cast<uint32_t>(-kCos36) == 0xBF4F1BBDu);
static_assert(std::bit_cast<uint32_t>(kSin72) == 0x3F737871u);
static_assert(std::bit_cast<uint32_t>(-kSin36) == 0xBF167918u);

// ---- Butterflies on f values in y, results in y ---------------------------

inline void butterfly2(Cx* y) {
    const Cx a = y[0], b = y[1];
    y[0] = a + b;
    y[1] = a - b;
}

inline void butterfly3(Cx* y) {
    const Cx t = y[1] + y[2];
    const Cx a = y[0] - 0.5f * t;
    const Cx b = kSin60Negated * (y[1] - y[2]);
    y[0] = y[0] + t;
    y[1] = {a.re - b.im, a.im + b.re};
    y[2] = {a.re + b.im, a.im - b.re};
}

inline void butterfly4(Cx* y) {
    const Cx t0 = y[0] + y[2], t1 = y[0] - y[2], t2 = y[1] + y[3], t3 = y[1] - y[3];
    y[0] = t0 + t2;
    y[2] = t0 - t2;
    y[1] = {t1.re + t3.im, t1.im - t3.re};
    y[3] = {t1.re - t3.im, t1.im + t3.re};
}

inline void butterfly5(Cx* y) {
    const Cx a1 = y[1] + y[4], b1 = y[1] - y[4], a2 = y[2] + y[3], b2 = y[2] - y[3];
    const Cx p1 = (y[0] + kCos72 * a1) - kCos36 * a2;
    const Cx q1 = kSin72 * b1 + kSin36 * b2;
    const Cx p2 = (y[0] - kCos36 * a1) + kCos72 * a2;
    const Cx q2 = kSin36 * b1 - kSin72 * b2;
    y[0] = (y[0] + a1) + a2;
    y[1] = {p1.re + q1.im, p1.im - q1.re};
    y[4] = {p1.re - q1.im, p1.im + q1.re};
    y[2] = {p2.re + q2.im, p2.im - q2.re};
    y[3] = {p2.re - q2.im, p2.im + q2.re};
}

// An odd factor f by symmetric pairs. get(l) gives input l, put(j, X) takes
// output j; every input is read before the first output is written. scratch
// holds (f - 1) / 2 groups of four floats.
template <class Get, class Put>
inline void butterflyOdd(int64_t f, const float* roots, float* scratch, Get get, Put put) {
    const Cx y0 = get(0);
    Cx x0 = y0;
    const int64_t h = (f - 1) / 2;
    for (int64_t p = 1; p <= h; ++p) {
        const Cx a = get(p), b = get(f - p);
        const Cx s = a + b, d = a - b;
        float* g = scratch + 4 * (p - 1);
        g[0] = s.re;
        g[1] = s.im;
        g[2] = d.re;
        g[3] = d.im;
        x0 = x0 + s;
    }
    for (int64_t j = 1; j <= h; ++j) {
        float r = y0.re, i = y0.im, u = 0.0f, v = 0.0f;
        for (int64_t p = 1, q = 0; p <= h; ++p) {
            q += j;
            if (q >= f) q -= f;
            const float c = roots[2 * q], s = roots[2 * q + 1];
            const float* g = scratch + 4 * (p - 1);
            r += c * g[0];
            i += c * g[1];
            u += s * g[3];
            v += s * g[2];
        }
        put(j, Cx{r - u, i + v});
        put(f - j, Cx{r + u, i - v});
    }
    put(0, x0);
}

// ---- Real butterflies: f reals to the half spectrum of f points -----------

inline void realButterfly3(const float* x, float* out) {
    const float t = x[1] + x[2];
    out[0] = x[0] + t;
    out[1] = x[0] - 0.5f * t;
    out[2] = kSin60Negated * (x[1] - x[2]);
}

inline void realButterfly5(const float* x, float* out) {
    const float a1 = x[1] + x[4], b1 = x[1] - x[4], a2 = x[2] + x[3], b2 = x[2] - x[3];
    out[0] = (x[0] + a1) + a2;
    out[1] = (x[0] + kCos72 * a1) - kCos36 * a2;
    out[2] = -(kSin72 * b1 + kSin36 * b2);
    out[3] = (x[0] - kCos36 * a1) + kCos72 * a2;
    out[4] = kSin72 * b2 - kSin36 * b1;
}

// scratch holds (f - 1) / 2 pairs of floats. put(j, re, im) takes bin j of
// the half spectrum (im unused for bin 0); every input is read first.
template <class Get, class Put>
inline void realButterflyOdd(int64_t f, const float* roots, float* scratch, Get get, Put put) {
    const float x0 = get(0);
    float sum = x0;
    const int64_t h = (f - 1) / 2;
    for (int64_t p = 1; p <= h; ++p) {
        const float a = get(p), b = get(f - p);
        scratch[2 * (p - 1)] = a + b;
        scratch[2 * (p - 1) + 1] = a - b;
        sum += a + b;
    }
    for (int64_t j = 1; j <= h; ++j) {
        float re = x0, im = 0.0f;
        for (int64_t p = 1, q = 0; p <= h; ++p) {
            q += j;
            if (q >= f) q -= f;
            re += roots[2 * q] * scratch[2 * (p - 1)];
            im += roots[2 * q + 1] * scratch[2 * (p - 1) + 1];
        }
        put(j, re, im);
    }
    put(0, sum, 0.0f);
}

// ---- Complex first stages and passes --------------------------------------

// Block b reads from src + reorder[b * count * F]; butterfly t takes the F
// values src[(t + l count) stride] and writes them at dst + (b count + t) F.
template <int F>
void firstStageFixed(const float* src, int64_t stride, float* dst, int64_t count, int64_t blocks,
                     const int32_t* reorder) {
    for (int64_t b = 0; b < blocks; ++b) {
        const float* base = src + 2 * static_cast<int64_t>(reorder[b * count * F]);
        for (int64_t t = 0; t < count; ++t) {
            Cx y[F];
            for (int l = 0; l < F; ++l) y[l] = loadCx(base + 2 * (t + l * count) * stride);
            if constexpr (F == 2) butterfly2(y);
            if constexpr (F == 3) butterfly3(y);
            if constexpr (F == 4) butterfly4(y);
            if constexpr (F == 5) butterfly5(y);
            float* out = dst + 2 * ((b * count + t) * F);
            for (int j = 0; j < F; ++j) storeCx(out + 2 * j, y[j]);
        }
    }
}

// One block of an odd residual f above 5.
inline void firstStageOdd(const float* src, int64_t stride, float* dst, int64_t f, int64_t count, const float* roots,
                          float* scratch) {
    for (int64_t t = 0; t < count; ++t) {
        float* out = dst + 2 * t * f;
        butterflyOdd(
            f, roots, scratch, [&](int64_t l) { return loadCx(src + 2 * (t + l * count) * stride); },
            [&](int64_t j, Cx x) { storeCx(out + 2 * j, x); });
    }
}

// Input l of position k, twiddled by row k (position 0 has none); rows of
// rowLength pairs whose first is l = firstL.
inline Cx twiddled(const float* in, int64_t m, int64_t k, int64_t l, const float* twiddles, int64_t rowLength,
                   int64_t firstL) {
    const Cx y = loadCx(in + 2 * (l * m + k));
    return k == 0 || l == 0 ? y : times(y, loadCx(twiddles + 2 * (k * rowLength + l - firstL)));
}

template <int F>
void passFixed(const float* src, float* dst, int64_t m, int64_t blocks, const float* twiddles) {
    for (int64_t b = 0; b < blocks; ++b) {
        const float* in = src + 2 * b * F * m;
        float* out = dst + 2 * b * F * m;
        for (int64_t k = 0; k < m; ++k) {
            Cx y[F];
            for (int l = 0; l < F; ++l) y[l] = twiddled(in, m, k, l, twiddles, F - 1, 1);
            if constexpr (F == 2) butterfly2(y);
            if constexpr (F == 3) butterfly3(y);
            if constexpr (F == 4) butterfly4(y);
            if constexpr (F == 5) butterfly5(y);
            for (int j = 0; j < F; ++j) storeCx(out + 2 * (j * m + k), y[j]);
        }
    }
}

// One block of an odd factor f above 5.
inline void passOdd(const float* in, float* out, int64_t f, int64_t m, const float* roots, const float* twiddles,
                    float* scratch) {
    for (int64_t k = 0; k < m; ++k) {
        butterflyOdd(
            f, roots, scratch, [&](int64_t l) { return twiddled(in, m, k, l, twiddles, f, 0); },
            [&](int64_t j, Cx x) { storeCx(out + 2 * (j * m + k), x); });
    }
}

// ---- Real first stages and passes -----------------------------------------

template <int F>
void realFirstStageFixed(const float* src, int64_t stride, float* dst, int64_t count, int64_t blocks,
                         const int32_t* reorder) {
    for (int64_t b = 0; b < blocks; ++b) {
        const float* base = src + reorder[b * count * F];
        for (int64_t t = 0; t < count; ++t) {
            float x[F];
            for (int l = 0; l < F; ++l) x[l] = base[(t + l * count) * stride];
            float* out = dst + (b * count + t) * F;
            if constexpr (F == 3) realButterfly3(x, out);
            if constexpr (F == 5) realButterfly5(x, out);
        }
    }
}

inline void realFirstStageOdd(const float* src, int64_t stride, float* dst, int64_t f, int64_t count,
                              const float* roots, float* scratch) {
    for (int64_t t = 0; t < count; ++t) {
        float* out = dst + t * f;
        realButterflyOdd(
            f, roots, scratch, [&](int64_t l) { return src[(t + l * count) * stride]; },
            [&](int64_t j, float re, float im) {
                if (j == 0) {
                    out[0] = re;
                } else {
                    out[2 * j - 1] = re;
                    out[2 * j] = im;
                }
            });
    }
}

// One block: f half spectra of odd length m at in + l m become one of length
// f m at out. Bin 0 of the inputs is real: a real butterfly gives the bins
// j m. Bin i of the inputs (1 <= i <= (m - 1) / 2) gives bins i + j m for
// j <= (f - 1) / 2 and, conjugated, j m - i for the rest.
template <class Complex, class Real>
inline void realPassBlock(const float* in, float* out, int64_t f, int64_t m, const float* twiddles,
                          int64_t rowLength, int64_t firstL, Complex complexButterfly, Real realButterfly) {
    realButterfly([&](int64_t l) { return in[l * m]; });
    const int64_t h = (f - 1) / 2;
    for (int64_t i = 1; 2 * i < m; ++i) {
        const float* row = twiddles + 2 * (i * rowLength - firstL);
        auto get = [&](int64_t l) {
            const Cx y = {in[l * m + 2 * i - 1], in[l * m + 2 * i]};
            return l == 0 ? y : times(y, loadCx(row + 2 * l));
        };
        auto put = [&](int64_t j, Cx x) {
            if (j <= h) {
                out[2 * (i + j * m) - 1] = x.re;
                out[2 * (i + j * m)] = x.im;
            } else {
                const int64_t bin = (f - j) * m - i;
                out[2 * bin - 1] = x.re;
                out[2 * bin] = -x.im;
            }
        };
        complexButterfly(get, put);
    }
}

// The real butterfly's bins j (of f points) go to bins j m of the output.
inline void spreadBins(const float* half, int64_t f, int64_t m, float* out) {
    out[0] = half[0];
    for (int64_t j = 1; 2 * j < f; ++j) {
        out[2 * j * m - 1] = half[2 * j - 1];
        out[2 * j * m] = half[2 * j];
    }
}

template <int F>
void realPassFixed(const float* src, float* dst, int64_t m, int64_t blocks, const float* twiddles) {
    for (int64_t b = 0; b < blocks; ++b) {
        const float* in = src + b * F * m;
        float* out = dst + b * F * m;
        realPassBlock(
            in, out, F, m, twiddles, F - 1, 1,
            [](auto get, auto put) {
                Cx y[F];
                for (int l = 0; l < F; ++l) y[l] = get(l);
                if constexpr (F == 3) butterfly3(y);
                if constexpr (F == 5) butterfly5(y);
                for (int j = 0; j < F; ++j) put(j, y[j]);
            },
            [&](auto get) {
                float x[F], half[F];
                for (int l = 0; l < F; ++l) x[l] = get(l);
                if constexpr (F == 3) realButterfly3(x, half);
                if constexpr (F == 5) realButterfly5(x, half);
                spreadBins(half, F, m, out);
            });
    }
}

// One block of an odd factor f above 5; scratch holds (f - 1) / 2 groups of
// four floats.
inline void realPassOdd(const float* in, float* out, int64_t f, int64_t m, const float* roots, const float* twiddles,
                        float* scratch) {
    realPassBlock(
        in, out, f, m, twiddles, f, 0,
        [&](auto get, auto put) { butterflyOdd(f, roots, scratch, get, put); },
        [&](auto get) {
            realButterflyOdd(f, roots, scratch, get, [&](int64_t j, float re, float im) {
                if (j == 0) {
                    out[0] = re;
                } else {
                    out[2 * j * m - 1] = re;
                    out[2 * j * m] = im;
                }
            });
        });
}

}  // namespace primitives::dft
