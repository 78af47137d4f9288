#include "platform/Text1252.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace {

TEST(Text1252, EveryByteDecodesAsPythonsCodePageWithFiveControlsAdded) {
    std::istringstream reference(testing_support::runPython("platform/cp1252_reference.py", {}));
    const std::set<int> undefined = {0x81, 0x8D, 0x8F, 0x90, 0x9D};
    int byte;
    std::string value;
    int seen = 0;
    while (reference >> byte >> value) {
        ++seen;
        char32_t decoded = platform::cp1252ToUnicode(static_cast<unsigned char>(byte));
        if (value == "undefined") {
            EXPECT_TRUE(undefined.count(byte)) << byte;
            EXPECT_EQ(decoded, static_cast<char32_t>(byte)) << byte;  // the control character of the same number
        } else {
            EXPECT_EQ(decoded, static_cast<char32_t>(std::stoul(value))) << byte;
        }
        EXPECT_EQ(platform::unicodeToCp1252(decoded), byte) << byte;
    }
    EXPECT_EQ(seen, 256);
}

TEST(Text1252, EveryByteSurvivesTheTripThroughUtf8) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
    std::string utf8 = platform::cp1252ToUtf8(all);
    EXPECT_EQ(platform::utf8ToCp1252(utf8), all);
}

TEST(Text1252, CharactersWithoutAByteBecomeQuestionMarks) {
    const struct {
        const char* utf8;
        const char* bytes;
    } cases[] = {
        {"caf\xc3\xa9", "caf\xe9"},                   // é
        {"\xe2\x82\xac 5", "\x80 5"},                 // €
        {"\xc2\xae", "\xae"},                         // ®
        {"\xce\xa9", "?"},                            // Ω has no byte
        {"\xf0\x9f\x8e\xb5!", "?!"},                  // a character beyond the BMP
        {"a\xc3", "a?"},                              // a sequence cut short
        {"\xff\xfe", "??"},                           // bytes that start nothing
        {"\xe2\x82x", "?x"},                          // a sequence broken by an ASCII byte
    };
    for (const auto& c : cases) EXPECT_EQ(platform::utf8ToCp1252(c.utf8), std::string(c.bytes)) << c.utf8;
}

}  // namespace
