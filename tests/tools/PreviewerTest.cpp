// The previewer offscreen: what it refuses to show, the gain ramp of a
// slider move, seeking, the pointer on the virtual clock, the end of the
// song, the wheel, the stop button and the title; and how the browser
// forwards the second output's blocks to it.
#include "BrowserTestSupport.h"
#include "GuiTestSkins.h"
#include "TestEnvironment.h"
#include "audio/FormatAudio.h"
#include "audio/Motor.h"
#include "framework/GUIButton.h"
#include "framework/GUIMarkerMap.h"
#include "framework/GUISliderHorizontal.h"
#include "framework/Log.h"
#include "framework/StringException.h"
#include "framework/Window.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/TestInput.h"
#include "platform/UiScript.h"
#include "tools/Browser.h"
#include "tools/BrowserData.h"
#include "tools/GUIBeatMap.h"
#include "tools/Previewer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <thread>

namespace {

using browser_test::SongSpec;
using browser_test::songSample;
namespace input = platform::test_input;


struct Block {
    explicit Block(std::size_t frames) : left(frames, 7.0f), right(frames, 7.0f) {}
    std::vector<float> left;
    std::vector<float> right;
    bool silent() const {
        return std::all_of(left.begin(), left.end(), [](float v) { return v == 0.0f; }) &&
               std::all_of(right.begin(), right.end(), [](float v) { return v == 0.0f; });
    }
};

Block render(AudioClient& client, Motor* device, std::int32_t frames) {
    Block block(static_cast<std::size_t>(frames));
    float* channels[2] = {block.left.data(), block.right.data()};
    client.render(device, channels, frames);
    return block;
}

class PreviewerTest : public browser_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        song = files.path() + "/song.wav";
    }
    void TearDown() override {
        previewer.reset();
        WindowTest::TearDown();
    }

    Previewer& open(const SongSpec& spec = {}) {
        browser_test::writeSong(song, spec);
        previewer = std::make_unique<Previewer>(nullptr, 1, song);
        return *previewer;
    }
    platform::WindowHandle handle() const { return previewer->window()->handle(); }
    void tick() {
        platform::VirtualClock::advance(50);
        platform::dispatchPostedMessages();
    }
    // Every sample of the block is the song's from `frame` on times the
    // gain of sample i.
    template <typename Gain>
    void expectSong(const Block& block, std::int64_t frame, Gain gain) {
        for (std::size_t i = 0; i < block.left.size(); ++i) {
            const auto n = frame + static_cast<std::int64_t>(i);
            ASSERT_NEAR(block.left[i], gain(i) * songSample(0, n), 1e-6f) << i;
            ASSERT_NEAR(block.right[i], gain(i) * songSample(1, n), 1e-6f) << i;
        }
    }

    testing_support::TemporaryDirectory files;
    std::string song;
    std::unique_ptr<Previewer> previewer;
    browser_test::FakeDevice device;
};

// What cannot be shown is refused with its reason, and the browser plays
// the track directly instead.
TEST_F(PreviewerTest, TracksThatCannotBeShownAreRefusedWithTheirReason) {
    struct Case {
        const char* name;
        SongSpec spec;
        bool damaged;
        const char* reason;
    };
    const Case cases[] = {
        {"no meta-data", SongSpec{12.0, false}, false, "No beat information present."},
        {"no level envelope", SongSpec{12.0, true, false}, false, "No points available."},
        {"an envelope of 100 frames per level", SongSpec{12.0, true, true, 100}, false, "No points available."},
        {"not a song", SongSpec{}, true, "Could not load song."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        browser_test::writeSong(song, c.spec);
        if (c.damaged) std::ofstream(song, std::ios::trunc) << "RIFF, but nothing more";
        try {
            Previewer refused(nullptr, 1, song);
            ADD_FAILURE() << "constructed";
        } catch (const StringException& error) {
            EXPECT_EQ(error.message(), std::string("Could not construct maps. ") + c.reason);
        }

        BrowserData data;
        browser_test::FakeApplication application;
        Browser browser(nullptr, 1, &data, &application);
        EXPECT_FALSE(browser.openPreviewer(song));
        EXPECT_EQ(browser.previewerWindow(), nullptr);
    }
}

TEST_F(PreviewerTest, ASliderMoveRampsTheGainAcrossOneBlock) {
    Previewer& p = open();
    ASSERT_TRUE(p.isPlaying());
    EXPECT_FLOAT_EQ(p.volumeSlider()->value(), 0.5f);
    expectSong(render(p, &device, 1024), 0, [](std::size_t) { return 0.5f; });

    // Drag the knob to the right end of its track.
    const GUIRectangle knob = p.volumeSlider()->knobRectangle();
    const platform::Point grip{knob.x0 + knob.width / 2, knob.y0 + knob.height / 2};
    ASSERT_TRUE(input::press(handle(), grip));
    ASSERT_TRUE(input::move(handle(), platform::Point{p.volumeSlider()->x1 + 40, grip.y}));
    ASSERT_TRUE(input::release(handle(), platform::Point{p.volumeSlider()->x1 + 40, grip.y}));
    platform::dispatchPostedMessages();
    ASSERT_FLOAT_EQ(p.volumeSlider()->value(), 1.0f);

    expectSong(render(p, &device, 1024), 1024,
               [](std::size_t i) { return 0.5f + 0.5f / 1024.0f * static_cast<float>(i); });
    expectSong(render(p, &device, 1024), 2048, [](std::size_t) { return 1.0f; });
    EXPECT_EQ(p.playPosition(), 3072);
}

TEST_F(PreviewerTest, AClickedPositionPlaysFromThereAndThePointerFollows) {
    Previewer& p = open();
    tick();
    ASSERT_TRUE(p.markerMap()->isPointerVisible());
    const GUIPoint atStart = p.markerMap()->pointer();

    p.markerClicked(p.markerMap(), 441000);
    expectSong(render(p, &device, 2048), 441000, [](std::size_t) { return 0.5f; });
    tick();
    EXPECT_TRUE(p.markerMap()->isPointerVisible());
    const GUIPoint later = p.markerMap()->pointer();
    EXPECT_TRUE(later.x != atStart.x || later.y != atStart.y);

    // A click on the map itself seeks to the position under the pointer.
    // Rows are one pixel high: y 18 is the fourth row of beats.
    ASSERT_TRUE(input::click(handle(), platform::Point{400, 18}));
    platform::dispatchPostedMessages();
    const std::int64_t clicked = p.playPosition();
    EXPECT_NE(clicked, 443048);
    EXPECT_GT(clicked, 3 * 88200);
    EXPECT_LT(clicked, 4 * 88200);
    expectSong(render(p, &device, 512), clicked, [](std::size_t) { return 0.5f; });
}

TEST_F(PreviewerTest, AtTheEndThePointerGoesAndTheOutputIsSilent) {
    Previewer& p = open();
    const std::int32_t end = p.beatMap()->totalSamples();
    p.seek(end - 100);
    render(p, &device, 1024);
    EXPECT_TRUE(p.isPlaying()) << "the timer notices the end";
    tick();
    EXPECT_FALSE(p.isPlaying());
    EXPECT_FALSE(p.markerMap()->isPointerVisible());
    EXPECT_TRUE(render(p, &device, 1024).silent());
}

TEST_F(PreviewerTest, TheStopButtonStopsAndAMarkerClickPlaysAgain) {
    Previewer& p = open();
    render(p, &device, 512);
    ASSERT_TRUE(input::click(handle(), platform::Point{p.stopButton()->x0 + 20, p.stopButton()->y0 + 15}));
    platform::dispatchPostedMessages();
    EXPECT_FALSE(p.isPlaying());
    EXPECT_TRUE(render(p, &device, 512).silent());
    tick();
    EXPECT_FALSE(p.markerMap()->isPointerVisible());
    p.markerClicked(p.markerMap(), 22050);
    EXPECT_TRUE(p.isPlaying());
    expectSong(render(p, &device, 512), 22050, [](std::size_t) { return 0.5f; });
}

TEST_F(PreviewerTest, TheWheelScrollsRowsThatDoNotFit) {
    ASSERT_EQ(platform::wheelScrollLines(), 3);
    // 1000 BPM, one beat a row: 2646 frames a row, 334 rows for 20 s, of
    // which 250 fit the map.
    SongSpec spec;
    spec.seconds = 20.0;
    spec.bpm = 1000.0f;
    spec.beatsPerBar = 1;
    Previewer& p = open(spec);
    struct Case {
        int notches;
        float scroll;
    };
    const float step = 1.0f / 84.0f;
    for (const Case& c : {Case{-1, 3 * step}, Case{-2, 9 * step}, Case{1, 6 * step}, Case{3, 0.0f}, Case{-40, 1.0f}}) {
        SCOPED_TRACE(c.notches);
        ASSERT_TRUE(input::wheel(handle(), platform::Point{400, 140}, 120 * c.notches));
        platform::dispatchPostedMessages();
        EXPECT_NEAR(p.scroll(), c.scroll, 1e-6f);
    }
    EXPECT_GT(p.markerMap()->scrollPixels(), 0) << "the markers follow the map";

    // A song whose rows all fit does not scroll.
    previewer.reset();
    Previewer& short_ = open();
    ASSERT_TRUE(input::wheel(handle(), platform::Point{400, 140}, -120));
    platform::dispatchPostedMessages();
    EXPECT_EQ(short_.scroll(), 0.0f);
}

TEST_F(PreviewerTest, TheTitleNamesTheTagsTitleAndArtist) {
    SongSpec tagged;
    tagged.title = "Night Drive";
    tagged.artist = "Somebody";
    EXPECT_EQ(open(tagged).window()->fileName(), "[Night Drive | Somebody]");
    previewer.reset();
    SongSpec untagged;
    untagged.withTags = false;
    EXPECT_EQ(open(untagged).window()->fileName(), "");
    EXPECT_EQ(previewer->tempo(), 120.0f);
    EXPECT_EQ(previewer->beatsPerRow(), 4);
}

// The browser hands the output's blocks to the open previewer; its own
// read-ahead thread, which renders without a caller, must not play it.
TEST_F(PreviewerTest, OnlyTheOutputsBlocksAdvanceThePreviewerInTheBrowser) {
    browser_test::writeSong(song);
    BrowserData data;
    browser_test::FakeApplication application;
    Browser browser(nullptr, 1, &data, &application);
    ASSERT_TRUE(browser.openPreviewer(song));
    ASSERT_NE(browser.previewerWindow(), nullptr);
    // The read-ahead thread has been calling render all along.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(render(browser, nullptr, 1024).silent());
    EXPECT_EQ(browser.previewer()->playPosition(), 0);
    expectSong(render(browser, &device, 1024), 0, [](std::size_t) { return 0.5f; });
    EXPECT_EQ(browser.previewer()->playPosition(), 1024);

    browser.closePreviewer();
    EXPECT_EQ(browser.previewerWindow(), nullptr);
    EXPECT_TRUE(render(browser, &device, 1024).silent());
    EXPECT_THROW(
        {
            ASSERT_TRUE(browser.openPreviewer(song));
            browser.openPreviewer(song);
        },
        FatalStop);
}

}  // namespace
