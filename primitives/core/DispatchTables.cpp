// Dispatch records, stubs and registration of every entry in EntryList.h.
//
// The registration list, registerDispatchRecord and the registrations share
// this one unit: a program that reaches the list only through
// registerDispatchRecord links this unit and with it every registration.
#include "primitives/core/DispatchRecords.h"

#include "primitives/core/AlignedMemory.h"
#include "primitives/core/StatusTexts.h"
#include "primitives/fft/RealFftSpec.h"

using namespace primitives;

// The records are constant-initialised, so the stubs work before (and during)
// static initialisation.
#define PRIMITIVE_ENTRY(tag, name, generic, sse, sse2, sse3) \
    PRIMITIVE_DISPATCH_ENTRY(name, generic, sse, sse2, sse3);
#include "primitives/core/EntryList.h"
#undef PRIMITIVE_ENTRY

// Registration records: constant but for the link word.
namespace primitives {
#define PRIMITIVE_ENTRY(tag, name, generic, sse, sse2, sse3) \
    constinit RegistrationRecord name##_registration = {#tag, #name, name##_dispatch.table, nullptr};
#include "primitives/core/EntryList.h"
#undef PRIMITIVE_ENTRY
}  // namespace primitives

namespace {

constinit RegistrationRecord* registrationList = nullptr;

// Links the records in list order during static initialisation; the list
// head ends up at the last entry.
[[maybe_unused]] const bool registered = [] {
#define PRIMITIVE_ENTRY(tag, name, generic, sse, sse2, sse3) \
    primitives::name##_registration.link = registerDispatchRecord(&primitives::name##_registration);
#include "primitives/core/EntryList.h"
#undef PRIMITIVE_ENTRY
    return true;
}();

}  // namespace

const RegistrationRecord* primitives::registrationListHead() { return registrationList; }

extern "C" RegistrationRecord* registerDispatchRecord(RegistrationRecord* record) {
    RegistrationRecord* previous = registrationList;
    registrationList = record;
    return previous;
}
