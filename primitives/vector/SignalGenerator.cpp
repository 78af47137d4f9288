#include "primitives/vector/SignalGenerator.h"

#include <emmintrin.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace primitives {
namespace {

// ---- Uniform noise ----

// The congruential step G(x) = 69069 x + 1013904243 (mod 2^32), and G twice.
constexpr uint32_t congruential(uint32_t x) { return 69069u * x + 1013904243u; }
constexpr uint32_t kTwiceMultiplier = 475559465u;
constexpr uint32_t kTwiceIncrement = 924302730u;
static_assert(congruential(congruential(12345u)) == kTwiceMultiplier * 12345u + kTwiceIncrement);

// Maps the signed 32-bit output onto the range: C is seven units in the
// last place above 2^-32.
constexpr double kScale = 2.3283064365387e-10;

// The whole generator state, rebuilt from the seed word at every call: three
// lagged words (oldest first), the borrow and the congruential word.
class NoiseGenerator {
public:
    explicit NoiseGenerator(uint32_t seed)
        : l3_(congruential(congruential(seed))), l2_(congruential(seed)), l1_(seed) {}

    // The next lagged word x (subtract with borrow, lags 2 and 3).
    uint32_t nextLagged() {
        const uint32_t m = l2_ - l3_ - borrow_;
        borrow_ = static_cast<int32_t>(m) < 0 ? 1u : 0u;
        const uint32_t x = m - 18u * borrow_;
        l3_ = l2_;
        l2_ = l1_;
        l1_ = x;
        return x;
    }

    uint32_t& congruentialWord() { return d_; }

private:
    uint32_t l3_, l2_, l1_;
    uint32_t borrow_ = 1;
    uint32_t d_ = 1131199209u;
};

inline int32_t asSigned(uint32_t v) { return static_cast<int32_t>(v); }

PrimitiveStatus checkNoise(const float* dst, int32_t len, const uint32_t* pSeed) {
    if (dst == nullptr || pSeed == nullptr) return primitiveStatusNullPointer;
    if (len <= 0) return primitiveStatusBadSize;
    return primitiveStatusOk;
}

// Generic and SSE builds: midpoint and scale from the bounds in double, one
// value at a time.
PrimitiveStatus noiseSequential(float* dst, int32_t len, float low, float high, uint32_t* pSeed) {
    const PrimitiveStatus status = checkNoise(dst, len, pSeed);
    if (status != primitiveStatusOk) return status;
    const double mid = (static_cast<double>(low) + high) * 0.5;
    const double scale = (static_cast<double>(high) - low) * kScale;
    NoiseGenerator generator(*pSeed);
    uint32_t& d = generator.congruentialWord();
    uint32_t x = 0;
    for (int32_t i = 0; i < len; ++i) {
        x = generator.nextLagged();
        d = congruential(d);
        dst[i] = static_cast<float>(asSigned(x + d) * scale + mid);
    }
    // Only the last lagged word carries over to the next call.
    *pSeed = x;
    return primitiveStatusOk;
}

// SSE2-class kernel: two values per step, the two congruential words of a
// step advanced together (G and G twice). Gives the same integers.
[[gnu::always_inline]] inline void randUniformKernel(float* dst, int32_t len, double mid, double scale,
                                                     uint32_t* pSeed) {
    NoiseGenerator generator(*pSeed);
    uint32_t& d = generator.congruentialWord();
    const __m128d midLanes = _mm_set1_pd(mid);
    const __m128d scaleLanes = _mm_set1_pd(scale);
    uint32_t x = 0;
    int32_t i = 0;
    for (; i + 2 <= len; i += 2) {
        const uint32_t x0 = generator.nextLagged();
        x = generator.nextLagged();
        const uint32_t d0 = congruential(d);
        d = kTwiceMultiplier * d + kTwiceIncrement;
        const __m128d v = _mm_cvtepi32_pd(_mm_setr_epi32(asSigned(x0 + d0), asSigned(x + d), 0, 0));
        const __m128 values = _mm_cvtpd_ps(_mm_add_pd(_mm_mul_pd(v, scaleLanes), midLanes));
        _mm_storel_pi(reinterpret_cast<__m64*>(dst + i), values);
    }
    if (i < len) {
        x = generator.nextLagged();
        d = congruential(d);
        dst[i] = static_cast<float>(asSigned(x + d) * scale + mid);
    }
    *pSeed = x;
}

void randUniformKernel_sse2(float* dst, int32_t len, double mid, double scale, uint32_t* pSeed) {
    randUniformKernel(dst, len, mid, scale, pSeed);
}

__attribute__((target("sse3"))) void randUniformKernel_sse3(float* dst, int32_t len, double mid, double scale,
                                                            uint32_t* pSeed) {
    randUniformKernel(dst, len, mid, scale, pSeed);
}

// ---- Tone ----

constexpr double kTwoPi = 6.283185307179586;
constexpr double kInverseTwoPi = 0.15915494309189535;
constexpr int32_t kToneBlock = 1024;

inline void storeFloat(float* p, float v) { std::memcpy(p, &v, sizeof v); }
inline float loadFloat(const float* p) {
    float v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

PrimitiveStatus checkTone(const float* dst, int32_t len, float magnitude, float rFreq, const float* pPhase) {
    if (pPhase == nullptr) return primitiveStatusNullPointer;
    if (!(magnitude > 0.0f)) return primitiveStatusBadToneMagnitude;
    if (!(rFreq >= 0.0f) || rFreq >= 0.5f) return primitiveStatusBadToneFrequency;
    const float phase = *pPhase;
    if (!(phase >= 0.0f) || static_cast<double>(phase) >= kTwoPi) return primitiveStatusBadTonePhase;
    if (dst == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    return primitiveStatusOk;
}

// The phase after the last sample, reduced to [0, 2 pi). A value that rounds
// up to 2 pi as a float would be refused by the next call, so it becomes 0,
// as any reduced phase outside the range does.
float nextPhase(float phase, double omega, int32_t len) {
    double p = static_cast<double>(phase) + omega * len;
    p -= std::floor(p * kInverseTwoPi) * kTwoPi;
    if (!(p >= 0.0) || p >= kTwoPi) p = 0.0;
    const float stored = static_cast<float>(p);
    return static_cast<double>(stored) >= kTwoPi ? 0.0f : stored;
}

// Every build with any hint but 1, and the generic build always: the first
// two samples by the runtime cosine, then y[n] = K2 y[n-2] - y[n-4] in double
// (K2 = 2 cos 2 omega), two samples per step.
void toneSequential(float* dst, int32_t len, double magnitude, double phase, double omega) {
    const double y0 = magnitude * std::cos(phase);
    storeFloat(dst, static_cast<float>(y0));
    if (len == 1) return;
    const double y1 = magnitude * std::cos(phase + omega);
    storeFloat(dst + 1, static_cast<float>(y1));
    if (len == 2) return;
    const double k1 = 2.0 * std::cos(omega);
    double y[4];  // y[n mod 4]
    y[0] = y0;
    y[1] = y1;
    y[2] = k1 * y1 - y0;
    storeFloat(dst + 2, static_cast<float>(y[2]));
    if (len == 3) return;
    y[3] = k1 * y[2] - y1;
    storeFloat(dst + 3, static_cast<float>(y[3]));
    const double k2 = k1 * k1 - 2.0;
    int32_t n = 4;
    for (; n + 1 < len; n += 2) {
        // y[n-4] and y[n-3] are overwritten by y[n] and y[n+1].
        y[0] = k2 * y[2] - y[0];
        y[1] = k2 * y[3] - y[1];
        storeFloat(dst + n, static_cast<float>(y[0]));
        storeFloat(dst + n + 1, static_cast<float>(y[1]));
        std::swap(y[0], y[2]);
        std::swap(y[1], y[3]);
    }
    if (n < len) storeFloat(dst + n, static_cast<float>(k2 * y[2] - y[0]));
}

// y[j] = k8 y[j-8] - y[j-16] in single precision for `count` samples from
// out, which has its 16 predecessors stored. Aligned blocks of eight go out
// with non-temporal stores; the lags of the block loop stay in registers, so
// nothing streamed is read back before the fence.
[[gnu::always_inline]] inline void toneRecurrence8Kernel(float* out, std::size_t count, float k8) {
    const auto single = [k8](float* p) { storeFloat(p, k8 * loadFloat(p - 8) - loadFloat(p - 16)); };
    const auto address = reinterpret_cast<std::uintptr_t>(out);
    if ((address & 3) == 0 && (address & 15) != 0) {
        const std::size_t head = (16 - (address & 15)) / 4;
        if (count > head) {
            for (std::size_t i = 0; i < head; ++i) single(out + i);
            out += head;
            count -= head;
        }
    }
    const bool stream = (reinterpret_cast<std::uintptr_t>(out) & 15) == 0;
    if (count >= 8) {
        const __m128 k = _mm_set1_ps(k8);
        __m128 lag16a = _mm_loadu_ps(out - 16), lag16b = _mm_loadu_ps(out - 12);
        __m128 lag8a = _mm_loadu_ps(out - 8), lag8b = _mm_loadu_ps(out - 4);
        for (; count >= 8; out += 8, count -= 8) {
            const __m128 a = _mm_sub_ps(_mm_mul_ps(k, lag8a), lag16a);
            const __m128 b = _mm_sub_ps(_mm_mul_ps(k, lag8b), lag16b);
            if (stream) {
                _mm_stream_ps(out, a);
                _mm_stream_ps(out + 4, b);
            } else {
                _mm_storeu_ps(out, a);
                _mm_storeu_ps(out + 4, b);
            }
            lag16a = lag8a, lag16b = lag8b;
            lag8a = a, lag8b = b;
        }
        if (stream) _mm_sfence();
    }
    // The last 1 to 7 samples as four, two and one.
    const __m128 k = _mm_set1_ps(k8);
    if (count >= 4) {
        _mm_storeu_ps(out, _mm_sub_ps(_mm_mul_ps(k, _mm_loadu_ps(out - 8)), _mm_loadu_ps(out - 16)));
        out += 4, count -= 4;
    }
    if (count >= 2) {
        const __m128 lag8 = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(out - 8)));
        const __m128 lag16 = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(out - 16)));
        _mm_storel_pi(reinterpret_cast<__m64*>(out), _mm_sub_ps(_mm_mul_ps(k, lag8), lag16));
        out += 2, count -= 2;
    }
    if (count != 0) single(out);
}

// Hint 1 in the SIMD builds: every 1024-sample block restarts from two
// direct cosines, continues by K1 up to its 16th sample and then by the
// lag-16 recurrence in float, so the error cannot grow over long vectors.
[[gnu::always_inline]] inline void toneBlocks(float* dst, int32_t len, double magnitude, double phase, double omega) {
    const double k1 = 2.0 * std::cos(omega);
    const double a = k1 * k1;
    const double b = a * (a - 4.0) + 2.0;
    const float k8 = static_cast<float>(b * b - 2.0);  // 2 cos 8 omega
    for (int32_t o = 0; o < len; o += kToneBlock) {
        const int32_t block = std::min(kToneBlock, len - o);
        float* out = dst + o;
        double previous = magnitude * std::cos(omega * o + phase);
        storeFloat(out, static_cast<float>(previous));
        if (block == 1) continue;
        double current = magnitude * std::cos(omega * (o + 1) + phase);
        storeFloat(out + 1, static_cast<float>(current));
        const int32_t direct = std::min(block, 16);
        for (int32_t j = 2; j < direct; ++j) {
            const double next = k1 * current - previous;
            storeFloat(out + j, static_cast<float>(next));
            previous = current;
            current = next;
        }
        if (block > 16) toneRecurrence8Kernel(out + 16, static_cast<std::size_t>(block - 16), k8);
    }
}

void toneBlock_sse(float* dst, int32_t len, double magnitude, double phase, double omega) {
    toneBlocks(dst, len, magnitude, phase, omega);
}
void toneBlock_sse2(float* dst, int32_t len, double magnitude, double phase, double omega) {
    toneBlocks(dst, len, magnitude, phase, omega);
}
__attribute__((target("sse3"))) void toneBlock_sse3(float* dst, int32_t len, double magnitude, double phase,
                                                    double omega) {
    toneBlocks(dst, len, magnitude, phase, omega);
}

using ToneBlocks = void(float*, int32_t, double, double, double);

// The phase is stored before any sample is written; the samples use the
// phase read at entry.
PrimitiveStatus tone(float* dst, int32_t len, float magnitude, float rFreq, float* pPhase, PrimitiveHint hint,
                     ToneBlocks* blocks) {
    const PrimitiveStatus status = checkTone(dst, len, magnitude, rFreq, pPhase);
    if (status != primitiveStatusOk) return status;
    const float phase = *pPhase;
    const double omega = kTwoPi * rFreq;
    *pPhase = nextPhase(phase, omega, len);
    if (blocks != nullptr && hint == primitiveHintFast) {
        blocks(dst, len, magnitude, phase, omega);
    } else {
        toneSequential(dst, len, magnitude, phase, omega);
    }
    return primitiveStatusOk;
}

}  // namespace

namespace generic {
PrimitiveStatus zaviRandUniform_Direct_32f(float* dst, int32_t len, float low, float high, uint32_t* pSeed) {
    return noiseSequential(dst, len, low, high, pSeed);
}
PrimitiveStatus zaviTone_Direct_32f(float* dst, int32_t len, float magnitude, float rFreq, float* pPhase,
                                    PrimitiveHint hint) {
    return tone(dst, len, magnitude, rFreq, pPhase, hint, nullptr);  // the hint is ignored
}
}  // namespace generic

namespace sse {
PrimitiveStatus zaviRandUniform_Direct_32f(float* dst, int32_t len, float low, float high, uint32_t* pSeed) {
    return noiseSequential(dst, len, low, high, pSeed);
}
PrimitiveStatus zaviTone_Direct_32f(float* dst, int32_t len, float magnitude, float rFreq, float* pPhase,
                                    PrimitiveHint hint) {
    return tone(dst, len, magnitude, rFreq, pPhase, hint, toneBlock_sse);
}
}  // namespace sse

namespace sse2 {
PrimitiveStatus zaviRandUniform_Direct_32f(float* dst, int32_t len, float low, float high, uint32_t* pSeed) {
    const PrimitiveStatus status = checkNoise(dst, len, pSeed);
    if (status != primitiveStatusOk) return status;
    randUniformKernel_sse2(dst, len, (static_cast<double>(low) + high) * 0.5,
                           (static_cast<double>(high) - low) * kScale, pSeed);
    return primitiveStatusOk;
}
PrimitiveStatus zaviTone_Direct_32f(float* dst, int32_t len, float magnitude, float rFreq, float* pPhase,
                                    PrimitiveHint hint) {
    return tone(dst, len, magnitude, rFreq, pPhase, hint, toneBlock_sse2);
}
}  // namespace sse2

namespace sse3 {
// Here the sum and difference of the bounds are rounded to float first.
__attribute__((target("sse3"))) PrimitiveStatus zaviRandUniform_Direct_32f(float* dst, int32_t len, float low,
                                                                           float high, uint32_t* pSeed) {
    const PrimitiveStatus status = checkNoise(dst, len, pSeed);
    if (status != primitiveStatusOk) return status;
    const float sum = low + high;
    const float range = high - low;
    randUniformKernel_sse3(dst, len, static_cast<double>(sum) * 0.5, static_cast<double>(range) * kScale, pSeed);
    return primitiveStatusOk;
}
__attribute__((target("sse3"))) PrimitiveStatus zaviTone_Direct_32f(float* dst, int32_t len, float magnitude,
                                                                    float rFreq, float* pPhase, PrimitiveHint hint) {
    return tone(dst, len, magnitude, rFreq, pPhase, hint, toneBlock_sse3);
}
}  // namespace sse3

}  // namespace primitives
