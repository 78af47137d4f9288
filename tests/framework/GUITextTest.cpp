#include "GuiTestSkins.h"

#include "framework/Font.h"
#include "framework/GUITextClient.h"
#include "framework/GUITextHorizontal.h"
#include "framework/GUITextVertical.h"
#include "framework/Image.h"
#include "framework/Surface.h"

#include <memory>
#include <string>
#include <vector>

namespace {

using gui_test::area;
using gui_test::windowColor;
using Areas = std::vector<std::string>;

constexpr Color ink{250, 200, 10, 255};

int widthOf(const Font& font, const std::string& text) {
    int sum = 0;
    for (char c : text) sum += font.glyphWidth(static_cast<unsigned char>(c));
    return sum;
}

struct Click {
    GUITextHorizontal* text;
    bool doubleClick;
};

class RecordingTextClient : public GUITextClient {
public:
    void clicked(GUITextHorizontal* text, bool doubleClick) override { clicks.push_back({text, doubleClick}); }
    std::vector<Click> clicks;
};

class GUITextTest : public gui_test::GuiComponentTest {
protected:
    Image& back() { return window->surface()->backImage(); }

    void SetUp() override {
        GuiComponentTest::SetUp();
        openWindow(80, 40);
    }

    // The window as it should look with `text` drawn at (x, y) in `color`
    // over the background: glyph pixels placed by Image::drawText, each
    // blended like a single pixel.
    std::unique_ptr<Image> expectedWith(const std::string& text, int x, int y, const Font& font, Color color) {
        auto expected = std::make_unique<Image>(window->width(), window->height(), windowColor.red, windowColor.green,
                                                windowColor.blue, 255);
        Image glyphs(window->width(), window->height(), 0, 0, 0, 0);
        if (!text.empty()) glyphs.drawText(text, x, y, &font, Color(255, 255, 255, 255));
        for (int row = 0; row < glyphs.height(); ++row) {
            for (int column = 0; column < glyphs.width(); ++column) {
                if (!glyphs.isTransparent(column, row)) expected->blendPixel(color, column, row);
            }
        }
        return expected;
    }

    const Font wide{0};
    const Font narrow{1};
};

TEST_F(GUITextTest, FitsWholeGlyphsAndPlacesThemByAlignment) {
    ASSERT_EQ(widthOf(wide, "10.5"), 28);
    const int narrowAbc = widthOf(narrow, "abc");
    struct Case {
        const char* name;
        const Font* font;
        int width;
        std::string text;
        int alignment;
        int fittedCount;
        int start;
    };
    const Case cases[] = {
        {"left", &wide, 30, "10.5", 0, 4, 0},
        {"centred rounds down", &wide, 30, "10.5", 1, 4, 1},
        {"right", &wide, 30, "10.5", 2, 4, 2},
        {"last glyph does not fit", &wide, 30, "10.50", 0, 4, 0},
        {"five columns to spare, centred", &narrow, narrowAbc + 5, "abc", 1, 3, 2},
        {"exact fit, right", &narrow, narrowAbc, "abc", 2, 3, 0},
        {"empty", &wide, 30, "", 1, 0, 15},
        {"first glyph too wide", &wide, 3, "W", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* text = new GUITextHorizontal(4, 6, c.width, 16, c.font, ink, c.alignment, nullptr, c.text);
        window->add(text);
        EXPECT_EQ(text->fittedCount(), c.fittedCount);
        EXPECT_EQ(text->fittedWidth(), widthOf(*c.font, c.text.substr(0, static_cast<std::size_t>(c.fittedCount))));
        EXPECT_EQ(text->text(), c.text);
        window->redraw(*text);
        const auto expected =
            expectedWith(c.text.substr(0, static_cast<std::size_t>(c.fittedCount)), 4 + c.start, 6, *c.font, ink);
        EXPECT_EQ(image_test::pixelBytes(back()), image_test::pixelBytes(*expected));
        text->hide();  // the next case draws over a clean background
    }
}

TEST_F(GUITextTest, DrawsOnlyInsideTheClip) {
    const auto whole = expectedWith("8888", 4, 6, wide, ink);
    Image expected(window->width(), window->height(), windowColor.red, windowColor.green, windowColor.blue, 255);
    expected.copyRect(*whole, 10, 8, 10, 8, 5, 2);
    // Attached but not in the tree: only the direct draw paints it.
    GUITextHorizontal text(4, 6, 60, 16, &wide, ink, 0, nullptr, "8888");
    text.attach(window.get());
    text.draw(GUIRectangle(10, 8, 14, 9));
    EXPECT_EQ(image_test::pixelBytes(back()), image_test::pixelBytes(expected));
    EXPECT_NE(image_test::pixelBytes(back()), image_test::pixelBytes(*whole));

    // Hidden: hiding repaints the area from the root, and the text itself
    // draws nothing.
    text.hide();
    text.draw(GUIRectangle(4, 6, 63, 21));
    const Image plain(window->width(), window->height(), windowColor.red, windowColor.green, windowColor.blue, 255);
    EXPECT_EQ(image_test::pixelBytes(back()), image_test::pixelBytes(plain));
}

TEST_F(GUITextTest, ChangesRedrawTheRectangleOnce) {
    auto* text = new GUITextHorizontal(4, 6, 60, 16, &wide, ink, 0, nullptr, "12");
    window->add(text);
    redraws();
    const std::string rectangle = area(4, 6, 60, 16);
    const Color blue{0, 0, 255, 255};

    text->setTextAndColor("34", blue);
    EXPECT_EQ(redraws(), (Areas{rectangle}));
    EXPECT_EQ(image_test::pixelBytes(back()), image_test::pixelBytes(*expectedWith("34", 4, 6, wide, blue)));

    text->setText("567");
    EXPECT_EQ(redraws(), (Areas{rectangle}));
    text->setColor(ink);
    EXPECT_EQ(redraws(), (Areas{rectangle}));
    text->setAlignment(2);
    EXPECT_EQ(redraws(), (Areas{rectangle}));
    EXPECT_EQ(image_test::pixelBytes(back()),
              image_test::pixelBytes(*expectedWith("567", 4 + 60 - widthOf(wide, "567"), 6, wide, ink)));

    // Not in a window: the state changes, nothing is drawn.
    GUITextHorizontal loose(0, 0, 60, 16, &wide, ink, 0, nullptr);
    loose.setText("9");
    EXPECT_EQ(loose.text(), "9");
    EXPECT_TRUE(redraws().empty());
}

TEST_F(GUITextTest, AnAlignmentOutsideTheThreeStopsAtTheFirstDraw) {
    auto* text = new GUITextHorizontal(4, 6, 60, 16, &wide, ink, 3, nullptr, "1");
    EXPECT_EQ(text->text(), "1");  // constructing is fine
    EXPECT_FATAL(window->add(text); window->redraw(*text), "Allez!");
    EXPECT_FATAL(text->setAlignment(-1), "Allez!");
}

TEST_F(GUITextTest, AlphaZeroOnlyDarkensTheGlyphPixelsByOneStep) {
    const Color clear{255, 255, 255, 0};
    auto* text = new GUITextHorizontal(4, 6, 60, 16, &wide, clear, 0, nullptr, "88");
    window->add(text);
    window->redraw(*text);
    Image glyphs(window->width(), window->height(), 0, 0, 0, 0);
    glyphs.drawText("88", 4, 6, &wide, Color(255, 255, 255, 255));
    int darkened = 0;
    for (int y = 0; y < window->height(); ++y) {
        for (int x = 0; x < window->width(); ++x) {
            const Color shown = pixel(x, y);
            if (glyphs.isTransparent(x, y)) {
                ASSERT_FALSE(shown.differs(windowColor)) << x << "," << y;
            } else {
                ++darkened;
                ASSERT_EQ(shown.red, windowColor.red * 255 >> 8);
                ASSERT_EQ(shown.green, windowColor.green * 255 >> 8);
                ASSERT_EQ(shown.blue, windowColor.blue * 255 >> 8);
            }
        }
    }
    EXPECT_GT(darkened, 0);
}

TEST_F(GUITextTest, PressesInsideReachTheClientWithTheDoubleClickFlag) {
    RecordingTextClient client;
    auto* listened = new GUITextHorizontal(10, 10, 20, 16, &wide, ink, 0, &client, "1");
    auto* deaf = new GUITextHorizontal(40, 10, 20, 16, &wide, ink, 0, nullptr, "1");
    window->add(listened);
    window->add(deaf);
    struct Case {
        GUIPoint point;
        bool doubleClick;
        bool reported;
    };
    const Case cases[] = {
        {{10, 10}, false, true},  {{29, 25}, true, true},   {{20, 17}, true, true},  {{9, 10}, false, false},
        {{30, 10}, false, false}, {{15, 26}, false, false}, {{45, 15}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.point.x) + "," + std::to_string(c.point.y));
        client.clicks.clear();
        window->root()->mouseDown(c.point, c.doubleClick);
        window->root()->mouseUp(c.point);
        window->root()->mouseMove(c.point);
        ASSERT_EQ(client.clicks.size(), c.reported ? 1u : 0u);
        if (c.reported) {
            EXPECT_EQ(client.clicks[0].text, listened);
            EXPECT_EQ(client.clicks[0].doubleClick, c.doubleClick);
        }
    }
}

TEST_F(GUITextTest, VerticalTextIsTurnedAQuarterClockwise) {
    struct Case {
        const char* name;
        int width;
        int height;
        std::string text;
        std::string fitted;
        int rows;
    };
    const int first = wide.glyphWidth('1');
    const Case cases[] = {
        {"all fit", 16, 30, "10.5", "10.5", 16},
        {"cut at the height", 16, 28 - 1, "10.5", "10.", 16},
        {"rows cut to the width", 9, 30, "10.5", "10.5", 9},
        {"empty", 16, 30, "", "", 0},
        {"first glyph longer than the height", 16, first - 1, "10.5", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GUITextVertical text(0, 0, c.width, c.height, &wide, ink);
        text.setText(c.text);
        if (c.fitted.empty()) {
            EXPECT_EQ(text.image(), nullptr);
            continue;
        }
        const int length = widthOf(wide, c.fitted);
        ASSERT_NE(text.image(), nullptr);
        ASSERT_EQ(text.image()->width(), c.rows);
        ASSERT_EQ(text.image()->height(), length);
        // The text as it reads unturned, glyph rows cut to the row count.
        Image flat(length, 16, 0, 0, 0, 0);
        flat.drawText(c.fitted, 0, 0, &wide, ink);
        for (int i = 0; i < c.rows; ++i) {
            for (int j = 0; j < length; ++j) {
                const Color expected = flat.getPixel(j, c.rows - 1 - i);
                ASSERT_FALSE(text.image()->getPixel(i, j).differs(expected)) << i << "," << j;
            }
        }
    }
    // The first glyph's top row is the right-most column of "10.5".
    GUITextVertical text(0, 0, 16, 30, &wide, ink);
    text.setText("10.5");
    ASSERT_EQ(text.image()->width(), 16);
    ASSERT_EQ(text.image()->height(), 28);
    int set = 0;
    for (int j = 0; j < first; ++j) {
        EXPECT_EQ(!text.image()->isTransparent(15, j), wide.isPixelSet('1', j, 0)) << j;
        set += wide.isPixelSet('1', j, 0) ? 1 : 0;
    }
    for (int row = 0; row < 16; ++row) {
        for (int j = 0; j < first; ++j) set += wide.isPixelSet('1', j, row) ? 1 : 0;
    }
    EXPECT_GT(set, 0);
}

TEST_F(GUITextTest, VerticalTextBlendsItsImageAtItsCorner) {
    auto* text = new GUITextVertical(20, 4, 16, 30, &wide, ink);
    window->add(text);
    redraws();
    text->setText("10.5");
    EXPECT_EQ(redraws(), (Areas{area(20, 4, 16, 30)}));
    Image expected(window->width(), window->height(), windowColor.red, windowColor.green, windowColor.blue, 255);
    expected.blendRect(*text->image(), 20, 4, 0, 0, 16, 28);
    EXPECT_EQ(image_test::pixelBytes(back()), image_test::pixelBytes(expected));

    // An empty text drops the image: the background shows again.
    text->setText("");
    EXPECT_EQ(redraws(), (Areas{area(20, 4, 16, 30)}));
    const Image plain(window->width(), window->height(), windowColor.red, windowColor.green, windowColor.blue, 255);
    EXPECT_EQ(image_test::pixelBytes(back()), image_test::pixelBytes(plain));
}

}  // namespace
