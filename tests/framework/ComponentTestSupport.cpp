#include "ComponentTestSupport.h"

#include "framework/Font.h"
#include "framework/Image.h"
#include "framework/Surface.h"

namespace component_test {

std::string digitName(int index) {
    static const char* const named[] = {"Point", "Plus", "Minus", "Exp", "Space", "Default"};
    return index < 10 ? std::to_string(index) : std::string(named[index - 10]);
}

void writeDigitSkin(image_test::SkinDirectory& skins, const std::string& key, int cellWidth, int cellHeight,
                    Color ink, Color paper) {
    static const char characters[] = "0123456789.+-e #";
    const Font font(1);
    for (int index = 0; index < 16; ++index) {
        Image cell(cellWidth, cellHeight, paper.red, paper.green, paper.blue, paper.alpha);
        const char character[2] = {characters[index], '\0'};
        const int glyph = font.glyphWidth(static_cast<unsigned char>(characters[index]));
        cell.drawText(character, std::max(0, (cellWidth - glyph) / 2), std::max(0, (cellHeight - 16) / 2), &font, ink);
        skins.write(key + digitName(index), cell);
    }
}

void ComponentTest::SetUp() {
    FrameworkTest::SetUp();
    skins.emplace();
}

void ComponentTest::TearDown() {
    window.reset();
    skins.reset();
    FrameworkTest::TearDown();
}

void ComponentTest::openWindow(int width, int height) {
    skins->write("componentWindow", width, height, windowColor.red, windowColor.green, windowColor.blue, 255);
    WindowParameters parameters;
    parameters.backgroundKey = "componentWindow";
    parameters.title = "Components";
    window = std::make_unique<Window>(parameters);
    window->add(new RecordingComponent("probe", 0, 0, width - 1, height - 1, probeLog_));
    // The back image holds the background from the start.
    window->redraw(GUIRectangle(0, 0, width - 1, height - 1));
    probeLog_.clear();
}

std::vector<std::string> ComponentTest::redraws() {
    std::vector<std::string> areas;
    for (const std::string& entry : probeLog_) {
        const std::string prefix = "probe draw ";
        if (entry.rfind(prefix, 0) == 0) areas.push_back(entry.substr(prefix.size()));
    }
    probeLog_.clear();
    return areas;
}

Color ComponentTest::pixel(int x, int y) const { return back().getPixel(x, y); }

Image& ComponentTest::back() const { return window->surface()->backImage(); }

std::string ComponentTest::area(int x, int y, int width, int height) {
    return std::to_string(x) + "," + std::to_string(y) + "-" + std::to_string(x + width - 1) + "," +
           std::to_string(y + height - 1);
}

}  // namespace component_test
