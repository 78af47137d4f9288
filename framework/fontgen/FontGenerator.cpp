// Makes the glyph tables of the two bitmap fonts (framework/FontGlyphs.cpp)
// and a magnified sheet of both fonts (FontSheet.png), from two outline
// faces of the DejaVu family (Debian's fonts-dejavu-core and -extra):
//
//   velkarn-fontgen <wide face> <narrow face> <corrections> <table out> <sheet out>
//
// Each Windows-1252 character is rendered with hinting, its baseline on
// row 12 (font 0) or row 10 (font 1), squeezed horizontally when its ink is
// wider than the glyph's fixed width allows, centred in that width and
// thresholded. At 16 rows the outline accents of capitals shrink to dots,
// so the accented letters of the code page are composed instead: the
// rendered base letter with a small drawn accent above it (capitals of the
// narrow font lose one row to make room). Then the fixed glyphs, the
// placeholder glyphs of the codes the fonts do not cover, the two blank
// spaces and the hand corrections (a text file: "<font> <code>: <column
// words in hex>") replace what the renderer made. Not part of the build; run it after changing a face, a
// rule or a correction, and look at the sheet before committing.
#include "framework/Image.h"
#include "platform/Text1252.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Glyph = std::vector<std::uint16_t>;  // column words, bit 15 the top row

struct FontRules {
    const char* name;
    std::array<int, 256> widths;
    int baselineRow;  // the lowest row of a capital
    int capitalTop;   // the highest row of a capital
    int firstInkRow;  // printable ASCII keeps to these rows
    int lastInkRow;
    Glyph placeholder;
    std::vector<int> extraCodes;  // covered beyond 33-126, 145, 146 and 161-255
    std::map<int, Glyph> fixedGlyphs;
};

FontRules wideRules() {
    return {"wide",
            {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4,    4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4,
             4, 4, 6, 8, 8, 11, 9, 4, 4, 4, 6, 8, 4, 4, 4, 4,   8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 4, 4, 8, 8, 8, 8,
             14, 8, 10, 9, 10, 9, 8, 10, 10, 4, 7, 9, 8, 12, 10, 10, 9, 10, 10, 9, 8, 10, 8, 14, 9, 10, 9, 4, 4, 4, 5, 8,
             5, 8, 8, 7, 8, 8, 4, 8, 8, 4, 4, 7, 4, 12, 8, 8,   8, 8, 5, 8, 4, 8, 8, 10, 8, 8, 8, 5, 4, 5, 5, 4,
             4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4,    4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4,
             9, 4, 8, 8, 8, 8, 4, 8, 5, 10, 5, 7, 8, 4, 10, 8,  5, 8, 4, 4, 5, 8, 7, 4, 5, 4, 5, 7, 11, 11, 11, 8,
             8, 8, 8, 8, 8, 8, 13, 9, 9, 9, 9, 9, 4, 4, 4, 4,   10, 10, 10, 10, 10, 10, 10, 8, 10, 10, 10, 10, 10, 10, 9, 8,
             8, 8, 8, 8, 8, 8, 12, 7, 8, 8, 8, 8, 4, 4, 4, 4,   8, 8, 8, 8, 8, 8, 8, 6, 8, 8, 8, 8, 8, 8, 8, 8},
            12,
            3,
            2,
            15,
            {0x0000, 0x0FF8, 0x0FF8, 0x0000},
            {},
            {{'0', {0x0000, 0x0FF0, 0x1FF8, 0x1008, 0x1008, 0x1FF8, 0x0FF0, 0x0000}},
             {'A', {0x0018, 0x00F8, 0x07E0, 0x1E20, 0x1E20, 0x07E0, 0x00F8, 0x0018}},
             {'.', {0x0000, 0x0018, 0x0018, 0x0000}},
             {'-', {0x0080, 0x0080, 0x0080, 0x0080}},
             {'i', {0x0000, 0x1BF8, 0x1BF8, 0x0000}}}};
}

FontRules narrowRules() {
    return {"narrow",
            {3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,    3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,
             3, 3, 5, 7, 6, 8, 6, 2, 3, 3, 4, 6, 3, 3, 3, 5,    6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 3, 3, 6, 6, 6, 6,
             11, 7, 7, 7, 8, 7, 6, 8, 8, 3, 5, 7, 6, 9, 8, 8,   7, 8, 8, 7, 7, 8, 7, 11, 7, 7, 7, 3, 5, 3, 6, 6,
             3, 6, 6, 6, 6, 6, 3, 6, 6, 2, 2, 6, 2, 8, 6, 6,    6, 6, 3, 5, 3, 6, 6, 8, 5, 5, 5, 4, 2, 4, 7, 3,
             6, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,    3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,
             3, 3, 6, 6, 6, 6, 2, 6, 3, 9, 4, 6, 6, 3, 8, 6,    4, 6, 3, 3, 3, 6, 6, 3, 3, 3, 4, 6, 8, 8, 8, 6,
             7, 7, 7, 7, 7, 7, 10, 7, 7, 7, 7, 7, 3, 3, 3, 3,   8, 8, 8, 8, 8, 8, 8, 6, 8, 8, 8, 8, 8, 7, 7, 6,
             6, 6, 6, 6, 6, 6, 10, 6, 6, 6, 6, 6, 2, 4, 4, 4,   6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 5, 6, 5},
            10,
            2,
            1,
            12,
            {0x0000, 0x1FF0, 0x1FF0},
            {128},
            {{'0', {0x0000, 0x1FC0, 0x2020, 0x2020, 0x2020, 0x1FC0}},
             {'A', {0x0060, 0x0380, 0x0C80, 0x3080, 0x0C80, 0x0380, 0x0060}},
             {'.', {0x0000, 0x0020, 0x0000}},
             {'-', {0x0000, 0x0100, 0x0100}},
             {'i', {0x0000, 0x27E0}}}};
}

bool isCovered(const FontRules& rules, int code) {
    if ((code >= 33 && code <= 126) || code == 145 || code == 146 || code >= 161) return true;
    return std::find(rules.extraCodes.begin(), rules.extraCodes.end(), code) != rules.extraCodes.end();
}

[[noreturn]] void fail(const std::string& message) {
    std::cerr << "velkarn-fontgen: " << message << "\n";
    std::exit(1);
}

// A rendered glyph as rows of ink flags, placed on the 16-row grid.
struct Ink {
    int left = 0;   // grid column of bitmap column 0, before centring
    int top = 0;    // grid row of bitmap row 0
    int width = 0;  // bitmap columns
    int rows = 0;
    std::vector<unsigned char> on;  // rows x width
    int firstColumn() const {
        for (int x = 0; x < width; ++x)
            for (int y = 0; y < rows; ++y)
                if (on[static_cast<std::size_t>(y * width + x)]) return x;
        return -1;
    }
    int lastColumn() const {
        for (int x = width - 1; x >= 0; --x)
            for (int y = 0; y < rows; ++y)
                if (on[static_cast<std::size_t>(y * width + x)]) return x;
        return -1;
    }
};

class Renderer {
public:
    Renderer(FT_Library library, const char* path) {
        if (FT_New_Face(library, path, 0, &face_) != 0) fail(std::string("cannot open ") + path);
    }
    ~Renderer() { FT_Done_Face(face_); }

    // The size (in 1/64 pixel) at which a hinted "H" is exactly capRows high.
    void fitCapitals(int capRows) {
        for (FT_F26Dot6 size = 8 * 64; size <= 24 * 64; size += 4) {
            setSize(size, size);
            Ink h = render(U'H', 0);
            if (h.rows == capRows) {
                height_ = size;
                return;
            }
        }
        fail("no size gives capitals of the wanted height");
    }

    // Renders with the given horizontal size; the baseline lands on row
    // baselineRow.
    Ink render(char32_t character, int baselineRow, FT_F26Dot6 width = 0) {
        if (width != 0) setSize(width, height_);
        FT_UInt index = FT_Get_Char_Index(face_, character);
        Ink ink;
        if (index == 0) return ink;
        if (FT_Load_Glyph(face_, index, FT_LOAD_TARGET_MONO) != 0) fail("cannot load a glyph");
        if (FT_Render_Glyph(face_->glyph, FT_RENDER_MODE_MONO) != 0) fail("cannot render a glyph");
        const FT_Bitmap& bitmap = face_->glyph->bitmap;
        ink.width = static_cast<int>(bitmap.width);
        ink.rows = static_cast<int>(bitmap.rows);
        ink.left = face_->glyph->bitmap_left;
        ink.top = baselineRow + 1 - face_->glyph->bitmap_top;
        ink.on.assign(static_cast<std::size_t>(ink.width * ink.rows), 0);
        for (int y = 0; y < ink.rows; ++y) {
            const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
            for (int x = 0; x < ink.width; ++x) {
                ink.on[static_cast<std::size_t>(y * ink.width + x)] = (row[x >> 3] >> (7 - (x & 7))) & 1;
            }
        }
        return ink;
    }

    FT_F26Dot6 height() const { return height_; }
    void setSize(FT_F26Dot6 width, FT_F26Dot6 height) {
        if (FT_Set_Char_Size(face_, width, height, 72, 72) != 0) fail("cannot set the size");
    }

private:
    FT_Face face_ = nullptr;
    FT_F26Dot6 height_ = 0;
};

// The character's ink fitted into the glyph's width: squeezed until it
// leaves a blank column (or fills a glyph of one or two columns), then
// centred with any odd column on the left.
Glyph renderGlyph(Renderer& renderer, const FontRules& rules, int code, char32_t character) {
    const int width = rules.widths[static_cast<std::size_t>(code)];
    const int room = width >= 3 ? width - 1 : width;
    Ink ink;
    for (FT_F26Dot6 size = renderer.height(); size >= renderer.height() / 4; size -= 2) {
        ink = renderer.render(character, rules.baselineRow, size);
        if (ink.firstColumn() < 0) break;
        if (ink.lastColumn() - ink.firstColumn() + 1 <= room) break;
    }
    renderer.setSize(renderer.height(), renderer.height());
    Glyph glyph(static_cast<std::size_t>(width), 0);
    const int first = ink.firstColumn();
    if (first < 0) return glyph;
    const int used = ink.lastColumn() - first + 1;
    const int pad = (width - used + 1) / 2;
    // A descender longer than the font allows loses its rows just below the
    // baseline, so its end (the hook of g, j) keeps its shape; what lies
    // wholly below the baseline (the underscore) moves up instead.
    std::vector<int> rowOf(static_cast<std::size_t>(ink.rows));
    const int bottom = ink.top + ink.rows - 1;
    const int overhang = std::max(0, bottom - rules.lastInkRow);
    const int droppable = std::max(0, bottom - std::max(rules.baselineRow + 1, ink.top));
    const int drop = std::min(overhang, droppable);
    const int lift = overhang - drop;
    for (int y = 0, dropped = 0; y < ink.rows; ++y) {
        const int row = ink.top + y;
        if (row > rules.baselineRow && dropped < drop) {
            rowOf[static_cast<std::size_t>(y)] = -1;
            ++dropped;
            continue;
        }
        rowOf[static_cast<std::size_t>(y)] = row - dropped - lift;
    }
    for (int y = 0; y < ink.rows; ++y) {
        const int row = rowOf[static_cast<std::size_t>(y)];
        if (row < 0 || row > 15) {
            bool lost = false;
            for (int x = 0; x < ink.width; ++x) lost |= ink.on[static_cast<std::size_t>(y * ink.width + x)] != 0;
            if (lost && row != -1) std::cerr << rules.name << " " << code << ": ink beyond the grid cut off\n";
            continue;
        }
        for (int x = first; x < first + used; ++x) {
            const int column = pad + x - first;
            if (column < 0 || column >= width) continue;
            if (ink.on[static_cast<std::size_t>(y * ink.width + x)]) {
                glyph[static_cast<std::size_t>(column)] |= static_cast<std::uint16_t>(1u << (15 - row));
            }
        }
    }
    return glyph;
}

enum class Accent { Grave, Acute, Circumflex, Tilde, Diaeresis, Ring };

// The accented letters of the code page: base letter (dotless i for the
// small i's) and accent.
struct Composed {
    int code;
    char32_t base;
    Accent accent;
};
const Composed composedLetters[] = {
    {192, U'A', Accent::Grave},     {193, U'A', Accent::Acute}, {194, U'A', Accent::Circumflex},
    {195, U'A', Accent::Tilde},     {196, U'A', Accent::Diaeresis}, {197, U'A', Accent::Ring},
    {200, U'E', Accent::Grave},     {201, U'E', Accent::Acute}, {202, U'E', Accent::Circumflex},
    {203, U'E', Accent::Diaeresis}, {204, U'I', Accent::Grave}, {205, U'I', Accent::Acute},
    {206, U'I', Accent::Circumflex}, {207, U'I', Accent::Diaeresis}, {209, U'N', Accent::Tilde},
    {210, U'O', Accent::Grave},     {211, U'O', Accent::Acute}, {212, U'O', Accent::Circumflex},
    {213, U'O', Accent::Tilde},     {214, U'O', Accent::Diaeresis}, {217, U'U', Accent::Grave},
    {218, U'U', Accent::Acute},     {219, U'U', Accent::Circumflex}, {220, U'U', Accent::Diaeresis},
    {221, U'Y', Accent::Acute},     {224, U'a', Accent::Grave}, {225, U'a', Accent::Acute},
    {226, U'a', Accent::Circumflex}, {227, U'a', Accent::Tilde}, {228, U'a', Accent::Diaeresis},
    {229, U'a', Accent::Ring},      {232, U'e', Accent::Grave}, {233, U'e', Accent::Acute},
    {234, U'e', Accent::Circumflex}, {235, U'e', Accent::Diaeresis}, {236, U'\u0131', Accent::Grave},
    {237, U'\u0131', Accent::Acute}, {238, U'\u0131', Accent::Circumflex}, {239, U'\u0131', Accent::Diaeresis},
    {241, U'n', Accent::Tilde},     {242, U'o', Accent::Grave}, {243, U'o', Accent::Acute},
    {244, U'o', Accent::Circumflex}, {245, U'o', Accent::Tilde}, {246, U'o', Accent::Diaeresis},
    {249, U'u', Accent::Grave},     {250, U'u', Accent::Acute}, {251, U'u', Accent::Circumflex},
    {252, U'u', Accent::Diaeresis}, {253, U'y', Accent::Acute}, {255, U'y', Accent::Diaeresis},
};

// Accent drawings, top row first: the heavy set for font 0, the light one
// for font 1 and for font 0 glyphs too narrow for the heavy one.
std::vector<std::string> accentDrawing(Accent accent, bool heavy) {
    switch (accent) {
    case Accent::Grave: return heavy ? std::vector<std::string>{"##.", ".##"} : std::vector<std::string>{"#.", ".#"};
    case Accent::Acute: return heavy ? std::vector<std::string>{".##", "##."} : std::vector<std::string>{".#", "#."};
    case Accent::Circumflex: return heavy ? std::vector<std::string>{".##.", "#..#"} : std::vector<std::string>{".#.", "#.#"};
    case Accent::Tilde: return heavy ? std::vector<std::string>{".##.#", "#.##."} : std::vector<std::string>{".#.#", "#.#."};
    case Accent::Diaeresis: return heavy ? std::vector<std::string>{"##.##"} : std::vector<std::string>{"#.#"};
    case Accent::Ring: return heavy ? std::vector<std::string>{".#.", "#.#", ".#."} : std::vector<std::string>{"##", "##"};
    }
    return {};
}

int topInkRow(const Glyph& glyph) {
    std::uint16_t all = 0;
    for (std::uint16_t word : glyph) all |= word;
    for (int row = 0; row < 16; ++row)
        if ((all >> (15 - row)) & 1u) return row;
    return -1;
}

// Removes one row of the glyph's rows first..last, pulling the rows above it
// down: the row nearest the middle that repeats a neighbour, so strokes and
// bars stay whole.
void dropRow(Glyph& glyph, int first, int last) {
    const auto rowBits = [&](int row) {
        std::vector<bool> bits;
        for (std::uint16_t word : glyph) bits.push_back(((word >> (15 - row)) & 1u) != 0);
        return bits;
    };
    const int middle = (first + last) / 2;
    int chosen = -1;
    for (int distance = 0; distance <= last - first && chosen < 0; ++distance) {
        for (int row : {middle - distance, middle + distance}) {
            if (row <= first || row > last) continue;
            if (rowBits(row) == rowBits(row - 1)) {
                chosen = row;
                break;
            }
        }
    }
    if (chosen < 0) chosen = middle;
    for (std::uint16_t& word : glyph) {
        const std::uint16_t below = static_cast<std::uint16_t>(word & ((1u << (15 - chosen)) - 1));  // rows after it
        const std::uint16_t above = static_cast<std::uint16_t>(word & ~((1u << (16 - chosen)) - 1));  // rows before it
        word = static_cast<std::uint16_t>(below | (above >> 1));
    }
}

Glyph composeLetter(const Glyph& base, int width, Accent accent, int accentBottom, bool heavy) {
    Glyph glyph(static_cast<std::size_t>(width), 0);
    // The base centred in the glyph's width (odd column on the left).
    const int shift = (width - static_cast<int>(base.size()) + 1) / 2;
    for (int column = 0; column < static_cast<int>(base.size()); ++column) {
        const int target = column + shift;
        if (target >= 0 && target < width) glyph[static_cast<std::size_t>(target)] |= base[static_cast<std::size_t>(column)];
    }
    int firstInk = width;
    int lastInk = -1;
    for (int column = 0; column < width; ++column) {
        if (glyph[static_cast<std::size_t>(column)] != 0) {
            firstInk = std::min(firstInk, column);
            lastInk = std::max(lastInk, column);
        }
    }
    std::vector<std::string> drawing = accentDrawing(accent, heavy);
    if (static_cast<int>(drawing[0].size()) > width) drawing = accentDrawing(accent, false);
    const int accentWidth = static_cast<int>(drawing[0].size());
    int left = (firstInk + lastInk + 1 - accentWidth + 1) / 2;
    left = std::clamp(left, 0, width - accentWidth);
    const int top = accentBottom - static_cast<int>(drawing.size()) + 1;
    for (std::size_t row = 0; row < drawing.size(); ++row) {
        for (int column = 0; column < accentWidth; ++column) {
            if (drawing[row][static_cast<std::size_t>(column)] != '#') continue;
            const int y = top + static_cast<int>(row);
            if (y >= 0 && y < 16) glyph[static_cast<std::size_t>(left + column)] |= static_cast<std::uint16_t>(1u << (15 - y));
        }
    }
    return glyph;
}

// "<font> <code>: <hex words>" lines; # starts a comment.
std::map<std::pair<int, int>, Glyph> readCorrections(const std::string& path) {
    std::ifstream in(path);
    if (!in) fail("cannot read " + path);
    std::map<std::pair<int, int>, Glyph> corrections;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        line = line.substr(0, line.find('#'));
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        std::istringstream fields(line);
        int font = -1;
        int code = -1;
        char colon = 0;
        fields >> font >> code >> colon;
        if (!fields || colon != ':' || font < 0 || font > 1 || code < 0 || code > 255) {
            fail(path + ":" + std::to_string(number) + ": expected \"<font> <code>: <words>\"");
        }
        Glyph glyph;
        std::string word;
        while (fields >> word) glyph.push_back(static_cast<std::uint16_t>(std::stoul(word, nullptr, 16)));
        corrections[{font, code}] = glyph;
    }
    return corrections;
}

std::vector<Glyph> makeFont(FT_Library library, const char* face, const FontRules& rules, int number,
                            const std::map<std::pair<int, int>, Glyph>& corrections) {
    Renderer renderer(library, face);
    renderer.fitCapitals(rules.baselineRow - rules.capitalTop + 1);
    std::vector<Glyph> glyphs(256);
    for (int code = 0; code < 256; ++code) {
        const int width = rules.widths[static_cast<std::size_t>(code)];
        Glyph glyph;
        if (code == 32 || code == 160) {
            glyph.assign(static_cast<std::size_t>(width), 0);
        } else if (!isCovered(rules, code)) {
            glyph = rules.placeholder;
        } else if (auto fixed = rules.fixedGlyphs.find(code); fixed != rules.fixedGlyphs.end()) {
            glyph = fixed->second;
        } else {
            glyph = renderGlyph(renderer, rules, code, platform::cp1252ToUnicode(static_cast<unsigned char>(code)));
        }
        glyphs[static_cast<std::size_t>(code)] = glyph;
    }
    const bool heavy = number == 0;
    const int capitalAccentBottom = heavy ? rules.capitalTop - 2 : rules.capitalTop - 1;
    const int smallAccentBottom = topInkRow(glyphs['x']) - 2;
    for (const Composed& letter : composedLetters) {
        const bool capital = letter.base >= U'A' && letter.base <= U'Z';
        Glyph base;
        if (letter.base < 128) {
            base = glyphs[static_cast<std::size_t>(letter.base)];
        } else {
            base = renderGlyph(renderer, rules, 'i', letter.base);  // dotless i at the width of i
        }
        if (capital && !heavy) dropRow(base, rules.capitalTop, rules.baselineRow);
        int bottom = capital ? capitalAccentBottom : smallAccentBottom;
        if (letter.accent == Accent::Ring && heavy) ++bottom;  // three rows: it touches the letter
        glyphs[static_cast<std::size_t>(letter.code)] =
            composeLetter(base, rules.widths[static_cast<std::size_t>(letter.code)], letter.accent, bottom, heavy);
    }
    for (int code = 0; code < 256; ++code) {
        const int width = rules.widths[static_cast<std::size_t>(code)];
        Glyph& glyph = glyphs[static_cast<std::size_t>(code)];
        if (auto corrected = corrections.find({number, code}); corrected != corrections.end()) glyph = corrected->second;
        if (static_cast<int>(glyph.size()) != width) {
            fail(std::string(rules.name) + " glyph " + std::to_string(code) + " is " + std::to_string(glyph.size()) +
                 " columns, not " + std::to_string(width));
        }
    }
    return glyphs;
}

std::string tableText(const char* name, const FontRules& rules, const std::vector<Glyph>& glyphs) {
    std::ostringstream out;
    out << "const std::int32_t " << name << "Widths[256] = {\n";
    for (int row = 0; row < 16; ++row) {
        out << "   ";
        for (int column = 0; column < 16; ++column) out << " " << rules.widths[static_cast<std::size_t>(row * 16 + column)] << ",";
        out << "\n";
    }
    out << "};\n\n";
    out << "const std::uint16_t " << name << "Columns[" << name << "ColumnCount] = {\n";
    for (int code = 0; code < 256; ++code) {
        out << "   ";
        char text[16];
        for (std::uint16_t word : glyphs[static_cast<std::size_t>(code)]) {
            std::snprintf(text, sizeof text, " 0x%04X,", word);
            out << text;
        }
        out << "  // " << code << "\n";
    }
    out << "};\n";
    return out.str();
}

// Both fonts side by side, 16 x 16 cells each, every pixel magnified: the
// glyph's width box in pale yellow with the baseline row marked, set pixels
// black.
void writeSheet(const std::string& path, const std::vector<Glyph> (&fonts)[2], const FontRules (&rules)[2]) {
    constexpr int scale = 3;
    constexpr int cellWidth = 14 * scale + 6;
    constexpr int cellHeight = 16 * scale + 6;
    constexpr int gap = 24;
    Image sheet(2 * 16 * cellWidth + gap, 16 * cellHeight, 255, 255, 255, 255);
    for (int f = 0; f < 2; ++f) {
        const int originX = f * (16 * cellWidth + gap);
        for (int code = 0; code < 256; ++code) {
            const Glyph& glyph = fonts[f][static_cast<std::size_t>(code)];
            const int x0 = originX + (code % 16) * cellWidth + 3;
            const int y0 = (code / 16) * cellHeight + 3;
            const int boxWidth = static_cast<int>(glyph.size()) * scale;
            sheet.fillRect(255, 248, 200, 255, x0, y0, x0 + boxWidth - 1, y0 + 16 * scale - 1);
            const int baseline = y0 + (rules[f].baselineRow + 1) * scale - 1;
            sheet.fillRect(255, 190, 190, 255, x0, baseline, x0 + boxWidth - 1, baseline);
            for (int column = 0; column < static_cast<int>(glyph.size()); ++column) {
                for (int row = 0; row < 16; ++row) {
                    if (((glyph[static_cast<std::size_t>(column)] >> (15 - row)) & 1u) == 0) continue;
                    const int px = x0 + column * scale;
                    const int py = y0 + row * scale;
                    sheet.fillRect(0, 0, 0, 255, px, py, px + scale - 1, py + scale - 1);
                }
            }
        }
    }
    sheet.writePng(path);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) fail("usage: velkarn-fontgen <wide face> <narrow face> <corrections> <table out> <sheet out>");
    const std::map<std::pair<int, int>, Glyph> corrections = readCorrections(argv[3]);
    FT_Library library;
    if (FT_Init_FreeType(&library) != 0) fail("cannot start FreeType");
    const FontRules rules[2] = {wideRules(), narrowRules()};
    const std::vector<Glyph> fonts[2] = {makeFont(library, argv[1], rules[0], 0, corrections),
                                         makeFont(library, argv[2], rules[1], 1, corrections)};
    FT_Done_FreeType(library);

    std::ofstream table(argv[4], std::ios::binary);
    table << "// Generated by framework/fontgen/FontGenerator.cpp from DejaVu Sans Bold (font 0) and\n"
             "// DejaVu Sans Condensed (font 1) with framework/fontgen/corrections.txt; do not edit.\n"
             "// The glyphs are derived from the DejaVu fonts: see FontGlyphs-LICENSE.txt.\n"
             "#include \"framework/FontGlyphs.h\"\n\n"
             "namespace font_glyphs {\n\n";
    table << tableText("wide", rules[0], fonts[0]) << "\n" << tableText("narrow", rules[1], fonts[1]);
    table << "\n}  // namespace font_glyphs\n";
    if (!table) fail(std::string("cannot write ") + argv[4]);
    writeSheet(argv[5], fonts, rules);
    return 0;
}
