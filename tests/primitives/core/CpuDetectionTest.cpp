#include "primitives/core/CpuDetection.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <ostream>
#include <string>
#include <utility>

#include "BuildTest.h"
#include "primitives/core/Dispatcher.h"

namespace primitives {
namespace {

enum Feature : unsigned {
    mmx = 1u << 0,
    sse = 1u << 1,
    sse2 = 1u << 2,
    sse3 = 1u << 3,
    hyperThreading = 1u << 4,  // leaf 1 EDX bit 28
    twoLogical = 1u << 5,      // leaf 1 EBX bits 16-23 = 2
    longMode = 1u << 6,        // extended leaf 1 EDX bit 29
    noExtendedLeaf1 = 1u << 7, // highest extended leaf below 0x80000001
};

void setVendor(CpuidProbe& probe, const char (&text)[13]) {
    std::memcpy(&probe.vendor[0], text, 4);
    std::memcpy(&probe.vendor[1], text + 4, 4);
    std::memcpy(&probe.vendor[2], text + 8, 4);
}

CpuidProbe makeProbe(uint32_t familyField, unsigned features, const char (&vendor)[13] = "VelkarnTestA") {
    CpuidProbe probe;
    probe.identificationInstruction = true;
    probe.maxStandardLeaf = 2;
    setVendor(probe, vendor);
    probe.signature = familyField << 8;
    probe.leaf1Edx = (features & mmx ? 1u << 23 : 0) | (features & sse ? 1u << 25 : 0) |
                     (features & sse2 ? 1u << 26 : 0) | (features & hyperThreading ? 1u << 28 : 0);
    probe.leaf1Ecx = features & sse3 ? 1u : 0;
    probe.leaf1Ebx = (features & twoLogical ? 2u : 1u) << 16;
    probe.maxExtendedLeaf = features & noExtendedLeaf1 ? 0x80000000u : 0x80000008u;
    probe.extendedLeaf1Edx = features & longMode ? 1u << 29 : 0;
    return probe;
}

CpuidProbe withoutIdentificationInstruction(CpuidProbe probe) {
    probe.identificationInstruction = false;
    return probe;
}

CpuidProbe withVendorBytes(CpuidProbe probe, uint32_t ebx, uint32_t edx, uint32_t ecx) {
    probe.vendor[0] = ebx;
    probe.vendor[1] = edx;
    probe.vendor[2] = ecx;
    return probe;
}

struct ProbeCase {
    const char* name;
    CpuidProbe probe;
    CpuTypeCode type;
    int32_t build;
    PrimitiveStatus status;
};

void PrintTo(const ProbeCase& c, std::ostream* os) { *os << c.name; }

constexpr unsigned kModern = mmx | sse | sse2 | sse3 | hyperThreading | twoLogical | longMode;

const ProbeCase kProbeCases[] = {
    // Processors the library cannot identify: generic build, warning 20.
    {"no_identification_instruction", withoutIdentificationInstruction(makeProbe(15, kModern)), 0, 1, 20},
    {"vendor_of_zero_bytes", withVendorBytes(makeProbe(15, kModern), 0, 0, 0), 0, 1, 20},
    {"vendor_of_twelve_blanks", makeProbe(15, kModern, "            "), 0, 1, 20},
    {"vendor_with_control_byte", makeProbe(6, kModern, "Velk\x01rnTestA"), 0, 1, 20},
    {"vendor_with_delete_byte", makeProbe(6, kModern, "VelkarnTest\x7f"), 0, 1, 20},
    {"vendor_with_high_byte", makeProbe(6, kModern, "Velk\xe4rnTestA"), 0, 1, 20},
    // Served vendors: any twelve printable characters, blanks allowed.
    {"vendor_mostly_blanks", makeProbe(6, sse2, "    x       "), 9, 3, 0},
    {"vendor_of_punctuation", makeProbe(6, sse2, "~!@#$%^&*()_"), 9, 3, 0},
    // Families without a class of their own.
    {"family_0", makeProbe(0, kModern), 0, 1, 0},
    {"family_3", makeProbe(3, 0), 0, 1, 0},
    {"family_4", makeProbe(4, mmx), 0, 1, 0},
    {"family_8", makeProbe(8, kModern), 0, 1, 0},
    {"family_14", makeProbe(14, kModern), 0, 1, 0},
    // Family 5.
    {"family_5", makeProbe(5, 0), 1, 1, 0},
    {"family_5_mmx", makeProbe(5, mmx), 2, 1, 0},
    // Family 6.
    {"family_6", makeProbe(6, 0), 3, 1, 0},
    {"family_6_mmx", makeProbe(6, mmx), 4, 1, 0},
    {"family_6_sse", makeProbe(6, mmx | sse), 5, 2, 0},
    {"family_6_sse_without_mmx", makeProbe(6, sse), 5, 2, 0},
    {"family_6_sse2", makeProbe(6, mmx | sse | sse2), 9, 3, 0},
    {"family_6_sse2_only_bit", makeProbe(6, sse2), 9, 3, 0},
    {"family_6_everything", makeProbe(6, kModern), 9, 3, 0},
    // Family 7.
    {"family_7", makeProbe(7, 0), 16, 2, 0},
    {"family_7_everything", makeProbe(7, kModern), 16, 2, 0},
    // Family 15.
    {"family_15", makeProbe(15, 0), 17, 2, 0},
    {"family_15_sse", makeProbe(15, mmx | sse), 17, 2, 0},
    {"family_15_sse3_without_sse2", makeProbe(15, sse | sse3 | longMode), 17, 2, 0},
    {"family_15_sse2", makeProbe(15, mmx | sse | sse2), 6, 3, 0},
    {"family_15_sse2_two_logical", makeProbe(15, sse2 | hyperThreading | twoLogical), 7, 3, 0},
    {"family_15_sse2_ht_bit_one_logical", makeProbe(15, sse2 | hyperThreading), 6, 3, 0},
    {"family_15_sse2_two_logical_no_ht_bit", makeProbe(15, sse2 | twoLogical), 6, 3, 0},
    {"family_15_sse2_long_mode", makeProbe(15, sse2 | longMode), 6, 3, 0},
    {"family_15_sse3", makeProbe(15, sse2 | sse3), 8, 4, 0},
    {"family_15_sse3_two_logical", makeProbe(15, sse2 | sse3 | hyperThreading | twoLogical), 8, 4, 0},
    {"family_15_sse3_long_mode", makeProbe(15, sse2 | sse3 | longMode), 32, 4, 0},
    {"family_15_sse3_long_mode_bit_without_leaf",
     makeProbe(15, sse2 | sse3 | longMode | noExtendedLeaf1), 8, 4, 0},
};

class CpuClassification : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(CpuClassification, GivesTypeBuildAndStatus) {
    const ProbeCase& c = GetParam();
    EXPECT_EQ(classifyCpuType(c.probe), c.type);
    EXPECT_EQ(buildIndexForCpuType(c.type), c.build);

    test::ScopedBuildIndex restore(2);
    EXPECT_EQ(initCpuDispatchFrom(c.probe), c.status);
    EXPECT_EQ(CpuDispatchIndex.load(), c.build);
}

INSTANTIATE_TEST_SUITE_P(Probes, CpuClassification, ::testing::ValuesIn(kProbeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CpuClassification, ExtendedFamilyFieldIsNotConsulted) {
    // Family field 15 with extended family 10 (a family-25 processor) is
    // classified as family 15; family field 6 with extended family 1 as 6.
    CpuidProbe probe = makeProbe(15, kModern);
    probe.signature |= 0x0A00000u;
    EXPECT_EQ(classifyCpuType(probe), 32);
    probe = makeProbe(6, kModern);
    probe.signature |= 0x0100000u;
    EXPECT_EQ(classifyCpuType(probe), 9);
}

TEST(CpuInfoFromProbe, SplitsSignatureAndKeepsRawWords) {
    CpuidProbe probe = makeProbe(0, 0);
    probe.signature = 0x0FF3F6A9u;  // extended fields set; family 6, model 10, stepping 9
    probe.leaf1Edx = 0x178BFBFFu;
    probe.leaf1Ecx = 0x7ED8320Bu;
    probe.leaf1Ebx = 0x00100800u;  // 16 logical processors
    probe.leaf2Eax = 0x665B5001u;
    probe.leaf2Edx = 0x00C77C00u;
    probe.maxExtendedLeaf = 0x80000001u;
    probe.extendedLeaf1Edx = 0x2FD3FBFFu;

    const CpuInfoRecord info = cpuInfoFromProbe(probe);
    EXPECT_EQ(info.family, 6u);
    EXPECT_EQ(info.model, 10u);
    EXPECT_EQ(info.stepping, 9u);
    EXPECT_EQ(info.featureWord, 0x178BFBFFu);
    EXPECT_EQ(info.cacheDescriptorsEax, 0x665B5001u);
    EXPECT_EQ(info.cacheDescriptorsEdx, 0x00C77C00u);
    EXPECT_EQ(info.hasMmx, 1u);
    EXPECT_EQ(info.hasSse, 1u);
    EXPECT_EQ(info.hasSse2, 1u);
    EXPECT_EQ(info.hasSeveralLogicalProcessors, 1u);
    EXPECT_EQ(info.hasSse3, 1u);
    EXPECT_EQ(info.has64BitExtensions, 1u);

    const CpuInfoRecord none = cpuInfoFromProbe(CpuidProbe{});
    EXPECT_EQ(none.hasMmx + none.hasSse + none.hasSse2 + none.hasSeveralLogicalProcessors + none.hasSse3 +
                  none.has64BitExtensions,
              0u);
}

TEST(HostProcessor, IsIdentifiedAndGetsAVectorBuild) {
    EXPECT_EQ(isCpuidSupported(), 1);
    EXPECT_EQ(checkCpuVendor(), 1);

    test::ScopedBuildIndex restore(1);
    const CpuTypeCode type = DetectCpuType();
    EXPECT_EQ(initCpuDispatch(), 0);
    const int32_t build = CpuDispatchIndex.load();
    EXPECT_EQ(build, buildIndexForCpuType(type));
    EXPECT_GE(build, buildSse) << "every x86-64 processor has SSE2";
    std::cout << "host processor class " << type << ", build " << build << " (" << test::buildName(build)
              << ")\n";
    RecordProperty("host_cpu_type", type);
    RecordProperty("host_build_index", build);
}

// The feature queries with the info-record flag that reports the same
// feature, and the one bit each of them reads.
struct FeatureQuery {
    const char* name;
    uint32_t (*query)(const CpuidProbe&);
    int32_t (*onHost)();
    uint32_t CpuInfoRecord::*flag;  // null: the record has no flag for it
    uint32_t CpuidProbe::*word;
    int bit;
};

const FeatureQuery kFeatureQueries[] = {
    {"tsc", hasTimeStampCounter, cpuHasTsc, nullptr, &CpuidProbe::leaf1Edx, 4},
    {"mmx", hasMmx, cpuHasMmx, &CpuInfoRecord::hasMmx, &CpuidProbe::leaf1Edx, 23},
    {"sse", hasSse, cpuHasSse, &CpuInfoRecord::hasSse, &CpuidProbe::leaf1Edx, 25},
    {"sse2", hasSse2, cpuHasSse2, &CpuInfoRecord::hasSse2, &CpuidProbe::leaf1Edx, 26},
    {"several_logical", hasSeveralLogicalProcessors, cpuHasSeveralLogicalProcessors,
     &CpuInfoRecord::hasSeveralLogicalProcessors, &CpuidProbe::leaf1Edx, 28},
    {"sse3", hasSse3, cpuHasSse3, &CpuInfoRecord::hasSse3, &CpuidProbe::leaf1Ecx, 0},
    {"64_bit", has64BitExtensions, cpuHas64BitExtensions, &CpuInfoRecord::has64BitExtensions,
     &CpuidProbe::extendedLeaf1Edx, 29},
};

// Each query answers 1 for its own bit alone, and 0 when every other bit of
// the feature words is set. The extended leaf is reported and two logical
// processors are counted, so those conditions do not hide a bit.
TEST(FeatureQueries, EachReadsItsOwnBitOfItsOwnWord) {
    uint32_t CpuidProbe::*const featureWords[] = {&CpuidProbe::leaf1Ecx, &CpuidProbe::leaf1Edx,
                                                  &CpuidProbe::extendedLeaf1Edx};
    CpuidProbe base = makeProbe(6, 0);
    base.leaf1Ebx = 2u << 16;
    base.maxExtendedLeaf = 0x80000008u;

    for (uint32_t CpuidProbe::*word : featureWords) {
        for (int bit = 0; bit < 32; ++bit) {
            CpuidProbe only = base;
            only.*word = 1u << bit;
            CpuidProbe allBut = base;
            for (uint32_t CpuidProbe::*other : featureWords) allBut.*other = ~0u;
            allBut.*word = ~(1u << bit);

            for (const FeatureQuery& q : kFeatureQueries) {
                SCOPED_TRACE(std::string(q.name) + " bit " + std::to_string(bit));
                const uint32_t own = word == q.word && bit == q.bit ? 1 : 0;
                EXPECT_EQ(q.query(only), own);
                EXPECT_EQ(q.query(allBut), 1 - own);
                if (q.flag != nullptr) {
                    EXPECT_EQ(cpuInfoFromProbe(only).*q.flag, own);
                    EXPECT_EQ(cpuInfoFromProbe(allBut).*q.flag, 1 - own);
                }
            }
        }
    }
}

TEST(FeatureQueries, SeveralLogicalProcessorsNeedsTheBitAndACountAboveOne) {
    struct Case {
        bool bit28;
        uint32_t leaf1Ebx;
        uint32_t expected;
    };
    const Case cases[] = {
        {true, 0x00000000u, 0}, {true, 0x00010000u, 0}, {true, 0x00020000u, 1}, {true, 0x00FF0000u, 1},
        {true, 0xFF01FFFFu, 0},  // neighbouring fields do not count
        {true, 0x0102FFFFu, 1},  {false, 0x00FF0000u, 0},
    };
    for (const Case& c : cases) {
        CpuidProbe probe = makeProbe(15, sse2);
        probe.leaf1Edx |= c.bit28 ? 1u << 28 : 0;
        probe.leaf1Ebx = c.leaf1Ebx;
        EXPECT_EQ(hasSeveralLogicalProcessors(probe), c.expected) << std::hex << c.leaf1Ebx << " " << c.bit28;
        EXPECT_EQ(cpuInfoFromProbe(probe).hasSeveralLogicalProcessors, c.expected);
    }
}

TEST(FeatureQueries, SixtyFourBitExtensionsOnlyWhenTheExtendedLeafIsReported) {
    // Unsigned comparison: 0x80000001 and above report the leaf.
    const std::pair<uint32_t, uint32_t> cases[] = {
        {0x00000000u, 0}, {0x7FFFFFFFu, 0}, {0x80000000u, 0},
        {0x80000001u, 1}, {0x80000008u, 1}, {0xFFFFFFFFu, 1},
    };
    for (const auto& [maxExtendedLeaf, expected] : cases) {
        CpuidProbe probe = makeProbe(15, sse2 | longMode);
        probe.maxExtendedLeaf = maxExtendedLeaf;
        EXPECT_EQ(has64BitExtensions(probe), expected) << std::hex << maxExtendedLeaf;
        EXPECT_EQ(cpuInfoFromProbe(probe).has64BitExtensions, expected);
    }
}

TEST(HostProcessor, FeatureQueriesAnswerForThisProcessor) {
    const CpuidProbe host = readCpuidProbe();
    for (const FeatureQuery& q : kFeatureQueries) {
        EXPECT_EQ(q.onHost(), static_cast<int32_t>(q.query(host))) << q.name;
    }
    EXPECT_EQ(cpuMaxStandardLeaf(), host.maxStandardLeaf);

    // What every x86-64 processor has.
    for (auto query : {cpuHasTsc, cpuHasMmx, cpuHasSse, cpuHasSse2, cpuHas64BitExtensions}) {
        EXPECT_EQ(query(), 1);
    }
    EXPECT_GE(cpuMaxStandardLeaf(), 1u);
}

}  // namespace
}  // namespace primitives
