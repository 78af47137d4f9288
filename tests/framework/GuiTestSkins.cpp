#include "GuiTestSkins.h"

#include "framework/Font.h"
#include "framework/Image.h"
#include "framework/Surface.h"

#include <algorithm>

namespace gui_test {

void writeFace(image_test::SkinDirectory& skins, const std::string& key, int width, int height, Color color) {
    skins.write(key, width, height, color.red, color.green, color.blue, color.alpha);
}

void writeMask(image_test::SkinDirectory& skins, const std::string& key, int width, int height) {
    Image mask(width, height, 255, 255, 255, 255);
    const Color clear(0, 0, 0, 0);
    mask.setPixel(clear, 0, 0);
    mask.setPixel(clear, width - 1, 0);
    mask.setPixel(clear, 0, height - 1);
    mask.setPixel(clear, width - 1, height - 1);
    skins.write(key, mask);
}

void writeButtonSkin(image_test::SkinDirectory& skins, const std::string& key, int width, int height, Color up,
                     Color down) {
    writeFace(skins, key + "Up", width, height, up);
    writeFace(skins, key + "Down", width, height, down);
    writeMask(skins, key + "Mask", width, height);
}

void writeSliderSkin(image_test::SkinDirectory& skins, const std::string& key, int width, int height, Color knob) {
    writeFace(skins, key + "Slider", width, height, knob);
    writeMask(skins, key + "Mask", width, height);
}

void writeIndicatorSkin(image_test::SkinDirectory& skins, const std::string& key, int width, int height, Color on,
                        Color off, Color disabled) {
    writeFace(skins, key + "On", width, height, on);
    writeFace(skins, key + "Off", width, height, off);
    writeFace(skins, key + "Disabled", width, height, disabled);
}

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

std::string text(const GUIRectangle& r) {
    return std::to_string(r.x0) + "," + std::to_string(r.y0) + "-" + std::to_string(r.x1) + "," + std::to_string(r.y1);
}

std::string area(int x, int y, int width, int height) {
    GUIRectangle r;
    r.setOriginSize(x, y, width, height);
    return text(r);
}

std::string fatalUnit(const std::function<void()>& call) {
    try {
        call();
    } catch (const FatalStop& stop) {
        return stop.source.substr(stop.source.find_last_of('/') + 1);
    }
    return {};
}

void GuiComponentTest::SetUp() {
    FrameworkTest::SetUp();
    skins.emplace();
}

void GuiComponentTest::TearDown() {
    window.reset();
    skins.reset();
    FrameworkTest::TearDown();
}

void GuiComponentTest::openWindow(int width, int height) {
    writeFace(*skins, "testWindow", width, height, windowColor);
    WindowParameters parameters;
    parameters.backgroundKey = "testWindow";
    parameters.title = "Components";
    window = std::make_unique<Window>(parameters);
    window->add(new RecordingComponent("probe", 0, 0, width - 1, height - 1, probeLog));
    window->redraw(GUIRectangle(0, 0, width - 1, height - 1));
    window->present();
    probeLog.clear();
}

std::vector<std::string> GuiComponentTest::redraws() {
    static const std::string prefix = "probe draw ";
    std::vector<std::string> areas;
    for (const std::string& entry : probeLog) {
        if (entry.rfind(prefix, 0) == 0) areas.push_back(entry.substr(prefix.size()));
    }
    probeLog.clear();
    return areas;
}

std::vector<std::string> GuiComponentTest::marked() {
    std::vector<std::string> areas;
    const GUIRectangleGroup& dirty = window->surface()->dirty();
    for (int i = 0; i < dirty.count(); ++i) areas.push_back(text(dirty[i]));
    return areas;
}

Color GuiComponentTest::pixel(int x, int y) { return window->surface()->backImage().getPixel(x, y); }

bool GuiComponentTest::shows(int x, int y, Color color) { return !pixel(x, y).differs(color); }

}  // namespace gui_test
