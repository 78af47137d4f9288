#include "primitives/core/CpuDetection.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <ostream>
#include <string>

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

TEST(HostProcessor, FeatureQueriesAgreeWithInfoRecord) {
    CpuInfoRecord info;
    fillCpuInfoRecord(&info);
    EXPECT_EQ(cpuHasMmx(), static_cast<int32_t>(info.hasMmx));
    EXPECT_EQ(cpuHasSse(), static_cast<int32_t>(info.hasSse));
    EXPECT_EQ(cpuHasSse2(), static_cast<int32_t>(info.hasSse2));
    EXPECT_EQ(cpuHasSse3(), static_cast<int32_t>(info.hasSse3));
    EXPECT_EQ(cpuHasSeveralLogicalProcessors(), static_cast<int32_t>(info.hasSeveralLogicalProcessors));
    EXPECT_EQ(cpuHas64BitExtensions(), static_cast<int32_t>(info.has64BitExtensions));
    EXPECT_EQ(cpuHasTsc(), static_cast<int32_t>((info.featureWord >> 4) & 1));

    // What every x86-64 processor has.
    EXPECT_EQ(info.hasMmx & info.hasSse & info.hasSse2 & info.has64BitExtensions, 1u);
    EXPECT_EQ(cpuHasTsc(), 1);
    EXPECT_GE(cpuMaxStandardLeaf(), 1u);
}

}  // namespace
}  // namespace primitives
