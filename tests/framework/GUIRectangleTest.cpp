#include "FrameworkTest.h"

#include "framework/GUIRectangle.h"
#include "framework/GUIRectangleGroup.h"
#include "framework/Image.h"

#include <functional>
#include <string>
#include <tuple>

namespace {

class GUIRectangleTest : public FrameworkTest {};

std::string text(const GUIRectangle& r) {
    return std::to_string(r.x0) + "," + std::to_string(r.y0) + "-" + std::to_string(r.x1) + "," + std::to_string(r.y1);
}

struct Corners {
    int x0, y0, x1, y1, width, height;
};

void expectCorners(const GUIRectangle& r, const Corners& c) {
    EXPECT_EQ(r.x0, c.x0);
    EXPECT_EQ(r.y0, c.y0);
    EXPECT_EQ(r.x1, c.x1);
    EXPECT_EQ(r.y1, c.y1);
    EXPECT_EQ(r.width, c.width);
    EXPECT_EQ(r.height, c.height);
}

TEST_F(GUIRectangleTest, WaysToMakeARectangle) {
    expectCorners(GUIRectangle(), {0, 0, 0, 0, 1, 1});
    expectCorners(GUIRectangle(2, 3, 11, 5), {2, 3, 11, 5, 10, 3});
    expectCorners(GUIRectangle(Image(7, 4, 0, 0, 0, 0)), {0, 0, 6, 3, 7, 4});
    expectCorners(GUIRectangle(platform::Rect{10, 20, 1, 1}), {10, 20, 10, 20, 1, 1});
    expectCorners(GUIRectangle(platform::Rect{-4, 6, 30, 2}), {-4, 6, 25, 7, 30, 2});
    GUIRectangle r;
    r.setOriginSize(5, 7, 1, 1);
    expectCorners(r, {5, 7, 5, 7, 1, 1});
    r.set(-2, -2, 2, 3);
    expectCorners(r, {-2, -2, 2, 3, 5, 6});
    GUIRectangle copy(r);
    expectCorners(copy, {-2, -2, 2, 3, 5, 6});
    r.offset(-3, 4);
    expectCorners(r, {-5, 2, -1, 7, 5, 6});
}

TEST_F(GUIRectangleTest, MisorientedRectanglesStopTheProgram) {
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"corners", [] { GUIRectangle(5, 5, 4, 5); }},
        {"corners upside down", [] { GUIRectangle(5, 5, 5, 4); }},
        {"platform rectangle without width", [] { GUIRectangle(platform::Rect{10, 20, 0, 1}); }},
        {"platform rectangle without height", [] { GUIRectangle(platform::Rect{10, 20, 1, 0}); }},
        {"set", [] { GUIRectangle().set(0, 0, -1, 0); }},
        {"origin and size 0 x 1", [] { GUIRectangle().setOriginSize(5, 7, 0, 1); }},
        {"origin and size 1 x -3", [] { GUIRectangle().setOriginSize(5, 7, 1, -3); }},
    };
    for (const auto& [name, make] : cases) {
        SCOPED_TRACE(name);
        EXPECT_FATAL(make(), "Rectangle is misoriented.");
    }
}

TEST_F(GUIRectangleTest, Intersections) {
    struct Case {
        GUIRectangle a, b;
        bool meet;
        Corners result;
    };
    const Case cases[] = {
        {{0, 0, 9, 9}, {9, 9, 20, 20}, true, {9, 9, 9, 9, 1, 1}},      // a shared corner pixel
        {{0, 0, 9, 9}, {10, 0, 20, 9}, false, {}},                      // side by side
        {{0, 0, 9, 9}, {0, 10, 9, 20}, false, {}},                      // one above the other
        {{0, 0, 9, 9}, {-5, 3, 4, 30}, true, {0, 3, 4, 9, 5, 7}},
        {{0, 0, 9, 9}, {2, 2, 3, 3}, true, {2, 2, 3, 3, 2, 2}},         // inside
        {{2, 2, 3, 3}, {0, 0, 9, 9}, true, {2, 2, 3, 3, 2, 2}},
        {{0, 0, 9, 9}, {-20, -20, -1, 5}, false, {}},
        {{0, 0, 9, 9}, {9, -5, 9, 0}, true, {9, 0, 9, 0, 1, 1}},        // a shared edge column
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(text(c.a) + " with " + text(c.b));
        GUIRectangle out(100, 100, 101, 102);
        EXPECT_EQ(c.a.intersect(c.b, out), c.meet);
        expectCorners(out, c.meet ? c.result : Corners{100, 100, 101, 102, 2, 3});
    }
}

TEST_F(GUIRectangleTest, AllFourEdgesAreInside) {
    const GUIRectangle r(0, 0, 9, 9);
    const std::tuple<int, int, bool> points[] = {
        {0, 0, true}, {9, 0, true}, {0, 9, true}, {9, 9, true}, {5, 5, true},
        {10, 5, false}, {-1, 5, false}, {5, 10, false}, {5, -1, false},
    };
    for (const auto& [x, y, inside] : points) {
        EXPECT_EQ(r.contains(x, y), inside) << x << "," << y;
        EXPECT_EQ(r.contains(GUIPoint(x, y)), inside) << x << "," << y;
    }
}

TEST_F(GUIRectangleTest, ZeroPlatformRectangles) {
    EXPECT_TRUE(isZeroRect(platform::Rect{0, 0, 0, 0}));
    EXPECT_FALSE(isZeroRect(platform::Rect{0, 0, 0, 1}));
    EXPECT_FALSE(isZeroRect(platform::Rect{1, 0, 0, 0}));
}

TEST_F(GUIRectangleTest, AGroupKeepsCopiesInOrderUpToItsLimit) {
    GUIRectangleGroup group;
    GUIRectangle r(1, 2, 3, 4);
    EXPECT_EQ(group.add(r), 1);
    r.offset(10, 10);
    EXPECT_EQ(group.add(r), 2);
    EXPECT_EQ(group.add(r), 3);  // duplicates are kept
    expectCorners(group[0], {1, 2, 3, 4, 3, 3});
    expectCorners(group[1], {11, 12, 13, 14, 3, 3});
    group.clear();
    EXPECT_EQ(group.count(), 0);
    for (int i = 1; i <= 10000; ++i) ASSERT_EQ(group.add(GUIRectangle(i, 0, i, 0)), i);
    EXPECT_FATAL(group.add(r), "Maximum number of GUI rectangles reached.");
    EXPECT_EQ(group.count(), 10000);
    expectCorners(group[9999], {10000, 0, 10000, 0, 1, 1});
}

}  // namespace
