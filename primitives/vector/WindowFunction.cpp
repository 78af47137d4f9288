#include "primitives/vector/WindowFunction.h"

#include <emmintrin.h>
#include <xmmintrin.h>

#include <cmath>
#include <cstddef>

namespace primitives {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kFourPi = 12.566370614359172;

// Above these pair counts the weights are carried in double one pair at a
// time: a long single-precision accumulation would drift.
constexpr int32_t kBartlettBlockPairs = 640;
constexpr int32_t kCosineBlockPairs = 512;

// Checks of every window; a length of 3 is settled here for all of them:
// both ends become +0 and the middle stays.
enum class Checked { failed, done, proceed };

Checked checkWindow(float* vec, int32_t len, PrimitiveStatus& status) {
    status = vec == nullptr ? primitiveStatusNullPointer : len < 3 ? primitiveStatusBadSize : primitiveStatusOk;
    if (status != primitiveStatusOk) return Checked::failed;
    if (len == 3) {
        vec[0] = 0.0f;
        vec[2] = 0.0f;
        return Checked::done;
    }
    return Checked::proceed;
}

// Both elements of pair k times a double weight, each product rounded once.
inline void weighPair(float* vec, int32_t len, int32_t k, double w) {
    vec[k] = static_cast<float>(vec[k] * w);
    vec[len - 1 - k] = static_cast<float>(vec[len - 1 - k] * w);
}

// Four pairs at once: vec[k..k+3] by the weights in order, and the four
// elements ending at vec[len-1-k] by the weights reversed.
[[gnu::always_inline]] inline void weighFourPairs(float* vec, int32_t len, int32_t k, __m128 w) {
    float* front = vec + k;
    float* back = vec + len - 4 - k;
    _mm_storeu_ps(front, _mm_mul_ps(_mm_loadu_ps(front), w));
    _mm_storeu_ps(back, _mm_mul_ps(_mm_loadu_ps(back), _mm_shuffle_ps(w, w, _MM_SHUFFLE(0, 1, 2, 3))));
}

// Rotation recurrence of the generic builds: (cos k theta, sin k theta) from
// (1, 0), one rotation by theta per pair.
class Rotation {
public:
    explicit Rotation(int32_t len) : c1_(std::cos(kTwoPi / (len - 1))), s1_(std::sqrt(1.0 - c1_ * c1_)) {}
    double cosine() const { return c_; }
    void advance() {
        const double c = c1_ * c_ - s1_ * s_;
        s_ = c1_ * s_ + s1_ * c_;
        c_ = c;
    }

private:
    double c1_, s1_;
    double c_ = 1.0, s_ = 0.0;
};

// Generic Hann and Blackman: pairs up to the middle, then for an even
// length the two middle elements with the cosine after the last rotation.
template <typename Weight>
void rotationWindow(float* vec, int32_t len, Weight weight) {
    Rotation rotation(len);
    const int32_t pairs = (len - 1) / 2;
    for (int32_t k = 0; k < pairs; ++k) {
        weighPair(vec, len, k, weight(rotation.cosine()));
        rotation.advance();
    }
    if (pairs < len - 1 - pairs) weighPair(vec, len, pairs, weight(rotation.cosine()));
}

// u_k = 0.5 cos(k theta) by u_(k+1) = 2 cos(theta) u_k - u_(k-1) in double.
class HalfCosines {
public:
    explicit HalfCosines(int32_t len) : multiplier_(2.0 * std::cos(kTwoPi / (len - 1))) {
        previous_ = 0.5 * std::cos(kTwoPi / (len - 1));
    }
    // u_k, then moves to u_(k+1).
    double next() {
        const double u = current_;
        current_ = multiplier_ * current_ - previous_;
        previous_ = u;
        return u;
    }

private:
    double multiplier_;
    double previous_;
    double current_ = 0.5;
};

// ---- Bartlett ----

PrimitiveStatus bartlettGeneric(float* vec, int32_t len) {
    PrimitiveStatus status;
    if (checkWindow(vec, len, status) != Checked::proceed) return status;
    const double d = 2.0 / (len - 1);
    vec[0] = 0.0f;
    vec[len - 1] = 0.0f;
    double w = 0.0;  // by repeated addition, never k * d
    for (int32_t k = 1; k < len - 1 - k; ++k) {
        w += d;
        weighPair(vec, len, k, w);
    }
    return primitiveStatusOk;
}

// SIMD builds: weights from k = 0, so the ends are multiplied by 0.
[[gnu::always_inline]] inline void bartlettWindowKernel(float* vec, int32_t len, float d) {
    const int32_t pairs = len / 2;
    int32_t k = 0;
    double w = 0.0;
    if (pairs <= kBartlettBlockPairs) {
        __m128 weights = _mm_mul_ps(_mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f), _mm_set1_ps(d));
        const __m128 step = _mm_set1_ps(4.0f * d);
        for (; k + 4 <= pairs; k += 4) {
            weighFourPairs(vec, len, k, weights);
            weights = _mm_add_ps(weights, step);
        }
        w = _mm_cvtss_f32(weights);  // the first weight of the next block
    }
    for (; k < pairs; ++k) {
        weighPair(vec, len, k, w);
        w += d;
    }
}

template <void (*Kernel)(float*, int32_t, float)>
PrimitiveStatus bartlettSimd(float* vec, int32_t len) {
    PrimitiveStatus status;
    if (checkWindow(vec, len, status) != Checked::proceed) return status;
    Kernel(vec, len, static_cast<float>(2.0 / (len - 1)));
    return primitiveStatusOk;
}

void bartlettWindowKernel_sse(float* vec, int32_t len, float d) { bartlettWindowKernel(vec, len, d); }
void bartlettWindowKernel_sse2(float* vec, int32_t len, float d) { bartlettWindowKernel(vec, len, d); }
__attribute__((target("sse3"))) void bartlettWindowKernel_sse3(float* vec, int32_t len, float d) {
    bartlettWindowKernel(vec, len, d);
}

// ---- Hann ----

PrimitiveStatus hannGeneric(float* vec, int32_t len) {
    PrimitiveStatus status;
    if (checkWindow(vec, len, status) != Checked::proceed) return status;
    rotationWindow(vec, len, [](double c) { return (1.0 - c) * 0.5; });
    return primitiveStatusOk;
}

// SSE build: three-term recurrence; weights 0.5 - u in float for blocks of
// four pairs, in double for the rest and for long windows.
void hannWindowKernel_sse(float* vec, int32_t len) {
    const int32_t pairs = len / 2;
    HalfCosines u(len);
    int32_t k = 0;
    if (pairs <= kCosineBlockPairs) {
        alignas(16) float buffered[4];
        for (; k + 4 <= pairs; k += 4) {
            for (float& value : buffered) value = static_cast<float>(u.next());
            weighFourPairs(vec, len, k, _mm_sub_ps(_mm_set1_ps(0.5f), _mm_load_ps(buffered)));
        }
        for (int32_t j = 0; k < pairs; ++k, ++j) {
            buffered[j] = static_cast<float>(u.next());
            weighPair(vec, len, k, 0.5 - static_cast<double>(buffered[j]));
        }
        return;
    }
    for (; k < pairs; ++k) weighPair(vec, len, k, 0.5 - u.next());
}

// SSE2-class: a stride-two recurrence u_(k+4) = 2 cos(2 theta) u_(k+2) - u_k
// in double, two pairs per step with float weights.
[[gnu::always_inline]] inline void hannWindowKernelSse2Class(float* vec, int32_t len) {
    const double a = 0.5 * std::cos(kTwoPi / (len - 1));
    const double b = 2.0 * std::cos(kTwoPi / (len - 1));
    const double c = 2.0 * std::cos(kFourPi / (len - 1));
    const double u1 = b * 0.5 - a;
    const double u2 = b * u1 - 0.5;
    const double u3 = b * u2 - u1;
    __m128d current = _mm_setr_pd(0.5, u1);  // (u_k, u_k+1)
    __m128d ahead = _mm_setr_pd(u2, u3);     // (u_k+2, u_k+3)
    const __m128d half = _mm_set1_pd(0.5);
    const int32_t pairs = len / 2;
    int32_t k = 0;
    for (; k + 2 <= pairs; k += 2) {
        const __m128 w = _mm_cvtpd_ps(_mm_sub_pd(half, current));  // (w_k, w_k+1, 0, 0)
        const __m128 front = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(vec + k)));
        _mm_storel_pi(reinterpret_cast<__m64*>(vec + k), _mm_mul_ps(front, w));
        float* backPair = vec + len - 2 - k;  // elements len-2-k, len-1-k
        const __m128 back = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(backPair)));
        _mm_storel_pi(reinterpret_cast<__m64*>(backPair), _mm_mul_ps(back, _mm_shuffle_ps(w, w, _MM_SHUFFLE(3, 2, 0, 1))));
        const __m128d next = _mm_sub_pd(_mm_mul_pd(_mm_set1_pd(c), ahead), current);
        current = ahead;
        ahead = next;
    }
    if (k < pairs) {
        const float w = static_cast<float>(0.5 - _mm_cvtsd_f64(current));
        vec[k] *= w;
        vec[len - 1 - k] *= w;
    }
}

void hannWindowKernel_sse2(float* vec, int32_t len) { hannWindowKernelSse2Class(vec, len); }
__attribute__((target("sse3"))) void hannWindowKernel_sse3(float* vec, int32_t len) {
    hannWindowKernelSse2Class(vec, len);
}

template <void (*Kernel)(float*, int32_t)>
PrimitiveStatus hannSimd(float* vec, int32_t len) {
    PrimitiveStatus status;
    if (checkWindow(vec, len, status) != Checked::proceed) return status;
    Kernel(vec, len);
    return primitiveStatusOk;
}

// ---- Blackman ----

// SIMD builds: weights (alpha + 0.5) - u - 4 alpha u^2 with u = 0.5 cos(k theta),
// in float for blocks of four pairs; ends stored as +0 afterwards.
[[gnu::always_inline]] inline void blackmanWindowKernel(float* vec, int32_t len, float alpha) {
    const int32_t pairs = len / 2;
    HalfCosines u(len);
    int32_t k = 0;
    if (pairs <= kCosineBlockPairs) {
        const __m128 v = _mm_set1_ps(-(alpha * 4.0f));
        const __m128 w = _mm_set1_ps(alpha + 0.5f);
        alignas(16) float buffered[4];
        for (; k + 4 <= pairs; k += 4) {
            for (float& value : buffered) value = static_cast<float>(u.next());
            const __m128 uk = _mm_load_ps(buffered);
            weighFourPairs(vec, len, k, _mm_add_ps(_mm_mul_ps(_mm_mul_ps(uk, uk), v), _mm_sub_ps(w, uk)));
        }
    }
    const double a = alpha;
    for (; k < pairs; ++k) {
        const double uk = u.next();
        weighPair(vec, len, k, ((a + 0.5) - uk) - (a * 4.0) * (uk * uk));
    }
    vec[0] = 0.0f;
    vec[len - 1] = 0.0f;
}

void blackmanWindowKernel_sse(float* vec, int32_t len, float alpha) { blackmanWindowKernel(vec, len, alpha); }
void blackmanWindowKernel_sse2(float* vec, int32_t len, float alpha) { blackmanWindowKernel(vec, len, alpha); }
__attribute__((target("sse3"))) void blackmanWindowKernel_sse3(float* vec, int32_t len, float alpha) {
    blackmanWindowKernel(vec, len, alpha);
}

template <void (*Kernel)(float*, int32_t, float)>
PrimitiveStatus blackmanSimd(float* vec, int32_t len, float alpha) {
    PrimitiveStatus status;
    if (checkWindow(vec, len, status) != Checked::proceed) return status;
    Kernel(vec, len, alpha);
    return primitiveStatusOk;
}

}  // namespace

PrimitiveStatus blackmanWindowAlpha_generic(float* vec, int32_t len, float alpha) {
    PrimitiveStatus status;
    if (checkWindow(vec, len, status) != Checked::proceed) return status;
    const double a = (static_cast<double>(alpha) + 1.0) * 0.5;
    const double b = -(static_cast<double>(alpha) * 0.5);
    // Pair 0 gets a - 0.5 + b, exactly 0.
    rotationWindow(vec, len, [a, b](double c) { return (a + (-0.5) * c) + b * (c * (c + c) - 1.0); });
    return primitiveStatusOk;
}

PrimitiveStatus blackmanWindowAlpha_sse(float* vec, int32_t len, float alpha) {
    return blackmanSimd<blackmanWindowKernel_sse>(vec, len, alpha);
}

PrimitiveStatus blackmanWindowAlpha_sse2(float* vec, int32_t len, float alpha) {
    return blackmanSimd<blackmanWindowKernel_sse2>(vec, len, alpha);
}

__attribute__((target("sse3"))) PrimitiveStatus blackmanWindowAlpha_sse3(float* vec, int32_t len, float alpha) {
    return blackmanSimd<blackmanWindowKernel_sse3>(vec, len, alpha);
}

namespace generic {
PrimitiveStatus zaviWinBartlett_32f_I(float* vec, int32_t len) { return bartlettGeneric(vec, len); }
PrimitiveStatus zaviWinHann_32f_I(float* vec, int32_t len) { return hannGeneric(vec, len); }
PrimitiveStatus zaviWinBlackmanStd_32f_I(float* vec, int32_t len) {
    return blackmanWindowAlpha_generic(vec, len, kStandardBlackmanAlpha);
}
}  // namespace generic

namespace sse {
PrimitiveStatus zaviWinBartlett_32f_I(float* vec, int32_t len) {
    return bartlettSimd<bartlettWindowKernel_sse>(vec, len);
}
PrimitiveStatus zaviWinHann_32f_I(float* vec, int32_t len) { return hannSimd<hannWindowKernel_sse>(vec, len); }
PrimitiveStatus zaviWinBlackmanStd_32f_I(float* vec, int32_t len) {
    return blackmanWindowAlpha_sse(vec, len, kStandardBlackmanAlpha);
}
}  // namespace sse

namespace sse2 {
PrimitiveStatus zaviWinBartlett_32f_I(float* vec, int32_t len) {
    return bartlettSimd<bartlettWindowKernel_sse2>(vec, len);
}
PrimitiveStatus zaviWinHann_32f_I(float* vec, int32_t len) { return hannSimd<hannWindowKernel_sse2>(vec, len); }
PrimitiveStatus zaviWinBlackmanStd_32f_I(float* vec, int32_t len) {
    return blackmanWindowAlpha_sse2(vec, len, kStandardBlackmanAlpha);
}
}  // namespace sse2

namespace sse3 {
__attribute__((target("sse3"))) PrimitiveStatus zaviWinBartlett_32f_I(float* vec, int32_t len) {
    return bartlettSimd<bartlettWindowKernel_sse3>(vec, len);
}
__attribute__((target("sse3"))) PrimitiveStatus zaviWinHann_32f_I(float* vec, int32_t len) {
    return hannSimd<hannWindowKernel_sse3>(vec, len);
}
__attribute__((target("sse3"))) PrimitiveStatus zaviWinBlackmanStd_32f_I(float* vec, int32_t len) {
    return blackmanWindowAlpha_sse3(vec, len, kStandardBlackmanAlpha);
}
}  // namespace sse3

}  // namespace primitives
