// The plain C++ loops that the vector primitives are measured against,
// compiled in their own unit with the library's flags at the default x86-64
// target, so that the compiler sees nothing of the callers.
#pragma once

#include <cstdint>

namespace plain {

void set(float value, float* dst, int64_t n);
void mul(const float* a, const float* b, float* dst, int64_t n);
void addInPlace(const float* src, float* srcDst, int64_t n);
void mulConstInPlace(float value, float* srcDst, int64_t n);
float max(const float* src, int64_t n);
float min(const float* src, int64_t n);
float sum(const float* src, int64_t n);

}  // namespace plain
