#include "ResizeHelpers.h"

#include <sys/mman.h>
#include <unistd.h>

namespace primitives::test {

PrimitiveStatus stretchTwice(ResizeEntryFunction entry, const uint8_t* src, int32_t srcStep, int32_t srcWidth,
                             int32_t srcHeight, uint8_t* dst, int32_t dstStep, int32_t dstWidth, int32_t dstHeight,
                             int32_t interpolation) {
    const double xFactor = static_cast<double>(dstWidth) / srcWidth;
    const double yFactor = static_cast<double>(dstHeight) / srcHeight;
    for (int byte = 0; byte < 2; ++byte) {
        const PrimitiveStatus status =
            entry(src + byte, {srcWidth, srcHeight}, srcStep, {0, 0, srcWidth, srcHeight}, dst + byte, dstStep,
                  {dstWidth, dstHeight}, xFactor, yFactor, interpolation);
        if (status != primitiveStatusOk) return status;
    }
    return primitiveStatusOk;
}

PageEndBuffer::PageEndBuffer(std::size_t bytes, bool lazy) : bytes_(bytes) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t usablePages = (bytes + page - 1) / page;
    mappingBytes_ = (usablePages + 1) * page;
    const int flags = MAP_PRIVATE | MAP_ANONYMOUS | (lazy ? MAP_NORESERVE : 0);
    void* mapping = mmap(nullptr, mappingBytes_, PROT_READ | PROT_WRITE, flags, -1, 0);
    if (mapping == MAP_FAILED) return;
    mapping_ = mapping;
    auto* guard = static_cast<uint8_t*>(mapping) + usablePages * page;
    if (mprotect(guard, page, PROT_NONE) != 0) return;
    data_ = guard - bytes;
}

PageEndBuffer::~PageEndBuffer() {
    if (mapping_ != nullptr) munmap(mapping_, mappingBytes_);
}

}  // namespace primitives::test
