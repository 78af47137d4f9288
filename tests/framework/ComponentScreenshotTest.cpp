// Four composed panels of components on the offscreen screen, changed partly
// through the window's own input path, and compared pixel for pixel with the
// committed golden pictures in tests/framework/golden/Component*.png (see
// goldenRewritten for the switch that rewrites them). Each frame must also
// equal the back image, so a change that redrew too little shows.
#include "GuiTestSkins.h"
#include "WindowTestSupport.h"

#include "framework/ButtonClient.h"
#include "framework/Font.h"
#include "framework/GUIBar.h"
#include "framework/GUIButton.h"
#include "framework/GUIButtonManager.h"
#include "framework/GUIGraph.h"
#include "framework/GUIGraphClient.h"
#include "framework/GUIGrid.h"
#include "framework/GUIIndicator.h"
#include "framework/GUIMarkerMap.h"
#include "framework/GUIMarkerMapClient.h"
#include "framework/GUIMeter.h"
#include "framework/GUINumberSlider.h"
#include "framework/GUIPanelGroupClient.h"
#include "framework/GUIPanelGroupHorizontal.h"
#include "framework/GUISliderHorizontal.h"
#include "framework/GUISliderVertical.h"
#include "framework/GUITextHorizontal.h"
#include "framework/GUITextVertical.h"
#include "framework/SliderClient.h"
#include "platform/TestInput.h"

#include <cmath>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace {

// Listens to everything and keeps only what the scenes check.
class Listener : public ButtonClient,
                 public SliderClient,
                 public GUIPanelGroupClient,
                 public GUIGraphClient,
                 public GUIMarkerMapClient {
public:
    void buttonPressed(GUIButton* /*button*/) override { ++presses; }
    void sliderReleased(GUISlider* /*slider*/, float value) override { released = value; }
    void panelChanged(GUIPanelGroup* /*group*/, int /*previous*/, int current) override { panel = current; }
    int presses = 0;
    float released = -1.0f;
    int panel = -1;
};

// A face with a one-pixel edge and a light top row, so pressed and raised
// states and the exact placement read in a screenshot.
std::unique_ptr<Image> framed(int width, int height, Color fill, Color edge) {
    auto image = std::make_unique<Image>(width, height, fill.red, fill.green, fill.blue, fill.alpha);
    image->fillRect(255, 255, 255, fill.alpha, 1, 1, width - 2, 1);
    image->fillRect(edge.red, edge.green, edge.blue, edge.alpha, 0, 0, width - 1, 0);
    image->fillRect(edge.red, edge.green, edge.blue, edge.alpha, 0, height - 1, width - 1, height - 1);
    image->fillRect(edge.red, edge.green, edge.blue, edge.alpha, 0, 0, 0, height - 1);
    image->fillRect(edge.red, edge.green, edge.blue, edge.alpha, width - 1, 0, width - 1, height - 1);
    return image;
}

// A background that varies over the whole area, so a component drawn a
// pixel off or an area not restored shows.
std::unique_ptr<Image> ramp(int width, int height, Color from, int alpha) {
    auto image = std::make_unique<Image>(width, height, 0, 0, 0, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int shade = ((x / 4 + y / 4) % 2) * 10;
            image->setPixel(Color(static_cast<std::uint8_t>(from.red + 60 * x / width + shade),
                                 static_cast<std::uint8_t>(from.green + 60 * y / height + shade),
                                 static_cast<std::uint8_t>(from.blue + shade), static_cast<std::uint8_t>(alpha)),
                           x, y);
        }
    }
    return image;
}

class ComponentScreenshot : public WindowTestBase {
protected:
    void SetUp() override {
        WindowTestBase::SetUp();
        // The images of the window itself and of the common controls.
        skins->write("cs/buttonUp", *framed(40, 20, Color(90, 100, 120, 255), Color(20, 20, 30, 255)));
        skins->write("cs/buttonDown", *framed(40, 20, Color(240, 150, 30, 255), Color(20, 20, 30, 255)));
        gui_test::writeMask(*skins, "cs/buttonMask", 40, 20);
        skins->write("cs/knobSlider", *framed(10, 16, Color(200, 200, 210, 255), Color(0, 0, 0, 255)));
        gui_test::writeMask(*skins, "cs/knobMask", 10, 16);
        skins->write("cs/uprightSlider", *framed(16, 10, Color(120, 220, 140, 255), Color(0, 0, 0, 255)));
        gui_test::writeMask(*skins, "cs/uprightMask", 16, 10);
    }

    Window& openOver(const std::string& key, int width, int height, Color from = Color(30, 34, 44, 255)) {
        skins->write(key, *ramp(width, height, from, 255));
        return open("Components", key);
    }

    // A full redraw of the window as it opens.
    static void redrawAll(Window& window) {
        platform::postMessage(window.handle(), platform::redrawMessage, 0, 0);
        platform::dispatchPostedMessages();
    }
    // Shows what is still marked, as the display timer does after each
    // refresh, and takes the frame.
    static std::unique_ptr<Image> shoot(Window& window) {
        window.present();
        return presentedFrame(window);
    }

    Listener listener;
};

TEST_F(ComponentScreenshot, ControlPanel) {
    Window& window = openOver("cs/controls", 330, 230);
    // The panel over the window's background is translucent; the slider
    // tracks are part of its picture.
    const auto panelFace = ramp(314, 214, Color(60, 60, 70, 255), 170);
    panelFace->fillRect(10, 10, 10, 255, 8, 47, 167, 48);   // horizontal slider track
    panelFace->fillRect(10, 10, 10, 255, 8, 71, 127, 72);   // number slider track
    panelFace->fillRect(10, 10, 10, 255, 199, 8, 200, 107);  // vertical slider track
    skins->write("cs/panel", *panelFace);
    gui_test::writeIndicatorSkin(*skins, "cs/lamp", 12, 12, Color(255, 60, 40, 255), Color(90, 20, 20, 255),
                                 Color(70, 70, 70, 255));
    Image meterFace(10, 100, 0, 0, 0, 255);
    for (int y = 0; y < 100; ++y) meterFace.fillRect(255 * (99 - y) / 99, 200, 40, 255, 0, y, 9, y);
    skins->write("cs/meter", meterFace);
    gui_test::writeDigitSkin(*skins, "cs/digit", 8, 16, Color(120, 255, 120, 255), Color(10, 30, 10, 255));
    const Font wide(0);
    const Font narrow(1);

    auto* panel = new GUIPanel(8, 8, "cs/panel", false);
    auto* toggle = new GUIButton(16, 16, "cs/button", &listener, GUIButton::toggle, false);
    auto* momentary = new GUIButton(62, 16, "cs/button", &listener, GUIButton::momentary, false);
    auto* latched = new GUIButton(108, 16, "cs/button", &listener, GUIButton::latching, true);
    auto* horizontal = new GUISliderHorizontal(16, 48, 160, 16, "cs/knob", 0.3f, 0.0f, 1.0f, true, &listener);
    auto* vertical = new GUISliderVertical(200, 16, 16, 100, "cs/upright", 0.5f, 0.0f, 1.0f, false, &listener);
    auto* numbered =
        new GUINumberSlider(16, 72, 120, 6, 56, 16, "cs/knob", "cs/digit", 2, 12.5f, 0.0f, 20.0f, true, &listener);
    numbered->notifyListener();  // the display shows the value from here on
    auto* lampOn = new GUIIndicator(232, 16, "cs/lamp");
    auto* lampOff = new GUIIndicator(232, 34, "cs/lamp");
    auto* lampDisabled = new GUIIndicator(232, 52, "cs/lamp");
    auto* meter = new GUIMeter(256, 16, "cs/meter", 0.0f, 1.0f);
    auto* bar = new GUIBar(16, 96, 160, 6, Color(230, 40, 40, 255));
    for (GUIComponent* component : std::initializer_list<GUIComponent*>{toggle, momentary, latched, horizontal, vertical,
                                                                        numbered, lampOn, lampOff, lampDisabled, meter,
                                                                        bar}) {
        panel->add(component);
    }
    const char* const lines[] = {"Left 120.0", "Centre -3 dB", "Right W@g"};
    for (int alignment = 0; alignment < 3; ++alignment) {
        panel->add(new GUITextHorizontal(16, 112 + 18 * alignment, 130, 16, &wide, Color(255, 255, 255, 255),
                                         alignment, nullptr, lines[alignment]));
        panel->add(new GUITextHorizontal(156, 112 + 18 * alignment, 110, 16, &narrow, Color(255, 220, 60, 200),
                                         alignment, nullptr, lines[alignment]));
    }
    auto* upright = new GUITextVertical(290, 16, 16, 120, &narrow, Color(140, 220, 255, 255));
    panel->add(upright);
    window.add(panel);
    redrawAll(window);

    // The toggle clicked on, the momentary one clicked (up again), the
    // horizontal knob dragged from 0.3 to 0.5 (knob 45 -> 75 on a travel of 150).
    platform::test_input::click(window.handle(), {36, 26});
    platform::test_input::click(window.handle(), {82, 26});
    platform::test_input::press(window.handle(), {65, 56});
    platform::test_input::move(window.handle(), {95, 56});
    platform::test_input::release(window.handle(), {95, 56});
    lampOn->setState(true, true);
    lampOff->setState(true, false);
    meter->setValue(0.6f);
    bar->setRange(0.25f, 0.6f, true, true);
    upright->setText("VELKARN");

    EXPECT_TRUE(toggle->isDown());
    EXPECT_FALSE(momentary->isDown());
    EXPECT_TRUE(latched->isDown());
    EXPECT_EQ(listener.presses, 2);
    EXPECT_FLOAT_EQ(listener.released, 0.5f);
    const std::unique_ptr<Image> shot = shoot(window);
    if (goldenRewritten(*shot, "ComponentControlPanel")) GTEST_SKIP() << "golden rewritten";
}

TEST_F(ComponentScreenshot, PanelGroupBeforeAndAfterATabClick) {
    Window& window = openOver("cs/groupBack", 240, 140);
    const char* const titles[] = {"Mixer", "Effects", "Record"};
    const Font wide(0);
    auto* group = new GUIPanelGroupHorizontal(3, 30, &listener);
    for (int index = 0; index < 3; ++index) {
        // The band of three tabs, the chosen one lit; below it a translucent page.
        const auto face = ramp(219, 120, Color(50, 70, 90, 255), 200);
        for (int tab = 0; tab < 3; ++tab) {
            const auto tabFace = framed(73, 30, tab == index ? Color(230, 200, 90, 255) : Color(80, 80, 95, 255),
                                         Color(10, 10, 10, 255));
            face->copyRect(*tabFace, 73 * tab, 0, 0, 0, 73, 30);
            face->drawText(titles[tab], 73 * tab + 6, 7, &wide, Color(0, 0, 0, 255));
        }
        const std::string key = "cs/page" + std::to_string(index);
        skins->write(key, *face);
        auto* page = new GUIPanel(10, 10, key, false);
        page->add(new GUITextHorizontal(20, 50, 200, 16, &wide, Color(255, 255, 255, 255), 1, nullptr,
                                        std::string("Page of ") + titles[index]));
        page->add(new GUIButton(20 + 60 * index, 90, "cs/button", &listener, GUIButton::toggle, index == 1));
        group->add(page);
    }
    window.add(group);
    redrawAll(window);
    const std::unique_ptr<Image> before = shoot(window);

    platform::test_input::click(window.handle(), {10 + 73 * 2 + 30, 24});
    EXPECT_EQ(listener.panel, 2);
    EXPECT_EQ(group->selectedIndex(), 2);
    const std::unique_ptr<Image> after = shoot(window);

    // Both frames, one above the other.
    Image pair(window.width(), 2 * window.height(), 0, 0, 0, 255);
    pair.copyRect(*before, 0, 0, 0, 0, window.width(), window.height());
    pair.copyRect(*after, 0, window.height(), 0, 0, window.width(), window.height());
    if (goldenRewritten(pair, "ComponentPanelGroup")) GTEST_SKIP() << "golden rewritten";
}

TEST_F(ComponentScreenshot, GraphsOverLinearAndLogarithmicGrids) {
    Window& window = openOver("cs/scopeBack", 360, 150, Color(150, 150, 160, 255));
    constexpr int columns = 160;
    // Left: a wave whose crests and troughs leave the range (cut columns),
    // a stretch of it highlighted, over the default linear grid.
    auto* linearGrid = new GUIGrid(10, 10, columns, 120);
    auto* wave = new GUIGraph(10, 10, columns, 120, -1.0f, 1.0f, &listener);
    std::vector<float> top(columns), bottom(columns);
    for (int c = 0; c < columns; ++c) {
        top[static_cast<std::size_t>(c)] = 1.3f * std::sin(static_cast<float>(c) * 0.08f) + 0.15f;
        bottom[static_cast<std::size_t>(c)] = top[static_cast<std::size_t>(c)] - 0.35f;
    }
    // Right: a spectrum-like fall from the bottom edge over a coarse and a fine
    // logarithmic grid (a 22050 Hz axis shown from 20 to 20000), the loudest
    // column highlighted alone.
    auto* coarse = new GUIGrid(190, 10, columns, 120);
    auto* fine = new GUIGrid(190, 10, columns, 120);
    coarse->configure(0, 0, 22050, 1, 1000, 0.25f, 22050, 1, 20, 0, 20000, 1, true, false);
    fine->configure(0, 0, 22050, 1, 100, 0.25f, 1000, 1, 20, 0, 20000, 1, true, false);
    // Rows grow downwards with the value's negation: levels 0 .. 1 take -1 .. 0.
    auto* spectrum = new GUIGraph(190, 10, columns, 120, -1.0f, 0.0f, &listener);
    std::vector<float> level(columns), floor(columns, -5.0f);
    int loudest = 0;
    for (int c = 0; c < columns; ++c) {
        level[static_cast<std::size_t>(c)] =
            0.9f * std::exp(-static_cast<float>(c) / 70.0f) + 0.08f * std::sin(static_cast<float>(c) * 0.5f);
        if (level[static_cast<std::size_t>(c)] > level[static_cast<std::size_t>(loudest)]) loudest = c;
    }
    for (GUIComponent* component : std::initializer_list<GUIComponent*>{linearGrid, wave, coarse, fine, spectrum}) {
        window.add(component);
    }
    redrawAll(window);
    wave->setColumns(top.data(), bottom.data(), true, 60, 80);
    spectrum->setColumns(level.data(), floor.data(), true, loudest, loudest);

    EXPECT_TRUE(wave->clippedTop(19)) << "a crest leaves the range";
    EXPECT_TRUE(wave->clippedBottom(59)) << "a trough leaves the range";
    EXPECT_TRUE(spectrum->clippedBottom(0));
    const std::unique_ptr<Image> shot = shoot(window);
    if (goldenRewritten(*shot, "ComponentGraph")) GTEST_SKIP() << "golden rewritten";
}

TEST_F(ComponentScreenshot, ScrolledMarkerMapWithPointer) {
    Window& window = openOver("cs/mapBack", 240, 130);
    // A diamond of a marker (its corners clear in the mask too) and a pointer.
    Image marker(7, 7, 0, 0, 0, 0);
    Image mask(7, 7, 0, 0, 0, 0);
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 7; ++x) {
            if (std::abs(x - 3) + std::abs(y - 3) > 3) continue;
            marker.setPixel(Color(40, 200, 255, 255), x, y);
            mask.setPixel(Color(255, 255, 255, 255), x, y);
        }
    }
    skins->write("cs/beat", marker);
    skins->write("cs/beatMask", mask);
    skins->write("cs/beatPointer", *framed(7, 7, Color(255, 0, 255, 220), Color(255, 255, 255, 255)));

    // 88200 samples a row at tempo 120 and 480 a column; 14 rows of which 8
    // fit, scrolled half way: rows 3 .. 10 show.
    auto* map = new GUIMarkerMap(10, 10, 220, 110, 5, 480, "cs/beat", &listener);
    constexpr int perBeat = 22050;
    for (int beat = 0; beat < 56; ++beat) {
        map->addMarker(false, beat * perBeat);                                 // generated beats
        if (beat % 4 == 0 || beat == 18 || beat == 27) map->addMarker(true, beat * perBeat + 3000);  // set beats
    }
    window.add(map);
    redrawAll(window);
    map->layout(12, 0.5f, 120.0f, 4, 14 * 4 * perBeat, false);
    map->showPointer();
    map->setPointerPosition(6 * 4 * perBeat + 2 * perBeat + 11000);
    map->addMarker(true, 7 * 4 * perBeat + perBeat);  // added after the layout: not drawn

    EXPECT_EQ(map->scrollPixels(), 36);
    const std::unique_ptr<Image> shot = shoot(window);
    if (goldenRewritten(*shot, "ComponentMarkerMap")) GTEST_SKIP() << "golden rewritten";
}

}  // namespace
