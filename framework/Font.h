// The two bitmap fonts built into the program: 256 glyphs each, one per
// Windows-1252 byte, 16 rows high and as many columns wide as the glyph's
// width (its own blank columns included; texts are laid out glyph after
// glyph with no extra spacing). Font 0 is the wide, heavy face; font 1 the
// narrow, light one. A Font is read-only after construction.
#ifndef VELKARN_FRAMEWORK_FONT_H
#define VELKARN_FRAMEWORK_FONT_H

#include <cstdint>
#include <vector>

class Font {
public:
    // 0 or 1; any other number stops the program with "Invalid font number.".
    explicit Font(int number);
    virtual ~Font();

    int glyphWidth(unsigned char character) const { return widths_[character]; }
    int glyphHeight(unsigned char character) const { return heights_[character]; }
    // Whether the pixel at (column, row) of the glyph is set. The caller
    // keeps column below the glyph's width and row below 16.
    bool isPixelSet(unsigned char character, int column, int row) const {
        return ((columns_[offsets_[character] + static_cast<std::size_t>(column)] >> (15 - row)) & 1u) != 0;
    }

private:
    void buildWideFont();
    void buildNarrowFont();
    // Takes the glyph widths and all glyphs' column words, glyph 0 first.
    void build(const std::int32_t* widths, const std::uint16_t* words, std::size_t wordCount);

    int widths_[256];
    int heights_[256];
    std::size_t offsets_[256];
    // Column words, left column first; bit 15 is the top row.
    std::vector<std::uint16_t> columns_;
};

#endif
