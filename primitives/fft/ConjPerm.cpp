// zaviConjPerm_32fc: the full complex spectrum of a real signal from its
// Perm half, and the reverse-conjugate copy of the SSE2 and SSE3-class
// builds.
#include <emmintrin.h>
#include <pmmintrin.h>

#include <cstring>

#include "primitives/fft/RealFftSpec.h"
#include "primitives/vector/VectorBuilds.h"

namespace primitives {
namespace {

inline float flipSign(float x) {
    uint32_t bits;
    std::memcpy(&bits, &x, 4);
    bits ^= 0x80000000u;
    std::memcpy(&x, &bits, 4);
    return x;
}

// 16-byte stores where the destination allows it, pair by pair otherwise.
template <int Build>
inline void conjugateReverse(const float* src, float* dst, int32_t n) {
    const __m128 mask = _mm_castsi128_ps(_mm_set_epi32(static_cast<int32_t>(0x80000000u), 0,
                                                       static_cast<int32_t>(0x80000000u), 0));
    auto onePair = [&](int32_t j) {
        const float* s = src + 2 * (n - 1 - j);
        dst[2 * j] = s[0];
        dst[2 * j + 1] = flipSign(s[1]);
    };
    int32_t j = 0;
    const auto address = reinterpret_cast<uintptr_t>(dst);
    if (address % 8 == 0) {
        if (address % 16 != 0 && j < n) onePair(j++);
        for (; j + 6 <= n; j += 6) {
            for (int32_t p = 0; p < 6; p += 2) {
                // src pairs n-2-j-p and n-1-j-p, swapped, into dst[j+p], dst[j+p+1]
                const __m128 in = _mm_loadu_ps(src + 2 * (n - 2 - j - p));
                const __m128 swapped = _mm_shuffle_ps(in, in, _MM_SHUFFLE(1, 0, 3, 2));
                _mm_store_ps(dst + 2 * (j + p), _mm_xor_ps(swapped, mask));
            }
        }
    }
    for (; j < n; ++j) onePair(j);
}

template <int Build>
inline PrimitiveStatus conjPerm(const float* pSrc, Complex32f* pDstComplex, int32_t len) {
    if (pSrc == nullptr || pDstComplex == nullptr) return primitiveStatusNullPointer;
    if (len <= 0) return primitiveStatusBadSize;
    float* dst = reinterpret_cast<float*>(pDstComplex);
    const int32_t m = (len - 1) / 2;
    const bool even = len % 2 == 0;
    const float* bins = pSrc + (even ? 2 : 1);  // R(1), I(1), ...
    dst[0] = pSrc[0];
    dst[1] = 0.0f;
    if (even) {
        dst[len] = pSrc[1];
        dst[len + 1] = 0.0f;
    }
    if (Build == buildSse2 || Build == buildSse3) {
        if (m > 0) {
            if (Build == buildSse2) {
                copyBytesKernel_sse2(bins, dst + 2, 8 * static_cast<int64_t>(m));
                conjugateReverseCopy_sse2(bins, dst + 2 * (len - m), m);
            } else {
                copyBytesKernel_sse3(bins, dst + 2, 8 * static_cast<int64_t>(m));
                conjugateReverseCopy_sse3(bins, dst + 2 * (len - m), m);
            }
        }
        return primitiveStatusOk;
    }
    // One loop from bin m down; the mirror moves up from len - m.
    for (int32_t k = m, mirror = len - m; k >= 1; --k, ++mirror) {
        const float re = bins[2 * (k - 1)], im = bins[2 * (k - 1) + 1];
        dst[2 * k] = re;
        dst[2 * k + 1] = im;
        dst[2 * mirror] = re;
        // The generic build inverts the sign bit; the SSE build subtracts
        // from zero, which gives +0.0 for either zero.
        dst[2 * mirror + 1] = Build == buildSse ? 0.0f - im : flipSign(im);
    }
    return primitiveStatusOk;
}

}  // namespace

__attribute__((target("sse2"))) void conjugateReverseCopy_sse2(const float* src, float* dst, int32_t n) {
    conjugateReverse<buildSse2>(src, dst, n);
}

__attribute__((target("sse3"))) void conjugateReverseCopy_sse3(const float* src, float* dst, int32_t n) {
    conjugateReverse<buildSse3>(src, dst, n);
}

namespace generic {
PrimitiveStatus zaviConjPerm_32fc(const float* pSrc, Complex32f* pDst, int32_t len) {
    return conjPerm<buildGeneric>(pSrc, pDst, len);
}
}  // namespace generic

namespace sse {
__attribute__((target("sse"))) PrimitiveStatus zaviConjPerm_32fc(const float* pSrc, Complex32f* pDst, int32_t len) {
    return conjPerm<buildSse>(pSrc, pDst, len);
}
}  // namespace sse

namespace sse2 {
__attribute__((target("sse2"))) PrimitiveStatus zaviConjPerm_32fc(const float* pSrc, Complex32f* pDst, int32_t len) {
    return conjPerm<buildSse2>(pSrc, pDst, len);
}
}  // namespace sse2

namespace sse3 {
__attribute__((target("sse3"))) PrimitiveStatus zaviConjPerm_32fc(const float* pSrc, Complex32f* pDst, int32_t len) {
    return conjPerm<buildSse3>(pSrc, pDst, len);
}
}  // namespace sse3

}  // namespace primitives
