#include "GuiTestSkins.h"

#include "framework/Font.h"
#include "framework/Image.h"
#include "framework/Surface.h"
#include "scope/GUINote.h"

#include <cstdlib>
#include <string>

namespace {

using gui_test::area;
using Areas = std::vector<std::string>;

constexpr int cellWidth = 10;
constexpr int cellHeight = 18;
const Color ink(200, 200, 200, 255);
const Color paper(0, 0, 0, 255);

// The letter images beside the 16 digit images: "A" .. "G", "Sharp" ('#')
// and "Bemol" ('b'), drawn as writeDigitSkin draws the digits.
void writeLetterSkin(image_test::SkinDirectory& skins, const std::string& key, int width, int height) {
    const Font font(1);
    const struct {
        const char* name;
        char character;
    } letters[] = {{"A", 'A'}, {"B", 'B'}, {"C", 'C'}, {"D", 'D'}, {"E", 'E'},
                   {"F", 'F'}, {"G", 'G'}, {"Sharp", '#'}, {"Bemol", 'b'}};
    for (const auto& letter : letters) {
        Image cell(width, height, paper.red, paper.green, paper.blue, paper.alpha);
        const char text[2] = {letter.character, '\0'};
        const int glyph = font.glyphWidth(static_cast<unsigned char>(letter.character));
        cell.drawText(text, std::max(0, (width - glyph) / 2), std::max(0, (height - 16) / 2), &font, ink);
        skins.write(key + letter.name, cell);
    }
}

// What the cells show, read back through the character table.
std::string shown(const GUINote& note) {
    static const char characters[] = "0123456789.+-e ?ABCDEFG#b";
    std::string text;
    for (int i = 0; i < GUINote::cellCount; ++i) text += characters[note.cell(i)];
    return text;
}

class GUINoteTest : public gui_test::GuiComponentTest {
protected:
    void SetUp() override {
        GuiComponentTest::SetUp();
        gui_test::writeDigitSkin(*skins, "font/", cellWidth, cellHeight, ink, paper);
        writeLetterSkin(*skins, "font/", cellWidth, cellHeight);
        openWindow(120, 40);
    }
    GUINote* addNote(bool noteMode) {
        auto* note = new GUINote(20, 10, "font/", noteMode);
        window->add(note);
        redraws();
        return note;
    }
};

TEST_F(GUINoteTest, EveryCharacterHasItsImage) {
    const struct {
        char character;
        int index;
    } table[] = {
        {'0', 0},  {'5', 5},  {'9', 9},  {'.', 10}, {'+', 11}, {'-', 12}, {'e', 13}, {' ', 14},
        {'A', 16}, {'B', 17}, {'C', 18}, {'D', 19}, {'E', 20}, {'F', 21}, {'G', 22}, {'#', 23},
        {'b', 24}, {'H', 15}, {'a', 15}, {'x', 15}, {'\0', 15},
    };
    for (const auto& entry : table) EXPECT_EQ(GUINote::imageIndex(entry.character), entry.index) << entry.character;
}

TEST_F(GUINoteTest, NoteModeShowsTheNearestNoteInTheLastFourCells) {
    GUINote* note = addNote(true);
    EXPECT_EQ(note->width, 7 * cellWidth);
    EXPECT_EQ(note->height, cellHeight);
    EXPECT_EQ(shown(*note), "       ");
    const struct {
        float hz;
        const char* cells;
    } cases[] = {
        {452.0f, "   A  4"},  // note 69.47: A
        {455.0f, "   A# 4"},  // note 69.58: rounds up to A#
        {440.0f, "   A  4"},
        {27.5f, "   A  0"},
        {15.9f, "   C  0"},   // note 11.51: rounds up to C 0
        {15.0f, "       "},   // note 10.4: below C 0
        {4186.0f, "   C  8"},
    };
    for (const auto& c : cases) {
        note->setFrequency(c.hz);
        EXPECT_EQ(shown(*note), c.cells) << c.hz;
        EXPECT_EQ(redraws(), Areas{area(20, 10, 7 * cellWidth, cellHeight)}) << c.hz;
    }
}

TEST_F(GUINoteTest, FullModeShowsTheWholeText) {
    GUINote* note = addNote(false);
    const struct {
        float hz;
        const char* cells;
    } cases[] = {
        {440.0f, "A  4. 0"},
        {452.0f, "A  4.46"},
        {0.0f, "       "},
        {20000.0f, "D#10. 7"},
    };
    for (const auto& c : cases) {
        note->setFrequency(c.hz);
        EXPECT_EQ(shown(*note), c.cells) << c.hz;
    }
}

TEST_F(GUINoteTest, CharacterImagesOfAnotherSizeStopTheProgram) {
    for (const char* odd : {"Bemol", "7", "Sharp", "A"}) {
        SCOPED_TRACE(odd);
        gui_test::writeDigitSkin(*skins, "odd/", cellWidth, cellHeight, ink, paper);
        writeLetterSkin(*skins, "odd/", cellWidth, cellHeight);
        skins->write(std::string("odd/") + odd, cellWidth, cellHeight + 2, 0, 0, 0, 255);
        EXPECT_FATAL(GUINote(0, 0, "odd/", true), "Not all character images have the same dimensions.");
    }
}

TEST_F(GUINoteTest, DrawsItsCellsAsTheGoldenShows) {
    GUINote* note = addNote(false);
    note->setFrequency(470.0f);
    ASSERT_EQ(shown(*note), "A# 4.14");
    const Image& back = window->surface()->backImage();
    Image drawn(7 * cellWidth, cellHeight, 0, 0, 0, 0);
    drawn.copyRect(back, 0, 0, 20, 10, 7 * cellWidth, cellHeight);
    const std::string golden = testing_support::sourceDirectory() + "/tests/scope/golden/GUINote.png";
    if (std::getenv("VELKARN_UPDATE_GOLDENS") != nullptr) drawn.writePng(golden);
    Image expected(golden, true);
    ASSERT_EQ(expected.width(), drawn.width());
    ASSERT_EQ(expected.height(), drawn.height());
    int differing = 0;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) differing += expected.getPixel(x, y).differs(drawn.getPixel(x, y));
    }
    EXPECT_EQ(differing, 0);
}

}  // namespace
