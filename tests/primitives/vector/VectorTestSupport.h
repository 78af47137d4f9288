// Shared pieces of the vector primitive tests: byte arenas with guard bytes
// at chosen offsets, test data, bit-exact comparison and each build's
// internal kernels.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "FloatBits.h"
#include "primitives/core/BuildSupport.h"
#include "primitives/core/Dispatcher.h"
#include "primitives/vector/VectorBuilds.h"

namespace primitives::test {

// A fast seeded generator (splitmix64) for bulk test data.
inline uint64_t nextRandom(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A run of bytes whose base is 64-byte aligned, filled with a known
// pattern. Regions are placed at byte offsets from the base; after an
// operation the whole arena is compared with what it should hold, so a byte
// written outside the region shows as surely as a wrong byte inside it.
class ByteArena {
public:
    static constexpr std::size_t kMargin = 128;

    explicit ByteArena(std::size_t bytes, uint32_t seed = 1) : storage_(bytes + 2 * kMargin + 64), bytes_(bytes) {
        const std::size_t misalign = addressOf(storage_.data() + kMargin) % 64;
        base_ = kMargin + (misalign == 0 ? 0 : 64 - misalign);
        scramble(seed);
    }

    // Bytes usable from offset 0 on (regions may start up to 64 bytes in).
    std::size_t capacity() const { return bytes_; }

    // Fills every byte with a seeded pattern in which no byte is 0.
    void scramble(uint32_t seed) {
        uint64_t state = 0x9E3779B97F4A7C15ull * (seed + 1);
        std::size_t i = 0;
        for (; i + 8 <= storage_.size(); i += 8) {
            const uint64_t word = nextRandom(state) | 0x0101010101010101ull;
            std::memcpy(&storage_[i], &word, 8);
        }
        for (; i < storage_.size(); ++i) storage_[i] = static_cast<uint8_t>(nextRandom(state) | 1);
    }

    uint8_t* at(std::ptrdiff_t offset) { return storage_.data() + base_ + offset; }
    float* floatsAt(std::ptrdiff_t offset) { return reinterpret_cast<float*>(at(offset)); }
    const std::vector<uint8_t>& bytes() const { return storage_; }
    std::vector<uint8_t> snapshot() const { return storage_; }
    void restore(const std::vector<uint8_t>& snapshot) { storage_ = snapshot; }
    // Where `offset` lies in snapshot().
    std::size_t index(std::ptrdiff_t offset) const { return base_ + offset; }

    // Whether every byte outside [offset, offset + n) still equals `before`.
    bool unchangedOutside(const std::vector<uint8_t>& before, std::ptrdiff_t offset, std::size_t n) const {
        const std::size_t start = index(offset);
        return std::memcmp(storage_.data(), before.data(), start) == 0 &&
               std::memcmp(storage_.data() + start + n, before.data() + start + n, storage_.size() - start - n) == 0;
    }

    // Puts [offset, offset + n) back as it is in `before`.
    void restoreRange(const std::vector<uint8_t>& before, std::ptrdiff_t offset, std::size_t n) {
        std::memcpy(at(offset), before.data() + index(offset), n);
    }

    // The first byte that differs from `expected`, or -1.
    std::ptrdiff_t firstDifference(const std::vector<uint8_t>& expected) const {
        if (std::memcmp(storage_.data(), expected.data(), storage_.size()) == 0) return -1;
        for (std::size_t i = 0; i < storage_.size(); ++i) {
            if (storage_[i] != expected[i]) return static_cast<std::ptrdiff_t>(i) - static_cast<std::ptrdiff_t>(base_);
        }
        return -1;
    }

private:
    std::vector<uint8_t> storage_;
    std::size_t bytes_ = 0;
    std::size_t base_ = 0;
};

// An arena and its untouched state, kept across checks so that a sweep of
// many large cases does not allocate for each one; it grows when a case
// needs more.
struct ReusableArena {
    std::unique_ptr<ByteArena> arena;
    std::vector<uint8_t> before;

    ByteArena& reserve(std::size_t bytes, uint32_t seed) {
        if (!arena || arena->capacity() < bytes) {
            arena = std::make_unique<ByteArena>(bytes, seed);
            before = arena->snapshot();
        }
        return *arena;
    }
};

// Random floats between low and high, into `out` (whose storage is reused).
inline void randomFloatsInto(std::vector<float>& out, std::size_t n, uint32_t seed, float low = -1000.0f,
                             float high = 1000.0f) {
    uint64_t state = 0xD1B54A32D192ED03ull * (seed + 1);
    out.resize(n);
    for (auto& x : out) {
        const double unit = static_cast<double>(nextRandom(state) >> 11) * 0x1.0p-53;
        x = static_cast<float>(low + (high - low) * unit);
    }
}

inline std::vector<float> randomFloats(std::size_t n, uint32_t seed, float low = -1000.0f, float high = 1000.0f) {
    std::vector<float> out;
    randomFloatsInto(out, n, seed, low, high);
    return out;
}

// Random floats with the awkward values mixed in: zeros of both signs,
// infinities, denormals, the extremes of the range.
inline void awkwardFloatsInto(std::vector<float>& out, std::size_t n, uint32_t seed) {
    randomFloatsInto(out, n, seed);
    const float specials[] = {0.0f,     -0.0f,    INFINITY, -INFINITY, 1e-40f, -3e-42f,
                              3.4e38f, -3.4e38f, 1.0f,     -1.0f,     1e-30f, 65504.0f};
    uint64_t state = seed ^ 0x9E3779B9u;
    for (std::size_t i = 0; i < n;) {
        const uint64_t r = nextRandom(state);
        out[i] = specials[r % std::size(specials)];
        i += 1 + (r >> 32) % 7;
    }
}

inline std::vector<float> awkwardFloats(std::size_t n, uint32_t seed) {
    std::vector<float> out;
    awkwardFloatsInto(out, n, seed);
    return out;
}

inline void writeFloats(void* dst, const std::vector<float>& values) {
    std::memcpy(dst, values.data(), values.size() * sizeof(float));
}

inline std::vector<float> readFloats(const void* src, std::size_t n) {
    std::vector<float> out(n);
    std::memcpy(out.data(), src, n * sizeof(float));
    return out;
}

// Index of the first element whose bits differ, or -1.
inline std::ptrdiff_t firstBitDifference(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (bitsOf(a[i]) != bitsOf(b[i])) return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

inline std::string describeFloat(float x) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9g (0x%08X)", static_cast<double>(x), bitsOf(x));
    return text;
}

// The internal kernels of one build, by build index (1..4); a build without
// a stream or paged variant has null there.
struct BuildMovers {
    PrimitiveStatus (*zeroBytes)(void*, int64_t);
    void* (*zero)(void*, int64_t);
    void* (*zeroStream)(void*, int64_t);
    void* (*fill)(uint32_t, void*, int64_t);
    void* (*fillStream)(uint32_t, void*, int64_t);
    void* (*copy)(const void*, void*, int64_t);
    void* (*copyStream)(const void*, void*, int64_t);
    void* (*copyPaged)(const void*, void*, int64_t);
};

inline const BuildMovers& moversOf(int32_t build) {
    static const BuildMovers movers[] = {
        {zeroBytes_generic, zeroBytesKernel_generic, nullptr, fillWords32Kernel_generic, nullptr,
         copyBytesKernel_generic, nullptr, nullptr},
        {zeroBytes_sse, zeroBytesKernel_sse, zeroBytesStreamKernel_sse, fillWords32Kernel_sse,
         fillWords32StreamKernel_sse, copyBytesKernel_sse, copyBytesStreamKernel_sse, copyBytesPagedKernel_sse},
        {zeroBytes_sse2, zeroBytesKernel_sse2, nullptr, fillWords32Kernel_sse2, nullptr, copyBytesKernel_sse2,
         nullptr, nullptr},
        {zeroBytes_sse3, zeroBytesKernel_sse3, nullptr, fillWords32Kernel_sse3, nullptr, copyBytesKernel_sse3,
         nullptr, nullptr},
    };
    return movers[build - 1];
}

}  // namespace primitives::test
