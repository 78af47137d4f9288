#include "primitives/core/Dispatcher.h"

#include "primitives/core/CpuDetection.h"

// Until initCpuDispatch runs, every entry takes the generic build.
extern "C" {
constinit std::atomic<int32_t> CpuDispatchIndex{primitives::buildGeneric};
}

namespace {

constinit RegistrationRecord* registrationList = nullptr;

constexpr CoreVersionRecord coreVersion = {
    4, 1, 12, 51, {'c', 'o', 'r', 'e'}, "zavcorel.lib", "v4.1", "Oct 27 2004",
};

// The processor classes with a build of their own; every other class gets
// the generic build from detection and is refused by InitCpuDispatchFor.
int32_t tabledBuildIndex(CpuTypeCode type) {
    switch (type) {
    case 0: case 1: case 2: case 3: case 4:
        return primitives::buildGeneric;
    case 5: case 16: case 17:
        return primitives::buildSse;
    case 6: case 7: case 9:
        return primitives::buildSse2;
    case 8: case 32:
        return primitives::buildSse3;
    default:
        return 0;
    }
}

}  // namespace

namespace primitives {

const RegistrationRecord* registrationListHead() { return registrationList; }

int32_t buildIndexForCpuType(CpuTypeCode type) {
    const int32_t index = tabledBuildIndex(type);
    return index != 0 ? index : buildGeneric;
}

PrimitiveStatus initCpuDispatchFrom(const CpuidProbe& probe) {
    CpuDispatchIndex.store(buildIndexForCpuType(classifyCpuType(probe)), std::memory_order_relaxed);
    if (!probe.identificationInstruction || !isServedVendor(probe)) {
        CpuDispatchIndex.store(buildGeneric, std::memory_order_relaxed);
        return primitiveStatusCpuNotRecognised;
    }
    return primitiveStatusOk;
}

}  // namespace primitives

extern "C" {

PrimitiveStatus initCpuDispatch(void) { return primitives::initCpuDispatchFrom(primitives::readCpuidProbe()); }

PrimitiveStatus InitCpuDispatchFor(CpuTypeCode type) {
    int32_t index = tabledBuildIndex(type);
    if (type == -1) {
        index = 0;
    } else if (index == 0) {
        return primitiveStatusCpuCannotBeSet;
    }
    CpuDispatchIndex.store(index, std::memory_order_relaxed);
    return primitiveStatusOk;
}

RegistrationRecord* registerDispatchRecord(RegistrationRecord* record) {
    RegistrationRecord* previous = registrationList;
    registrationList = record;
    return previous;
}

const CoreVersionRecord* getCoreVersionRecord(void) { return &coreVersion; }

}  // extern "C"
