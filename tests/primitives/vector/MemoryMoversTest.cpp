// zaviZero_32f, zaviSet_32f, dezoRide_32d, zaviCopy_8u, the checked zero
// fills and the kernels under them, in every build.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "BuildTest.h"
#include "GuardedBuffer.h"
#include "VectorTestSupport.h"
#include "primitives/core/DispatchRecords.h"

namespace primitives::test {
namespace {

class MemoryMovers : public PerBuildTest {};

// ---- argument checks ----

struct CheckCase {
    bool nullDst;
    bool nullSrc;
    int64_t len;
    PrimitiveStatus expected;
};

// Entries with only a destination. A null pointer is reported before a bad
// length.
const CheckCase kDestinationChecks[] = {
    {true, false, 0, -8}, {true, false, -5, -8}, {true, false, 4, -8},
    {false, false, 0, -6}, {false, false, -5, -6}, {false, false, INT32_MIN, -6},
    {false, false, 4, 0},
};

const CheckCase kCopyChecks[] = {
    {false, true, 0, -8}, {true, false, -5, -8}, {true, true, 0, -8}, {false, true, 4, -8}, {true, false, 4, -8},
    {false, false, 0, -6}, {false, false, -5, -6}, {false, false, INT32_MIN, -6},
    {false, false, 4, 0},
};

TEST_P(MemoryMovers, ChecksPointersThenLengthAndWriteNothingOnFailure) {
    using Call = std::function<PrimitiveStatus(const float* src, float* dst, int64_t len)>;
    const int32_t b = build();
    const std::pair<const char*, Call> destinationEntries[] = {
        {"zaviZero_32f", [&](const float*, float* d, int64_t n) { return zaviZero_32f_dispatch.table[b](d, int32_t(n)); }},
        {"zaviSet_32f",
         [&](const float*, float* d, int64_t n) { return zaviSet_32f_dispatch.table[b](2.5f, d, int32_t(n)); }},
        {"zaviVectorRamp_32f",
         [&](const float*, float* d, int64_t n) { return zaviVectorRamp_32f_dispatch.table[b](d, int32_t(n), 1, 2); }},
        {"zeroBytes", [&](const float*, float* d, int64_t n) { return moversOf(b).zeroBytes(d, n); }},
    };
    const std::pair<const char*, Call> copyEntries[] = {
        {"dezoRide_32d",
         [&](const float* s, float* d, int64_t n) { return dezoRide_32d_dispatch.table[b](s, d, int32_t(n)); }},
        {"zaviCopy_8u",
         [&](const float* s, float* d, int64_t n) {
             return zaviCopy_8u_dispatch.table[b](reinterpret_cast<const uint8_t*>(s), reinterpret_cast<uint8_t*>(d),
                                                  int32_t(n));
         }},
    };
    auto run = [](const char* name, const Call& call, const CheckCase& c) {
        SCOPED_TRACE(std::string(name) + " len " + std::to_string(c.len) + (c.nullDst ? " null dst" : "") +
                     (c.nullSrc ? " null src" : ""));
        GuardedBuffer<float> src(8, 0x3C);
        GuardedBuffer<float> dst(8);
        EXPECT_EQ(call(c.nullSrc ? nullptr : src.data(), c.nullDst ? nullptr : dst.data(), c.len), c.expected);
        if (c.expected != 0) {
            EXPECT_TRUE(dst.untouched());
        }
        EXPECT_TRUE(dst.guardsIntact());
        EXPECT_TRUE(src.untouched());
    };
    for (const auto& [name, call] : destinationEntries) {
        for (const CheckCase& c : kDestinationChecks) run(name, call, c);
    }
    for (const auto& [name, call] : copyEntries) {
        for (const CheckCase& c : kCopyChecks) run(name, call, c);
    }
    // The checked zero fill counts in 64 bits.
    GuardedBuffer<float> dst(8);
    EXPECT_EQ(moversOf(b).zeroBytes(dst.data(), int64_t{-1} << 40), -6);
    EXPECT_TRUE(dst.untouched());
}

// ---- exact ranges ----

// Whether the arena still equals `before` outside [offset, offset + n) and
// holds `expected` inside it; then puts `before` back.
::testing::AssertionResult onlyRangeWritten(ByteArena& arena, const std::vector<uint8_t>& before,
                                            std::ptrdiff_t offset, const void* expected, std::size_t n) {
    const std::size_t start = arena.index(offset);
    const uint8_t* now = arena.bytes().data();
    ::testing::AssertionResult result = ::testing::AssertionSuccess();
    if (std::memcmp(now, before.data(), start) != 0 ||
        std::memcmp(now + start + n, before.data() + start + n, before.size() - start - n) != 0) {
        result = ::testing::AssertionFailure() << "a byte outside the range was written";
    } else if (std::memcmp(now + start, expected, n) != 0) {
        std::size_t i = 0;
        while (now[start + i] == static_cast<const uint8_t*>(expected)[i]) ++i;
        result = ::testing::AssertionFailure() << "byte " << i << " of " << n << " is wrong";
    }
    std::memcpy(arena.at(offset), before.data() + start, n);
    return result;
}

// The lengths (in elements of the entry's type) at which each build changes
// path, one below and one above each.
std::vector<int64_t> thresholdLengths(int32_t build, int64_t sse, int64_t sse2) {
    std::vector<int64_t> out;
    const int64_t at = build == buildSse ? sse : build >= buildSse2 ? sse2 : 0;
    if (at > 0) {
        for (int64_t d : {-1, 0, 1}) out.push_back(at + d);
    }
    return out;
}

std::vector<int64_t> shortLengths() {
    std::vector<int64_t> out;
    for (int64_t n = 1; n <= 70; ++n) out.push_back(n);
    return out;
}

std::vector<int64_t> join(std::vector<int64_t> a, const std::vector<int64_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_P(MemoryMovers, ZeroAndSetWriteExactlyTheirRangeAtEveryOffset) {
    std::vector<int64_t> lengths = join(shortLengths(), thresholdLengths(build(), 5120, 131072));
    const uint32_t pattern = 0x44332211;  // four distinct bytes show any phase slip
    for (int64_t n : lengths) {
        ByteArena arena(static_cast<std::size_t>(n) * 4 + 16, static_cast<uint32_t>(n));
        const std::vector<uint8_t> before = arena.snapshot();
        const std::vector<uint8_t> zeros(static_cast<std::size_t>(n) * 4, 0);
        std::vector<uint8_t> filled(static_cast<std::size_t>(n) * 4);
        for (std::size_t i = 0; i < filled.size(); i += 4) std::memcpy(&filled[i], &pattern, 4);
        for (int offset = 0; offset < 16; ++offset) {
            SCOPED_TRACE("length " + std::to_string(n) + " offset " + std::to_string(offset));
            float* dst = arena.floatsAt(offset);
            ASSERT_EQ(body(zaviZero_32f_dispatch)(dst, int32_t(n)), 0);
            ASSERT_TRUE(onlyRangeWritten(arena, before, offset, zeros.data(), zeros.size())) << "zaviZero_32f";
            ASSERT_EQ(moversOf(build()).zeroBytes(dst, n * 4), 0);
            ASSERT_TRUE(onlyRangeWritten(arena, before, offset, zeros.data(), zeros.size())) << "zeroBytes";
            ASSERT_EQ(body(zaviSet_32f_dispatch)(floatOf(pattern), dst, int32_t(n)), 0);
            ASSERT_TRUE(onlyRangeWritten(arena, before, offset, filled.data(), filled.size())) << "zaviSet_32f";
        }
    }
}

TEST_P(MemoryMovers, CopiesWriteExactlyTheirRangeAtEveryOffsetPair) {
    struct Copy {
        const char* name;
        int64_t elementSize;
        std::vector<int64_t> lengths;
        std::function<PrimitiveStatus(const uint8_t*, uint8_t*, int64_t)> call;
    };
    const int32_t b = build();
    const Copy copies[] = {
        {"dezoRide_32d", 4, join(shortLengths(), thresholdLengths(b, 2048, 65536)),
         [&](const uint8_t* s, uint8_t* d, int64_t n) {
             return dezoRide_32d_dispatch.table[b](reinterpret_cast<const float*>(s), reinterpret_cast<float*>(d),
                                                   int32_t(n));
         }},
        {"dezoRide_32d", 4, join(thresholdLengths(b, 4096, 131072), {}),
         [&](const uint8_t* s, uint8_t* d, int64_t n) {
             return dezoRide_32d_dispatch.table[b](reinterpret_cast<const float*>(s), reinterpret_cast<float*>(d),
                                                   int32_t(n));
         }},
        {"zaviCopy_8u", 1, join(join(shortLengths(), thresholdLengths(b, 8192, 262144)), thresholdLengths(b, 16384, 524288)),
         [&](const uint8_t* s, uint8_t* d, int64_t n) { return zaviCopy_8u_dispatch.table[b](s, d, int32_t(n)); }},
    };
    for (const Copy& copy : copies) {
        for (int64_t n : copy.lengths) {
            const std::size_t bytes = static_cast<std::size_t>(n * copy.elementSize);
            ByteArena source(bytes + 16, 7 + static_cast<uint32_t>(n));
            ByteArena arena(bytes + 16, 11 + static_cast<uint32_t>(n));
            const std::vector<uint8_t> before = arena.snapshot();
            for (int srcOffset = 0; srcOffset < 16; ++srcOffset) {
                for (int dstOffset = 0; dstOffset < 16; ++dstOffset) {
                    SCOPED_TRACE(std::string(copy.name) + " length " + std::to_string(n) + " src offset " +
                                 std::to_string(srcOffset) + " dst offset " + std::to_string(dstOffset));
                    ASSERT_EQ(copy.call(source.at(srcOffset), arena.at(dstOffset), n), 0);
                    ASSERT_TRUE(onlyRangeWritten(arena, before, dstOffset, source.at(srcOffset), bytes));
                }
            }
        }
    }
}

// Other primitives call the kernels directly, with any count: every kernel
// of the build, the SSE build's streaming and paged ones included, at short
// lengths and across page and block sizes.
TEST_P(MemoryMovers, KernelsWriteExactlyTheirRange) {
    const BuildMovers& k = moversOf(build());
    std::vector<int64_t> lengths = join(shortLengths(), {127, 128, 1000, 4096 + 7, 3 * 4096 + 1, 20480 + 13, 70000});
    using CopyKernel = void* (*)(const void*, void*, int64_t);
    using ZeroKernel = void* (*)(void*, int64_t);
    using FillKernel = void* (*)(uint32_t, void*, int64_t);
    const uint32_t pattern = 0xFFC01234;
    for (int64_t n : lengths) {
        const std::size_t bytes = static_cast<std::size_t>(n);
        ByteArena source(bytes + 16, 3);
        ByteArena arena(4 * bytes + 16, 5);
        const std::vector<uint8_t> before = arena.snapshot();
        const std::vector<uint8_t> zeros(bytes, 0);
        std::vector<uint8_t> filled(4 * bytes);
        for (std::size_t i = 0; i < filled.size(); i += 4) std::memcpy(&filled[i], &pattern, 4);
        for (int dstOffset = 0; dstOffset < 16; ++dstOffset) {
            SCOPED_TRACE("length " + std::to_string(n) + " dst offset " + std::to_string(dstOffset));
            uint8_t* dst = arena.at(dstOffset);
            for (ZeroKernel zero : {k.zero, k.zeroStream}) {
                if (zero == nullptr) continue;
                ASSERT_EQ(zero(dst, n), dst);
                ASSERT_TRUE(onlyRangeWritten(arena, before, dstOffset, zeros.data(), bytes));
            }
            for (FillKernel fill : {k.fill, k.fillStream}) {
                if (fill == nullptr) continue;
                ASSERT_EQ(fill(pattern, dst, n), dst);
                ASSERT_TRUE(onlyRangeWritten(arena, before, dstOffset, filled.data(), filled.size()));
            }
            for (CopyKernel copy : {k.copy, k.copyStream, k.copyPaged}) {
                if (copy == nullptr) continue;
                for (int srcOffset = 0; srcOffset < 16; ++srcOffset) {
                    ASSERT_EQ(copy(source.at(srcOffset), dst, n), dst);
                    ASSERT_TRUE(onlyRangeWritten(arena, before, dstOffset, source.at(srcOffset), bytes))
                        << "src offset " << srcOffset;
                }
            }
        }
    }
}

TEST_P(MemoryMovers, KernelsWriteNothingForCountsOfZeroAndBelow) {
    const BuildMovers& k = moversOf(build());
    ByteArena source(64);
    ByteArena arena(64);
    const std::vector<uint8_t> before = arena.snapshot();
    for (int64_t n : {int64_t{0}, int64_t{-1}, INT64_MIN}) {
        SCOPED_TRACE(n);
        uint8_t* dst = arena.at(3);
        for (auto zero : {k.zero, k.zeroStream}) {
            if (zero != nullptr) {
                EXPECT_EQ(zero(dst, n), dst);
            }
        }
        for (auto fill : {k.fill, k.fillStream}) {
            if (fill != nullptr) {
                EXPECT_EQ(fill(0x12345678, dst, n), dst);
            }
        }
        for (auto copy : {k.copy, k.copyStream, k.copyPaged}) {
            if (copy != nullptr) {
                EXPECT_EQ(copy(source.at(0), dst, n), dst);
            }
        }
        if (build() == buildSse) prefetchPages_sse(source.at(0), n);
        EXPECT_EQ(arena.firstDifference(before), -1);
    }
}

// Floats are moved as patterns: signalling and quiet NaN payloads, the
// infinities and -0 come out as they went in, at every byte phase of the
// destination.
TEST_P(MemoryMovers, SetStoresTheExactPatternAtAnyAlignment) {
    const uint32_t values[] = {0x7FA00001, 0xFFC0BEEF, 0x7F800000, 0xFF800000, 0x80000000, 0x11223344, 0x00000001};
    std::vector<int64_t> lengths = {1, 2, 3, 5, 8, 16, 17, 33, 100, 1000};
    for (int64_t n : thresholdLengths(build(), 5120, 131072)) lengths.push_back(n);
    for (uint32_t value : values) {
        for (int64_t n : lengths) {
            ByteArena arena(static_cast<std::size_t>(n) * 4 + 16, value);
            const std::vector<uint8_t> before = arena.snapshot();
            std::vector<uint32_t> expected(static_cast<std::size_t>(n), value);
            for (int offset : {0, 1, 2, 3, 5, 6, 7}) {
                SCOPED_TRACE(describeFloat(floatOf(value)) + " length " + std::to_string(n) + " offset " +
                             std::to_string(offset));
                ASSERT_EQ(body(zaviSet_32f_dispatch)(floatOf(value), arena.floatsAt(offset), int32_t(n)), 0);
                ASSERT_TRUE(onlyRangeWritten(arena, before, offset, expected.data(), expected.size() * 4));
            }
        }
    }
}

// Large copies choose their path by the distance between source and
// destination modulo 64 KiB and by the source's 8-byte alignment; each band
// must copy the same bytes.
TEST_P(MemoryMovers, LargeCopiesAreExactInEveryDistanceBand) {
    constexpr int64_t kBytes = 2 * 262144 + 1000;  // two read-ahead chunks and a rest
    constexpr int64_t kApart = 16 * 65536;         // further apart than the copy is long
    ByteArena arena(static_cast<std::size_t>(kBytes + kApart + 65536 + 64), 9);
    const std::vector<uint8_t> before = arena.snapshot();
    // Source 8-byte aligned: below, inside and above each band.
    const int64_t aligned[] = {0, 0x100, 0xFE48, 0xFE50, 0xFEA8, 0xFEB0, 0xFF38, 0xFF40};
    // Source off 8-byte alignment.
    const int64_t misaligned[] = {0x101, 0xFE8B, 0xFE8C, 0xFEFB, 0xFEFC, 0xFFEE, 0xFFEF, 0xFFF4};
    for (const auto* set : {&aligned, &misaligned}) {
        for (int64_t distance : *set) {
            for (int64_t dstOffset : {0, 4, 9}) {
                SCOPED_TRACE("distance " + std::to_string(distance) + " dst offset " + std::to_string(dstOffset));
                const int64_t srcOffset = dstOffset + kApart + distance;
                ASSERT_EQ(body(dezoRide_32d_dispatch)(arena.floatsAt(srcOffset), arena.floatsAt(dstOffset),
                                                      int32_t(kBytes / 4)),
                          0);
                ASSERT_TRUE(onlyRangeWritten(arena, before, dstOffset, before.data() + arena.index(srcOffset),
                                             kBytes));
                ASSERT_EQ(body(zaviCopy_8u_dispatch)(arena.at(srcOffset), arena.at(dstOffset), int32_t(kBytes)), 0);
                ASSERT_TRUE(onlyRangeWritten(arena, before, dstOffset, before.data() + arena.index(srcOffset),
                                             kBytes));
            }
        }
    }
}

// A scope shifts its columns within one array: overlapping copies give
// memmove's result in both directions.
TEST_P(MemoryMovers, OverlappingCopiesActAsMemmove) {
    for (int64_t n : {1, 2, 7, 33, 100, 3000, 70000}) {
        for (int64_t shift = -20; shift <= 20; ++shift) {
            if (shift == 0) continue;
            SCOPED_TRACE("length " + std::to_string(n) + " shift " + std::to_string(shift));
            const std::size_t bytes = static_cast<std::size_t>(n) * 4;
            ByteArena arena(bytes + 200, static_cast<uint32_t>(n));
            const std::ptrdiff_t srcOffset = 84;
            const std::ptrdiff_t dstOffset = srcOffset + shift * 4;
            std::vector<uint8_t> expected = arena.snapshot();
            std::memmove(expected.data() + arena.index(dstOffset), expected.data() + arena.index(srcOffset), bytes);
            ASSERT_EQ(body(dezoRide_32d_dispatch)(arena.floatsAt(srcOffset), arena.floatsAt(dstOffset), int32_t(n)),
                      0);
            ASSERT_EQ(arena.firstDifference(expected), -1) << "dezoRide_32d";

            ByteArena bytesArena(static_cast<std::size_t>(n) + 100, static_cast<uint32_t>(n));
            expected = bytesArena.snapshot();
            std::memmove(expected.data() + bytesArena.index(40 + shift), expected.data() + bytesArena.index(40),
                         static_cast<std::size_t>(n));
            ASSERT_EQ(body(zaviCopy_8u_dispatch)(bytesArena.at(40), bytesArena.at(40 + shift), int32_t(n)), 0);
            ASSERT_EQ(bytesArena.firstDifference(expected), -1) << "zaviCopy_8u";
        }
    }
    // A copy onto itself changes nothing.
    ByteArena arena(400);
    const std::vector<uint8_t> before = arena.snapshot();
    ASSERT_EQ(body(dezoRide_32d_dispatch)(arena.floatsAt(4), arena.floatsAt(4), 90), 0);
    EXPECT_EQ(arena.firstDifference(before), -1);
}

INSTANTIATE_PER_BUILD_TEST_SUITE(MemoryMovers);

// ---- vectors beyond 2 GiB ----

int64_t availableMemoryBytes() {
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    int64_t kib = 0;
    std::string unit;
    while (meminfo >> key >> kib >> unit) {
        if (key == "MemAvailable:") return kib * 1024;
    }
    return 0;
}

// Anonymous memory of `bytes`, populated in one call where the kernel offers
// it rather than by half a million first-touch faults. (Huge pages would
// need fewer, but asking for them can stall on memory compaction.)
class LargeMapping {
public:
    explicit LargeMapping(std::size_t bytes) : size_(bytes) {
        void* m = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m == MAP_FAILED) return;
        base_ = m;
#ifdef MADV_POPULATE_WRITE
        madvise(base_, size_, MADV_POPULATE_WRITE);
#endif
    }
    ~LargeMapping() {
        if (base_ != nullptr) munmap(base_, size_);
    }
    LargeMapping(const LargeMapping&) = delete;
    LargeMapping& operator=(const LargeMapping&) = delete;
    void* data() const { return base_; }

private:
    void* base_ = nullptr;
    std::size_t size_;
};

// len * 4 overflows 32 bits from len = 2^29 on: every element must still be
// written, up to the last. The sanitizer build skips it: it cannot watch
// mapped memory, and the guards here are checked by hand anyway.
TEST(MemoryMoversBeyond2GiB, ZeroAndSetReachTheLastElement) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "skipped under AddressSanitizer, which does not watch mapped memory";
#endif
    constexpr int64_t kLength = (int64_t{1} << 29) + 3;
    constexpr int64_t kGuard = 64;
    if (availableMemoryBytes() < (int64_t{3} << 30)) {
        GTEST_SKIP() << "needs 3 GiB of free memory for a vector of 2^29 + 3 floats";
    }
    LargeMapping mapping(static_cast<std::size_t>(kLength + 2 * kGuard) * 4);
    if (mapping.data() == nullptr) GTEST_SKIP() << "could not map 2 GiB";
    float* v = static_cast<float*>(mapping.data()) + kGuard;
    const float marker = -7.25f;
    // The elements checked: the head, the tail, and points in the middle,
    // around the 32-bit byte-count boundary.
    const int64_t middle[] = {kLength / 2, (int64_t{1} << 29) - 1, (int64_t{1} << 29) - 1024};
    auto mark = [&] {
        for (int64_t i = -kGuard; i < 1024; ++i) v[i] = marker;
        for (int64_t i = kLength - 1024; i < kLength + kGuard; ++i) v[i] = marker;
        for (int64_t i : middle) v[i] = marker;
    };
    auto regionHolds = [&](float expected) {
        for (int64_t i = 0; i < 1024; ++i) {
            if (bitsOf(v[i]) != bitsOf(expected)) return false;
        }
        for (int64_t i = kLength - 1024; i < kLength; ++i) {
            if (bitsOf(v[i]) != bitsOf(expected)) return false;
        }
        for (int64_t i : middle) {
            if (bitsOf(v[i]) != bitsOf(expected)) return false;
        }
        return true;
    };
    auto guardsHold = [&] {
        for (int64_t i = 1; i <= kGuard; ++i) {
            if (v[-i] != marker || v[kLength - 1 + i] != marker) return false;
        }
        return true;
    };
    for (int32_t build = kFirstBuild; build <= kLastBuild; ++build) {
        if (!hostRunsBuild(build)) continue;
        SCOPED_TRACE(buildName(build));
        mark();
        ASSERT_EQ(zaviZero_32f_dispatch.table[build](v, int32_t(kLength)), 0);
        EXPECT_TRUE(regionHolds(0.0f));
        EXPECT_TRUE(guardsHold());
        mark();
        ASSERT_EQ(zaviSet_32f_dispatch.table[build](3.5f, v, int32_t(kLength)), 0);
        EXPECT_TRUE(regionHolds(3.5f));
        EXPECT_TRUE(guardsHold());
    }
}

}  // namespace
}  // namespace primitives::test
