// The nine arithmetic entries against the same single-precision C++
// operation, bit for bit, over lengths, alignments and the constant short
// cuts, in every build.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "BuildTest.h"
#include "GuardedBuffer.h"
#include "VectorTestSupport.h"
#include "primitives/core/DispatchRecords.h"

namespace primitives::test {
namespace {

enum class Form {
    twoVectors,         // (a, b, dst): dst = op(a, b)
    twoVectorsInPlace,  // (a, b): b = op(a, b)
    constant,           // (a, c, dst): dst = op(a, c)
    constantInPlace,    // (c, a): a = op(a, c)
};

struct ArithmeticEntry {
    const char* name;
    Form form;
    float (*op)(float, float);
    // Calls the entry of `build` with the operands its form uses.
    PrimitiveStatus (*call)(int32_t build, const float* a, float* b, float c, float* dst, int32_t len);
};

float multiply(float a, float b) { return a * b; }
float add(float a, float b) { return a + b; }
float subtractFirst(float a, float b) { return b - a; }

const ArithmeticEntry kEntries[] = {
    {"zaviMul_32f", Form::twoVectors, multiply,
     [](int32_t k, const float* a, float* b, float, float* d, int32_t n) { return zaviMul_32f_dispatch.table[k](a, b, d, n); }},
    {"zaviSub_32f", Form::twoVectors, subtractFirst,
     [](int32_t k, const float* a, float* b, float, float* d, int32_t n) { return zaviSub_32f_dispatch.table[k](a, b, d, n); }},
    {"zaviMul_32f_I", Form::twoVectorsInPlace, multiply,
     [](int32_t k, const float* a, float* b, float, float*, int32_t n) { return zaviMul_32f_I_dispatch.table[k](a, b, n); }},
    {"zaviAdd_32f_I", Form::twoVectorsInPlace, add,
     [](int32_t k, const float* a, float* b, float, float*, int32_t n) { return zaviAdd_32f_I_dispatch.table[k](a, b, n); }},
    {"zaviSub_32f_I", Form::twoVectorsInPlace, subtractFirst,
     [](int32_t k, const float* a, float* b, float, float*, int32_t n) { return zaviSub_32f_I_dispatch.table[k](a, b, n); }},
    {"zaviMulC_32f", Form::constant, multiply,
     [](int32_t k, const float* a, float*, float c, float* d, int32_t n) { return zaviMulC_32f_dispatch.table[k](a, c, d, n); }},
    {"zaviAddC_32f", Form::constant, add,
     [](int32_t k, const float* a, float*, float c, float* d, int32_t n) { return zaviAddC_32f_dispatch.table[k](a, c, d, n); }},
    {"zaviMulC_32f_I", Form::constantInPlace, multiply,
     [](int32_t k, const float* a, float*, float c, float*, int32_t n) {
         return zaviMulC_32f_I_dispatch.table[k](c, const_cast<float*>(a), n);
     }},
    {"zaviAddC_32f_I", Form::constantInPlace, add,
     [](int32_t k, const float* a, float*, float c, float*, int32_t n) {
         return zaviAddC_32f_I_dispatch.table[k](c, const_cast<float*>(a), n);
     }},
};

bool usesSecondVector(Form f) { return f == Form::twoVectors || f == Form::twoVectorsInPlace; }
bool hasDestination(Form f) { return f == Form::twoVectors || f == Form::constant; }

class ElementwiseArithmetic : public PerBuildTest {
protected:
    // Runs `entry` on n elements placed at the given byte offsets (from
    // 64-byte boundaries) and compares every byte of the written array with
    // the C++ operation; nothing else may change.
    void checkEntry(const ArithmeticEntry& entry, int64_t n, int offA, int offB, int offD, float c,
                    uint32_t seed) {
        SCOPED_TRACE(std::string(entry.name) + " length " + std::to_string(n) + " offsets " + std::to_string(offA) +
                     "/" + std::to_string(offB) + "/" + std::to_string(offD) + " constant " + describeFloat(c));
        const std::size_t bytes = static_cast<std::size_t>(n) * 4;
        ByteArena& arenaA = arenas_[0].reserve(bytes + 16, 1);
        ByteArena& arenaB = arenas_[1].reserve(bytes + 16, 2);
        ByteArena& arenaD = arenas_[2].reserve(bytes + 16, 3);
        awkwardFloatsInto(a_, static_cast<std::size_t>(n), seed);
        awkwardFloatsInto(b_, static_cast<std::size_t>(n), seed * 7 + 3);
        writeFloats(arenaA.at(offA), a_);
        writeFloats(arenaB.at(offB), b_);
        result_.resize(static_cast<std::size_t>(n));
        for (std::size_t i = 0; i < result_.size(); ++i) {
            result_[i] = entry.op(a_[i], usesSecondVector(entry.form) ? b_[i] : c);
        }

        ASSERT_EQ(entry.call(build(), arenaA.floatsAt(offA), arenaB.floatsAt(offB), c, arenaD.floatsAt(offD), int32_t(n)), 0);

        // What each arena must hold in its range: the result where the entry
        // writes, the inputs elsewhere (and the untouched destination).
        const int written = hasDestination(entry.form) ? 2 : entry.form == Form::twoVectorsInPlace ? 1 : 0;
        const int offsets[3] = {offA, offB, offD};
        const void* expected[3] = {a_.data(), b_.data(), nullptr};
        expected[written] = result_.data();
        for (int k = 0; k < 3; ++k) {
            ByteArena& arena = *arenas_[k].arena;
            const std::vector<uint8_t>& before = arenas_[k].before;
            EXPECT_TRUE(arena.unchangedOutside(before, offsets[k], bytes)) << "arena " << k << " changed outside";
            const void* want = expected[k] != nullptr ? expected[k] : before.data() + arena.index(offsets[k]);
            if (std::memcmp(arena.at(offsets[k]), want, bytes) != 0) {
                const std::vector<float> got = readFloats(arena.at(offsets[k]), static_cast<std::size_t>(n));
                const std::vector<float> wanted = readFloats(want, static_cast<std::size_t>(n));
                const std::ptrdiff_t i = firstBitDifference(got, wanted);
                ADD_FAILURE() << (k == written ? "result" : "an operand changed") << ", element " << i << ": "
                              << describeFloat(got[static_cast<std::size_t>(i)]) << ", want "
                              << describeFloat(wanted[static_cast<std::size_t>(i)]);
            }
            arena.restoreRange(before, offsets[k], bytes);
        }
    }

private:
    ReusableArena arenas_[3];
    std::vector<float> a_, b_, result_;
};

TEST_P(ElementwiseArithmetic, ChecksPointersThenLength) {
    for (const ArithmeticEntry& entry : kEntries) {
        SCOPED_TRACE(entry.name);
        GuardedBuffer<float> a(8), b(8), d(8);
        const bool twoVectors = usesSecondVector(entry.form);
        const bool destination = hasDestination(entry.form);
        struct Case {
            bool nullA, nullB, nullD;
            int32_t len;
            PrimitiveStatus expected;
        };
        std::vector<Case> cases = {{true, false, false, 0, -8}, {true, false, false, -5, -8},
                                   {true, false, false, 4, -8}, {false, false, false, 0, -6},
                                   {false, false, false, -5, -6}, {false, false, false, INT32_MIN, -6}};
        if (twoVectors) cases.push_back({false, true, false, 0, -8});
        if (destination) cases.push_back({false, false, true, -1, -8});
        for (const Case& c : cases) {
            SCOPED_TRACE("len " + std::to_string(c.len));
            EXPECT_EQ(entry.call(build(), c.nullA ? nullptr : a.data(), c.nullB ? nullptr : b.data(), 2.0f,
                                 c.nullD ? nullptr : d.data(), c.len),
                      c.expected);
            EXPECT_TRUE(a.untouched() && b.untouched() && d.untouched());
        }
    }
}

TEST_P(ElementwiseArithmetic, ShortVectorsAtEveryAlignmentOfEachOperand) {
    const int offsets[] = {0, 4, 8, 12};
    for (const ArithmeticEntry& entry : kEntries) {
        for (int64_t n = 1; n <= 40; ++n) {
            for (int offA : offsets) {
                for (int offB : usesSecondVector(entry.form) ? std::vector<int>{0, 4, 8, 12} : std::vector<int>{0}) {
                    for (int offD : hasDestination(entry.form) ? std::vector<int>{0, 4, 8, 12} : std::vector<int>{0}) {
                        checkEntry(entry, n, offA, offB, offD, -2.75f, static_cast<uint32_t>(n * 131 + offA));
                        if (HasFatalFailure()) return;
                    }
                }
            }
        }
    }
}

// Pointers off 4-byte alignment are valid: a destination (or the in-place
// vector) and sources at odd byte offsets, short and blocked.
TEST_P(ElementwiseArithmetic, OperandsOffFourByteAlignment) {
    for (const ArithmeticEntry& entry : kEntries) {
        for (int64_t n : {1, 10, 11, 17, 40, 1001}) {
            for (const auto& [offA, offB, offD] : {std::tuple{0, 0, 1}, {0, 4, 2}, {3, 8, 4}, {1, 2, 3}, {2, 3, 0}}) {
                checkEntry(entry, n, offA, offB, offD, 0.375f, static_cast<uint32_t>(n + offD));
                if (HasFatalFailure()) return;
            }
        }
    }
}

// Around the block counts where the constant multiply turns to
// non-temporal stores and the in-place constant forms start prefetching,
// with the destination aligned and with a head of single elements.
TEST_P(ElementwiseArithmetic, AcrossTheStoreAndPrefetchThresholds) {
    const std::pair<const char*, std::vector<int64_t>> thresholds[] = {
        {"zaviMulC_32f", {8 * 8192, 8 * 16384}},
        {"zaviMulC_32f_I", {131072, 262144}},
        {"zaviAddC_32f_I", {131072, 262144}},
    };
    for (const ArithmeticEntry& entry : kEntries) {
        for (const auto& [name, elements] : thresholds) {
            if (std::string(name) != entry.name) continue;
            for (int64_t blocksEnd : elements) {
                for (int64_t extra : {0, 8, 11}) {
                    checkEntry(entry, blocksEnd + extra, 0, 0, 0, 1.25f, 5);
                    checkEntry(entry, blocksEnd + extra + 1, 4, 4, 12, 1.25f, 6);
                    if (HasFatalFailure()) return;
                }
            }
        }
    }
}

// An out-of-place destination may be one of the sources.
TEST_P(ElementwiseArithmetic, DestinationMayBeASource) {
    for (int64_t n : {1, 7, 11, 33, 1000}) {
        SCOPED_TRACE(n);
        const std::vector<float> a = awkwardFloats(static_cast<std::size_t>(n), 21);
        const std::vector<float> b = awkwardFloats(static_cast<std::size_t>(n), 22);
        auto expectAll = [&](const std::vector<float>& got, float (*op)(float, float), const std::vector<float>* second,
                             float c, const char* what) {
            for (std::size_t i = 0; i < got.size(); ++i) {
                const float want = op(a[i], second ? (*second)[i] : c);
                ASSERT_EQ(bitsOf(got[i]), bitsOf(want)) << what << " element " << i;
            }
        };
        for (const auto& [entry, op] : {std::pair{zaviMul_32f_dispatch.table[build()], &multiply},
                                        {zaviSub_32f_dispatch.table[build()], &subtractFirst}}) {
            std::vector<float> x = a, y = b;
            ASSERT_EQ(entry(x.data(), y.data(), x.data(), int32_t(n)), 0);
            expectAll(x, op, &b, 0, "dst = src1");
            x = a;
            ASSERT_EQ(entry(x.data(), y.data(), y.data(), int32_t(n)), 0);
            expectAll(y, op, &b, 0, "dst = src2");
        }
        std::vector<float> x = a;
        ASSERT_EQ(body(zaviMulC_32f_dispatch)(x.data(), -3.5f, x.data(), int32_t(n)), 0);
        expectAll(x, multiply, nullptr, -3.5f, "zaviMulC_32f in place");
        x = a;
        ASSERT_EQ(body(zaviAddC_32f_dispatch)(x.data(), 0.5f, x.data(), int32_t(n)), 0);
        expectAll(x, add, nullptr, 0.5f, "zaviAddC_32f in place");
    }
}

TEST_P(ElementwiseArithmetic, SubtractTakesTheFirstVectorFromTheSecond) {
    const float a[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    float b[] = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    float d[12];
    ASSERT_EQ(body(zaviSub_32f_dispatch)(a, b, d, 12), 0);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(d[i], 9.0f * a[i]) << i;
    ASSERT_EQ(body(zaviSub_32f_I_dispatch)(a, b, 12), 0);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(b[i], 9.0f * a[i]) << i;
}

// The constants 1 and 0 (and -0, and NaN, which compares "equal" to both)
// copy, zero or leave the vector alone instead of computing: every bit of
// the source passes, NaN payloads and -0 included, and a zero constant
// writes +0 even over infinities and NaN.
TEST_P(ElementwiseArithmetic, ConstantsThatCopyZeroOrLeaveAlone) {
    const float nan = floatOf(0x7FC01234);
    for (int64_t n : {1, 5, 40, 5000}) {
        SCOPED_TRACE(n);
        std::vector<float> src = awkwardFloats(static_cast<std::size_t>(n), 3);
        src[0] = -0.0f;
        if (n > 2) src[1] = floatOf(0x7FA00005);   // signalling NaN payload
        if (n > 2) src[2] = floatOf(0xFFC0ABCD);
        const std::vector<float> zeros(src.size(), 0.0f);
        struct Case {
            const char* what;
            float val;
            bool multiply;
            const std::vector<float>* outOfPlace;  // expected result of the out-of-place form
            bool inPlaceZeroes;                    // the in-place form zeroes (else leaves alone)
        };
        const Case cases[] = {
            {"mul 1", 1.0f, true, &src, false},   {"mul NaN", nan, true, &src, false},
            {"mul 0", 0.0f, true, &zeros, true},  {"mul -0", -0.0f, true, &zeros, true},
            {"add 0", 0.0f, false, &src, false},  {"add -0", -0.0f, false, &src, false},
            {"add NaN", nan, false, &src, false},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            std::vector<float> dst(src.size(), 42.0f);
            const PrimitiveStatus status = c.multiply ? body(zaviMulC_32f_dispatch)(src.data(), c.val, dst.data(), int32_t(n))
                                                      : body(zaviAddC_32f_dispatch)(src.data(), c.val, dst.data(), int32_t(n));
            ASSERT_EQ(status, 0);
            EXPECT_EQ(firstBitDifference(dst, *c.outOfPlace), -1);
            std::vector<float> inPlace = src;
            const PrimitiveStatus inPlaceStatus = c.multiply ? body(zaviMulC_32f_I_dispatch)(c.val, inPlace.data(), int32_t(n))
                                                             : body(zaviAddC_32f_I_dispatch)(c.val, inPlace.data(), int32_t(n));
            ASSERT_EQ(inPlaceStatus, 0);
            EXPECT_EQ(firstBitDifference(inPlace, c.inPlaceZeroes ? zeros : src), -1);
        }
    }
}

// Ordinary constants compute, also with a NaN or an infinity in the data;
// a NaN in the input gives a NaN (its payload may differ between builds).
TEST_P(ElementwiseArithmetic, NaNInputGivesNaN) {
    for (const ArithmeticEntry& entry : kEntries) {
        SCOPED_TRACE(entry.name);
        std::vector<float> a = randomFloats(37, 8), b = randomFloats(37, 9), d(37);
        for (std::size_t i : {0u, 5u, 16u, 36u}) a[i] = floatOf(0x7FC00000 | static_cast<uint32_t>(i));
        for (std::size_t i : {3u, 20u}) b[i] = floatOf(0xFFA00000 | static_cast<uint32_t>(i));
        const std::vector<float> a0 = a, b0 = b;
        ASSERT_EQ(entry.call(build(), a.data(), b.data(), 3.0f, d.data(), 37), 0);
        const std::vector<float>& out = hasDestination(entry.form) ? d : entry.form == Form::twoVectorsInPlace ? b : a;
        for (std::size_t i = 0; i < out.size(); ++i) {
            const float want = entry.op(a0[i], usesSecondVector(entry.form) ? b0[i] : 3.0f);
            EXPECT_EQ(std::isnan(out[i]), std::isnan(want)) << i;
            if (!std::isnan(want)) {
                EXPECT_EQ(bitsOf(out[i]), bitsOf(want)) << i;
            }
        }
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(ElementwiseArithmetic);

}  // namespace
}  // namespace primitives::test
