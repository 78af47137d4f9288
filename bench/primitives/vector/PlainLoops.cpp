#include "PlainLoops.h"

namespace plain {

void set(float value, float* dst, int64_t n) {
    for (int64_t i = 0; i < n; ++i) dst[i] = value;
}

void mul(const float* a, const float* b, float* dst, int64_t n) {
    for (int64_t i = 0; i < n; ++i) dst[i] = a[i] * b[i];
}

void addInPlace(const float* src, float* srcDst, int64_t n) {
    for (int64_t i = 0; i < n; ++i) srcDst[i] += src[i];
}

void mulConstInPlace(float value, float* srcDst, int64_t n) {
    for (int64_t i = 0; i < n; ++i) srcDst[i] *= value;
}

float max(const float* src, int64_t n) {
    float r = src[0];
    for (int64_t i = 1; i < n; ++i) r = src[i] > r ? src[i] : r;
    return r;
}

float min(const float* src, int64_t n) {
    float r = src[0];
    for (int64_t i = 1; i < n; ++i) r = src[i] < r ? src[i] : r;
    return r;
}

float sum(const float* src, int64_t n) {
    float s = 0.0f;
    for (int64_t i = 0; i < n; ++i) s += src[i];
    return s;
}

}  // namespace plain
