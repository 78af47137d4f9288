#include "framework/Crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

namespace {

const std::uint8_t* bytesOf(const std::string& text) { return reinterpret_cast<const std::uint8_t*>(text.data()); }

TEST(Crc32, KnownVectors) {
    EXPECT_EQ(computeCrc32(bytesOf("IEND"), 4, nullptr, 0), 0xAE426082u);
    EXPECT_EQ(computeCrc32(bytesOf("123456789"), 9, nullptr, 0), 0xCBF43926u);
    EXPECT_EQ(computeCrc32(nullptr, 0, bytesOf("123456789"), 9), 0xCBF43926u);
}

TEST(Crc32, TheTableIsTheReflectedPolynomialRunEightTimes) {
    std::uint32_t table[256];
    makeCrc32Table(table);
    EXPECT_EQ(table[0], 0u);
    EXPECT_EQ(table[1], 0x77073096u);
    EXPECT_EQ(table[128], 0xEDB88320u);
    EXPECT_EQ(table[255], 0x2D02EF8Du);
}

TEST(Crc32, AgreesWithZlibOnRandomBuffersOfEveryLengthUpTo4097) {
    std::mt19937 random(10);
    std::vector<std::uint8_t> buffer(4097);
    for (auto& byte : buffer) byte = static_cast<std::uint8_t>(random());
    for (int length = 0; length <= 4097; ++length) {
        const auto expected = static_cast<std::uint32_t>(crc32(0, buffer.data(), static_cast<uInt>(length)));
        ASSERT_EQ(computeCrc32(buffer.data(), length, nullptr, 0), expected) << "length " << length;
    }
}

TEST(Crc32, TwoRunsSplitAtEveryOffsetGiveTheCrcOfTheWhole) {
    const std::string text = "IDAT\x78\x9c\x63\x60\x00\x00\x00\x02\x00\x01 and some more bytes";
    const auto whole = static_cast<std::uint32_t>(crc32(0, bytesOf(text), static_cast<uInt>(text.size())));
    for (int split = 0; split <= static_cast<int>(text.size()); ++split) {
        EXPECT_EQ(computeCrc32(bytesOf(text), split, bytesOf(text) + split, static_cast<int>(text.size()) - split), whole)
            << "split at " << split;
    }
}

TEST(Crc32, ALengthOfZeroOrLessLeavesTheRegisterAlone) {
    for (int length : {0, -1, -4096}) {
        EXPECT_EQ(updateCrc32(0x12345678u, bytesOf("abc"), length), 0x12345678u) << length;
        EXPECT_EQ(computeCrc32(bytesOf("abc"), length, bytesOf("abc"), length), 0u) << length;
    }
    // No presetting or inversion: the register runs on from what it is given.
    const std::uint32_t first = updateCrc32(0xFFFFFFFFu, bytesOf("1234"), 4);
    EXPECT_EQ(~updateCrc32(first, bytesOf("56789"), 5), 0xCBF43926u);
}

}  // namespace
