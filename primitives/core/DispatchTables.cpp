// Dispatch records, stubs and registration of every entry in EntryList.h.
#include "primitives/core/DispatchRecords.h"

#include "primitives/core/AlignedMemory.h"
#include "primitives/core/StatusTexts.h"

using namespace primitives;

// The records are constant-initialised, so the stubs work before (and during)
// static initialisation; only the link words are written later.
#define PRIMITIVE_ENTRY(tag, name, generic, sse, sse2, sse3)                              \
    extern "C" {                                                                          \
    constinit DispatchRecord<decltype(::name)> name##_dispatch = {                        \
        {generic, generic, sse, sse2, sse3, nullptr},                                     \
        {#tag, #name, name##_dispatch.table, nullptr},                                    \
    };                                                                                    \
    }                                                                                     \
    PRIMITIVE_DISPATCH_STUB(name, name##_dispatch);
#include "primitives/core/EntryList.h"
#undef PRIMITIVE_ENTRY

namespace {

// Links the records in list order during static initialisation; the list
// head ends up at the last entry.
[[maybe_unused]] const bool registered = [] {
#define PRIMITIVE_ENTRY(tag, name, generic, sse, sse2, sse3) \
    name##_dispatch.registration.link = registerDispatchRecord(&name##_dispatch.registration);
#include "primitives/core/EntryList.h"
#undef PRIMITIVE_ENTRY
    return true;
}();

}  // namespace
