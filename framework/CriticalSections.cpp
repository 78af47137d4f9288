#include "framework/CriticalSections.h"

#include "framework/Log.h"

#include <mutex>

namespace {

// Static objects, not made at start-up: they can be used before and after
// the support services run, and no thread can meet a destroyed lock.
std::recursive_mutex locks[criticalSectionCount];

std::recursive_mutex& lockNumbered(int number) {
    if (number < 0 || number >= criticalSectionCount) {
        fatalError("Too high an index for a critical section.", __FILE__, __LINE__);
    }
    return locks[number];
}

}  // namespace

void enterCriticalSection(int number) { lockNumbered(number).lock(); }

void leaveCriticalSection(int number) { lockNumbered(number).unlock(); }
