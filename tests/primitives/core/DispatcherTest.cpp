#include "primitives/core/Dispatcher.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "BuildTest.h"
#include "primitives/core/DispatchRecords.h"

// A test entry made by the same macro as the library's entries, with a body
// of its own for each build. Its bodies note which build ran and fold every
// argument into the result, so a stub that disturbed registers or the stack
// (eight integer and nine double arguments: two of each go on the stack)
// shows.
namespace {
int lastBuildRun = -1;

template <int Build>
int64_t recordingBody(int64_t a, int64_t b, int64_t c, int64_t d, int64_t e, int64_t f, int64_t g, int64_t h,
                      double x0, double x1, double x2, double x3, double x4, double x5, double x6, double x7,
                      double x8) {
    lastBuildRun = Build;
    const double weighted = 9 * x0 + 10 * x1 + 11 * x2 + 12 * x3 + 13 * x4 + 14 * x5 + 15 * x6 + 16 * x7 + 17 * x8;
    return a + 2 * b + 3 * c + 4 * d + 5 * e + 6 * f + 7 * g + 8 * h + static_cast<int64_t>(weighted);
}
}  // namespace

extern "C" int64_t dispatchTestEntry(int64_t, int64_t, int64_t, int64_t, int64_t, int64_t, int64_t, int64_t,
                                     double, double, double, double, double, double, double, double, double);
PRIMITIVE_DISPATCH_ENTRY(dispatchTestEntry, recordingBody<1>, recordingBody<2>, recordingBody<3>, recordingBody<4>);

namespace primitives {
namespace {

int64_t callTestEntry() {
    return dispatchTestEntry(1, 2, 3, 4, 5, 6, 7, 8, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0);
}
constexpr int64_t kTestEntryResult = 204 + 645;  // sum k*k over 1..8, then (k+8)*k over 1..9

// The processor classes that InitCpuDispatchFor accepts, with their index.
const std::map<CpuTypeCode, int32_t> kAcceptedTypes = {
    {-1, 0}, {0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 2}, {16, 2}, {17, 2},
    {6, 3},  {7, 3}, {9, 3}, {8, 4}, {32, 4},
};

TEST(Dispatcher, IndexIsGenericWhenTheProgramStarts) {
    EXPECT_EQ(test::buildIndexAtProgramStart(), buildGeneric);
}

TEST(Dispatcher, StubFollowsTheIndexSetForEachAcceptedType) {
    test::ScopedBuildIndex restore(1);
    for (const auto& [type, index] : kAcceptedTypes) {
        SCOPED_TRACE("type " + std::to_string(type));
        ASSERT_EQ(InitCpuDispatchFor(type), 0);
        EXPECT_EQ(CpuDispatchIndex.load(), index);
        lastBuildRun = -1;
        EXPECT_EQ(callTestEntry(), kTestEntryResult);
        // Index 0 lands on the generic body kept in word 0.
        EXPECT_EQ(lastBuildRun, index == 0 ? 1 : index);
    }
}

TEST(Dispatcher, SetterRefusesOtherTypesAndKeepsTheIndex) {
    test::ScopedBuildIndex restore(1);
    for (int32_t before : {1, 4}) {
        for (int64_t wide = -40; wide <= 40; ++wide) {
            const auto type = static_cast<CpuTypeCode>(wide);
            if (kAcceptedTypes.count(type) != 0) continue;
            CpuDispatchIndex.store(before);
            EXPECT_EQ(InitCpuDispatchFor(type), 21) << "type " << type;
            EXPECT_EQ(CpuDispatchIndex.load(), before) << "type " << type;
        }
        for (CpuTypeCode type : {INT32_MIN, INT32_MAX, 64, 255}) {
            CpuDispatchIndex.store(before);
            EXPECT_EQ(InitCpuDispatchFor(type), 21) << "type " << type;
            EXPECT_EQ(CpuDispatchIndex.load(), before);
        }
    }
}

TEST(Dispatcher, DetectedTypesOutsideTheTableGetTheGenericBuild) {
    for (int64_t wide = -40; wide <= 40; ++wide) {
        const auto type = static_cast<CpuTypeCode>(wide);
        const auto accepted = kAcceptedTypes.find(type);
        const int32_t expected = accepted != kAcceptedTypes.end() && type >= 0 ? accepted->second : 1;
        EXPECT_EQ(buildIndexForCpuType(type), expected) << "type " << type;
    }
    EXPECT_EQ(buildIndexForCpuType(INT32_MIN), 1);
    EXPECT_EQ(buildIndexForCpuType(INT32_MAX), 1);
}

// The library's 68 entries in registration order.
struct LibraryEntry {
    const char* tag;
    const char* name;
};
const LibraryEntry kLibraryOrder[] = {
    {"s", "zoveZiva"}, {"s", "zaviMul_32f"}, {"s", "zaviVectorRamp_32f"}, {"s", "zaviZero_32f"},
    {"s", "revoRovara_32z"}, {"s", "zaviMulC_32f"}, {"s", "dezoRide_32d"}, {"s", "zaviDFTFree_R_32f"},
    {"s", "zaviFFTFree_R_32f"}, {"s", "zaviDFTGetBufSize_R_32f"}, {"s", "zaviDFTInitAlloc_R_32f"},
    {"s", "vaduRivuro_8v"}, {"s", "zaviFFTGetBufSize_R_32f"}, {"s", "zaviFFTInitAlloc_R_32f"},
    {"s", "zaviWinBartlett_32f_I"}, {"s", "zaviSet_32f"}, {"s", "zaviMaxIndx_32f"}, {"s", "zaviAddC_32f_I"},
    {"s", "zaviLn_32f_I"}, {"s", "zaviThreshold_LT_32f_I"}, {"s", "zaviMagnitude_32fc"},
    {"s", "zaviConjPerm_32fc"}, {"s", "zaviDFTFwd_RToPerm_32f"}, {"s", "zaviFFTFwd_RToPerm_32f"},
    {"s", "zaviMul_32f_I"}, {"s", "zaviMulC_32f_I"}, {"s", "zaviMax_32f"}, {"s", "zaviAddC_32f"},
    {"s", "zaviFIR_Direct_32f"}, {"s", "zaviMinMax_32f"}, {"s", "zaviAutoCorr_32f"}, {"s", "zaviSum_32f"},
    {"s", "zaviMalloc_32s"}, {"s", "zaviMin_32f"}, {"s", "zaviCopy_8u"}, {"s", "zaviSqr_32f"},
    {"s", "zaviFFTInv_CCSToR_32f"}, {"s", "zaviPolarToCart_32fc"}, {"s", "zaviAdd_32f_I"}, {"s", "zaviSub_32f"},
    {"s", "zaviCartToPolar_32fc"}, {"s", "zaviFFTFwd_RToCCS_32f"}, {"s", "zaviMinIndx_32f"},
    {"s", "zaviAbs_32f"}, {"s", "zaviFlip_32f_I"}, {"s", "duvAduZurideVizide"}, {"s", "zaviSub_32f_I"},
    {"s", "zaviWinHann_32f_I"}, {"s", "zaviIIRFree_32f"}, {"s", "zaviIIR_32f_I"}, {"s", "zaviIIRInitAlloc_32f"},
    {"s", "zaviIIRGetDlyLine_32f"}, {"s", "zaviIIR_32f"}, {"s", "zaviWinBlackmanStd_32f_I"},
    {"s", "zaviRandUniform_Direct_32f"}, {"s", "zaviTone_Direct_32f"},
    {"i", "duroCopy_8u_C4R"}, {"i", "duroAlphaComp_8u_AC4R"}, {"i", "duroSet_8u_AC4R"},
    {"i", "zuzuZivere_8d_OZ4O"}, {"i", "duroSet_8u_C4R"},
    {"ac", "zaviSynthPQMF_MP3_32s16s"}, {"ac", "zaviMDCTInv_MP3_32s"}, {"ac", "zaviReQuantize_MP3_32s_I"},
    {"ac", "zaviHuffmanDecode_MP3_1u32s"}, {"ac", "zaviUnpackScaleFactors_MP3_1u8s"},
    {"ac", "zaviUnpackSideInfo_MP3"}, {"ac", "zaviUnpackFrameHeader_MP3"},
};
static_assert(std::size(kLibraryOrder) == 68);

template <typename Function>
const void* word(Function* function) {
    return reinterpret_cast<const void*>(function);
}

// Every built entry with its records and the bodies its EntryList.h line
// names for the generic, SSE, SSE2 and SSE3-class builds.
struct BuiltEntry {
    const char* name;
    const RegistrationRecord* registration;
    const void* const* table;
    const void* bodies[4];
};
const BuiltEntry kBuiltEntries[] = {
#define PRIMITIVE_ENTRY(tag, name, generic, sse, sse2, sse3)                                              \
    {#name,                                                                                               \
     &name##_registration,                                                                                \
     reinterpret_cast<const void* const*>(name##_dispatch.table),                                         \
     {word<decltype(::name)>(generic), word<decltype(::name)>(sse), word<decltype(::name)>(sse2),         \
      word<decltype(::name)>(sse3)}},
#include "primitives/core/EntryList.h"
#undef PRIMITIVE_ENTRY
};

TEST(Registration, ListsTheBuiltEntriesInLibraryOrder) {
    std::vector<const RegistrationRecord*> list;
    for (const RegistrationRecord* r = registrationListHead(); r != nullptr; r = r->link) list.push_back(r);
    ASSERT_EQ(list.size(), std::size(kBuiltEntries));

    // The list runs from the last registered entry back to the first.
    std::size_t libraryPosition = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const RegistrationRecord* record = list[list.size() - 1 - i];
        const BuiltEntry& built = kBuiltEntries[i];
        SCOPED_TRACE(built.name);
        EXPECT_EQ(record, built.registration);
        EXPECT_STREQ(record->name, built.name);
        EXPECT_EQ(record->table, static_cast<const void*>(built.table));

        while (libraryPosition < std::size(kLibraryOrder) &&
               std::strcmp(kLibraryOrder[libraryPosition].name, record->name) != 0) {
            ++libraryPosition;
        }
        ASSERT_LT(libraryPosition, std::size(kLibraryOrder)) << "not in library order";
        EXPECT_STREQ(record->domainTag, kLibraryOrder[libraryPosition].tag);
    }
    EXPECT_STREQ(list.back()->name, "zoveZiva");
    EXPECT_EQ(list.back()->link, nullptr);
}

TEST(Registration, NewRecordBecomesTheHeadAndGetsThePreviousOne) {
    RegistrationRecord* head = const_cast<RegistrationRecord*>(registrationListHead());
    RegistrationRecord extra = {"s", "extra", nullptr, nullptr};
    EXPECT_EQ(registerDispatchRecord(&extra), head);
    EXPECT_EQ(registrationListHead(), &extra);
    EXPECT_EQ(registerDispatchRecord(head), &extra);  // puts the list back
    EXPECT_EQ(registrationListHead(), head);
}

TEST(DispatchTables, EachWordHoldsTheBodyNamedForItsBuild) {
    for (const BuiltEntry& entry : kBuiltEntries) {
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(entry.table[0], entry.bodies[0]) << "word 0 holds the generic body";
        for (int32_t build = kFirstBuild; build <= kLastBuild; ++build) {
            EXPECT_NE(entry.table[build], nullptr) << test::buildName(build);
            EXPECT_EQ(entry.table[build], entry.bodies[build - 1]) << test::buildName(build);
        }
        EXPECT_EQ(entry.table[5], nullptr);
    }
}

// Which build slots share a body: equal letters, one body.
TEST(DispatchTables, ShareBodiesAsTheLibraryDoes) {
    const std::map<std::string, std::string> patterns = {
        {"zoveZiva", "AAAA"},
        {"revoRovara_32z", "AAAB"},
        {"vaduRivuro_8v", "AAAA"},
        {"zaviMalloc_32s", "AAAB"},
        {"duvAduZurideVizide", "AAAA"},
        {"zaviWinBartlett_32f_I", "ABCD"},
        {"zaviMagnitude_32fc", "ABCD"},
        {"zaviFIR_Direct_32f", "ABCD"},
        {"zaviPolarToCart_32fc", "ABCD"},
        {"zaviCartToPolar_32fc", "ABCD"},
        {"zaviWinHann_32f_I", "ABCD"},
        {"zaviIIRFree_32f", "AABB"},
        {"zaviIIR_32f_I", "ABCD"},
        {"zaviIIRInitAlloc_32f", "ABCD"},
        {"zaviIIRGetDlyLine_32f", "ABCD"},
        {"zaviIIR_32f", "ABCD"},
        {"zaviWinBlackmanStd_32f_I", "ABCD"},
        {"zaviRandUniform_Direct_32f", "ABCD"},
        {"zaviTone_Direct_32f", "ABCD"},
        {"duroCopy_8u_C4R", "ABCD"},
        {"duroAlphaComp_8u_AC4R", "ABCD"},
        {"duroSet_8u_AC4R", "ABCD"},
        {"duroSet_8u_C4R", "ABCD"},
        {"zuzuZivere_8d_OZ4O", "ABCD"},
        {"zaviZero_32f", "ABCD"},
        {"zaviSet_32f", "ABCD"},
        {"dezoRide_32d", "ABCD"},
        {"zaviCopy_8u", "ABCD"},
        {"zaviVectorRamp_32f", "ABCD"},
        {"zaviMulC_32f", "ABCD"},
        {"zaviMulC_32f_I", "ABCD"},
        {"zaviAddC_32f", "ABCD"},
        {"zaviAddC_32f_I", "ABCD"},
        {"zaviAbs_32f", "ABCD"},
        {"zaviSqr_32f", "ABCD"},
        {"zaviFlip_32f_I", "ABCD"},
        {"zaviThreshold_LT_32f_I", "ABCD"},
        {"zaviLn_32f_I", "ABCD"},
        {"zaviMax_32f", "ABCD"},
        {"zaviMin_32f", "ABCD"},
        {"zaviMaxIndx_32f", "ABCD"},
        {"zaviMinIndx_32f", "ABCD"},
        {"zaviMinMax_32f", "ABCD"},
        {"zaviSum_32f", "ABCD"},
        {"zaviMul_32f", "ABCC"},
        {"zaviMul_32f_I", "ABCC"},
        {"zaviAdd_32f_I", "ABCC"},
        {"zaviSub_32f", "ABCC"},
        {"zaviSub_32f_I", "ABCC"},
        {"zaviSynthPQMF_MP3_32s16s", "ABCD"},
        {"zaviMDCTInv_MP3_32s", "ABCD"},
        {"zaviReQuantize_MP3_32s_I", "ABCD"},
        {"zaviHuffmanDecode_MP3_1u32s", "ABCD"},
        {"zaviUnpackScaleFactors_MP3_1u8s", "ABCD"},
        {"zaviUnpackSideInfo_MP3", "ABCD"},
        {"zaviUnpackFrameHeader_MP3", "AABB"},
        {"zaviFFTFree_R_32f", "ABCD"},
        {"zaviFFTGetBufSize_R_32f", "AABB"},
        {"zaviFFTInitAlloc_R_32f", "ABCD"},
        {"zaviConjPerm_32fc", "ABCD"},
        {"zaviFFTFwd_RToPerm_32f", "ABCD"},
        {"zaviFFTInv_CCSToR_32f", "ABCD"},
        {"zaviFFTFwd_RToCCS_32f", "ABCD"},
        {"zaviDFTFree_R_32f", "ABCD"},
        {"zaviDFTGetBufSize_R_32f", "AABB"},
        {"zaviDFTInitAlloc_R_32f", "ABCD"},
        {"zaviDFTFwd_RToPerm_32f", "ABCD"},
        {"zaviAutoCorr_32f", "ABCD"},
    };
    ASSERT_EQ(patterns.size(), std::size(kBuiltEntries)) << "every built entry has a row here";
    for (const BuiltEntry& entry : kBuiltEntries) {
        SCOPED_TRACE(entry.name);
        ASSERT_EQ(patterns.count(entry.name), 1u);
        const std::string& bodies = patterns.at(entry.name);
        for (int a = 1; a <= 4; ++a) {
            for (int b = 1; b <= 4; ++b) {
                EXPECT_EQ(entry.table[a] == entry.table[b], bodies[a - 1] == bodies[b - 1]) << a << " " << b;
            }
        }
    }
}

// Whether the page that holds `address` may be written, from /proc/self/maps.
bool isWritableMemory(const void* address) {
    const auto target = reinterpret_cast<std::uintptr_t>(address);
    FILE* maps = std::fopen("/proc/self/maps", "r");
    if (maps == nullptr) ADD_FAILURE() << "cannot read /proc/self/maps";
    char line[512];
    bool writable = true;
    while (maps != nullptr && std::fgets(line, sizeof line, maps) != nullptr) {
        unsigned long begin = 0, end = 0;
        char permissions[5] = {};
        if (std::sscanf(line, "%lx-%lx %4s", &begin, &end, permissions) == 3 && begin <= target && target < end) {
            writable = permissions[1] == 'w';
            break;
        }
    }
    if (maps != nullptr) std::fclose(maps);
    return writable;
}

// A stray write must not be able to redirect an entry: the tables lie in
// read-only memory, and registration writes only the link words apart.
TEST(DispatchTables, LieInReadOnlyMemory) {
    EXPECT_FALSE(isWritableMemory(dispatchTestEntry_dispatch.table));
    for (const BuiltEntry& entry : kBuiltEntries) {
        EXPECT_FALSE(isWritableMemory(entry.table)) << entry.name;
        EXPECT_EQ(entry.registration->table, static_cast<const void*>(entry.table)) << entry.name;
    }
}

TEST(CoreVersion, IsTheConstantRecord) {
    const CoreVersionRecord* version = getCoreVersionRecord();
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version, getCoreVersionRecord());
    EXPECT_EQ(version->major, 4);
    EXPECT_EQ(version->minor, 1);
    EXPECT_EQ(version->build, 12);
    EXPECT_EQ(version->secondBuild, 51);
    EXPECT_EQ(std::string(version->target, 4), "core");
    EXPECT_STREQ(version->libraryName, "zavcorel.lib");
    EXPECT_STREQ(version->versionText, "v4.1");
    EXPECT_STREQ(version->buildDate, "Oct 27 2004");
}

}  // namespace
}  // namespace primitives
