// A composed window on the offscreen screen: after its presents, the frame
// the layer holds must equal the committed golden picture pixel for pixel,
// and equal the back image (a missed dirty mark shows as a stale pixel).
//
// VELKARN_UPDATE_GOLDENS=1 rewrites the golden instead of comparing; look at
// tests/framework/golden/WindowScreenshot.png before committing it.
#include "WindowTestSupport.h"

#include "framework/Font.h"
#include "platform/TestInput.h"

namespace {

// One line of text drawn into an image of its own and blended where it lies.
class TextLabel : public GUIComponent {
public:
    TextLabel(int x, int y, int width, const Font& font, Color color, std::string text)
        : font_(font), color_(color), image_(width, 16, 0, 0, 0, 0) {
        setOriginSize(x, y, width, 16);
        setText(std::move(text));
    }
    void setText(std::string text) {
        image_.fillRect(0, 0, 0, 0, 0, 0, image_.width() - 1, 15);
        image_.drawText(text, 0, 0, &font_, color_);
        redraw();
    }
    void draw(const GUIRectangle& clip) override {
        if (!isVisible()) return;
        window()->blendImage(image_, clip.x0, clip.y0, clip.x0 - x0, clip.y0 - y0, clip.width, clip.height);
    }

private:
    const Font& font_;
    Color color_;
    Image image_;
};

// Skins whose every pixel differs from its neighbours a little: a smooth
// colour ramp over a fine checker, and a ramp of alpha for the glass.
Image* skin(int width, int height, int red, int green, int blue, bool translucent) {
    auto* image = new Image(width, height, 0, 0, 0, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int checker = (x + y) % 2 == 0 ? 0 : 24;
            const int alpha = translucent ? 40 + 200 * x / width : 255;
            image->setPixel(Color(static_cast<std::uint8_t>(red * x / width + checker),
                                  static_cast<std::uint8_t>(green * y / height + checker),
                                  static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(alpha)),
                            x, y);
        }
    }
    return image;
}

class WindowScreenshot : public WindowTestBase {};

TEST_F(WindowScreenshot, TheFrameEqualsTheGoldenAndTheBackImage) {
    for (auto [key, image] : {std::pair{"shot/back", skin(200, 120, 200, 160, 60, false)},
                              std::pair{"shot/glass", skin(110, 70, 40, 60, 230, true)},
                              std::pair{"shot/nested", skin(40, 20, 60, 220, 120, false)},
                              std::pair{"shot/hidden", skin(50, 30, 255, 0, 0, false)}}) {
        skins->write(key, *image);
        delete image;
    }
    const Font wide(0);
    const Font narrow(1);
    Window& window = open("Screenshot", "shot/back");

    auto* glass = new GUIPanel(20, 15, "shot/glass", false);
    glass->add(new GUIPanel(35, 22, "shot/nested", true));
    auto* title = new TextLabel(24, 50, 100, wide, Color(255, 255, 255, 255), "Velkarn 1.31");
    glass->add(title);
    window.add(glass);
    auto* hidden = new GUIPanel(140, 10, "shot/hidden", true);
    window.add(hidden);
    hidden->hide();
    auto* tempo = new TextLabel(8, 96, 180, narrow, Color(255, 230, 40, 200), "Tempo 128.00 BPM \xE9\xE8 W@");
    window.add(tempo);

    // A full redraw, then changes that redraw only their own areas.
    platform::postMessage(window.handle(), platform::redrawMessage, 0, 0);
    platform::dispatchPostedMessages();
    tempo->setText("Tempo 127.5 BPM");
    title->setText("Velkarn -10.5");
    platform::test_input::move(window.handle(), {1, 1});  // any input presents

    const std::unique_ptr<Image> shot = presentedFrame(window);
    if (goldenRewritten(*shot, "WindowScreenshot")) GTEST_SKIP() << "golden rewritten";
}

}  // namespace
