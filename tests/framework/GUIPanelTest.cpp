#include "FrameworkTest.h"
#include "ImageTestSupport.h"
#include "RecordingComponent.h"

#include "framework/GUIPanel.h"
#include "framework/Surface.h"
#include "framework/Window.h"

#include <algorithm>
#include <memory>
#include <optional>

namespace {

using Log = std::vector<std::string>;

// Components and panels in a window of 40 x 30 (no screen is needed: the
// window draws into its back image all the same).
class GUIPanelTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        skins.emplace();
        skins->write("window", 40, 30, 10, 20, 30, 255);
        skins->write("panel", 20, 10, 200, 100, 50, 255);
        skins->write("glass", 20, 10, 0, 0, 0, 0);
        WindowParameters parameters;
        parameters.backgroundKey = "window";
        parameters.title = "Panels";
        window = std::make_unique<Window>(parameters);
    }
    void TearDown() override {
        window.reset();
        skins.reset();
        FrameworkTest::TearDown();
    }

    RecordingComponent* component(const std::string& name, int x0, int y0, int x1, int y1) {
        return new RecordingComponent(name, x0, y0, x1, y1, log);
    }
    Log take() {
        Log taken;
        taken.swap(log);
        return taken;
    }

    std::optional<image_test::SkinDirectory> skins;
    std::unique_ptr<Window> window;
    Log log;
};

TEST_F(GUIPanelTest, ShowAndHideRedrawEvenWithoutAChange) {
    RecordingComponent* c = component("c", 5, 5, 9, 8);
    window->add(c);
    take();
    c->hide();
    EXPECT_EQ(take(), (Log{"c draw 5,5-9,8"}));
    EXPECT_FALSE(c->isVisible());
    c->hide();  // already hidden: its area is drawn again
    EXPECT_EQ(take(), (Log{"c draw 5,5-9,8"}));
    c->show();
    EXPECT_EQ(take(), (Log{"c draw 5,5-9,8"}));
    EXPECT_TRUE(c->isVisible());

    // Not attached: the flag changes, nothing is drawn.
    RecordingComponent loose("loose", 0, 0, 1, 1, log);
    loose.hide();
    EXPECT_FALSE(loose.isVisible());
    loose.show();
    EXPECT_TRUE(loose.isVisible());
    EXPECT_EQ(loose.window(), nullptr);
    EXPECT_TRUE(take().empty());
}

TEST_F(GUIPanelTest, ChildrenDrawOnlyWhereTheAreaMeetsThem) {
    window->add(component("left", 0, 0, 9, 9));
    window->add(component("right", 20, 0, 29, 9));
    window->add(component("over", 5, 5, 24, 14));
    take();
    window->redraw(GUIRectangle(8, 2, 21, 6));
    // In the order added, each with its part of the area.
    EXPECT_EQ(take(), (Log{"left draw 8,2-9,6", "right draw 20,2-21,6", "over draw 8,5-21,6"}));
    window->redraw(GUIRectangle(11, 0, 18, 4));
    EXPECT_TRUE(take().empty());
    // The area is cut to the client area; outside it nothing is drawn.
    window->redraw(GUIRectangle(-10, -1, 0, 0));
    EXPECT_EQ(take(), (Log{"left draw 0,0-0,0"}));
    window->redraw(GUIRectangle(40, 0, 50, 29));
    window->redraw(GUIRectangle(0, -5, 39, -1));  // a meter's level 1 at the top row
    EXPECT_TRUE(take().empty());
}

TEST_F(GUIPanelTest, MouseCallsReachEveryChildWhateverItsPlaceOrVisibility) {
    auto* panel = new GUIPanel(10, 10, "panel", true);
    RecordingComponent* inside = component("inside", 10, 10, 12, 12);
    RecordingComponent* hidden = component("hidden", 30, 15, 31, 16);
    panel->add(inside);
    panel->add(hidden);
    window->add(panel);
    hidden->hide();
    panel->hide();
    take();
    GUIPanel* root = window->root();
    root->mouseDown(GUIPoint(0, 0), false);
    root->mouseDown(GUIPoint(30, 15), true);
    root->mouseUp(GUIPoint(1, 2));
    root->mouseMove(GUIPoint(3, 4));
    root->mouseWheel(GUIPoint(5, 6), -2);
    root->mouseLeave();
    EXPECT_EQ(take(), (Log{"inside down 0,0", "hidden down 0,0", "inside double 30,15", "hidden double 30,15",
                           "inside up 1,2", "hidden up 1,2", "inside move 3,4", "hidden move 3,4",
                           "inside wheel 5,6 -2", "hidden wheel 5,6 -2", "inside leave", "hidden leave"}));
    // Drawing honours the panel's flag: hidden, it draws neither itself nor
    // its children.
    window->redraw(GUIRectangle(0, 0, 39, 29));
    EXPECT_TRUE(take().empty());
}

TEST_F(GUIPanelTest, OpaqueBackgroundsAreCopiedAndMarkedTranslucentOnesBlended) {
    auto* opaque = new GUIPanel(2, 3, "panel", true);
    auto* glass = new GUIPanel(20, 18, "glass", false);
    window->add(opaque);
    window->add(glass);
    Surface& surface = *window->surface();
    window->present();
    window->redraw(GUIRectangle(4, 5, 6, 6));
    // The root and the opaque panel each mark their copy.
    ASSERT_EQ(surface.dirty().count(), 2);
    EXPECT_EQ(RecordingComponent::rect(surface.dirty()[0]), "4,5-6,6");
    EXPECT_EQ(RecordingComponent::rect(surface.dirty()[1]), "4,5-6,6");
    EXPECT_FALSE(surface.backImage().getPixel(5, 5).differs(Color(200, 100, 50, 255)));
    window->present();
    window->redraw(GUIRectangle(25, 20, 26, 21));
    ASSERT_EQ(surface.dirty().count(), 1);  // the root alone; the glass blends
    EXPECT_FALSE(surface.backImage().getPixel(25, 20).differs(Color(10, 20, 30, 255)));
}

TEST_F(GUIPanelTest, AttachingAPanelAttachesItsChildren) {
    auto* outer = new GUIPanel(0, 0, "panel", true);
    auto* inner = new GUIPanel(0, 0, "glass", false);
    RecordingComponent* leaf = component("leaf", 1, 1, 2, 2);
    inner->add(leaf);
    outer->add(inner);
    EXPECT_EQ(leaf->window(), nullptr);
    window->add(outer);
    EXPECT_EQ(leaf->window(), window.get());
    EXPECT_EQ(inner->window(), window.get());
    RecordingComponent* late = component("late", 3, 3, 4, 4);
    outer->add(late);  // added to an attached panel: attached at once
    EXPECT_EQ(late->window(), window.get());
}

TEST_F(GUIPanelTest, APanelOwnsAtMostAThousandChildren) {
    auto* panel = new GUIPanel(0, 0, "panel", true);
    window->add(panel);
    Log quiet;
    for (int i = 0; i < 1000; ++i) panel->add(new RecordingComponent("child", 0, 0, 0, 0, quiet));
    EXPECT_EQ(panel->count(), 1000);
    std::unique_ptr<RecordingComponent> extra(new RecordingComponent("extra", 0, 0, 0, 0, quiet));
    EXPECT_FATAL(panel->add(extra.get()), "Maximum number of GUI components reached.");
    EXPECT_EQ(panel->count(), 1000);
    // Children go with their panel, in the order added.
    window.reset();
    EXPECT_EQ(std::count(quiet.begin(), quiet.end(), "child deleted"), 1000);
}

}  // namespace
