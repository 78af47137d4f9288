// The browser window offscreen, driven only through the toolkit's event path
// (clicks, double clicks, wheel turns, typed keys), with scripted boxes and
// choosers and an application that records what it is asked.
#include "BrowserTestSupport.h"
#include "GuiTestSkins.h"
#include "TestEnvironment.h"
#include "audio/FormatAudio.h"
#include "audio/Motor.h"
#include "audio/SampleDisk.h"
#include "framework/DialogProgress.h"
#include "framework/Font.h"
#include "framework/GUIButton.h"
#include "framework/GUIScrollbarVertical.h"
#include "framework/GUITextHorizontal.h"
#include "framework/Log.h"
#include "framework/Window.h"
#include "platform/Clock.h"
#include "platform/Dialog.h"
#include "platform/EventLoop.h"
#include "platform/FileSystem.h"
#include "platform/NativeWindow.h"
#include "platform/TestInput.h"
#include "platform/UiScript.h"
#include "tools/Browser.h"
#include "tools/BrowserData.h"
#include "tools/Previewer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <thread>

namespace {

using browser_test::boxes;
using browser_test::FakeApplication;
using browser_test::SongSpec;
using browser_test::songSample;
namespace input = platform::test_input;

constexpr Color black{0, 0, 0, 255};
constexpr Color red{255, 0, 0, 255};
constexpr Color blue{0, 0, 255, 255};

std::string rgba(Color c) {
    return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue) + "," +
           std::to_string(c.alpha);
}

std::string songName(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "song%03d.wav", i);
    return name;
}

class BrowserTest : public browser_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        root = songs.path() + "/root";
        other = songs.path() + "/other";
        testing_support::makeDirectories(root);
        testing_support::makeDirectories(other);
    }

    void TearDown() override {
        browser.reset();
        data.reset();
        WindowTest::TearDown();
    }

    // `count` short songs in the root: song i analysed at 40 + i BPM with
    // the title "T<count - 1 - i>", unless listed as not analysed.
    void writeTree(int count, const std::vector<int>& notAnalysed = {}, double seconds = 0.1) {
        for (int i = 0; i < count; ++i) {
            SongSpec spec;
            spec.seconds = seconds;
            spec.withMetaData = std::find(notAnalysed.begin(), notAnalysed.end(), i) == notAnalysed.end();
            spec.bpm = 40.0f + static_cast<float>(i);
            char title[16];
            std::snprintf(title, sizeof title, "T%03d", count - 1 - i);
            spec.title = title;
            browser_test::writeSong(root + "/" + songName(i), spec);
        }
    }

    // The browser over a database whose root 0 is the fixture's root, and
    // that root built by a click on its text.
    Browser& open(bool build = true) {
        data = std::make_unique<BrowserData>("", BrowserData::Roots{root, other, "", ""});
        browser = std::make_unique<Browser>(nullptr, 1, data.get(), &application);
        if (build) click(browser->rootText(0));
        return *browser;
    }

    platform::WindowHandle handle() const { return browser->window()->handle(); }

    void click(GUIComponent* component, bool twice = false) {
        const platform::Point centre{component->x0 + component->width / 2, component->y0 + component->height / 2};
        ASSERT_TRUE(twice ? input::doubleClick(handle(), centre) : input::click(handle(), centre));
        platform::dispatchPostedMessages();
    }
    void clickRow(int row, bool twice = false, int x = 100) {
        const platform::Point point{x, Browser::firstRowY + Browser::rowHeight * row + 8};
        ASSERT_TRUE(twice ? input::doubleClick(handle(), point) : input::click(handle(), point));
        platform::dispatchPostedMessages();
    }
    void wheel(int notches) {
        ASSERT_TRUE(input::wheel(handle(), platform::Point{300, 300}, 120 * notches));
        platform::dispatchPostedMessages();
    }

    int selectedShown() {
        bool found = false;
        const int index = data->selectedIndex(found);
        return found ? index : -1;
    }

    testing_support::TemporaryDirectory songs;
    std::string root;
    std::string other;
    FakeApplication application;
    std::unique_ptr<BrowserData> data;
    std::unique_ptr<Browser> browser;
};

TEST_F(BrowserTest, TheWindowShowsRootsHeadersRowsAndTempo) {
    writeTree(3, {1});
    Browser& b = open();
    EXPECT_EQ(b.rootText(0)->text(), root);
    EXPECT_EQ(rgba(b.rootText(0)->color()), rgba(red));
    EXPECT_EQ(b.rootText(1)->text(), other);
    EXPECT_EQ(rgba(b.rootText(1)->color()), rgba(black));
    EXPECT_EQ(rgba(b.header(0)->color()), rgba(red)) << "sorted by BPM";
    for (int c = 1; c < Browser::columnCount; ++c) EXPECT_EQ(rgba(b.header(c)->color()), rgba(black));
    EXPECT_EQ(b.tempoText()->text(), "120");
    b.showCurrentTempo(127.5f);
    EXPECT_EQ(b.tempoText()->text(), "128");
    // The not analysed song has tempo 0 and comes first.
    EXPECT_EQ(b.cell(4, 0)->text(), "song001");
    EXPECT_EQ(b.cell(0, 1)->text(), " 40.0");
    EXPECT_EQ(b.cell(1, 1)->text(), "T002");
    for (int r = 0; r < Browser::rowCount; ++r) {
        EXPECT_EQ(b.playButton(r)->isVisible(), r < 3) << r;
        EXPECT_EQ(b.selectButton(r)->isVisible(), r < 3) << r;
    }
}

// Wheel: with more than 25 shown records the first row moves by the wheel
// lines per notch, within 0 .. count - 25.
TEST_F(BrowserTest, TheWheelScrollsWithinTheList) {
    ASSERT_EQ(platform::wheelScrollLines(), 3);
    struct Case {
        int records;
        int first;
        int notches;  // negative: towards the user, down the list
        int expected;
    };
    const Case cases[] = {
        {30, 0, -1, 3}, {30, 5, -1, 5}, {30, 4, -1, 5}, {30, 3, 1, 0}, {30, 2, 1, 0}, {25, 0, -1, 0}, {40, 0, -2, 6},
    };
    int written = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.records) + " records from " + std::to_string(c.first));
        for (int i = 0; i < written; ++i) platform::removeFile(root + "/" + songName(i));
        writeTree(c.records);
        written = c.records;
        Browser& b = open();
        ASSERT_EQ(data->shownCount(), c.records);
        data->setFirstShownRow(c.first);
        b.refreshRows();
        wheel(c.notches);
        EXPECT_EQ(data->firstShownRow(), c.expected);
        EXPECT_EQ(b.scrollbar()->first(), c.expected == c.first ? b.scrollbar()->first() : c.expected);
        EXPECT_EQ(b.cell(4, 0)->text(), songName(c.expected).substr(0, 7));
    }
}

TEST_F(BrowserTest, ARowClickSelectsAndTheRightEdgeOfTheListIsIgnored) {
    writeTree(5);
    Browser& b = open();
    struct Case {
        int x;
        int row;
        int selected;
    };
    // The list spans x 10 .. 989; its last 20 pixels belong to the scrollbar.
    for (const Case& c : {Case{969, 2, 2}, Case{970, 3, 2}, Case{989, 4, 2}, Case{12, 4, 4}, Case{300, 7, 4}}) {
        SCOPED_TRACE("x " + std::to_string(c.x) + ", row " + std::to_string(c.row));
        clickRow(c.row, false, c.x);
        EXPECT_EQ(selectedShown(), c.selected);
    }
    EXPECT_EQ(rgba(b.cell(1, 4)->color()), rgba(red));
    EXPECT_EQ(rgba(b.cell(1, 2)->color()), rgba(black));
}

TEST_F(BrowserTest, ASortKeepsTheSelectedRecordsRowOnScreen) {
    writeTree(40);
    Browser& b = open();
    data->setFirstShownRow(10);
    b.refreshRows();
    clickRow(10);  // record 20 (song020, title T019)
    ASSERT_EQ(selectedShown(), 20);
    click(b.header(1));  // Track: the titles run the other way
    EXPECT_EQ(data->sortColumn(), "Track");
    EXPECT_EQ(selectedShown(), 19);
    EXPECT_EQ(data->firstShownRow(), 9);
    EXPECT_EQ(b.cell(1, 10)->text(), "T019");
    EXPECT_EQ(rgba(b.cell(1, 10)->color()), rgba(red));
    EXPECT_EQ(rgba(b.header(1)->color()), rgba(red));
    EXPECT_EQ(rgba(b.header(0)->color()), rgba(black));
    EXPECT_EQ(b.scrollbar()->first(), 9);

    // Near the end the first row stops at count - 25.
    data->setFirstShownRow(15);
    b.refreshRows();
    clickRow(24);  // record 39 in title order: song000
    click(b.header(4));  // Filename: song000 comes first
    EXPECT_EQ(selectedShown(), 0);
    EXPECT_EQ(data->firstShownRow(), 0);
}

TEST_F(BrowserTest, TheTempoJumpShowsTheNearestTempoTwelveRowsDown) {
    writeTree(100);
    Browser& b = open();
    click(b.header(1));
    ASSERT_EQ(data->sortColumn(), "Track");
    struct Case {
        float tempo;
        int first;
    };
    // Record i has 40 + i BPM: 130 is index 90, and 78 leaves fewer than
    // 26 records below, so the list ends at the last one.
    for (const Case& c : {Case{130.0f, 75}, Case{80.0f, 28}, Case{45.0f, 0}, Case{52.0f, 0}, Case{200.0f, 75}}) {
        SCOPED_TRACE(c.tempo);
        b.showCurrentTempo(c.tempo);
        click(b.tempoButton());
        EXPECT_EQ(data->sortColumn(), "BPM");
        EXPECT_EQ(rgba(b.header(0)->color()), rgba(red));
        EXPECT_EQ(rgba(b.header(1)->color()), rgba(black));
        EXPECT_EQ(data->firstShownRow(), c.first);
        EXPECT_EQ(b.scrollbar()->first(), c.first);
    }
}

TEST_F(BrowserTest, TypedCharactersEditTheFilter) {
    writeTree(12);
    Browser& b = open();
    ASSERT_TRUE(input::type(handle(), "song00"));
    platform::dispatchPostedMessages();
    EXPECT_EQ(b.filterText()->text(), "song00");
    EXPECT_EQ(data->filterText(), "song00");
    EXPECT_EQ(data->shownCount(), 10);
    ASSERT_TRUE(input::type(handle(), "\b\b"));
    platform::dispatchPostedMessages();
    EXPECT_EQ(data->filterText(), "song");
    EXPECT_EQ(data->shownCount(), 12);
    click(b.clearFilterButton());
    EXPECT_EQ(data->filterText(), "");
    EXPECT_EQ(b.filterText()->text(), "");
    ASSERT_TRUE(input::type(handle(), "\b"));  // nothing to remove
    platform::dispatchPostedMessages();
    EXPECT_EQ(data->filterText(), "");

    // 511 characters fit; the 512th is ignored.
    ASSERT_TRUE(input::type(handle(), std::string(510, 'x') + "yz"));
    platform::dispatchPostedMessages();
    EXPECT_EQ(data->filterText(), std::string(510, 'x') + "y");
    EXPECT_EQ(data->shownCount(), 0);
    for (int r = 0; r < Browser::rowCount; ++r) EXPECT_FALSE(b.playButton(r)->isVisible());
}

TEST_F(BrowserTest, AFilterKeepsTheSelectedRecordInPlace) {
    writeTree(40);
    Browser& b = open();
    data->setFirstShownRow(10);
    b.refreshRows();
    clickRow(5);  // song015
    ASSERT_EQ(selectedShown(), 15);
    // "song01" leaves song010 .. song019: song015 is shown record 5.
    ASSERT_TRUE(input::type(handle(), "song01"));
    platform::dispatchPostedMessages();
    EXPECT_EQ(selectedShown(), 5);
    EXPECT_EQ(data->firstShownRow(), 0) << "10 + (5 - 15) = 0";
    EXPECT_EQ(b.cell(4, 5)->text(), "song015");
}

// Loading by a double click on the selected row, or by the row's select
// button: the application loads the file, the row turns blue, the Drop
// tool is selected, and with exit-on-load the window asks to close.
TEST_F(BrowserTest, LoadingATrack) {
    struct Case {
        bool byButton;
        bool exitOnLoad;
    };
    for (const Case& c : {Case{false, false}, Case{false, true}, Case{true, false}, Case{true, true}}) {
        SCOPED_TRACE(std::string(c.byButton ? "button" : "double click") + (c.exitOnLoad ? ", exit on load" : ""));
        writeTree(3, {}, 3.0);
        application = FakeApplication{};
        application.exitOnLoad = c.exitOnLoad;
        Browser& b = open();
        if (c.byButton) {
            click(b.selectButton(1));
        } else {
            clickRow(1);
            EXPECT_TRUE(application.loaded.empty()) << "the first click only selects";
            clickRow(1, true);
        }
        ASSERT_EQ(application.loaded, std::vector<std::string>{root + "/song001.wav"});
        EXPECT_TRUE(data->filteredRecord(1).loaded);
        EXPECT_EQ(rgba(b.cell(1, 1)->color()), rgba(red)) << "selected goes before loaded";
        EXPECT_EQ(rgba(b.cell(1, 0)->color()), rgba(black));
        EXPECT_EQ(application.dropToolSelections, 1);
        std::vector<platform::Message> closes;
        while (platform::queuedMessageCount() > 0) {
            platform::Message message;
            ASSERT_TRUE(platform::getMessage(message));
            if (message.id == platform::closeRequestMessage) closes.push_back(message);
        }
        ASSERT_EQ(closes.size(), c.exitOnLoad ? 1u : 0u);
        if (c.exitOnLoad) {
            EXPECT_EQ(closes[0].window, handle());
        }
        EXPECT_TRUE(boxes().empty());
        browser.reset();
    }
}

TEST_F(BrowserTest, LoadingATrackNotYetAnalysedOffersTheBeatMapper) {
    writeTree(3, {0}, 3.0);
    Browser& b = open();
    ASSERT_EQ(b.cell(4, 0)->text(), "song000");
    for (bool yes : {false, true}) {
        platform::uiScript::clearRequests();
        yes ? platform::uiScript::pushYes() : platform::uiScript::pushNo();
        click(b.selectButton(0));
        EXPECT_EQ(boxes(), std::vector<std::string>{"Could not load song.|This song is not yet analyzed. Do you want to "
                                                    "analyze it in the BeatMapper? [This will interrupt playback.]"});
        EXPECT_TRUE(application.loaded.empty());
        EXPECT_EQ(application.beatMapperPaths.size(), yes ? 1u : 0u);
    }
    ASSERT_EQ(application.beatMapperPaths.size(), 1u);
    EXPECT_EQ(application.beatMapperPaths[0], root + "/song000.wav");
    EXPECT_FALSE(data->filteredRecord(0).loaded);
}

TEST_F(BrowserTest, EditAsksBeforeLaunchingTheBeatMapper) {
    writeTree(3);
    Browser& b = open();
    click(b.editButton());
    EXPECT_EQ(boxes(), std::vector<std::string>{"Cannot Do Action|There is no record selected."});
    clickRow(2);
    {
        std::ifstream held(root + "/song002.wav");
        platform::uiScript::clearRequests();
        click(b.editButton());
        EXPECT_EQ(boxes(),
                  std::vector<std::string>{"Cannot Edit|The file is in use (maybe playing), so you cannot edit it."});
    }
    for (bool yes : {false, true}) {
        platform::uiScript::clearRequests();
        yes ? platform::uiScript::pushYes() : platform::uiScript::pushNo();
        click(b.editButton());
        EXPECT_EQ(boxes(), std::vector<std::string>{"Launching BeatMapper|Do you want to launch the BeatMapper? [This "
                                                    "will interrupt playback.]"});
        EXPECT_EQ(application.beatMapperPaths.size(), yes ? 1u : 0u);
    }
    ASSERT_EQ(application.beatMapperPaths.size(), 1u);
    EXPECT_EQ(application.beatMapperPaths[0], root + "/song002.wav");
    EXPECT_FALSE(b.editButton()->isDown());
}

TEST_F(BrowserTest, DeleteRemovesTheSongAndItsSideFilesAfterYesOnly) {
    writeTree(100);
    // song090 also has an overview image; song091 has no side file at all.
    browser_test::writeSong(root + "/song090.png", SongSpec{0.01, false});
    platform::removeFile(root + "/song091.qrt");
    Browser& b = open();
    ASSERT_EQ(data->shownCount(), 100);
    click(b.deleteButton());
    EXPECT_EQ(boxes(), std::vector<std::string>{"Cannot Do Action|There is no record selected."});

    struct Case {
        int song;
        bool yes;
        int firstBefore;
        int firstAfter;
    };
    int shown = 100;
    // At the end of the list a deletion moves the first row up, so the list
    // stays full.
    for (const Case& c : {Case{90, false, 75, 75}, Case{90, true, 75, 74}, Case{91, true, 0, 0},
                          Case{50, true, 40, 40}, Case{5, true, 0, 0}}) {
        SCOPED_TRACE(songName(c.song) + (c.yes ? " yes" : " no"));
        const std::string base = root + "/" + songName(c.song).substr(0, 7);
        const bool hadQrt = platform::pathExists(base + ".qrt");
        int index = 0;
        while (index < data->shownCount() && data->filteredRecord(index).fileName != base + ".wav") ++index;
        data->setFirstShownRow(c.firstBefore);
        b.scrollbar()->setRange(data->shownCount(), Browser::rowCount, c.firstBefore);
        b.refreshRows();
        clickRow(index - c.firstBefore);
        ASSERT_EQ(selectedShown(), index);
        platform::uiScript::clearRequests();
        c.yes ? platform::uiScript::pushYes() : platform::uiScript::pushNo();
        click(b.deleteButton());
        EXPECT_EQ(boxes(), std::vector<std::string>{"Are You Sure?|Are you sure you want to permanently delete this "
                                                    "audio file and its metadata?"});
        if (c.yes) --shown;
        EXPECT_EQ(data->shownCount(), shown);
        EXPECT_EQ(data->allCount(), shown);
        EXPECT_EQ(platform::pathExists(base + ".wav"), !c.yes);
        EXPECT_EQ(platform::pathExists(base + ".qrt"), hadQrt && !c.yes);
        EXPECT_EQ(platform::pathExists(base + ".png"), c.song == 90 && !c.yes);
        EXPECT_EQ(data->firstShownRow(), c.firstAfter);
        EXPECT_EQ(b.scrollbar()->first(), c.firstAfter);
        EXPECT_FALSE(b.deleteButton()->isDown());
    }
    EXPECT_TRUE(platform::pathExists(root + "/song089.wav"));

    // A file held open is refused.
    clickRow(3);
    std::ifstream held(data->filteredRecord(selectedShown()).fileName);
    platform::uiScript::clearRequests();
    click(b.deleteButton());
    EXPECT_EQ(boxes(),
              std::vector<std::string>{"Cannot Delete|The file is in use (maybe playing), so you cannot delete it."});
    EXPECT_EQ(data->shownCount(), shown);
}

TEST_F(BrowserTest, ARootIsChosenThenBuiltByAClickOnItsText) {
    writeTree(2);
    browser_test::writeSong(other + "/a/x.wav");
    Browser& b = open(false);
    EXPECT_EQ(data->shownCount(), 0);
    const std::string chosen = songs.path() + "/chosen";
    testing_support::makeDirectories(chosen);
    browser_test::writeSong(chosen + "/c.wav");
    platform::uiScript::pushPath(chosen);
    click(b.rootButton(2));
    const std::vector<platform::UiRequest> requests = platform::uiScript::requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind, platform::UiRequestKind::FolderChooser);
    EXPECT_EQ(requests[0].text, "Select the root directory for the browser.");
    EXPECT_EQ(b.rootText(2)->text(), chosen);
    EXPECT_EQ(data->rootDirectory(2), chosen);
    EXPECT_EQ(data->shownCount(), 0) << "choosing builds nothing";
    EXPECT_FALSE(b.rootButton(2)->isDown());

    // A cancelled chooser changes nothing.
    platform::uiScript::pushCancel();
    click(b.rootButton(2));
    EXPECT_EQ(data->rootDirectory(2), chosen);

    std::vector<std::string> captions;
    platform::uiScript::setDialogResponder(DialogProgress::templateId,
                                           [&](platform::Dialog& shown) { captions.push_back(shown.caption()); });
    click(b.rootText(2));
    platform::uiScript::setDialogResponder(DialogProgress::templateId, {});
    EXPECT_EQ(data->currentRoot(), 2);
    EXPECT_EQ(b.currentRootPath(), chosen);
    EXPECT_EQ(rgba(b.rootText(2)->color()), rgba(red));
    EXPECT_EQ(rgba(b.rootText(0)->color()), rgba(black));
    ASSERT_EQ(data->shownCount(), 1);
    EXPECT_EQ(b.cell(4, 0)->text(), "c");
    EXPECT_EQ(captions, std::vector<std::string>{"Building Database"});

    click(b.rootText(1));
    EXPECT_EQ(data->currentRoot(), 1);
    ASSERT_EQ(data->shownCount(), 1);
    EXPECT_EQ(b.cell(4, 0)->text(), "a/x");

    // A root that cannot be listed is refused and changes nothing.
    platform::uiScript::clearRequests();
    data->setRootDirectory(3, songs.path() + "/missing");
    click(b.rootText(3));
    EXPECT_EQ(boxes(), std::vector<std::string>{"Cannot Select Root|This root cannot be selected. The directory is "
                                                "not accessible."});
    EXPECT_EQ(data->currentRoot(), 1);
    EXPECT_EQ(data->shownCount(), 1);
}

TEST_F(BrowserTest, ACancelledBuildRestoresThePreviousPathAndRecords) {
    writeTree(4);
    Browser& b = open();
    clickRow(2);
    ASSERT_EQ(data->shownCount(), 4);
    for (int i = 0; i < 3; ++i) browser_test::writeSong(other + "/" + songName(i));
    // The abort comes while the build opens its first song.
    std::atomic<bool> pressed{false};
    platform::uiScript::setDialogResponder(DialogProgress::templateId, [&](platform::Dialog& shown) {
        shown.press(platform::cancelButton);
        pressed = true;
    });
    BrowserData::setSongOpen([&](const std::string& path, bool absolute, bool metaOnly, float cacheSeconds,
                                 const SongFileOutputs& outputs) {
        while (!pressed.load()) std::this_thread::yield();
        return SampleDisk::open(path, absolute, metaOnly, cacheSeconds, outputs);
    });
    click(b.rootText(1));
    BrowserData::setSongOpen({});
    platform::uiScript::setDialogResponder(DialogProgress::templateId, {});
    EXPECT_EQ(b.currentRootPath(), root);
    EXPECT_EQ(data->currentRoot(), 0);
    ASSERT_EQ(data->shownCount(), 4);
    EXPECT_EQ(selectedShown(), 2);
    EXPECT_EQ(b.cell(4, 2)->text(), "song002");
    EXPECT_EQ(rgba(b.rootText(0)->color()), rgba(red));
}

// Pre-listen without a previewer: the selected record plays from the
// read-ahead ring at half amplitude.
class DirectPlay : public BrowserTest {
protected:
    // Renders blocks "from the output" until the ring delivers sound, then
    // finds the song frame of that block from its first left sample.
    void expectHalfOfSong(std::int64_t signalOffset) {
        browser_test::FakeDevice device;
        std::vector<float> left(1024);
        std::vector<float> right(1024);
        float* channels[2] = {left.data(), right.data()};
        bool sounding = false;
        for (int round = 0; round < 20000 && !sounding; ++round) {
            browser->render(&device, channels, 1024);
            sounding = std::any_of(left.begin(), left.end(), [](float v) { return v != 0.0f; });
            if (!sounding) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_TRUE(sounding);
        // Let the reader get ahead again, then take a whole block.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        browser->render(&device, channels, 1024);
        std::int64_t frame = -1;
        for (std::int64_t n = 0; n < 2 * 44100 && frame < 0; ++n) {
            bool same = true;
            for (std::int64_t i = 0; i < 8 && same; ++i) {
                same = left[static_cast<std::size_t>(i)] == 0.5f * songSample(0, signalOffset + n + i) &&
                       right[static_cast<std::size_t>(i)] == 0.5f * songSample(1, signalOffset + n + i);
            }
            if (same) frame = n;
        }
        ASSERT_GE(frame, 0) << "the block is not half of this song";
        for (std::size_t i = 0; i < left.size(); ++i) {
            const std::int64_t n = signalOffset + frame + static_cast<std::int64_t>(i);
            ASSERT_EQ(left[i], 0.5f * songSample(0, n)) << i;
            ASSERT_EQ(right[i], 0.5f * songSample(1, n)) << i;
        }
    }
};

TEST_F(DirectPlay, PlaysTheClickedRowAtHalfAmplitude) {
    // No level envelope: the previewer refuses these, so they play directly.
    for (int i = 0; i < 3; ++i) {
        SongSpec spec;
        spec.withPoints = false;
        spec.seconds = 2.0;
        spec.signalOffset = 100000 * i;
        browser_test::writeSong(root + "/" + songName(i), spec);
    }
    Browser& b = open();
    clickRow(0);
    // Play on row 2, which is not selected: row 2's record is selected and
    // played.
    click(b.playButton(2));
    EXPECT_EQ(b.previewer(), nullptr);
    EXPECT_TRUE(b.isDirectPlaying());
    EXPECT_EQ(selectedShown(), 2);
    EXPECT_TRUE(b.playButton(2)->isDown());
    EXPECT_FALSE(b.playButton(0)->isDown());
    expectHalfOfSong(200000);

    // Another row's play button stops this one and plays that one.
    click(b.playButton(1));
    EXPECT_TRUE(b.playButton(1)->isDown());
    EXPECT_FALSE(b.playButton(2)->isDown());
    expectHalfOfSong(100000);

    // The lit button again stops; so do the stop button, a sort and a jump.
    click(b.playButton(1));
    EXPECT_FALSE(b.isDirectPlaying());
    for (GUIComponent* stopper : std::vector<GUIComponent*>{b.stopButton(), b.header(2), b.tempoButton()}) {
        click(b.playButton(0));
        ASSERT_TRUE(b.isDirectPlaying());
        click(stopper);
        EXPECT_FALSE(b.isDirectPlaying());
        for (int r = 0; r < 3; ++r) EXPECT_FALSE(b.playButton(r)->isDown());
    }
    browser_test::FakeDevice device;
    std::vector<float> left(512, 1.0f);
    std::vector<float> right(512, 1.0f);
    float* channels[2] = {left.data(), right.data()};
    b.render(&device, channels, 512);
    EXPECT_TRUE(std::all_of(left.begin(), left.end(), [](float v) { return v == 0.0f; }));
    EXPECT_TRUE(std::all_of(right.begin(), right.end(), [](float v) { return v == 0.0f; }));
}

TEST_F(DirectPlay, WithoutTheSecondOutputNothingPlays) {
    writeTree(2);
    application.secondOutput = false;
    Browser& b = open();
    click(b.playButton(0));
    EXPECT_EQ(boxes(), std::vector<std::string>{"Cannot Play|Audio device 2 is not active."});
    EXPECT_FALSE(b.isDirectPlaying());
    EXPECT_EQ(b.previewer(), nullptr);
    EXPECT_FALSE(b.playButton(0)->isDown());
}

TEST_F(DirectPlay, AnUnreadableSongIsReported) {
    writeTree(2);
    Browser& b = open();
    std::ofstream(root + "/song001.wav", std::ios::trunc) << "not a song";
    click(b.playButton(1));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].substr(0, 19), "Cannot play track.|");
    EXPECT_FALSE(b.isDirectPlaying());
    EXPECT_FALSE(b.playButton(1)->isDown());
}

}  // namespace
