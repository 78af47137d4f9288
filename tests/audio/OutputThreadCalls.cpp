#include "OutputThreadCalls.h"

#include <pthread.h>
#include <time.h>

#include <cstddef>

namespace {
thread_local bool onOutputThread = false;
}

void setOnOutputThread(bool on) { onOutputThread = on; }
std::atomic<std::int64_t> outputAllocations{0};
std::atomic<std::int64_t> outputLockWaits{0};

#if VELKARN_COUNT_OUTPUT_CALLS
// Interposers: every allocation (operator new too, which calls malloc) and
// every mutex lock of the program passes here; those made while the output
// client renders are counted.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
int velkarnLibcMutexLock(pthread_mutex_t*);
__asm__(".symver velkarnLibcMutexLock,__pthread_mutex_lock@GLIBC_2.2.5");

void* malloc(std::size_t bytes) {
    if (onOutputThread) outputAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(bytes);
}
void* calloc(std::size_t count, std::size_t bytes) {
    if (onOutputThread) outputAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, bytes);
}
void* realloc(void* memory, std::size_t bytes) {
    if (onOutputThread) outputAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(memory, bytes);
}
int pthread_mutex_lock(pthread_mutex_t* mutex) {
    if (!onOutputThread) return velkarnLibcMutexLock(mutex);
    if (pthread_mutex_trylock(mutex) == 0) return 0;
    timespec begin{}, end{};
    clock_gettime(CLOCK_MONOTONIC, &begin);
    const int result = velkarnLibcMutexLock(mutex);
    clock_gettime(CLOCK_MONOTONIC, &end);
    const std::int64_t ns = (end.tv_sec - begin.tv_sec) * 1000000000LL + (end.tv_nsec - begin.tv_nsec);
    if (ns > 1000000) outputLockWaits.fetch_add(1, std::memory_order_relaxed);
    return result;
}
}

#endif
