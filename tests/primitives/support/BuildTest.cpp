#include "BuildTest.h"

#include "primitives/core/CpuDetection.h"

namespace primitives::test {

const char* buildName(int32_t build) {
    switch (build) {
    case buildGeneric: return "generic";
    case buildSse: return "sse";
    case buildSse2: return "sse2";
    case buildSse3: return "sse3";
    default: return "none";
    }
}

bool hostRunsBuild(int32_t build) {
    static const CpuInfoRecord host = cpuInfoFromProbe(readCpuidProbe());
    switch (build) {
    case buildGeneric: return true;
    case buildSse: return host.hasSse && host.hasSse2;  // x86-64 code always uses SSE2
    case buildSse2: return host.hasSse2;
    case buildSse3: return host.hasSse2 && host.hasSse3;
    default: return false;
    }
}

}  // namespace primitives::test
