// The generated skin: every key through the framework's own loaders from the
// program's archive, the generator's bytes run to run, the selector bands
// against the panel groups' click arithmetic, and the build's checks.
#include "FrameworkTest.h"

#include "app/skin/SkinArt.h"
#include "app/skin/SkinChecks.h"
#include "app/skin/SkinPainter.h"
#include "app/skin/SkinPalette.h"
#include "app/skin/SkinTable.h"
#include "framework/GUIButton.h"
#include "framework/GUIImage.h"
#include "framework/GUIIndicator.h"
#include "framework/GUIMeter.h"
#include "framework/GUIPanel.h"
#include "framework/GUIPanelGroupHorizontal.h"
#include "framework/GUIPanelGroupVertical.h"
#include "framework/GUISliderVertical.h"
#include "framework/Image.h"
#include "framework/ImageHolder.h"
#include "framework/ResourceArchive.h"
#include "framework/Surface.h"
#include "framework/Window.h"
#include "platform/EventLoop.h"
#include "platform/TestInput.h"
#include "platform/UiScript.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>

namespace {

namespace fs = std::filesystem;
namespace input = platform::test_input;
using testing_support::TemporaryDirectory;

class Skin : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        supportSettings().archiveMode = true;
        initializeFileSystem();
    }
    void TearDown() override {
        cleanUpFileSystem();
        FrameworkTest::TearDown();
    }
};

// Every file below the directory, by its name relative to it, with its bytes.
std::map<std::string, std::string> filesBelow(const std::string& directory) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(directory)) {
        if (entry.is_regular_file()) {
            files[entry.path().lexically_relative(directory).generic_string()] =
                testing_support::readFile(entry.path().string());
        }
    }
    return files;
}

// The size the framework's component gives the row's key, loaded the way
// the program loads it; a loader's size check stops the program (thrown
// here as FatalStop).
std::pair<int, int> loadedSize(const SkinRow& row) {
    std::unique_ptr<GUIComponent> component;
    switch (row.kind) {
    case SkinKind::Background:
    case SkinKind::Image:
        component = std::make_unique<GUIImage>(row.x, row.y, row.key);
        break;
    case SkinKind::Panel:
        component = std::make_unique<GUIPanel>(row.x, row.y, row.key, true);
        break;
    case SkinKind::Button:
        component = std::make_unique<GUIButton>(row.x, row.y, row.key, nullptr, 0, false);
        break;
    case SkinKind::Slider: {
        // The knob at the top of its track: the knob's own rectangle.
        auto slider = std::make_unique<GUISliderVertical>(row.x, row.y, row.trackWidth, row.trackHeight, row.key,
                                                          1.0f, 0.0f, 1.0f, true, nullptr);
        EXPECT_EQ(slider->width, row.trackWidth) << row.key;
        return {Image(row.key + "Slider", false).width(), ImageHolder(row.key + "Mask").image()->height()};
    }
    case SkinKind::Meter:
        component = std::make_unique<GUIMeter>(row.x, row.y, row.key, 0.0f, 1.0f);
        break;
    case SkinKind::Indicator:
        component = std::make_unique<GUIIndicator>(row.x, row.y, row.key);
        break;
    case SkinKind::DigitSet: {
        const Image first(row.key + skinSuffixes(row.kind).front(), false);
        for (const std::string& suffix : skinSuffixes(row.kind)) {
            const Image cell(row.key + suffix, false);
            if (cell.width() != first.width() || cell.height() != first.height()) return {-1, -1};
        }
        return {first.width(), first.height()};
    }
    }
    return {component->width, component->height};
}

TEST_F(Skin, EveryKeyLoadsThroughTheFrameworksLoadersFromTheArchive) {
    const std::map<std::string, std::string> built = filesBelow(VELKARN_SKIN_DIRECTORY "/images");
    for (const SkinRow& row : skinTable().rows) {
        SCOPED_TRACE(row.key);
        const std::pair<int, int> size = loadedSize(row);
        EXPECT_EQ(size, std::make_pair(row.width, row.height));
        for (const std::string& suffix : skinSuffixes(row.kind)) {
            // The archive carries this build's images, byte for byte.
            const std::string name = row.key + suffix + ".png";
            const std::uint8_t* data = nullptr;
            int length = 0;
            findArchiveEntry("images/" + name, data, length);
            ASSERT_TRUE(built.count(name)) << name;
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length)),
                      built.at(name));
        }
    }
    // No image in the archive without a row.
    std::size_t expected = 0;
    for (const SkinRow& row : skinTable().rows) expected += skinSuffixes(row.kind).size();
    EXPECT_EQ(built.size(), expected);
}

TEST_F(Skin, MasksTakeClicksOnTheFaceAndNotOffItsRoundedCorners) {
    for (const SkinRow& row : skinTable().rows) {
        if (row.kind != SkinKind::Button && row.kind != SkinKind::Slider) continue;
        SCOPED_TRACE(row.key);
        const ImageHolder mask(row.key + "Mask");
        const Image& image = *mask.image();
        const std::string face = row.kind == SkinKind::Button ? "Up" : "Slider";
        const Image look(row.key + face, false);
        // Opaque exactly where the face is drawn at least half.
        int disagreements = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const bool click = !image.isTransparent(x, y);
                const bool drawn = look.getPixel(x, y).alpha >= 128;
                if (click != drawn) ++disagreements;
            }
        }
        EXPECT_EQ(disagreements, 0);
        EXPECT_TRUE(image.isTransparent(0, 0));
        EXPECT_TRUE(image.isTransparent(image.width() - 1, image.height() - 1));
        EXPECT_FALSE(image.isTransparent(image.width() / 2, image.height() / 2));
    }
}

TEST_F(Skin, TheRowsOverlayLeavesEveryStripPixelVisibleAndMarksTheMargins) {
    const SkinRow& row = *skinTable().find("velkarn/image/overlayRows");
    const Image overlay(row.key, false);
    std::vector<bool> strip(static_cast<std::size_t>(overlay.width() * overlay.height()), false);
    ASSERT_EQ(row.clear.size(), 6u);
    for (const SkinRect& place : row.clear) {
        for (int y = place.y; y < place.bottom(); ++y) {
            for (int x = place.x; x < place.right(); ++x) {
                strip[static_cast<std::size_t>((y - row.y) * overlay.width() + (x - row.x))] = true;
            }
        }
    }
    int painted = 0;
    for (int y = 0; y < overlay.height(); ++y) {
        for (int x = 0; x < overlay.width(); ++x) {
            const bool opaque = overlay.getPixel(x, y).alpha != 0;
            if (strip[static_cast<std::size_t>(y * overlay.width() + x)]) {
                ASSERT_FALSE(opaque) << x << "," << y;
            } else if (opaque) {
                ++painted;
            }
        }
    }
    EXPECT_GT(painted, 0);
}

TEST(SkinGenerator, TwoRunsWriteTheSameBytesAsTheBuild) {
    TemporaryDirectory first;
    TemporaryDirectory second;
    ASSERT_EQ(testing_support::runProgram({VELKARN_SKIN_GENERATOR, first.path(), VELKARN_SKIN_FONTS}), 0);
    ASSERT_EQ(testing_support::runProgram({VELKARN_SKIN_GENERATOR, second.path(), VELKARN_SKIN_FONTS}), 0);
    const auto one = filesBelow(first.path());
    const auto two = filesBelow(second.path());
    EXPECT_GT(one.size(), 3u);
    EXPECT_TRUE(one == two);
    EXPECT_TRUE(one.count("sheet.png"));
    // The build's skin is the same drawing (the stamp only counts images).
    EXPECT_TRUE(filesBelow(VELKARN_SKIN_DIRECTORY "/images") == filesBelow(first.path() + "/images"));
}

// The two panel groups of the main window, built from the archive's panels
// as the program builds them, on the main background.
class SkinPanelGroups : public Skin {
protected:
    void SetUp() override {
        Skin::SetUp();
        platform::uiScript::enable();
        WindowParameters parameters;
        parameters.title = "Skin";
        parameters.backgroundKey = "velkarn/background/main";
        window = std::make_unique<Window>(parameters);
        for (const auto& [name, group] : groups) {
            const std::vector<const SkinRow*> panels = skinTable().panels(name);
            const SkinGroup& layout = *skinTable().findGroup(name);
            GUIPanelGroup* made = layout.vertical
                                      ? static_cast<GUIPanelGroup*>(new GUIPanelGroupVertical(
                                            static_cast<int>(panels.size()), layout.band, nullptr))
                                      : new GUIPanelGroupHorizontal(static_cast<int>(panels.size()), layout.band,
                                                                    nullptr);
            window->add(made);
            for (const SkinRow* panel : panels) made->add(new GUIPanel(panel->x, panel->y, panel->key, true));
            *group = made;
        }
    }
    void TearDown() override {
        window.reset();
        platform::dispatchPostedMessages();
        platform::postQuitMessage(0);
        platform::Message message;
        while (platform::getMessage(message)) {
        }
        platform::uiScript::disable();
        Skin::TearDown();
    }

    std::unique_ptr<Window> window;
    GUIPanelGroup* tools = nullptr;
    GUIPanelGroup* functions = nullptr;
    const std::vector<std::pair<std::string, GUIPanelGroup**>> groups{{"tools", &tools}, {"functions", &functions}};
};

TEST_F(SkinPanelGroups, AClickAtEachTabsCentreShowsThatPanelWithItsOwnTabLit) {
    for (const auto& [name, group] : groups) {
        const std::vector<const SkinRow*> panels = skinTable().panels(name);
        const SkinGroup& layout = *skinTable().findGroup(name);
        const int count = static_cast<int>(panels.size());
        const SkinRow& first = *panels.front();
        const int length = layout.vertical ? first.height : first.width;
        // Tabs from the last to the first, so each click changes the panel.
        for (int i = count - 1; i >= 0; --i) {
            SCOPED_TRACE(name + " tab " + std::to_string(i));
            const int middle = (skinTabStart(i, count, length) + skinTabStart(i + 1, count, length)) / 2;
            const platform::Point centre = layout.vertical
                                               ? platform::Point{first.x + layout.band / 2, first.y + middle}
                                               : platform::Point{first.x + middle, first.y + layout.band / 2};
            ASSERT_TRUE(input::click(window->handle(), centre));
            EXPECT_EQ((*group)->selectedIndex(), i);
            // The shown panel lights this tab and no other: the accent mark
            // 6 pixels in from the band's outer edge, at each tab's middle.
            for (int j = 0; j < count; ++j) {
                const int at = (skinTabStart(j, count, length) + skinTabStart(j + 1, count, length)) / 2;
                const Color seen = layout.vertical
                                       ? window->surface()->backImage().getPixel(first.x + 6, first.y + at)
                                       : window->surface()->backImage().getPixel(first.x + at, first.y + 6);
                EXPECT_EQ(!seen.differs(skin_palette::accent), j == i) << "tab " << j;
            }
        }
    }
}

// ---- The build's checks ------------------------------------------------------

struct BrokenSkin {
    const char* what;
    std::function<void(SkinTable&)> breakTable;
    std::function<void(std::vector<SkinImage>&)> breakImages;
    const char* problem;
};

SkinRow& rowOf(SkinTable& table, const std::string& key) {
    for (SkinRow& row : table.rows) {
        if (row.key == key) return row;
    }
    throw std::runtime_error("no row " + key);
}

// Paints a copy of the program's table, broken as the case says, and runs
// every check on it.
std::vector<std::string> problemsOf(const BrokenSkin& broken) {
    SkinTable table = skinTable();
    if (broken.breakTable) broken.breakTable(table);
    SkinArt art(VELKARN_SKIN_FONTS);
    std::vector<SkinImage> images = art.paint(table);
    if (broken.breakImages) broken.breakImages(images);
    std::vector<std::string> problems = art.problems();
    for (const std::string& problem : checkSkin(table, images)) problems.push_back(problem);
    return problems;
}

void paintOverTheFirstStrip(SkinArt&, SkinPainter& painter, const SkinRow&, const std::string&) {
    painter.image().setPixel(Color{255, 255, 255, 255}, 100, 30);
}

TEST(SkinChecks, TheProgramsSkinPassesAndEachKindOfFaultIsCaught) {
    EXPECT_EQ(problemsOf({"as built", nullptr, nullptr, ""}), std::vector<std::string>{});

    const BrokenSkin cases[] = {
        {"a button past the window's right edge",
         [](SkinTable& t) { rowOf(t, "velkarn/button/scope").x = 980; }, nullptr,
         "The key velkarn/button/scope at (980, 522) 72 x 32 lies outside velkarn/background/main at (0, 0) 1000 x 665."},
        {"a slider track below the window",
         [](SkinTable& t) { rowOf(t, "velkarn/slider/volume").y = 460; }, nullptr,
         "The key velkarn/slider/volume at (910, 460) 75 x 206 lies outside velkarn/background/main at (0, 0) 1000 x 665."},
        {"a control on a panel that is not there",
         [](SkinTable& t) { rowOf(t, "velkarn/button/play").parent = "velkarn/panelGroup/none"; }, nullptr,
         "The key velkarn/button/play lies on velkarn/panelGroup/none, which has no row."},
        {"one panel of a group taller",
         [](SkinTable& t) { rowOf(t, "velkarn/panelGroup/skip").height = 431; }, nullptr,
         "The panels of \"tools\" differ in size: velkarn/panelGroup/skip is 160 x 431, velkarn/panelGroup/drop 160 x 430."},
        {"a Down image of another size",
         nullptr,
         [](std::vector<SkinImage>& images) {
             for (SkinImage& image : images) {
                 if (image.name == "velkarn/button/zoomOutDown") image.image = std::make_unique<Image>(29, 28, 0, 0, 0, 0);
             }
         },
         "The images of velkarn/button/zoomOut differ in size: velkarn/button/zoomOutDown is 29 x 28, not 28 x 28."},
        {"an Off lamp of another size",
         nullptr,
         [](std::vector<SkinImage>& images) {
             for (SkinImage& image : images) {
                 if (image.name == "velkarn/indicator/playingOff") image.image = std::make_unique<Image>(40, 17, 0, 0, 0, 0);
             }
         },
         "The images of velkarn/indicator/playing differ in size: velkarn/indicator/playingOff is 40 x 17, not 40 x 18."},
        {"paint over a strip",
         [](SkinTable& t) { rowOf(t, "velkarn/image/overlayRows").decorate = paintOverTheFirstStrip; }, nullptr,
         "velkarn/image/overlayRows paints 1 pixels over (10, 10) 800 x 60, which must stay visible."},
        {"a key twice",
         [](SkinTable& t) { t.rows.push_back(rowOf(t, "velkarn/meter/volume")); }, nullptr,
         "The key velkarn/meter/volume has two rows."},
        {"a panel of an unknown group",
         [](SkinTable& t) { rowOf(t, "velkarn/panelGroup/decks").group = "function"; }, nullptr,
         "The panel velkarn/panelGroup/decks names the group \"function\", which has no row."},
        {"a tab label under a lamp",
         [](SkinTable& t) { rowOf(t, "velkarn/panelGroup/recorder").label = "RECORDINGS"; }, nullptr,
         "The tab label \"RECORDINGS\" of velkarn/panelGroup/recorder does not fit beside what covers its tab."},
        {"a label wider than its button",
         [](SkinTable& t) { rowOf(t, "velkarn/button/beatMapper").label = "BEAT MAPPER"; }, nullptr,
         "The label \"BEAT MAPPER\" is wider than velkarn/button/beatMapper."},
    };
    for (const BrokenSkin& broken : cases) {
        SCOPED_TRACE(broken.what);
        const std::vector<std::string> problems = problemsOf(broken);
        EXPECT_NE(std::find(problems.begin(), problems.end(), broken.problem), problems.end())
            << (problems.empty() ? std::string("no problem found") : problems.front());
    }
}

TEST(SkinChecks, ADigitSetWritesSixteenCellsOfOneSizeThatShowTheirCharacters) {
    SkinTable table = skinTable();
    SkinRow digits;
    digits.kind = SkinKind::DigitSet;
    digits.key = "test/font/digits/";
    digits.width = 9;
    digits.height = 15;
    table.rows.push_back(digits);
    SkinArt art(VELKARN_SKIN_FONTS);
    const std::vector<SkinImage> images = art.paint(table);
    EXPECT_EQ(checkSkin(table, images), std::vector<std::string>{});

    std::map<std::string, const Image*> cells;
    for (const SkinImage& image : images) {
        if (image.key == digits.key) cells[image.suffix] = image.image.get();
    }
    ASSERT_EQ(cells.size(), 16u);
    const auto ink = [](const Image& cell) {
        std::string alphas;
        for (int y = 0; y < cell.height(); ++y) {
            for (int x = 0; x < cell.width(); ++x) alphas += static_cast<char>(cell.getPixel(x, y).alpha);
        }
        return alphas;
    };
    const std::string blank(9 * 15, '\0');
    EXPECT_EQ(ink(*cells.at("Space")), blank);
    // Every other cell shows something, and no two show the same.
    std::set<std::string> seen;
    for (const auto& [suffix, cell] : cells) {
        if (suffix == "Space") continue;
        EXPECT_NE(ink(*cell), blank) << suffix;
        EXPECT_TRUE(seen.insert(ink(*cell)).second) << suffix;
    }
}

}  // namespace
