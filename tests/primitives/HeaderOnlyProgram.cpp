// Uses the library exactly as an outside program does: through primitives.h
// alone. Exits non-zero when an entry misbehaves.
#include "primitives.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

int failures = 0;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

bool aligned(const void* p) { return reinterpret_cast<std::uintptr_t>(p) % 32 == 0; }

}  // namespace

int main() {
    check(initCpuDispatch() == 0, "initCpuDispatch recognises this processor");
    check(std::strcmp(duvAduZurideVizide(-8), "Null pointer error") == 0, "status text of -8");

    uint8_t* bytes = vaduRivuro_8v(100);
    float* floats = revoRovara_32z(100);
    int32_t* ints = zaviMalloc_32s(100);
    check(bytes && floats && ints, "allocators return blocks");
    check(aligned(bytes) && aligned(floats) && aligned(ints), "blocks are 32-byte aligned");
    check(vaduRivuro_8v(0) == nullptr, "length 0 gives null");
    zoveZiva(bytes);
    zoveZiva(floats);
    zoveZiva(ints);
    zoveZiva(nullptr);

    check(InitCpuDispatchFor(10) == 21, "type 10 is refused");
    check(InitCpuDispatchFor(5) == 0, "type 5 is accepted");
    check(std::strcmp(duvAduZurideVizide(0), "No error, it's OK") == 0, "status text on the SSE build");

    const CoreVersionRecord* version = getCoreVersionRecord();
    check(version->major == 4 && version->minor == 1, "version record");

    CpuInfoRecord info;
    fillCpuInfoRecord(&info);
    check(info.hasSse2 == 1 && cpuHasSse2() == 1, "x86-64 has SSE2");
    check(DetectCpuType() != 0 && isCpuidSupported() == 1 && checkCpuVendor() == 1, "detection");

    if (failures == 0) std::puts("primitives.h: every entry linked and answered");
    return failures == 0 ? 0 : 1;
}
