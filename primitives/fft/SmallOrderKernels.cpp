// Straight-line transforms of 1, 2, 4 and 8 points and the per-build rows
// that list them, and the 3-point transforms that the DFT's rows of lengths
// 1 to 4 add to them. Every kernel reads all its inputs before it writes, so the
// destination may be the source. The arithmetic is plain single precision,
// which is what every build computes; one function per kind serves all
// builds.
#include "primitives/fft/RealFftSpec.h"

namespace primitives {
namespace {

constexpr float kC = 0.70710677f;   // 0x3F3504F3, sqrt(0.5)
constexpr float kC2 = 1.4142135f;   // 0x3FB504F3, sqrt(2)

// The first stage of sums and differences is scaled as it is formed.
template <bool Scaled>
inline float first(float x, float factor) {
    if constexpr (Scaled) return x * factor;
    return x;
}

// ---- Complex, interleaved ------------------------------------------------

template <bool Scaled>
void complex1(const float* src, float* dst, float factor) {
    const float re = src[0], im = src[1];
    dst[0] = first<Scaled>(re, factor);
    dst[1] = first<Scaled>(im, factor);
}

template <bool Scaled>
void complex2(const float* src, float* dst, float factor) {
    const float ar = src[0], ai = src[1], br = src[2], bi = src[3];
    dst[0] = first<Scaled>(ar + br, factor);
    dst[1] = first<Scaled>(ai + bi, factor);
    dst[2] = first<Scaled>(ar - br, factor);
    dst[3] = first<Scaled>(ai - bi, factor);
}

template <bool Scaled, bool Inverse>
void complex4(const float* src, float* dst, float factor) {
    const float x0r = src[0], x0i = src[1], x1r = src[2], x1i = src[3];
    const float x2r = src[4], x2i = src[5], x3r = src[6], x3i = src[7];
    const float s02r = first<Scaled>(x0r + x2r, factor), s02i = first<Scaled>(x0i + x2i, factor);
    const float d02r = first<Scaled>(x0r - x2r, factor), d02i = first<Scaled>(x0i - x2i, factor);
    const float s13r = first<Scaled>(x1r + x3r, factor), s13i = first<Scaled>(x1i + x3i, factor);
    const float d13r = first<Scaled>(x1r - x3r, factor), d13i = first<Scaled>(x1i - x3i, factor);
    // Forward X1 = d02 - i d13, X3 = d02 + i d13; the inverse swaps the signs.
    const float sign = Inverse ? -1.0f : 1.0f;
    dst[0] = s02r + s13r;
    dst[1] = s02i + s13i;
    dst[4] = s02r - s13r;
    dst[5] = s02i - s13i;
    dst[2] = d02r + sign * d13i;
    dst[3] = d02i - sign * d13r;
    dst[6] = d02r - sign * d13i;
    dst[7] = d02i + sign * d13r;
}

template <bool Scaled, bool Inverse>
void complex8(const float* src, float* dst, float factor) {
    float x[16];
    for (int i = 0; i < 16; ++i) x[i] = src[i];
    auto re = [&](int k) { return x[2 * k]; };
    auto im = [&](int k) { return x[2 * k + 1]; };
    const float sign = Inverse ? -1.0f : 1.0f;
    // 4-point transform of the points a, a+2, a+4, a+6 (a = 0 even, 1 odd).
    auto half = [&](int a, float* r, float* i) {
        const float s0r = first<Scaled>(re(a) + re(a + 4), factor), s0i = first<Scaled>(im(a) + im(a + 4), factor);
        const float d0r = first<Scaled>(re(a) - re(a + 4), factor), d0i = first<Scaled>(im(a) - im(a + 4), factor);
        const float s2r = first<Scaled>(re(a + 2) + re(a + 6), factor), s2i = first<Scaled>(im(a + 2) + im(a + 6), factor);
        const float d2r = first<Scaled>(re(a + 2) - re(a + 6), factor), d2i = first<Scaled>(im(a + 2) - im(a + 6), factor);
        r[0] = s0r + s2r;
        i[0] = s0i + s2i;
        r[2] = s0r - s2r;
        i[2] = s0i - s2i;
        r[1] = d0r + sign * d2i;
        i[1] = d0i - sign * d2r;
        r[3] = d0r - sign * d2i;
        i[3] = d0i + sign * d2r;
    };
    float er[4], ei[4], orr[4], oi[4];
    half(0, er, ei);
    half(1, orr, oi);
    float tr[4], ti[4];
    tr[0] = orr[0];
    ti[0] = oi[0];
    if (Inverse) {
        tr[1] = kC * (orr[1] - oi[1]);
        ti[1] = kC * (orr[1] + oi[1]);
        tr[2] = -oi[2];
        ti[2] = orr[2];
        tr[3] = kC * (-orr[3] - oi[3]);
        ti[3] = kC * (orr[3] - oi[3]);
    } else {
        tr[1] = kC * (orr[1] + oi[1]);
        ti[1] = kC * (oi[1] - orr[1]);
        tr[2] = oi[2];
        ti[2] = -orr[2];
        tr[3] = -kC * (orr[3] - oi[3]);
        ti[3] = -kC * (orr[3] + oi[3]);
    }
    for (int k = 0; k < 4; ++k) {
        dst[2 * k] = er[k] + tr[k];
        dst[2 * k + 1] = ei[k] + ti[k];
        dst[2 * k + 8] = er[k] - tr[k];
        dst[2 * k + 9] = ei[k] - ti[k];
    }
}

// ---- Real, Perm spectrum --------------------------------------------------

template <bool Scaled>
void real1(const float* src, float* dst, float factor) {
    dst[0] = first<Scaled>(src[0], factor);
}

template <bool Scaled>
void real2(const float* src, float* dst, float factor) {
    const float x0 = src[0], x1 = src[1];
    dst[0] = first<Scaled>(x0 + x1, factor);
    dst[1] = first<Scaled>(x0 - x1, factor);
}

template <bool Scaled>
void realForward4(const float* src, float* dst, float factor) {
    const float x0 = src[0], x1 = src[1], x2 = src[2], x3 = src[3];
    const float s02 = first<Scaled>(x0 + x2, factor), s13 = first<Scaled>(x1 + x3, factor);
    const float d02 = first<Scaled>(x0 - x2, factor), d31 = first<Scaled>(x3 - x1, factor);
    dst[0] = s02 + s13;
    dst[1] = s02 - s13;
    dst[2] = d02;
    dst[3] = d31;
}

template <bool Scaled>
void realInverse4(const float* src, float* dst, float factor) {
    const float r0 = src[0], r2 = src[1], r1 = src[2], i1 = src[3];
    const float s = first<Scaled>(r0 + r2, factor), d = first<Scaled>(r0 - r2, factor);
    const float a = first<Scaled>(2.0f * r1, factor), b = first<Scaled>(2.0f * i1, factor);
    dst[0] = s + a;
    dst[1] = d - b;
    dst[2] = s - a;
    dst[3] = d + b;
}

template <bool Scaled>
void realForward8(const float* src, float* dst, float factor) {
    const float x0 = src[0], x1 = src[1], x2 = src[2], x3 = src[3];
    const float x4 = src[4], x5 = src[5], x6 = src[6], x7 = src[7];
    const float e = first<Scaled>(x0 + x4, factor), f = first<Scaled>(x2 + x6, factor);
    const float d0 = first<Scaled>(x0 - x4, factor), d2 = first<Scaled>(x2 - x6, factor);
    const float r = first<Scaled>(x1 + x5, factor), o = first<Scaled>(x3 + x7, factor);
    const float t = first<Scaled>(x1 - x5, factor), d3 = first<Scaled>(x3 - x7, factor);
    const float u = kC * (t - d3);
    const float v = -kC * (t + d3);
    dst[0] = (e + f) + (r + o);
    dst[1] = (e + f) - (r + o);
    dst[2] = d0 + u;
    dst[3] = v - d2;
    dst[4] = e - f;
    dst[5] = o - r;
    dst[6] = d0 - u;
    dst[7] = d2 + v;
}

template <bool Scaled>
void realInverse8(const float* src, float* dst, float factor) {
    const float r0 = src[0], r4 = src[1], r1 = src[2], i1 = src[3];
    const float r2 = src[4], i2 = src[5], r3 = src[6], i3 = src[7];
    const float s = first<Scaled>(r0 + r4, factor), d = first<Scaled>(r0 - r4, factor);
    const float e = first<Scaled>(2.0f * r2, factor), f = first<Scaled>(2.0f * i2, factor);
    const float q = first<Scaled>(r1 + r3, factor), h = first<Scaled>(i1 - i3, factor);
    const float t = first<Scaled>(r1 - r3, factor), u = first<Scaled>(i1 + i3, factor);
    const float g = d + f;
    const float v = -kC2 * (t + u);
    const float w = kC2 * (t - u);
    dst[0] = (s + e) + 2.0f * q;
    dst[4] = (s + e) - 2.0f * q;
    dst[2] = (s - e) - 2.0f * h;
    dst[6] = (s - e) + 2.0f * h;
    dst[3] = g + v;
    dst[7] = g - v;
    dst[1] = (d - f) + w;
    dst[5] = (d - f) - w;
}

// ---- Three points, for the DFT of lengths 1 to 4 --------------------------

constexpr float kHalf = -0.5f;
constexpr float kSin60 = 0.8660254f;  // sqrt(3)/2 as a float

// X1 = c - i s d and X2 = c + i s d forward; the inverse swaps them.
template <bool Scaled, bool Inverse>
void complex3(const float* src, float* dst, float factor) {
    const float z0r = first<Scaled>(src[0], factor), z0i = first<Scaled>(src[1], factor);
    const float tr = first<Scaled>(src[2] + src[4], factor), ti = first<Scaled>(src[3] + src[5], factor);
    const float dr = first<Scaled>(src[2] - src[4], factor), di = first<Scaled>(src[3] - src[5], factor);
    const float cr = z0r + tr * kHalf, ci = z0i + ti * kHalf;
    const float sign = Inverse ? -1.0f : 1.0f;
    const float er = sign * (kSin60 * di), ei = sign * (kSin60 * dr);
    dst[0] = z0r + tr;
    dst[1] = z0i + ti;
    dst[2] = cr + er;
    dst[3] = ci - ei;
    dst[4] = cr - er;
    dst[5] = ci + ei;
}

// Perm order of three points: R(0), R(1), I(1).
template <bool Scaled>
void realForward3(const float* src, float* dst, float factor) {
    const float x0 = first<Scaled>(src[0], factor);
    const float t = first<Scaled>(src[1] + src[2], factor), d = first<Scaled>(src[1] - src[2], factor);
    dst[0] = x0 + t;
    dst[1] = x0 + t * kHalf;
    dst[2] = -kSin60 * d;
}

template <bool Scaled>
void realInverse3(const float* src, float* dst, float factor) {
    const float r0 = first<Scaled>(src[0], factor), r1 = first<Scaled>(src[1], factor);
    const float i1 = first<Scaled>(src[2], factor);
    const float c = r0 - r1;
    const float e = -2.0f * kSin60 * i1;
    dst[0] = r0 + 2.0f * r1;
    dst[1] = c + e;
    dst[2] = c - e;
}

template <void (*Kernel)(const float*, float*, float)>
void unscaled(const float* src, float* dst) {
    Kernel(src, dst, 1.0f);
}

constexpr SmallOrderKernelTable kernelRows = {
    {unscaled<complex1<false>>, unscaled<complex2<false>>, unscaled<complex4<false, false>>,
     unscaled<complex8<false, false>>},
    {complex1<true>, complex2<true>, complex4<true, false>, complex8<true, false>},
    {unscaled<complex1<false>>, unscaled<complex2<false>>, unscaled<complex4<false, true>>,
     unscaled<complex8<false, true>>},
    {complex1<true>, complex2<true>, complex4<true, true>, complex8<true, true>},
    {unscaled<real1<false>>, unscaled<real2<false>>, unscaled<realForward4<false>>, unscaled<realForward8<false>>},
    {real1<true>, real2<true>, realForward4<true>, realForward8<true>},
    {unscaled<real1<false>>, unscaled<real2<false>>, unscaled<realInverse4<false>>, unscaled<realInverse8<false>>},
    {real1<true>, real2<true>, realInverse4<true>, realInverse8<true>},
};

constexpr SmallLengthKernelTable lengthRows = {
    {unscaled<complex1<false>>, unscaled<complex2<false>>, unscaled<complex3<false, false>>,
     unscaled<complex4<false, false>>},
    {complex1<true>, complex2<true>, complex3<true, false>, complex4<true, false>},
    {unscaled<complex1<false>>, unscaled<complex2<false>>, unscaled<complex3<false, true>>,
     unscaled<complex4<false, true>>},
    {complex1<true>, complex2<true>, complex3<true, true>, complex4<true, true>},
    {unscaled<real1<false>>, unscaled<real2<false>>, unscaled<realForward3<false>>, unscaled<realForward4<false>>},
    {real1<true>, real2<true>, realForward3<true>, realForward4<true>},
    {unscaled<real1<false>>, unscaled<real2<false>>, unscaled<realInverse3<false>>, unscaled<realInverse4<false>>},
    {real1<true>, real2<true>, realInverse3<true>, realInverse4<true>},
};

}  // namespace

const SmallOrderKernelTable smallOrderKernels_generic = kernelRows;
const SmallOrderKernelTable smallOrderKernels_sse = kernelRows;
const SmallOrderKernelTable smallOrderKernels_sse2 = kernelRows;
const SmallOrderKernelTable smallOrderKernels_sse3 = kernelRows;

const SmallLengthKernelTable smallLengthKernels_generic = lengthRows;
const SmallLengthKernelTable smallLengthKernels_sse = lengthRows;
const SmallLengthKernelTable smallLengthKernels_sse2 = lengthRows;
const SmallLengthKernelTable smallLengthKernels_sse3 = lengthRows;

}  // namespace primitives
