#include "primitives/core/CpuDetection.h"

#include <cpuid.h>
#include <x86intrin.h>

namespace primitives {
namespace {

constexpr uint64_t kIdentificationFlag = uint64_t{1} << 21;

uint32_t bit(uint32_t word, int index) { return (word >> index) & 1u; }

// The ID flag can be changed only where the identification instruction exists.
bool identificationFlagToggles() {
    const uint64_t original = __readeflags();
    __writeeflags(original ^ kIdentificationFlag);
    const uint64_t toggled = __readeflags();
    __writeeflags(original);
    return ((original ^ toggled) & kIdentificationFlag) != 0;
}

}  // namespace

CpuidProbe readCpuidProbe() {
    CpuidProbe probe;
    probe.identificationInstruction = identificationFlagToggles();
    if (!probe.identificationInstruction) return probe;

    uint32_t a, b, c, d;
    __cpuid(0, a, b, c, d);
    probe.maxStandardLeaf = a;
    probe.vendor[0] = b;
    probe.vendor[1] = d;
    probe.vendor[2] = c;
    if (probe.maxStandardLeaf >= 1) {
        __cpuid(1, a, b, c, d);
        probe.signature = a;
        probe.leaf1Ebx = b;
        probe.leaf1Ecx = c;
        probe.leaf1Edx = d;
    }
    if (probe.maxStandardLeaf >= 2) {
        __cpuid(2, a, b, c, d);
        probe.leaf2Eax = a;
        probe.leaf2Edx = d;
    }
    __cpuid(0x80000000u, a, b, c, d);
    probe.maxExtendedLeaf = a;
    if (probe.maxExtendedLeaf >= 0x80000001u) {
        __cpuid(0x80000001u, a, b, c, d);
        probe.extendedLeaf1Edx = d;
    }
    return probe;
}

bool isServedVendor(const CpuidProbe& probe) {
    bool allBlank = true;
    for (uint32_t word : probe.vendor) {
        for (int shift = 0; shift < 32; shift += 8) {
            const uint32_t character = (word >> shift) & 0xFFu;
            if (character < 0x20 || character > 0x7E) return false;
            allBlank = allBlank && character == ' ';
        }
    }
    return !allBlank;
}

uint32_t hasTimeStampCounter(const CpuidProbe& probe) { return bit(probe.leaf1Edx, 4); }
uint32_t hasMmx(const CpuidProbe& probe) { return bit(probe.leaf1Edx, 23); }
uint32_t hasSse(const CpuidProbe& probe) { return bit(probe.leaf1Edx, 25); }
uint32_t hasSse2(const CpuidProbe& probe) { return bit(probe.leaf1Edx, 26); }
uint32_t hasSse3(const CpuidProbe& probe) { return bit(probe.leaf1Ecx, 0); }

uint32_t hasSeveralLogicalProcessors(const CpuidProbe& probe) {
    const uint32_t logicalProcessors = (probe.leaf1Ebx >> 16) & 0xFFu;
    return bit(probe.leaf1Edx, 28) && logicalProcessors > 1 ? 1 : 0;
}

// Extended leaf 0x80000001 counts only when the processor reports it.
uint32_t has64BitExtensions(const CpuidProbe& probe) {
    return probe.maxExtendedLeaf >= 0x80000001u ? bit(probe.extendedLeaf1Edx, 29) : 0;
}

CpuInfoRecord cpuInfoFromProbe(const CpuidProbe& probe) {
    CpuInfoRecord info{};
    info.family = (probe.signature >> 8) & 0xFu;
    info.stepping = probe.signature & 0xFu;
    info.model = (probe.signature >> 4) & 0xFu;
    info.featureWord = probe.leaf1Edx;
    info.cacheDescriptorsEax = probe.leaf2Eax;
    info.cacheDescriptorsEdx = probe.leaf2Edx;
    info.hasMmx = hasMmx(probe);
    info.hasSse = hasSse(probe);
    info.hasSse2 = hasSse2(probe);
    info.hasSeveralLogicalProcessors = hasSeveralLogicalProcessors(probe);
    info.hasSse3 = hasSse3(probe);
    info.has64BitExtensions = has64BitExtensions(probe);
    return info;
}

CpuTypeCode classifyCpuType(const CpuidProbe& probe) {
    if (!probe.identificationInstruction || !isServedVendor(probe)) return 0;
    const CpuInfoRecord info = cpuInfoFromProbe(probe);
    switch (info.family) {
    case 5:
        return info.hasMmx ? 2 : 1;
    case 6:
        if (info.hasSse2) return 9;
        if (info.hasSse) return 5;
        return info.hasMmx ? 4 : 3;
    case 7:
        return 16;
    case 15:
        if (!info.hasSse2) return 17;
        if (info.hasSse3) return info.has64BitExtensions ? 32 : 8;
        return info.hasSeveralLogicalProcessors ? 7 : 6;
    default:
        return 0;
    }
}

}  // namespace primitives

using primitives::cpuInfoFromProbe;
using primitives::readCpuidProbe;

extern "C" {

CpuTypeCode DetectCpuType(void) { return primitives::classifyCpuType(readCpuidProbe()); }

void fillCpuInfoRecord(CpuInfoRecord* record) { *record = cpuInfoFromProbe(readCpuidProbe()); }

int32_t isCpuidSupported(void) { return primitives::identificationFlagToggles() ? 1 : 0; }

int32_t checkCpuVendor(void) { return primitives::isServedVendor(readCpuidProbe()) ? 1 : 0; }

uint32_t cpuMaxStandardLeaf(void) { return readCpuidProbe().maxStandardLeaf; }
int32_t cpuHasTsc(void) { return primitives::hasTimeStampCounter(readCpuidProbe()); }
int32_t cpuHasMmx(void) { return primitives::hasMmx(readCpuidProbe()); }
int32_t cpuHasSse(void) { return primitives::hasSse(readCpuidProbe()); }
int32_t cpuHasSse2(void) { return primitives::hasSse2(readCpuidProbe()); }
int32_t cpuHasSeveralLogicalProcessors(void) { return primitives::hasSeveralLogicalProcessors(readCpuidProbe()); }
int32_t cpuHasSse3(void) { return primitives::hasSse3(readCpuidProbe()); }
int32_t cpuHas64BitExtensions(void) { return primitives::has64BitExtensions(readCpuidProbe()); }

}  // extern "C"
