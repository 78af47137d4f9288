// Internal view of the dispatcher: the build index, the dispatch records and
// the macros that make an entry's record and stub. Callers outside the
// library use primitives.h only.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "primitives.h"

#if !defined(__x86_64__)
#error "The dispatch stubs are written for x86-64."
#endif

// The build that every dispatch stub jumps to: 1 generic, 2 SSE, 3 SSE2,
// 4 SSE3-class, and 0 after InitCpuDispatchFor(-1) (which runs the generic
// build too). Written once at start-up and by tests; the stubs read it with a
// plain 32-bit load, which is a relaxed atomic load on x86-64.
extern "C" __attribute__((visibility("hidden"))) std::atomic<int32_t> CpuDispatchIndex;

// The stubs read the index with a bare movslq: it must be a plain 4-byte word.
static_assert(std::atomic<int32_t>::is_always_lock_free);
static_assert(sizeof(std::atomic<int32_t>) == 4 && alignof(std::atomic<int32_t>) == 4);

namespace primitives {

struct CpuidProbe;

enum Build : int32_t {
    buildGeneric = 1,
    buildSse = 2,
    buildSse2 = 3,
    buildSse3 = 4,
};
inline constexpr int32_t kFirstBuild = buildGeneric;
inline constexpr int32_t kLastBuild = buildSse3;

// One entry's dispatch table, defined constant so that it lands in read-only
// memory. Words: 0 the generic body (so index 0 still lands on code), 1..4 the
// bodies of the four builds, 5 null. The entry's registration record, the only
// part that registration writes, lives apart from it.
template <typename Function>
struct DispatchRecord {
    Function* table[6];
};

// The stub jumps through `record + 8 * index`.
static_assert(std::is_standard_layout_v<DispatchRecord<void()>>);
static_assert(offsetof(DispatchRecord<void()>, table) == 0);
static_assert(sizeof(void (*)()) == 8 && sizeof(DispatchRecord<void()>) == 6 * 8);

// The most recently registered entry; the list runs back to the first.
const RegistrationRecord* registrationListHead();

// The build that initCpuDispatch gives a detected processor class; 1 for
// every class outside the table.
int32_t buildIndexForCpuType(CpuTypeCode type);

// initCpuDispatch for the processor that `probe` describes.
PrimitiveStatus initCpuDispatchFrom(const CpuidProbe& probe);

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

// Defines the constant dispatch record `name##_dispatch` over the four build
// bodies and the stub `name` over it. `name` must already be declared (its
// type is the bodies' type). Every entry of the library is made by this macro,
// and so is the dispatcher test's entry.
#define PRIMITIVE_DISPATCH_ENTRY(name, generic, sse, sse2, sse3)                       \
    extern "C" constinit const ::primitives::DispatchRecord<decltype(::name)>          \
        name##_dispatch = {{generic, generic, sse, sse2, sse3, nullptr}};              \
    PRIMITIVE_DISPATCH_STUB(name, name##_dispatch)
