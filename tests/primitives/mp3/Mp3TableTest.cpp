// The table generator's checks on the standard's data, and the tables that
// the build compiled in against the data they were generated from.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <stdexcept>
#include <string>

#include "HuffmanTableLayout.h"
#include "Mp3FrameWalker.h"
#include "Mp3StandardData.h"
#include "primitives/mp3/HuffmanTableFormat.h"
#include "primitives/mp3/Mp3Tables.h"

namespace primitives::mp3gen {
namespace {

const std::string kDataDir = VELKARN_MP3_DATA_DIR;

const HuffmanData& huffman() {
    static const HuffmanData data = readHuffmanData(kDataDir + "/huffman.txt");
    return data;
}

const BandData& bands() {
    static const BandData data = readBandData(kDataDir + "/sfb_bands.txt");
    return data;
}

std::vector<int32_t> lengthsOf(const std::vector<QuadCode>& codes) {
    std::vector<int32_t> lengths;
    for (const QuadCode& code : codes) lengths.push_back(code.length);
    return lengths;
}

TEST(Mp3Tables, EveryBigValueTableIsACompletePrefixCodeOfNSquaredEntries) {
    ASSERT_EQ(huffman().pairTables.size(), 32u);
    const std::set<int32_t> dimensions = {2, 3, 4, 6, 8, 16};
    for (const PairTable& table : huffman().pairTables) {
        SCOPED_TRACE("table " + std::to_string(table.number));
        if (pairTableFormat(table.number) == PairTableFormat::none) {
            EXPECT_EQ(table.dimension, 0);
            EXPECT_TRUE(table.codes.empty());
            continue;
        }
        EXPECT_EQ(dimensions.count(table.dimension), 1u);
        if (table.codesOf != table.number) {
            // 17-23 borrow the codes of 16, 25-31 those of 24.
            EXPECT_EQ(table.codesOf, table.number < 24 ? 16 : 24);
            continue;
        }
        EXPECT_EQ(table.codes.size(), static_cast<std::size_t>(table.dimension * table.dimension));
        std::vector<int32_t> lengths;
        for (const PairCode& code : table.codes) lengths.push_back(code.length);
        EXPECT_TRUE(kraftSumIsOne(lengths));
    }
}

TEST(Mp3Tables, Count1TablesAreCompleteCodesOf16Entries) {
    ASSERT_EQ(huffman().count1A.size(), 16u);
    EXPECT_TRUE(kraftSumIsOne(lengthsOf(huffman().count1A)));
    EXPECT_NO_THROW(checkCount1TableB(huffman().count1B));
}

TEST(Mp3Tables, KraftCheckIsExact) {
    EXPECT_TRUE(kraftSumIsOne({1, 2, 3, 3}));
    EXPECT_FALSE(kraftSumIsOne({1, 2, 3}));        // incomplete
    EXPECT_FALSE(kraftSumIsOne({1, 2, 3, 3, 32}));  // over by 2^-32
    EXPECT_FALSE(kraftSumIsOne({0}));
}

TEST(Mp3Tables, PointersStayWithinTheFormatsAndWalksStartAtInternalNodes) {
    for (int32_t t = 1; t < 32; ++t) {
        SCOPED_TRACE("table " + std::to_string(t));
        const auto count = static_cast<std::size_t>(mp3::kHuffmanTableEntryCounts[t]);
        const auto format = pairTableFormat(t);
        if (format == PairTableFormat::byteFormat) {
            const uint8_t* table = mp3::kHuffmanByteTables[t];
            ASSERT_NE(table, nullptr);
            EXPECT_LE(largestNamedNode(table, count), mp3::kLargestBytePointer);
            EXPECT_LT(largestNamedNode(table, count) + mp3::kFirstLevelEntries, static_cast<int32_t>(count));
            for (int32_t i = 0; i < mp3::kFirstLevelEntries; ++i) {
                if (!mp3::isLeafOrDecodingEntry(table[i])) {
                    EXPECT_FALSE(mp3::isLeafOrDecodingEntry(table[mp3::kFirstLevelEntries + mp3::namedNode(table[i])]));
                }
            }
        } else if (format == PairTableFormat::wordFormat) {
            const uint16_t* table = mp3::kHuffmanWordTables[t];
            ASSERT_NE(table, nullptr);
            const int32_t own = t < 16 ? t : t < 24 ? 16 : 24;
            EXPECT_EQ(table, mp3::kHuffmanWordTables[own]);
            const auto ownCount = static_cast<std::size_t>(mp3::kHuffmanTableEntryCounts[own]);
            EXPECT_LE(largestNamedNode(table, ownCount), mp3::kLargestWordPointer);
            EXPECT_LT(largestNamedNode(table, ownCount) + mp3::kFirstLevelEntries, static_cast<int32_t>(ownCount));
        } else {
            EXPECT_EQ(mp3::kHuffmanByteTables[t], nullptr);
            EXPECT_EQ(mp3::kHuffmanWordTables[t], nullptr);
        }
    }
}

TEST(Mp3Tables, CompiledTablesAreTheOnesTheDataGives) {
    for (const PairTable& table : huffman().pairTables) {
        if (table.codesOf != table.number) continue;
        SCOPED_TRACE("table " + std::to_string(table.number));
        const int32_t count = mp3::kHuffmanTableEntryCounts[table.number];
        switch (pairTableFormat(table.number)) {
        case PairTableFormat::byteFormat: {
            const auto packed = packByteTable(table);
            ASSERT_EQ(static_cast<int32_t>(packed.size()), count);
            EXPECT_TRUE(std::equal(packed.begin(), packed.end(), mp3::kHuffmanByteTables[table.number]));
            break;
        }
        case PairTableFormat::wordFormat: {
            const auto packed = packWordTable(table);
            ASSERT_EQ(static_cast<int32_t>(packed.size()), count);
            EXPECT_TRUE(std::equal(packed.begin(), packed.end(), mp3::kHuffmanWordTables[table.number]));
            break;
        }
        case PairTableFormat::none: EXPECT_EQ(count, 0); break;
        }
    }
    const auto count1A = packCount1TableA(huffman().count1A);
    EXPECT_TRUE(std::equal(count1A.begin(), count1A.end(), mp3::kCount1TableA));
}

TEST(Mp3Tables, TypedLinbitsAgreeWithTheData) {
    for (const PairTable& table : huffman().pairTables) {
        EXPECT_EQ(mp3::kLinbits[table.number], table.linbits) << "table " << table.number;
    }
}

TEST(Mp3Tables, BandRowsStartAtZeroRiseAndEndAtTheGranuleOrWindowLength) {
    struct Kind {
        const std::vector<BandRow>& rows;
        std::size_t count;
        int32_t end;
        const int16_t* compiled;
    };
    const Kind kinds[] = {
        {bands().longRows, 23, 576, &mp3::kLongBandBounds[0][0][0]},
        {bands().shortRows, 14, 192, &mp3::kShortBandBounds[0][0][0]},
    };
    for (const Kind& kind : kinds) {
        ASSERT_EQ(kind.rows.size(), 6u);
        for (std::size_t r = 0; r < kind.rows.size(); ++r) {
            const BandRow& row = kind.rows[r];
            EXPECT_EQ(bandRowProblem(row, kind.count, kind.end), "");
            // Compiled as [id][sampling_frequency], id 0 first, like the file.
            EXPECT_EQ(row.id * 3 + row.samplingFrequency, static_cast<int32_t>(r));
            EXPECT_EQ(row.rate, test::Mp3FrameWalker::sampleRate(row.id, row.samplingFrequency));
            for (std::size_t i = 0; i < kind.count; ++i) {
                EXPECT_EQ(kind.compiled[r * kind.count + i], row.bounds[i]) << "row " << r << " bound " << i;
            }
        }
    }
    // Region boundaries are pair boundaries.
    for (const BandRow& row : bands().longRows) {
        for (int32_t bound : row.bounds) EXPECT_EQ(bound % 2, 0);
    }
}

TEST(Mp3Tables, BandRowCheckFindsEachFault) {
    const BandRow good{1, 0, 44100, {0, 4, 8, 192}};
    EXPECT_EQ(bandRowProblem(good, 4, 192), "");
    const std::vector<std::vector<int32_t>> bad = {{2, 4, 8, 192}, {0, 8, 8, 192}, {0, 4, 8, 190}, {0, 4, 192}};
    for (const auto& bounds : bad) EXPECT_NE(bandRowProblem({1, 0, 44100, bounds}, 4, 192), "");
}

TEST(Mp3Tables, WalkerHeaderTablesAgreeWithTheData) {
    const HeaderData header = readHeaderData(kDataDir + "/header.txt");
    for (int32_t id = 0; id < 2; ++id) {
        for (int32_t sf = 0; sf < 3; ++sf) EXPECT_EQ(test::Mp3FrameWalker::sampleRate(id, sf), header.sampleRate[id][sf]);
        for (int32_t index = 0; index < 15; ++index) {
            EXPECT_EQ(test::Mp3FrameWalker::bitrateKbps(id, index), header.bitrateKbps[id][index]);
        }
        EXPECT_EQ(test::Mp3FrameWalker::bitrateKbps(id, 15), 0);
    }
}

// The packers refuse codes that the formats cannot hold.
TEST(Mp3Tables, PackersRefuseCodesOutsideTheirFormats) {
    PairTable incomplete{1, 2, 0, 1, {{0, 0, 1, 0b1}, {0, 1, 3, 0b001}, {1, 0, 2, 0b01}, {1, 1, 3, 0b001}}};
    EXPECT_THROW(packByteTable(incomplete), std::runtime_error);  // two codes 001, none 000
    // A 2-bit code for 0,0 has no word-format kind.
    PairTable wordTable = huffman().pairTables[13];
    wordTable.codes[0].length = 2;
    EXPECT_THROW(packWordTable(wordTable), std::runtime_error);
    EXPECT_THROW(packByteTable(huffman().pairTables[13]), std::runtime_error);
    std::vector<QuadCode> count1 = huffman().count1A;
    std::swap(count1[0], count1[15]);
    EXPECT_THROW(packCount1TableA(count1), std::runtime_error);
    std::vector<QuadCode> tableB = huffman().count1B;
    tableB[3].bits ^= 1;
    EXPECT_THROW(checkCount1TableB(tableB), std::runtime_error);
}

TEST(Mp3Tables, ReaderNamesTheLineOfAMalformedRecord) {
    const std::string path = ::testing::TempDir() + "mp3_bad_bands.txt";
    {
        std::ofstream file(path);
        file << "long 0 0 22050 0 6 12\n";
    }
    try {
        readBandData(path);
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find(path + ":1:"), std::string::npos) << error.what();
    }
    std::remove(path.c_str());
}

}  // namespace
}  // namespace primitives::mp3gen
