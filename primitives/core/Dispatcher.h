// Internal view of the dispatcher: the build index, the dispatch records and
// the stub generator. Callers outside the library use primitives.h only.
#pragma once

#include <atomic>
#include <cstdint>

#include "primitives.h"

#if !defined(__x86_64__)
#error "The dispatch stubs are written for x86-64."
#endif

// The build that every dispatch stub jumps to: 1 generic, 2 SSE, 3 SSE2,
// 4 SSE3-class, and 0 after InitCpuDispatchFor(-1) (which runs the generic
// build too). Written once at start-up and by tests; the stubs read it with a
// plain 32-bit load, which is a relaxed atomic load on x86-64.
extern "C" __attribute__((visibility("hidden"))) std::atomic<int32_t> CpuDispatchIndex;

namespace primitives {

enum Build : int32_t {
    buildGeneric = 1,
    buildSse = 2,
    buildSse2 = 3,
    buildSse3 = 4,
};
inline constexpr int32_t kFirstBuild = buildGeneric;
inline constexpr int32_t kLastBuild = buildSse3;

// One entry's dispatch table and registration record, laid out back to back.
// Table words: 0 the generic body (so index 0 still lands on code), 1..4 the
// bodies of the four builds, 5 null.
template <typename Function>
struct DispatchRecord {
    Function* table[6];
    RegistrationRecord registration;
};

// The most recently registered entry; the list runs back to the first.
const RegistrationRecord* registrationListHead();

// The build that initCpuDispatch gives a detected processor class; 1 for
// every class outside the table.
int32_t buildIndexForCpuType(CpuTypeCode type);

}  // namespace primitives

// Defines the C entry point `name` as a dispatch stub over `record` (a
// DispatchRecord with C linkage): one load of the build index and a tail jump
// through the table. The caller's arguments, stack and return address are left
// exactly as they are, so the stub works for any signature. r10 and r11 are
// scratch registers that carry no arguments.
#define PRIMITIVE_DISPATCH_STUB(name, record)                \
    asm(".pushsection .text\n"                               \
        ".globl " #name "\n"                                 \
        ".type " #name ", @function\n"                       \
        ".p2align 4\n" #name ":\n"                           \
        ".cfi_startproc\n"                                   \
        "    movslq CpuDispatchIndex(%rip), %r10\n"          \
        "    leaq " #record "(%rip), %r11\n"                 \
        "    jmp *(%r11,%r10,8)\n"                           \
        ".cfi_endproc\n"                                     \
        ".size " #name ", .-" #name "\n"                     \
        ".popsection\n")
