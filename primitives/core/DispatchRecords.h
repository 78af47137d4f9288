// The dispatch record of every entry, named <entry>_dispatch, for code that
// needs a particular build's body (tests, benchmarks).
#pragma once

#include "primitives/core/Dispatcher.h"

#define PRIMITIVE_ENTRY(tag, name, generic, sse, sse2, sse3) \
    extern "C" __attribute__((visibility("hidden")))         \
    primitives::DispatchRecord<decltype(::name)> name##_dispatch;
#include "primitives/core/EntryList.h"
#undef PRIMITIVE_ENTRY
