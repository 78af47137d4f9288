// Counts, in a test program that links OutputThreadCalls.cpp, the
// allocations (malloc, calloc, realloc; operator new calls malloc) and the
// mutex locks that wait over 1 ms made on a thread while it has
// onOutputThread set: what an output thread must never do while it renders
// a block. Left out (counters stay 0) in sanitizer builds, whose runtimes
// own the allocator.
#ifndef VELKARN_TESTS_AUDIO_OUTPUTTHREADCALLS_H
#define VELKARN_TESTS_AUDIO_OUTPUTTHREADCALLS_H

#include <atomic>
#include <cstdint>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VELKARN_COUNT_OUTPUT_CALLS 0
#else
#define VELKARN_COUNT_OUTPUT_CALLS 1
#endif

// Set while the output client renders a block. A function rather than an
// extern thread_local: the sanitizer build's null check misreads the latter
// through its access wrapper.
void setOnOutputThread(bool on);
extern std::atomic<std::int64_t> outputAllocations;
extern std::atomic<std::int64_t> outputLockWaits;  // over 1 ms

#endif
