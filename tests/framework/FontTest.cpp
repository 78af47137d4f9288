#include "FrameworkTest.h"

#include "framework/Font.h"

#include <algorithm>
#include <string>

namespace {

// The glyph widths of the two fonts, as every layout relies on them.
constexpr int wideWidths[256] = {
    4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4,     4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4,
    4, 4, 6, 8, 8, 11, 9, 4, 4, 4, 6, 8, 4, 4, 4, 4,    8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 4, 4, 8, 8, 8, 8,
    14, 8, 10, 9, 10, 9, 8, 10, 10, 4, 7, 9, 8, 12, 10, 10,
    9, 10, 10, 9, 8, 10, 8, 14, 9, 10, 9, 4, 4, 4, 5, 8,
    5, 8, 8, 7, 8, 8, 4, 8, 8, 4, 4, 7, 4, 12, 8, 8,    8, 8, 5, 8, 4, 8, 8, 10, 8, 8, 8, 5, 4, 5, 5, 4,
    4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4,     4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4,
    9, 4, 8, 8, 8, 8, 4, 8, 5, 10, 5, 7, 8, 4, 10, 8,   5, 8, 4, 4, 5, 8, 7, 4, 5, 4, 5, 7, 11, 11, 11, 8,
    8, 8, 8, 8, 8, 8, 13, 9, 9, 9, 9, 9, 4, 4, 4, 4,    10, 10, 10, 10, 10, 10, 10, 8, 10, 10, 10, 10, 10, 10, 9, 8,
    8, 8, 8, 8, 8, 8, 12, 7, 8, 8, 8, 8, 4, 4, 4, 4,    8, 8, 8, 8, 8, 8, 8, 6, 8, 8, 8, 8, 8, 8, 8, 8,
};
constexpr int narrowWidths[256] = {
    3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,     3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,
    3, 3, 5, 7, 6, 8, 6, 2, 3, 3, 4, 6, 3, 3, 3, 5,     6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 3, 3, 6, 6, 6, 6,
    11, 7, 7, 7, 8, 7, 6, 8, 8, 3, 5, 7, 6, 9, 8, 8,    7, 8, 8, 7, 7, 8, 7, 11, 7, 7, 7, 3, 5, 3, 6, 6,
    3, 6, 6, 6, 6, 6, 3, 6, 6, 2, 2, 6, 2, 8, 6, 6,     6, 6, 3, 5, 3, 6, 6, 8, 5, 5, 5, 4, 2, 4, 7, 3,
    6, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,     3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,
    3, 3, 6, 6, 6, 6, 2, 6, 3, 9, 4, 6, 6, 3, 8, 6,     4, 6, 3, 3, 3, 6, 6, 3, 3, 3, 4, 6, 8, 8, 8, 6,
    7, 7, 7, 7, 7, 7, 10, 7, 7, 7, 7, 7, 3, 3, 3, 3,    8, 8, 8, 8, 8, 8, 8, 6, 8, 8, 8, 8, 8, 7, 7, 6,
    6, 6, 6, 6, 6, 6, 10, 6, 6, 6, 6, 6, 2, 4, 4, 4,    6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 5, 6, 5,
};

struct FontFacts {
    int number;
    const int* widths;
    int columnWords;
    int firstRow;  // printable ASCII keeps to these rows
    int lastRow;
    int capitalTop;  // capitals keep to these rows
    int capitalBottom;
    std::vector<std::uint16_t> placeholder;
    std::vector<int> extraCodes;  // covered beyond 33-126, 145, 146, 161-255
    int measured105;              // the width of "10.5"
};

const FontFacts fonts[] = {
    {0, wideWidths, 1703, 2, 15, 3, 12, {0x0000, 0x0FF8, 0x0FF8, 0x0000}, {}, 28},
    {1, narrowWidths, 1303, 1, 12, 2, 10, {0x0000, 0x1FF0, 0x1FF0}, {128}, 21},
};

bool covered(const FontFacts& facts, int code) {
    if ((code >= 33 && code <= 126) || code == 145 || code == 146 || code >= 161) return true;
    for (int extra : facts.extraCodes) {
        if (extra == code) return true;
    }
    return false;
}

// The glyph's column words as the font answers them.
std::vector<std::uint16_t> columnsOf(const Font& font, int code) {
    std::vector<std::uint16_t> words;
    const auto c = static_cast<unsigned char>(code);
    for (int column = 0; column < font.glyphWidth(c); ++column) {
        std::uint16_t word = 0;
        for (int row = 0; row < 16; ++row) {
            if (font.isPixelSet(c, column, row)) word = static_cast<std::uint16_t>(word | (1u << (15 - row)));
        }
        words.push_back(word);
    }
    return words;
}

class FontTest : public FrameworkTest {};

TEST_F(FontTest, WidthsHeightsAndColumnCount) {
    for (const FontFacts& facts : fonts) {
        SCOPED_TRACE("font " + std::to_string(facts.number));
        Font font(facts.number);
        int sum = 0;
        for (int code = 0; code < 256; ++code) {
            EXPECT_EQ(font.glyphWidth(static_cast<unsigned char>(code)), facts.widths[code]) << code;
            EXPECT_EQ(font.glyphHeight(static_cast<unsigned char>(code)), 16);
            sum += font.glyphWidth(static_cast<unsigned char>(code));
        }
        EXPECT_EQ(sum, facts.columnWords);
        int measured = 0;
        for (unsigned char c : std::string("10.5")) measured += font.glyphWidth(c);
        EXPECT_EQ(measured, facts.measured105);
    }
}

TEST_F(FontTest, FixedGlyphs) {
    struct Glyph {
        int font;
        char character;
        std::vector<std::uint16_t> columns;
    };
    const Glyph glyphs[] = {
        {0, '0', {0x0000, 0x0FF0, 0x1FF8, 0x1008, 0x1008, 0x1FF8, 0x0FF0, 0x0000}},
        {0, 'A', {0x0018, 0x00F8, 0x07E0, 0x1E20, 0x1E20, 0x07E0, 0x00F8, 0x0018}},
        {0, '.', {0x0000, 0x0018, 0x0018, 0x0000}},
        {0, '-', {0x0080, 0x0080, 0x0080, 0x0080}},
        {0, 'i', {0x0000, 0x1BF8, 0x1BF8, 0x0000}},
        {1, '0', {0x0000, 0x1FC0, 0x2020, 0x2020, 0x2020, 0x1FC0}},
        {1, 'A', {0x0060, 0x0380, 0x0C80, 0x3080, 0x0C80, 0x0380, 0x0060}},
        {1, '.', {0x0000, 0x0020, 0x0000}},
        {1, '-', {0x0000, 0x0100, 0x0100}},
        {1, 'i', {0x0000, 0x27E0}},
    };
    const Font wide(0);
    const Font narrow(1);
    for (const Glyph& glyph : glyphs) {
        EXPECT_EQ(columnsOf(glyph.font == 0 ? wide : narrow, glyph.character), glyph.columns)
            << "font " << glyph.font << " '" << glyph.character << "'";
    }
    // The minus of font 0 is the one row 8.
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 16; ++row) EXPECT_EQ(wide.isPixelSet('-', column, row), row == 8) << column << "," << row;
    }
}

TEST_F(FontTest, CoverageBlanksAndPlaceholders) {
    for (const FontFacts& facts : fonts) {
        SCOPED_TRACE("font " + std::to_string(facts.number));
        Font font(facts.number);
        for (int code = 0; code < 256; ++code) {
            const std::vector<std::uint16_t> columns = columnsOf(font, code);
            std::uint16_t ink = 0;
            for (std::uint16_t word : columns) ink = static_cast<std::uint16_t>(ink | word);
            if (code == 32 || code == 160) {
                EXPECT_EQ(ink, 0) << code << " is blank";
            } else if (covered(facts, code)) {
                EXPECT_NE(ink, 0) << code << " has ink";
                EXPECT_NE(columns, facts.placeholder) << code << " is a glyph of its own";
            } else {
                EXPECT_EQ(columns, facts.placeholder) << code << " shows the placeholder";
            }
        }
    }
}

TEST_F(FontTest, PrintableCharactersKeepToTheirRows) {
    for (const FontFacts& facts : fonts) {
        SCOPED_TRACE("font " + std::to_string(facts.number));
        Font font(facts.number);
        int highestCapital = 16;
        int lowestCapital = -1;
        for (int code = 33; code <= 126; ++code) {
            std::uint16_t ink = 0;
            for (std::uint16_t word : columnsOf(font, code)) ink = static_cast<std::uint16_t>(ink | word);
            for (int row = 0; row < 16; ++row) {
                if (((ink >> (15 - row)) & 1u) == 0) continue;
                EXPECT_TRUE(row >= facts.firstRow && row <= facts.lastRow) << "'" << static_cast<char>(code) << "' row " << row;
                if (code >= 'A' && code <= 'Z') {
                    EXPECT_TRUE(row >= facts.capitalTop && row <= facts.capitalBottom)
                        << "'" << static_cast<char>(code) << "' row " << row;
                    highestCapital = std::min(highestCapital, row);
                    lowestCapital = std::max(lowestCapital, row);
                }
            }
        }
        EXPECT_EQ(highestCapital, facts.capitalTop);
        EXPECT_EQ(lowestCapital, facts.capitalBottom);
    }
}

TEST_F(FontTest, OnlyTwoFontsExist) {
    for (int number : {-1, 2, 3}) {
        SCOPED_TRACE(number);
        EXPECT_FATAL(Font font(number), "Invalid font number.");
    }
}

}  // namespace
