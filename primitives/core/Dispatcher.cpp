#include "primitives/core/Dispatcher.h"

#include <optional>

#include "primitives/core/CpuDetection.h"

// Until initCpuDispatch runs, every entry takes the generic build.
extern "C" {
constinit std::atomic<int32_t> CpuDispatchIndex{primitives::buildGeneric};
}

namespace {

constexpr CoreVersionRecord coreVersion = {
    4, 1, 12, 51, {'c', 'o', 'r', 'e'}, "zavcorel.lib", "v4.1", "Oct 27 2004",
};

// The processor classes with a build of their own; detection gives every
// other class the generic build, and InitCpuDispatchFor refuses it.
std::optional<int32_t> tabledBuildIndex(CpuTypeCode type) {
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
        return std::nullopt;
    }
}

}  // namespace

namespace primitives {

int32_t buildIndexForCpuType(CpuTypeCode type) { return tabledBuildIndex(type).value_or(buildGeneric); }

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
    // -1 selects index 0, whose table word holds the generic body.
    const std::optional<int32_t> index = type == -1 ? 0 : tabledBuildIndex(type);
    if (!index) return primitiveStatusCpuCannotBeSet;
    CpuDispatchIndex.store(*index, std::memory_order_relaxed);
    return primitiveStatusOk;
}

const CoreVersionRecord* getCoreVersionRecord(void) { return &coreVersion; }

}  // extern "C"
