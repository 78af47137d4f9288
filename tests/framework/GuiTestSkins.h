// Skins and a window for the component tests. The skin sets are written at
// run time into the fixture's temporary files directory (archive mode off):
// faces of one colour each, and masks that are opaque but for their four
// corner pixels, so that a press on a corner tests the hit mask. The window
// has an opaque background, so each redraw marks exactly its own area in the
// surface's dirty list (blended components mark nothing).
#ifndef VELKARN_TESTS_FRAMEWORK_GUITESTSKINS_H
#define VELKARN_TESTS_FRAMEWORK_GUITESTSKINS_H

#include "FrameworkTest.h"
#include "ImageTestSupport.h"
#include "RecordingComponent.h"

#include "framework/Color.h"
#include "framework/GUIPanel.h"
#include "framework/GUIRectangle.h"
#include "framework/Window.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace gui_test {

inline constexpr Color windowColor{40, 40, 40, 255};

// key: a face of one colour.
void writeFace(image_test::SkinDirectory& skins, const std::string& key, int width, int height, Color color);
// key: opaque white with its four corner pixels at alpha 0.
void writeMask(image_test::SkinDirectory& skins, const std::string& key, int width, int height);
// key + "Up", "Down", "Mask".
void writeButtonSkin(image_test::SkinDirectory& skins, const std::string& key, int width, int height, Color up,
                     Color down);
// key + "Slider", "Mask": a slider knob or scrollbar thumb.
void writeSliderSkin(image_test::SkinDirectory& skins, const std::string& key, int width, int height, Color knob);
// key + "On", "Off", "Disabled".
void writeIndicatorSkin(image_test::SkinDirectory& skins, const std::string& key, int width, int height, Color on,
                        Color off, Color disabled);

// The 16 digit images of a number display: key + "0" .. "9", "Point",
// "Plus", "Minus", "Exp", "Space" and "Default", each a cell of paper with
// its character ('0' .. '9', '.', '+', '-', 'e', ' ', '#') drawn in ink with
// font 1, so a screenshot reads as the number.
void writeDigitSkin(image_test::SkinDirectory& skins, const std::string& key, int cellWidth, int cellHeight,
                    Color ink, Color paper);
// The name of digit image `index` (0 .. 15) without the key.
std::string digitName(int index);

// "x0,y0-x1,y1".
std::string text(const GUIRectangle& r);
// The rectangle with that origin and size, as text.
std::string area(int x, int y, int width, int height);

// The file name (without folders) of the unit a fatal stop of the call was
// reported against; empty when it did not stop.
std::string fatalUnit(const std::function<void()>& call);

// A window of the given size over an opaque background of windowColor;
// fatal stops throw. Its first component is a probe over the whole window
// that records the area of every redraw (cut to the window), so a test sees
// what a component asked to redraw even when it presented at once.
class GuiComponentTest : public FrameworkTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the window (the skins of the test are written before).
    void openWindow(int width = 200, int height = 150);
    // The areas redrawn since the last call, in order, as text.
    std::vector<std::string> redraws();
    // The areas marked for the next present, in order, as text.
    std::vector<std::string> marked();
    // The back image's pixel.
    Color pixel(int x, int y);
    // True when the back image holds exactly this colour at (x, y).
    bool shows(int x, int y, Color color);

    std::optional<image_test::SkinDirectory> skins;
    std::unique_ptr<Window> window;
    std::vector<std::string> probeLog;
};

}  // namespace gui_test

#endif
