#include "framework/Font.h"

#include "framework/FontGlyphs.h"
#include "framework/Log.h"

Font::Font(int number) {
    switch (number) {
    case 0: buildWideFont(); break;
    case 1: buildNarrowFont(); break;
    default: fatalError("Invalid font number.", __FILE__, __LINE__);
    }
}

Font::~Font() = default;

void Font::buildWideFont() {
    build(font_glyphs::wideWidths, font_glyphs::wideColumns, font_glyphs::wideColumnCount);
}

void Font::buildNarrowFont() {
    build(font_glyphs::narrowWidths, font_glyphs::narrowColumns, font_glyphs::narrowColumnCount);
}

void Font::build(const std::int32_t* widths, const std::uint16_t* words, std::size_t wordCount) {
    columns_.assign(words, words + wordCount);
    std::size_t next = 0;
    for (int c = 0; c < 256; ++c) {
        widths_[c] = widths[c];
        heights_[c] = 16;
        offsets_[c] = next;
        next += static_cast<std::size_t>(widths[c]);
    }
}
