// Processor detection, split into reading the identification instruction
// (readCpuidProbe) and pure classification of what was read, so that any
// processor can be described by a made-up probe.
#pragma once

#include <cstdint>

#include "primitives.h"

namespace primitives {

// The raw words of the processor identification instruction. Leaves the
// processor does not report are left zero.
struct CpuidProbe {
    bool identificationInstruction = false;  // the ID flag of the flags register toggles
    uint32_t maxStandardLeaf = 0;            // leaf 0 EAX
    uint32_t vendor[3] = {};                 // leaf 0 EBX, EDX, ECX: twelve ASCII characters
    uint32_t signature = 0;                  // leaf 1 EAX
    uint32_t leaf1Ebx = 0;
    uint32_t leaf1Ecx = 0;
    uint32_t leaf1Edx = 0;
    uint32_t leaf2Eax = 0;
    uint32_t leaf2Edx = 0;
    uint32_t maxExtendedLeaf = 0;  // leaf 0x80000000 EAX
    uint32_t extendedLeaf1Edx = 0; // leaf 0x80000001 EDX
};

CpuidProbe readCpuidProbe();

bool isServedVendor(const CpuidProbe& probe);

// The processor features as the feature queries (cpuHasTsc and the rest) and
// the info record report them: 0 or 1.
uint32_t hasTimeStampCounter(const CpuidProbe& probe);
uint32_t hasMmx(const CpuidProbe& probe);
uint32_t hasSse(const CpuidProbe& probe);
uint32_t hasSse2(const CpuidProbe& probe);
uint32_t hasSeveralLogicalProcessors(const CpuidProbe& probe);
uint32_t hasSse3(const CpuidProbe& probe);
uint32_t has64BitExtensions(const CpuidProbe& probe);

CpuInfoRecord cpuInfoFromProbe(const CpuidProbe& probe);
CpuTypeCode classifyCpuType(const CpuidProbe& probe);

}  // namespace primitives
