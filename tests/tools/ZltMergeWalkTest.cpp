// Rebuilds of a song tree: which songs the build opens again and whether
// info.zlt is rewritten, after each kind of change to the tree or the file.
#include "ToolsTestSupport.h"

#include "TestEnvironment.h"

#include "platform/FileSystem.h"
#include "tools/BrowserData.h"
#include "tools/FileZLT.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

using tools_test::OpenCounter;
using tools_test::SongSpec;

namespace {

// Names below the root, each with what it carries. "a/x.wav" sorts after
// "a.wav" as a full path, though "a" sorts before "a.wav" as a name.
const std::vector<std::pair<std::string, SongSpec>>& treeSongs() {
    static const std::vector<std::pair<std::string, SongSpec>> songs = {
        {"a.wav", {true, 22050, true, "First", "Band", "Hard rock", 0.0f}},
        {"a/x.wav", {true, 20000, true, "Second", "Other", "", 128.0f}},
        {"b.wav", {false}},
        {"c/d/e.wav", {true, 30000, false}},
        {"c/f.WAV", {true, 22050, true, "Fifth", "", "Note", 90.0f}},
    };
    return songs;
}

constexpr std::int64_t oldInfoTime = 1500000000;

// A song tree in a fresh directory, with the build helpers.
class SongTree {
public:
    SongTree() {
        for (const auto& [name, spec] : treeSongs()) {
            tools_test::writeSong(root(name), spec);
            tools_test::setModified(root(name), 1600000000, 0);
        }
        testing_support::writeFile(root("notes.txt"), "not a song");
    }

    std::string root(const std::string& name = "") const {
        return name.empty() ? directory_.path() : directory_.file(name);
    }
    std::string info() const { return root("info.zlt"); }

    // Builds and returns the paths the build opened.
    std::vector<std::string> build(BrowserData& data) const {
        OpenCounter counter;
        EXPECT_TRUE(data.build(root(), nullptr));
        return counter.paths();
    }
    std::vector<std::string> fullPaths(std::vector<std::string> names) const {
        for (std::string& name : names) name = root(name);
        return names;
    }
    // A build with no info.zlt to lean on (the file is put back after).
    std::vector<BrowserRecord> freshRecords() const {
        std::string saved;
        bool had = platform::readWholeFile(info(), saved);
        std::filesystem::remove(info());
        BrowserData fresh;
        EXPECT_TRUE(fresh.build(root(), nullptr));
        if (had) testing_support::writeFile(info(), saved);
        return fresh.allRecords();
    }
    // Sets info.zlt's time far back, so that a rewrite shows.
    void ageInfo() const { tools_test::setModified(info(), oldInfoTime, 0); }
    bool infoRewritten() const {
        return tools_test::fileTime(info()) != (oldInfoTime + 11644473600ULL) * 10000000ULL;
    }

private:
    testing_support::TemporaryDirectory directory_;
};

class ZltMergeWalk : public ::testing::Test {
protected:
    void TearDown() override { platform::setFileSystemMagicHook(nullptr); }
};

}  // namespace

TEST_F(ZltMergeWalk, TheFirstBuildOpensEverySongInPathOrderAndStoresWhatItLearned) {
    SongTree tree;
    BrowserData data;
    std::vector<std::string> opened = tree.build(data);
    EXPECT_EQ(opened, tree.fullPaths({"a.wav", "a/x.wav", "b.wav", "c/d/e.wav", "c/f.WAV"}));
    ASSERT_EQ(data.allCount(), 5);
    struct Expected {
        bool analyzed;
        float tempo;
        const char* title;
        const char* comments;
    };
    // a.wav: tag tempo 0, so the beats' median (44100 * 60 / 22050);
    // c/d/e.wav: no tag chunk, median of 30000-frame beats.
    const Expected expected[] = {{true, 120.0f, "First", "Hard rock"},
                                 {true, 128.0f, "Second", ""},
                                 {false, 0.0f, "", ""},
                                 {true, 44100.0f * 60.0f / 30000.0f, "", ""},
                                 {true, 90.0f, "Fifth", "Note"}};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const BrowserRecord& record = data.record(i);
        EXPECT_EQ(record.fileName, opened[static_cast<std::size_t>(i)]);
        EXPECT_EQ(record.analyzed, expected[i].analyzed);
        EXPECT_FLOAT_EQ(record.tempo, expected[i].tempo);
        EXPECT_EQ(record.title, expected[i].title);
        EXPECT_EQ(record.comments, expected[i].comments);
        EXPECT_EQ(record.lastWriteTime, tools_test::fileTime(record.fileName));
    }
    EXPECT_EQ(testing_support::readFile(tree.info()), tools_test::oracleWrite(data.allRecords()));
}

TEST_F(ZltMergeWalk, EachChangeOpensOnlyWhatChanged) {
    struct Case {
        const char* name;
        std::function<void(const SongTree&)> change;
        std::vector<std::string> opened;
        bool rewritten;
    };
    const Case cases[] = {
        {"unchanged", [](const SongTree&) {}, {}, false},
        {"touched", [](const SongTree& t) { tools_test::setModified(t.root("c/d/e.wav"), 1600000001, 0); },
         {"c/d/e.wav"}, true},
        {"touched by 100 ns", [](const SongTree& t) { tools_test::setModified(t.root("b.wav"), 1600000000, 100); },
         {"b.wav"}, true},
        {"added beside", [](const SongTree& t) { tools_test::writeSong(t.root("a-b.wav"), {true}); }, {"a-b.wav"},
         true},
        {"added below", [](const SongTree& t) { tools_test::writeSong(t.root("a/y.wav"), {false}); }, {"a/y.wav"},
         true},
        {"added last", [](const SongTree& t) { tools_test::writeSong(t.root("z/z.mp3"), {false}); }, {"z/z.mp3"},
         true},
        {"deleted", [](const SongTree& t) { std::filesystem::remove(t.root("b.wav")); }, {}, true},
        {"last deleted", [](const SongTree& t) { std::filesystem::remove(t.root("c/f.WAV")); }, {}, true},
        {"renamed",
         [](const SongTree& t) { std::filesystem::rename(t.root("b.wav"), t.root("c/b.wav")); },
         {"c/b.wav"}, true},
        {"not a song added", [](const SongTree& t) { testing_support::writeFile(t.root("a/readme"), "x"); }, {},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SongTree tree;
        BrowserData first;
        tree.build(first);
        tree.ageInfo();
        const std::string before = testing_support::readFile(tree.info());

        c.change(tree);
        BrowserData data;
        EXPECT_EQ(tree.build(data), tree.fullPaths(c.opened));
        EXPECT_EQ(tree.infoRewritten(), c.rewritten);
        if (!c.rewritten) {
            EXPECT_EQ(testing_support::readFile(tree.info()), before);
        }
        EXPECT_EQ(data.allRecords(), tree.freshRecords());
        EXPECT_EQ(testing_support::readFile(tree.info()), tools_test::oracleWrite(data.allRecords()));
        BrowserData again;
        EXPECT_EQ(tree.build(again), std::vector<std::string>{}) << "the rewritten file serves the next build";
    }
}

TEST_F(ZltMergeWalk, AFileThatIsNoDatabaseGivesAFullBuildAndAValidRewrite) {
    SongTree tree;
    const std::string valid = [&tree] {
        BrowserData data;
        tree.build(data);
        return testing_support::readFile(tree.info());
    }();
    std::string badVersion = valid;
    badVersion[8] = 1;
    const std::pair<const char*, std::string> cases[] = {
        {"bad signature", "\x89ZLX" + valid.substr(4)},
        {"bad version", badVersion},
        {"foreign file", "RIFF\x10\0\0\0WAVEfmt "},
        {"empty file", ""},
        {"signature alone", valid.substr(0, 8)},
        {"a directory", ""},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        std::filesystem::remove_all(tree.info());
        if (std::string(name) == "a directory")
            std::filesystem::create_directory(tree.info());
        else
            testing_support::writeFile(tree.info(), bytes);
        BrowserData data;
        EXPECT_EQ(tree.build(data).size(), 5u);
        if (std::string(name) == "a directory") continue;  // cannot be replaced by a file
        EXPECT_EQ(testing_support::readFile(tree.info()), valid);
    }
}

TEST_F(ZltMergeWalk, AVolumeThatCannotHoldTheDatabaseOpensEverySongAndWritesNothing) {
    SongTree tree;
    platform::setFileSystemMagicHook([](const std::string&, std::uint64_t& magic) {
        magic = 0x4d44;  // msdos / vfat
        return true;
    });
    for (int round = 0; round < 2; ++round) {
        BrowserData data;
        EXPECT_EQ(tree.build(data).size(), 5u) << "round " << round;
        EXPECT_EQ(data.allCount(), 5);
        EXPECT_FALSE(std::filesystem::exists(tree.info()));
    }
    // An info.zlt left from another machine is neither used nor replaced.
    platform::setFileSystemMagicHook(nullptr);
    BrowserData data;
    tree.build(data);
    tools_test::setModified(tree.root("b.wav"), 1600000005, 0);
    const std::string before = testing_support::readFile(tree.info());
    platform::setFileSystemMagicHook([](const std::string&, std::uint64_t& magic) {
        magic = 0x2011BAB0;  // exFAT
        return true;
    });
    BrowserData fat;
    EXPECT_EQ(tree.build(fat).size(), 5u);
    EXPECT_EQ(testing_support::readFile(tree.info()), before);
}

TEST_F(ZltMergeWalk, ACancelledBuildLeavesNothingAndWritesNothing) {
    SongTree tree;
    struct Cancel : BrowserData::Progress {
        int positions = 0;
        int high = -1;
        void setRange(int, int h) override { high = h; }
        void setPosition(int) override { ++positions; }
        bool isAborted() const override { return positions >= 2; }
    } progress;
    BrowserData data;
    OpenCounter counter;
    EXPECT_FALSE(data.build(tree.root(), &progress));
    EXPECT_EQ(progress.high, 5);
    EXPECT_EQ(counter.paths().size(), 2u);
    EXPECT_EQ(data.allCount(), 0);
    EXPECT_EQ(data.shownCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(tree.info()));
}
