// The generic build's element-wise arithmetic: one pass, one correctly
// rounded single-precision operation per element.
#include "primitives/core/BuildSupport.h"
#include "primitives/vector/ArithmeticOps.h"
#include "primitives/vector/VectorBuilds.h"

namespace primitives {
namespace {

using namespace arithmetic;

template <typename Op>
void twoVectorsGeneric(const float* a, const float* b, float* dst, int64_t len) {
    for (int64_t i = 0; i < len; ++i) storeFloat(dst + i, Op::scalar(loadFloat(a + i), loadFloat(b + i)));
}

template <typename Op>
void twoVectorsInPlaceGeneric(const float* src, float* srcDst, int64_t len) {
    twoVectorsGeneric<Op>(src, srcDst, srcDst, len);
}

template <typename Op>
void constantGeneric(const float* src, float val, float* dst, int64_t len) {
    for (int64_t i = 0; i < len; ++i) storeFloat(dst + i, Op::scalar(loadFloat(src + i), val));
}

template <typename Op>
void constantInPlaceGeneric(float val, float* srcDst, int64_t len) {
    constantGeneric<Op>(srcDst, val, srcDst, len);
}

}  // namespace

namespace generic {

PrimitiveStatus zaviMul_32f(const float* src1, const float* src2, float* dst, int32_t len) {
    return twoVectors<twoVectorsGeneric<Multiply>>(src1, src2, dst, len);
}

PrimitiveStatus zaviMul_32f_I(const float* src, float* srcDst, int32_t len) {
    return twoVectorsInPlace<twoVectorsInPlaceGeneric<Multiply>>(src, srcDst, len);
}

PrimitiveStatus zaviAdd_32f_I(const float* src, float* srcDst, int32_t len) {
    return twoVectorsInPlace<twoVectorsInPlaceGeneric<Add>>(src, srcDst, len);
}

PrimitiveStatus zaviSub_32f(const float* src1, const float* src2, float* dst, int32_t len) {
    return twoVectors<twoVectorsGeneric<SubtractFirst>>(src1, src2, dst, len);
}

PrimitiveStatus zaviSub_32f_I(const float* src, float* srcDst, int32_t len) {
    return twoVectorsInPlace<twoVectorsInPlaceGeneric<SubtractFirst>>(src, srcDst, len);
}

PrimitiveStatus zaviMulC_32f(const float* src, float val, float* dst, int32_t len) {
    return mulConstOutOfPlace<dezoRide_32d, zaviZero_32f, constantGeneric<Multiply>>(src, val, dst, len);
}

PrimitiveStatus zaviMulC_32f_I(float val, float* srcDst, int32_t len) {
    return mulConstInPlace<zaviZero_32f, constantInPlaceGeneric<Multiply>>(val, srcDst, len);
}

PrimitiveStatus zaviAddC_32f(const float* src, float val, float* dst, int32_t len) {
    return addConstOutOfPlace<dezoRide_32d, constantGeneric<Add>>(src, val, dst, len);
}

PrimitiveStatus zaviAddC_32f_I(float val, float* srcDst, int32_t len) {
    return addConstInPlace<constantInPlaceGeneric<Add>>(val, srcDst, len);
}

}  // namespace generic
}  // namespace primitives
