#include "WindowTestSupport.h"

namespace {

class SurfaceTest : public WindowTestBase {
protected:
    void SetUp() override {
        WindowTestBase::SetUp();
        skins->write("back", 30, 20, 0, 0, 0, 255);
    }
};

TEST_F(SurfaceTest, StartsWhiteAndOpaque) {
    Surface surface(nullptr, 7, 5);
    EXPECT_EQ(surface.backImage().width(), 7);
    EXPECT_EQ(surface.backImage().height(), 5);
    EXPECT_TRUE(image_test::pixelBytes(surface.backImage()) == image_test::Bytes(7 * 5 * 4, 255));
    EXPECT_EQ(surface.dirty().count(), 0);
}

TEST_F(SurfaceTest, OnlyOpaqueCopiesMarkTheirArea) {
    Surface surface(nullptr, 30, 20);
    Image tile(4, 4, 1, 2, 3, 128);
    surface.blendImage(tile, 0, 0, 0, 0, 4, 4);
    surface.blendFill(9, 9, 9, 9, 5, 5, 3, 3);
    surface.blendPixel(Color(1, 1, 1, 1), 10, 10);
    surface.blendVerticalLine(1, 1, 1, 1, 11, 0, 19);
    surface.blendHorizontalLine(1, 1, 1, 1, 0, 29, 19);
    EXPECT_EQ(surface.dirty().count(), 0);
    surface.copyImage(tile, 20, 10, 1, 1, 3, 2);
    surface.copyImage(tile, 20, 10, 0, 0, 4, 4);  // twice over the same place: twice listed
    ASSERT_EQ(surface.dirty().count(), 2);
    EXPECT_EQ(RecordingComponent::rect(surface.dirty()[0]), "20,10-22,11");
    EXPECT_EQ(RecordingComponent::rect(surface.dirty()[1]), "20,10-23,13");
    // The copy keeps the source's alpha in the back image; the screen ignores it.
    EXPECT_FALSE(surface.backImage().getPixel(21, 11).differs(Color(1, 2, 3, 128)));
}

TEST_F(SurfaceTest, PresentHandsTheMarkedAreasToTheWindowInOrder) {
    Window& window = open("Surface", "back");
    platform::NativeWindow& native = *window.nativeWindow();
    Surface& surface = *window.surface();
    native.takePresentedRects();
    surface.present();
    EXPECT_TRUE(native.takePresentedRects().empty()) << "nothing marked: the window is not touched";

    Image red(10, 10, 255, 0, 0, 255);
    surface.markDirty(25, 15, 5, 5);
    surface.copyImage(red, 0, 0, 0, 0, 3, 2);
    surface.copyImage(red, 5, 6, 0, 0, 1, 1);
    surface.present();
    EXPECT_EQ(native.takePresentedRects(),
              (std::vector<platform::Rect>{{25, 15, 5, 5}, {0, 0, 3, 2}, {5, 6, 1, 1}}));
    EXPECT_EQ(surface.dirty().count(), 0);
    // The screen holds exactly the presented pixels of the back image.
    const std::vector<std::uint8_t> shown = native.readBack({0, 0, 4, 3});
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            const std::uint8_t* pixel = &shown[static_cast<std::size_t>((y * 4 + x) * 4)];
            const bool copied = x < 3 && y < 2;
            EXPECT_EQ(pixel[2], copied ? 255 : 0) << x << "," << y;  // red, or the black background
        }
    }
    surface.present();
    EXPECT_TRUE(native.takePresentedRects().empty());
}

TEST_F(SurfaceTest, TheTenThousandAndFirstMarkBeforeAPresentStopsTheProgram) {
    Surface surface(nullptr, 10, 10);
    for (int i = 0; i < 10000; ++i) surface.markDirty(i % 10, 0, 1, 1);
    EXPECT_FATAL(surface.markDirty(0, 0, 1, 1), "Maximum number of GUI rectangles reached.");
    surface.present();
    surface.markDirty(0, 0, 1, 1);  // a present empties the list
    EXPECT_EQ(surface.dirty().count(), 1);
}

}  // namespace
