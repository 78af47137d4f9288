// The generic build's memory movers: 32-bit words and single bytes, no
// vector registers.
#include "primitives/core/BuildSupport.h"
#include "primitives/vector/MoverEntries.h"
#include "primitives/vector/VectorBuilds.h"

namespace primitives {
namespace {

// The last 0 to 31 bytes: five at a time while at least six remain.
void zeroTailBytes(uint8_t* p, int64_t n) {
    while (n >= 6) {
        p[0] = 0;
        p[1] = 0;
        p[2] = 0;
        p[3] = 0;
        p[4] = 0;
        p += 5;
        n -= 5;
    }
    while (n-- > 0) *p++ = 0;
}

void copyTailBytes(const uint8_t* s, uint8_t* d, int64_t n) {
    while (n >= 6) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = s[3];
        d[4] = s[4];
        s += 5;
        d += 5;
        n -= 5;
    }
    while (n-- > 0) *d++ = *s++;
}

}  // namespace

void* zeroBytesKernel_generic(void* dst, int64_t n) {
    uint8_t* p = bytePointer(dst);
    while (n > 0 && addressOf(p) % 4 != 0) {
        *p++ = 0;
        --n;
    }
    for (; n >= 32; n -= 32, p += 32) {
        for (int k = 0; k < 32; k += 4) storeWord32(p + k, 0);
    }
    zeroTailBytes(p, n);
    return dst;
}

void* fillWords32Kernel_generic(uint32_t value, void* dst, int64_t n) {
    uint8_t* p = bytePointer(dst);
    for (; n >= 8; n -= 8, p += 32) {
        for (int k = 0; k < 32; k += 4) storeWord32(p + k, value);
    }
    for (; n >= 6; n -= 5, p += 20) {
        for (int k = 0; k < 20; k += 4) storeWord32(p + k, value);
    }
    for (; n > 0; --n, p += 4) storeWord32(p, value);
    return dst;
}

void* copyBytesKernel_generic(const void* src, void* dst, int64_t n) {
    movers::assertDisjoint(src, dst, n);
    const uint8_t* s = bytePointer(src);
    uint8_t* d = bytePointer(dst);
    while (n > 0 && addressOf(d) % 4 != 0) {
        *d++ = *s++;
        --n;
    }
    for (; n >= 32; n -= 32, s += 32, d += 32) {
        for (int k = 0; k < 32; k += 8) {
            const uint32_t a = loadWord32(s + k);
            const uint32_t b = loadWord32(s + k + 4);
            storeWord32(d + k, a);
            storeWord32(d + k + 4, b);
        }
    }
    copyTailBytes(s, d, n);
    return dst;
}

PrimitiveStatus zeroBytes_generic(void* dst, int64_t len) {
    return movers::zeroBytesChecked<zeroBytesKernel_generic>(dst, len);
}

namespace generic {

PrimitiveStatus zaviZero_32f(float* dst, int32_t len) {
    return movers::zeroFloats<zeroBytesKernel_generic>(dst, len);
}

PrimitiveStatus zaviSet_32f(float val, float* dst, int32_t len) {
    return movers::setFloats<fillWords32Kernel_generic>(val, dst, len);
}

PrimitiveStatus dezoRide_32d(const float* src, float* dst, int32_t len) {
    return movers::copyFloats<copyBytesKernel_generic>(src, dst, len);
}

PrimitiveStatus zaviCopy_8u(const uint8_t* src, uint8_t* dst, int32_t len) {
    return movers::copyBytes<copyBytesKernel_generic>(src, dst, len);
}

// Each element from its own index: slope * i and the sum are formed in
// double and rounded to float once, so nothing drifts over long ramps.
PrimitiveStatus zaviVectorRamp_32f(float* dst, int32_t len, float offset, float slope) {
    if (dst == nullptr) return primitiveStatusNullPointer;
    if (len <= 0) return primitiveStatusBadSize;
    const double base = offset;
    const double step = slope;
    auto value = [&](int32_t i) { return static_cast<float>(base + step * static_cast<double>(i)); };
    int32_t i = 0;
    for (; i + 5 <= len; i += 5) {
        for (int k = 0; k < 5; ++k) storeFloat(dst + i + k, value(i + k));
    }
    for (; i < len; ++i) storeFloat(dst + i, value(i));
    return primitiveStatusOk;
}

}  // namespace generic
}  // namespace primitives
