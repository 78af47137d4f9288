// The beat mapper's split, merge and convert buttons: the folder chooser
// (scripted), the progress dialog with the job's title, its bar and its
// Abort, and the walk over the chosen tree. The walks themselves are
// covered in depth by BatchJobs; here the window's path to them is.
#include "BeatMapperTestSupport.h"
#include "MetaDataFixtures.h"

#include "audio/SampleDisk.h"
#include "framework/DialogProgress.h"
#include "framework/GUIButton.h"
#include "platform/Dialog.h"
#include "platform/EventLoop.h"
#include "platform/FileSystem.h"
#include "platform/UiScript.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using mapper_test::BeatMapperTest;
using mapper_test::MapperSong;

// Dispatches posted messages until the condition holds (at most 10 s).
bool pumpUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        platform::dispatchPostedMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Waits on the job thread until the flag is set (at most 10 s).
bool waitFor(const std::atomic<bool>& flag) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!flag.load()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::map<std::string, std::string> snapshot(const std::string& directory) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(directory)) {
        if (entry.is_regular_file()) files[fs::relative(entry.path(), directory).string()] = testing_support::readFile(entry.path());
    }
    return files;
}

std::string riffChunk(const std::string& wav, const std::string& id) {
    for (const fixtures::RiffChunk& chunk : fixtures::parseRiff(wav))
        if (chunk.id == id) return chunk.body;
    return {};
}

class BeatMapperBatchButtons : public BeatMapperTest {
protected:
    void SetUp() override {
        BeatMapperTest::SetUp();
        root = files.file("tree");
        // Two songs a level apart, written by an older version: beats and
        // texts, no level envelope; with a placeholder overview beside each.
        MapperSong song;
        song.samplesPerLevel = 0;
        song.beats = {1000, 23050, 45100, 67150, 89200};
        for (const std::string name : {"a.wav", "sub/b.wav"}) {
            fs::create_directories(fs::path(root + "/" + name).parent_path());
            mapper_test::writeSong(root + "/" + name, song);
            testing_support::writeFile(root + "/" + name.substr(0, name.size() - 3) + "png", "\x89PNG old overview");
        }
        testing_support::writeFile(root + "/notes.txt", "not a song");
        original = snapshot(root);
        open();
    }
    void TearDown() override {
        platform::setFileFaultHook({});
        platform::uiScript::setDialogResponder(DialogProgress::templateId, {});
        BeatMapperTest::TearDown();
    }

    std::vector<platform::UiRequest> requestsOf(platform::UiRequestKind kind) const {
        std::vector<platform::UiRequest> found;
        for (const platform::UiRequest& request : platform::uiScript::requests())
            if (request.kind == kind) found.push_back(request);
        return found;
    }

    std::string root;
    std::map<std::string, std::string> original;
};

// Merge, split and convert, each through its button: the chooser shows the
// job's instruction, the progress dialog its title, the bar ends full (the
// range is the tree's two songs), and the tree changes as the walk says.
TEST_F(BeatMapperBatchButtons, EachButtonWalksTheChosenTreeOnTheProgressDialog) {
    struct Step {
        const char* name;
        GUIButton* button;
        const char* instruction;
        const char* title;
        std::function<void()> check;
    };
    const std::vector<Step> steps = {
        {"merge", mapper->mergeButton(),
         "The files in the selected directory and in its sub-directories will be merged.", "Merging Tracks",
         [&] {
             const std::map<std::string, std::string> now = snapshot(root);
             EXPECT_EQ(now.size(), 3u);
             for (const std::string& name : {std::string("a"), std::string("sub/b")}) {
                 SCOPED_TRACE(name);
                 EXPECT_EQ(riffChunk(now.at(name + ".wav"), "qrt "), original.at(name + ".qrt"));
                 EXPECT_EQ(riffChunk(now.at(name + ".wav"), "png "), original.at(name + ".png"));
             }
         }},
        {"split", mapper->splitButton(),
         "The files in the selected directory and in its sub-directories will be split.", "Splitting Tracks",
         [&] { EXPECT_EQ(snapshot(root), original); }},
        {"convert", mapper->convertButton(),
         "The files in the selected directory and in its sub-directories will be converted from <= 1.16 to >= "
         "1.17 format.",
         "Converting Tracks",
         [&] {
             for (const std::string& name : {std::string("a"), std::string("sub/b")}) {
                 SCOPED_TRACE(name);
                 const std::string path = root + "/" + name + ".wav";
                 EXPECT_EQ(testing_support::readFile(path), original.at(name + ".wav"));
                 SongRecords records;
                 SongFileOutputs outputs;
                 outputs.records = records.targets();
                 SampleDisk::open(path, true, true, 0.0f, outputs);
                 ASSERT_TRUE(records.hasPoints);
                 EXPECT_EQ(records.points.samplesPerLevel, 153);
                 EXPECT_GT(records.points.levelCount, 0);
                 EXPECT_EQ(records.points.valueCount, 256);
                 EXPECT_STREQ(records.tags.title, "Record Title");
                 // A new overview: 20 pixels per second of the beats' span, 60 high.
                 const std::string png = testing_support::readFile(root + "/" + name + ".png");
                 ASSERT_GE(png.size(), 24u);
                 EXPECT_EQ(png.substr(1, 3), "PNG");
                 EXPECT_EQ(fixtures::uint32be(88200 / 2205) + fixtures::uint32be(60), png.substr(16, 8));
             }
         }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        platform::uiScript::clearRequests();
        std::string caption;
        int bar = -1;
        platform::uiScript::setDialogResponder(DialogProgress::templateId, [&](platform::Dialog& shown) {
            caption = shown.caption();
            EXPECT_TRUE(pumpUntil([&] { return shown.progressPosition(DialogProgress::progressBarId) == 100; }));
            bar = shown.progressPosition(DialogProgress::progressBarId);
        });
        platform::uiScript::pushPath(root);
        click(step.button);

        const std::vector<platform::UiRequest> choosers = requestsOf(platform::UiRequestKind::FolderChooser);
        ASSERT_EQ(choosers.size(), 1u);
        EXPECT_EQ(choosers[0].text, step.instruction);
        EXPECT_EQ(caption, step.title);
        EXPECT_EQ(bar, 100);
        EXPECT_EQ(mapper->batchDirectory(), root);
        EXPECT_FALSE(step.button->isDown());
        step.check();
    }
}

TEST_F(BeatMapperBatchButtons, ACancelledChooserDoesNothing) {
    for (GUIButton* button : {mapper->splitButton(), mapper->mergeButton(), mapper->convertButton()}) {
        platform::uiScript::clearRequests();
        platform::uiScript::pushCancel();
        click(button);
        EXPECT_EQ(requestsOf(platform::UiRequestKind::FolderChooser).size(), 1u);
        EXPECT_TRUE(requestsOf(platform::UiRequestKind::Dialog).empty());
        EXPECT_FALSE(button->isDown());
    }
    EXPECT_EQ(mapper->batchDirectory(), "");
    EXPECT_EQ(snapshot(root), original);
}

// Abort pressed once the first song is done (the bar at half): the walk
// stops before the next entry, so the song below stays as it was.
TEST_F(BeatMapperBatchButtons, AbortStopsTheWalkBeforeTheNextSong) {
    std::atomic<bool> pressed{false};
    std::atomic<int> subListings{0};
    std::atomic<bool> waited{true};
    // The job is held where it would list "sub" for the walk (the second
    // listing; the first is the count) until Abort has been pressed: by
    // then it has either stopped before "sub" or is about to stop before
    // the song in it.
    const std::string sub = root + "/sub";
    platform::setFileFaultHook([&](platform::FileOperation operation, const std::string& path) {
        if (operation == platform::FileOperation::List && path == sub && ++subListings == 2) waited = waitFor(pressed);
        return false;
    });
    int bar = -1;
    platform::uiScript::setDialogResponder(DialogProgress::templateId, [&](platform::Dialog& shown) {
        EXPECT_TRUE(pumpUntil([&] { return shown.progressPosition(DialogProgress::progressBarId) == 50; }));
        bar = shown.progressPosition(DialogProgress::progressBarId);
        shown.press(platform::cancelButton);
        pressed = true;
    });
    platform::uiScript::pushPath(root);
    click(mapper->mergeButton());
    EXPECT_TRUE(waited.load());
    EXPECT_EQ(bar, 50);

    const std::map<std::string, std::string> now = snapshot(root);
    EXPECT_EQ(now.count("a.qrt"), 0u);
    EXPECT_EQ(riffChunk(now.at("a.wav"), "qrt "), original.at("a.qrt"));
    for (const std::string name : {"sub/b.wav", "sub/b.qrt", "sub/b.png", "notes.txt"}) {
        EXPECT_EQ(now.at(name), original.at(name)) << name;
    }
}

}  // namespace
