#include "audio/AlignedFloats.h"

#include "framework/Log.h"
#include "primitives.h"

#include <algorithm>
#include <limits>

namespace {

[[noreturn]] void outOfMemory() { fatalError("Out of memory.", __FILE__, __LINE__); }

}  // namespace

float* allocateFloats(std::int64_t count) {
    if (count < 1 || count > std::numeric_limits<std::int32_t>::max()) outOfMemory();
    float* block = revoRovara_32z(static_cast<std::int32_t>(count));
    if (block == nullptr) outOfMemory();
    return block;
}

float* allocateZeroedFloats(std::int64_t count) {
    float* block = allocateFloats(count);
    std::fill(block, block + count, 0.0f);
    return block;
}

std::uint8_t* allocateBytes(std::int64_t count) {
    if (count == 0) return nullptr;
    if (count < 0 || count > std::numeric_limits<std::int32_t>::max()) outOfMemory();
    std::uint8_t* block = vaduRivuro_8v(static_cast<std::int32_t>(count));
    if (block == nullptr) outOfMemory();
    return block;
}

void releaseAligned(void* block) { zoveZiva(block); }
