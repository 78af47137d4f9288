// A byte area for image tests: a 64-byte-aligned origin with 64 guard bytes
// on either side, every byte filled from a seeded pattern that depends only
// on its position relative to the origin. Two canvases of the same size and
// seed are therefore equal byte for byte wherever they lie in memory, so a
// test runs an entry on one and a plain model on the other and compares the
// whole area: region, gaps between rows and guards alike.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "primitives.h"

namespace primitives::test {

class ImageCanvas {
public:
    static constexpr std::size_t kGuardBytes = 64;

    ImageCanvas(std::size_t bytes, uint32_t seed) : ImageCanvas(bytes) {
        uint32_t state = seed * 2654435761u + 1;
        for (std::size_t i = 0; i < bytes_ + 2 * kGuardBytes; ++i) {
            state = state * 1664525u + 1013904223u;
            storage_[origin_ - kGuardBytes + i] = static_cast<uint8_t>(state >> 24);
        }
    }

    ImageCanvas(const ImageCanvas& other) : ImageCanvas(other.bytes_) {
        const auto from = other.storage_.begin() + static_cast<std::ptrdiff_t>(other.origin_ - kGuardBytes);
        std::copy(from, from + static_cast<std::ptrdiff_t>(bytes_ + 2 * kGuardBytes),
                  storage_.begin() + static_cast<std::ptrdiff_t>(origin_ - kGuardBytes));
    }
    ImageCanvas& operator=(const ImageCanvas&) = delete;

    uint8_t* at(std::size_t offset) { return storage_.data() + origin_ + offset; }
    const uint8_t* at(std::size_t offset) const { return storage_.data() + origin_ + offset; }
    std::size_t size() const { return bytes_; }

    // Whether two canvases hold the same bytes; on a difference, its position
    // relative to the origin (guard bytes before it are negative).
    bool equals(const ImageCanvas& other, std::ptrdiff_t* firstDifference = nullptr) const {
        if (other.bytes_ != bytes_) return false;
        const uint8_t* a = at(0) - kGuardBytes;
        const uint8_t* b = other.at(0) - kGuardBytes;
        if (std::memcmp(a, b, bytes_ + 2 * kGuardBytes) == 0) return true;
        for (std::size_t i = 0; i < bytes_ + 2 * kGuardBytes; ++i) {
            if (a[i] != b[i]) {
                if (firstDifference) *firstDifference = static_cast<std::ptrdiff_t>(i) - kGuardBytes;
                return false;
            }
        }
        return true;
    }

private:
    // Storage with the origin placed, contents not yet set.
    explicit ImageCanvas(std::size_t bytes) : bytes_(bytes), storage_(bytes + 3 * kGuardBytes) {
        const auto base = reinterpret_cast<std::uintptr_t>(storage_.data()) + kGuardBytes;
        origin_ = kGuardBytes + (64 - base % 64) % 64;
    }

    std::size_t bytes_;
    std::vector<uint8_t> storage_;
    std::size_t origin_ = 0;
};

// A region on a canvas: byte offset of the top-left pixel and the row step.
struct CanvasRegion {
    std::size_t offset;
    int32_t step;
};

// Canvas bytes that a region of `size` needs at `region`.
inline std::size_t bytesFor(CanvasRegion region, ImageSize size) {
    return region.offset + static_cast<std::size_t>(region.step) * (size.height - 1) + 4 * size.width;
}

}  // namespace primitives::test
