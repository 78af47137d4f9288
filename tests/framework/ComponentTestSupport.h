// A window and skins for the component tests. Skins are written at run time
// into a temporary files directory (archive mode off). The window's root is
// opaque; its first child is a probe over the whole window that records the
// area of every redraw, so a test sees exactly what a component asked to
// redraw.
#ifndef VELKARN_TESTS_FRAMEWORK_COMPONENTTESTSUPPORT_H
#define VELKARN_TESTS_FRAMEWORK_COMPONENTTESTSUPPORT_H

#include "FrameworkTest.h"
#include "ImageTestSupport.h"
#include "RecordingComponent.h"

#include "framework/Color.h"
#include "framework/GUIPanel.h"
#include "framework/Window.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace component_test {

inline constexpr Color windowColor{40, 60, 80, 255};

// The 16 digit images of a number display: key + "0" .. "9", "Point",
// "Plus", "Minus", "Exp", "Space" and "Default", each a cell of paper with
// its character ('0' .. '9', '.', '+', '-', 'e', ' ', '#') drawn in ink with
// font 1, so a screenshot reads as the number.
void writeDigitSkin(image_test::SkinDirectory& skins, const std::string& key, int cellWidth, int cellHeight,
                    Color ink, Color paper);
// The name of digit image `index` (0 .. 15) without the key.
std::string digitName(int index);

class ComponentTest : public FrameworkTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens a window of that size over an opaque background of windowColor,
    // with the probe as its first component.
    void openWindow(int width, int height);
    // The areas redrawn since the last call ("x0,y0-x1,y1"), in order.
    std::vector<std::string> redraws();
    Color pixel(int x, int y) const;
    Image& back() const;

    static std::string area(int x, int y, int width, int height);

    std::optional<image_test::SkinDirectory> skins;
    std::unique_ptr<Window> window;

private:
    std::vector<std::string> probeLog_;
};

}  // namespace component_test

#endif
