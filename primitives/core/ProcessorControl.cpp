// Time-stamp counter and the x87 and SSE floating-point control registers.
#include <x86intrin.h>

#include "primitives.h"

namespace {

// MXCSR bits 16-31 are reserved: loading any of them raises a
// general-protection fault, so the setter never lets a caller's mask reach
// them. Bits 0-15 (flags, masks, rounding, flush-to-zero,
// denormals-are-zero) are writable on every x86-64 processor.
constexpr uint32_t kWritableSseControlBits = 0xFFFFu;
constexpr uint32_t kDefaultSseControl = 0x1F80u;

uint16_t storeX87ControlWord() {
    uint16_t word;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}

uint16_t storeX87StatusWord() {
    uint16_t word;
    asm volatile("fnstsw %0" : "=m"(word));
    return word;
}

}  // namespace

extern "C" {

uint64_t readTimeStampCounter(void) { return __rdtsc(); }

uint32_t getX87ControlWord(void) { return storeX87ControlWord(); }

uint32_t setX87ControlWord(uint32_t value, uint32_t mask) {
    const uint16_t old = storeX87ControlWord();
    const uint16_t word = static_cast<uint16_t>((old & ~mask) | (value & mask));
    asm volatile("fldcw %0" : : "m"(word) : "memory");
    return old;
}

uint32_t getX87StatusWord(void) { return storeX87StatusWord(); }

uint32_t clearX87Exceptions(void) {
    const uint16_t old = storeX87StatusWord();
    asm volatile("fnclex" : : : "memory");
    return old;
}

uint32_t getSseControl(void) { return _mm_getcsr(); }

uint32_t setSseControl(uint32_t value, uint32_t mask) {
    const uint32_t old = _mm_getcsr();
    mask &= kWritableSseControlBits;
    _mm_setcsr((old & ~mask) | (value & mask));
    return old;
}

uint32_t resetSseControl(void) {
    const uint32_t old = _mm_getcsr();
    _mm_setcsr(kDefaultSseControl);
    return old;
}

}  // extern "C"
