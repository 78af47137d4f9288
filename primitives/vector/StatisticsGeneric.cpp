// The generic build's statistics: one scalar pass; the sum keeps two double
// partial sums (even and odd positions).
#include "primitives/core/BuildSupport.h"
#include "primitives/vector/StatisticsEntries.h"
#include "primitives/vector/VectorBuilds.h"

namespace primitives {
namespace {

// r := x only if x > r: an unordered pair or an equal one keeps r.
inline float maxStep(float r, float x) { return x > r ? x : r; }
// r := r if r <= x, else x: an unordered pair takes x.
inline float minStep(float r, float x) { return r <= x ? r : x; }

template <float (*step)(float, float)>
float scan(const float* src, int32_t len) {
    float r = loadFloat(src);
    for (int32_t i = 0; i < len; ++i) r = step(r, loadFloat(src + i));
    return r;
}

float maxGeneric(const float* src, int32_t len) { return scan<maxStep>(src, len); }
float minGeneric(const float* src, int32_t len) { return scan<minStep>(src, len); }

void minMaxGeneric(const float* src, int32_t len, float& min, float& max) {
    min = max = loadFloat(src);
    for (int32_t i = 0; i < len; ++i) {
        const float x = loadFloat(src + i);
        min = minStep(min, x);
        max = maxStep(max, x);
    }
}

template <bool (*takes)(float, float)>
statistics::Extreme indexedScan(const float* src, int32_t len) {
    statistics::Extreme e{loadFloat(src), 0};
    for (int32_t i = 1; i < len; ++i) statistics::indexedStep<takes>(e, loadFloat(src + i), i);
    return e;
}

// Even positions go to one partial sum, odd ones to the other, while at
// least 4 elements remain; the last 0 to 3 are added to their total.
float sumGeneric(const float* src, int32_t len, int32_t /*hint*/) {
    double even = 0.0;
    double odd = 0.0;
    int32_t i = 0;
    for (; len - i >= 4; i += 4) {
        even += loadFloat(src + i);
        odd += loadFloat(src + i + 1);
        even += loadFloat(src + i + 2);
        odd += loadFloat(src + i + 3);
    }
    double sum = even + odd;
    for (; i < len; ++i) sum += loadFloat(src + i);
    return static_cast<float>(sum);
}

}  // namespace

namespace generic {

PrimitiveStatus zaviMax_32f(const float* src, int32_t len, float* pMax) {
    return statistics::oneValue<maxGeneric>(src, len, pMax);
}
PrimitiveStatus zaviMin_32f(const float* src, int32_t len, float* pMin) {
    return statistics::oneValue<minGeneric>(src, len, pMin);
}
PrimitiveStatus zaviMaxIndx_32f(const float* src, int32_t len, float* pMax, int32_t* pIndex) {
    return statistics::valueAndIndex<indexedScan<statistics::maxIndexTakes>, zaviMax_32f>(src, len, pMax, pIndex);
}
PrimitiveStatus zaviMinIndx_32f(const float* src, int32_t len, float* pMin, int32_t* pIndex) {
    return statistics::valueAndIndex<indexedScan<statistics::minIndexTakes>, zaviMin_32f>(src, len, pMin, pIndex);
}
PrimitiveStatus zaviMinMax_32f(const float* src, int32_t len, float* pMin, float* pMax) {
    return statistics::minAndMax<minMaxGeneric>(src, len, pMin, pMax);
}
PrimitiveStatus zaviSum_32f(const float* src, int32_t len, float* pSum, int32_t hint) {
    return statistics::sum<sumGeneric>(src, len, pSum, hint);
}

}  // namespace generic
}  // namespace primitives
