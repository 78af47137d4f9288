// The database's own operations: filter, sort, the jump to a tempo, the
// selection and load marks, edits after the beat mapper, the browser's text
// columns and copies. Songs are opened through a fake factory here (the
// real one is exercised by the merge-walk tests), so a tree is a set of
// empty files named like songs.
#include "AudioTestHelpers.h"
#include "ToolsTestSupport.h"

#include "TestEnvironment.h"

#include "audio/Beats.h"
#include "audio/SampleDisk.h"
#include "framework/GUIText.h"
#include "framework/StringException.h"
#include "tools/BrowserData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>

namespace {

struct FakeSong {
    FakeSong(bool analyzed = true, float bpm = 0.0f, std::string title = "", std::string artist = "",
             std::string comment = "", int beatFrames = 22050)
        : analyzed(analyzed), bpm(bpm), title(std::move(title)), artist(std::move(artist)),
          comment(std::move(comment)), beatFrames(beatFrames) {}
    bool analyzed;
    float bpm;
    std::string title;
    std::string artist;
    std::string comment;
    int beatFrames;  // 22050: the beats' median tempo is 120 BPM
};

// Empty files named like songs, opened through a fake factory that gives
// each its beats and tags; onOpen runs before each open.
class FakeTree {
public:
    explicit FakeTree(std::map<std::string, FakeSong> songs) : songs_(std::move(songs)) {
        root_ = directory_.file("Music");
        std::filesystem::create_directories(root_);
        for (const auto& [name, song] : songs_) {
            std::filesystem::create_directories(std::filesystem::path(path(name)).parent_path());
            testing_support::writeFile(path(name), "");
        }
        BrowserData::setSongOpen([this](const std::string& path, bool, bool, float, const SongFileOutputs& outputs)
                                     -> std::unique_ptr<AudioFileReader> {
            if (onOpen) onOpen(path);
            auto found = songs_.find(path.substr(root_.size() + 1));
            if (found == songs_.end() || !found->second.analyzed) throw StringException("no meta-data");
            const FakeSong& song = found->second;
            auto beats = std::make_unique<Beats>(44100);
            for (int at = 0; at < 441000; at += song.beatFrames) beats->appendBeat(at, false);
            *outputs.beats = std::move(beats);
            SongTags& tags = *outputs.records.tags;
            std::snprintf(tags.title, sizeof tags.title, "%s", song.title.c_str());
            std::snprintf(tags.artist, sizeof tags.artist, "%s", song.artist.c_str());
            std::snprintf(tags.comment, sizeof tags.comment, "%s", song.comment.c_str());
            tags.bpm = song.bpm;
            return nullptr;
        });
    }
    ~FakeTree() { BrowserData::setSongOpen(nullptr); }

    std::string path(const std::string& name) const { return root_ + "/" + name; }
    const std::string& root() const { return root_; }

    BrowserData build() const {
        BrowserData data;
        EXPECT_TRUE(data.build(root_, nullptr));
        return data;
    }

    std::function<void(const std::string&)> onOpen;

private:
    testing_support::TemporaryDirectory directory_;
    std::string root_;
    std::map<std::string, FakeSong> songs_;
};

std::vector<std::string> shownNames(const BrowserData& data) {
    std::vector<std::string> names;
    for (int i = 0; i < data.shownCount(); ++i) names.push_back(data.nameBelowRoot(data.filteredRecord(i)));
    return names;
}

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

const std::map<std::string, FakeSong> library = {
    {"a.wav", {true, 120.0f, "Zebra", "Mono", "Hard rock"}},
    {"B.wav", {true, 90.0f, "apple", "_under", "calm"}},
    {"blues/c.mp3", {true, 140.0f, "Middle", "Quartet", "late night"}},
    {"_x.wav", {true, 100.0f, "_lead", "band", "Rocksteady"}},
    {"plain.wav", {false}},
};

// A text component that only remembers what it was given.
class RecordingText : public GUIText {
public:
    void setTextAndColor(const std::string& text, Color color) override {
        text_ = text;
        color_ = color;
    }
    void setText(const std::string& text) override { text_ = text; }
    void setColor(Color color) override { color_ = color; }
    void setAlignment(int) override {}
    const std::string& text() override { return text_; }
    Color color() const { return color_; }

private:
    std::string text_ = "unset";
    Color color_{1, 2, 3, 4};
};

bool sameColor(Color a, Color b) { return !a.differs(b); }

}  // namespace

TEST(BrowserData, FilterMatchesTitleArtistCommentsAndTheNameBelowTheRoot) {
    FakeTree tree(library);
    BrowserData data = tree.build();
    struct Case {
        const char* filter;
        std::vector<std::string> shown;
    };
    const Case cases[] = {
        {"", {"B.wav", "_x.wav", "a.wav", "blues/c.mp3", "plain.wav"}},
        {"ROCK", {"_x.wav", "a.wav"}},           // comments, any case
        {"zeb", {"a.wav"}},                      // title
        {"quart", {"blues/c.mp3"}},              // artist
        {"blues/", {"blues/c.mp3"}},             // directory below the root
        {"music", {}},                           // the root's own name is not searched
        {"PLAIN", {"plain.wav"}},                // not analysed: the name still counts
        {".wav", {"B.wav", "_x.wav", "a.wav", "plain.wav"}},
        {"_", {"B.wav", "_x.wav"}},
        {"nothing like it", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        data.setFilter(c.filter);
        EXPECT_EQ(data.filterText(), c.filter);
        EXPECT_EQ(sorted(shownNames(data)), sorted(c.shown));
    }
}

TEST(BrowserData, SortByEveryColumn) {
    FakeTree tree({
        {"a.wav", {true, 120.0f, "b title", "Charlie", "zz"}},
        {"B.wav", {true, 90.0f, "A title", "_first", "Mm"}},
        {"c/_d.wav", {true, 140.5f, "_x", "alpha", "aa"}},
        {"e.wav", {true, 100.0f, "Z", "bravo", "_c"}},
    });
    BrowserData data = tree.build();
    struct Case {
        const char* column;
        std::vector<std::string> order;
    };
    const Case cases[] = {
        {"BPM", {"B.wav", "e.wav", "a.wav", "c/_d.wav"}},
        {"Track", {"c/_d.wav", "B.wav", "a.wav", "e.wav"}},
        {"Artist", {"B.wav", "c/_d.wav", "e.wav", "a.wav"}},
        {"Comments", {"e.wav", "c/_d.wav", "B.wav", "a.wav"}},
        {"Filename", {"a.wav", "B.wav", "c/_d.wav", "e.wav"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.column);
        data.setSortColumn(c.column);
        EXPECT_EQ(data.sortColumn(), c.column);
        EXPECT_EQ(shownNames(data), c.order);
        // Another name keeps the order; a filter keeps the column.
        data.setSortColumn("Nonsense");
        EXPECT_EQ(shownNames(data), c.order);
        data.setSortColumn(c.column);
        data.setFilter("wav");
        EXPECT_EQ(shownNames(data), c.order);
        data.setFilter("");
    }
}

TEST(BrowserData, ANewDatabaseSortsByTempo) {
    FakeTree tree({{"a.wav", {true, 150.0f}}, {"b.wav", {true, 60.0f}}, {"c.wav", {false}}});
    BrowserData data = tree.build();
    EXPECT_EQ(data.sortColumn(), "BPM");
    EXPECT_EQ(shownNames(data), (std::vector<std::string>{"c.wav", "b.wav", "a.wav"}));
}

TEST(BrowserData, NearestTempoIndex) {
    struct Case {
        std::vector<float> tempi;
        float wanted;
        int expected;
    };
    const Case cases[] = {
        {{120.0f, 130.0f}, 125.0f, 1},  // a tie goes to the higher
        {{120.0f, 131.0f}, 125.0f, 0},
        {{120.0f, 129.0f}, 125.0f, 1},
        {{120.0f, 130.0f}, 119.0f, 0},  // below the first
        {{120.0f, 130.0f}, 120.0f, 0},
        {{120.0f, 130.0f}, 130.0f, 1},
        {{120.0f, 130.0f}, 170.0f, 1},  // above the last
        {{90.0f, 100.0f, 110.0f, 120.0f}, 104.0f, 1},
        {{90.0f, 100.0f, 110.0f, 120.0f}, 106.0f, 2},
        {{90.0f, 100.0f, 100.0f, 120.0f}, 100.0f, 1},
        {{}, 120.0f, 0},
    };
    for (const Case& c : cases) {
        std::map<std::string, FakeSong> songs;
        for (std::size_t i = 0; i < c.tempi.size(); ++i) songs["s" + std::to_string(i) + ".wav"] = {true, c.tempi[i]};
        FakeTree tree(songs);
        BrowserData data = tree.build();
        SCOPED_TRACE(c.wanted);
        int index = data.nearestTempoIndex(c.wanted);
        EXPECT_EQ(index, c.expected);
    }
}

TEST(BrowserData, SelectMarkLoadedAndRemoveReachBothArrays) {
    FakeTree tree(library);
    BrowserData data = tree.build();
    data.setFilter("rock");  // "_x.wav" (100) then "a.wav" (120)
    ASSERT_EQ(shownNames(data), (std::vector<std::string>{"_x.wav", "a.wav"}));
    bool found = true;
    EXPECT_EQ(data.selectedIndex(found), 0);
    EXPECT_FALSE(found);

    data.select(1);
    EXPECT_EQ(data.selectedIndex(found), 1);
    EXPECT_TRUE(found);
    data.select(0);
    EXPECT_EQ(data.selectedIndex(found), 0);
    EXPECT_TRUE(found);
    data.markLoaded(1);
    auto flags = [&data](const std::string& name) {
        const BrowserRecord& r = data.record(data.findRecord(name));
        return std::make_pair(r.selected, r.loaded);
    };
    EXPECT_EQ(flags(tree.path("_x.wav")), std::make_pair(true, false));
    EXPECT_EQ(flags(tree.path("a.wav")), std::make_pair(false, true));
    EXPECT_EQ(flags(tree.path("B.wav")), std::make_pair(false, false));

    // Selection and load marks survive a new filter: the shown copies come
    // from the all records.
    data.setFilter("");
    EXPECT_EQ(data.selectedIndex(found), 2);  // plain (0), B (90), _x (100), ...
    EXPECT_EQ(data.nameBelowRoot(data.filteredRecord(2)), "_x.wav");

    data.removeShown(2);
    EXPECT_EQ(data.shownCount(), 4);
    EXPECT_EQ(data.allCount(), 4);
    EXPECT_THROW(data.findRecord(tree.path("_x.wav")), StringException);
    EXPECT_EQ(data.selectedIndex(found), 0);
    EXPECT_FALSE(found);
    // The later records moved down in scan order.
    std::vector<std::string> all;
    for (int i = 0; i < data.allCount(); ++i) all.push_back(data.nameBelowRoot(data.record(i)));
    EXPECT_EQ(all, (std::vector<std::string>{"B.wav", "a.wav", "blues/c.mp3", "plain.wav"}));
}

TEST(BrowserData, FindRecordTakesEitherSeparator) {
    FakeTree tree(library);
    BrowserData data = tree.build();
    int index = data.findRecord(tree.path("blues/c.mp3"));
    std::string backslashed = tree.path("blues\\c.mp3");
    EXPECT_EQ(data.findRecord(backslashed), index);
    EXPECT_EQ(data.nameBelowRoot(data.record(index)), "blues/c.mp3");
    try {
        data.findRecord(tree.path("Blues/c.mp3"));
        ADD_FAILURE() << "case must count";
    } catch (const StringException& e) {
        EXPECT_STREQ(e.what(), "Record not found.");
    }
}

TEST(BrowserData, UpdateFromTagsAfterTheBeatMapper) {
    FakeTree tree(library);
    BrowserData data = tree.build();
    data.setFilter("plain");
    data.select(0);
    struct Case {
        const char* name;
        float bpm;
        float stored;
    };
    const Case cases[] = {{"plain.wav", 128.5f, 128.5f},
                          {"plain.wav", std::numeric_limits<float>::quiet_NaN(), 0.0f},
                          {"plain.wav", std::numeric_limits<float>::infinity(), 0.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bpm);
        SongTags tags;
        std::snprintf(tags.title, sizeof tags.title, "New title");
        std::snprintf(tags.artist, sizeof tags.artist, "New artist");
        std::snprintf(tags.comment, sizeof tags.comment, "New comment");
        tags.bpm = c.bpm;
        data.updateFromTags(tree.path(c.name), tags);
        for (const BrowserRecord* r : {&data.record(data.findRecord(tree.path(c.name))), &data.filteredRecord(0)}) {
            EXPECT_TRUE(r->analyzed);
            EXPECT_EQ(r->tempo, c.stored);
            EXPECT_EQ(r->title, "New title");
            EXPECT_EQ(r->artist, "New artist");
            EXPECT_EQ(r->comments, "New comment");
            EXPECT_TRUE(r->selected);
        }
    }
    // A path that is not in the database changes nothing.
    const std::vector<BrowserRecord> before = data.allRecords();
    SongTags tags;
    tags.bpm = 99.0f;
    data.updateFromTags(tree.path("missing.wav"), tags);
    EXPECT_EQ(data.allRecords(), before);
}

TEST(BrowserData, TagTempoThatIsNotFiniteAndPositiveGivesTheBeatsMedian) {
    const float tempi[] = {0.0f, -120.0f, std::numeric_limits<float>::quiet_NaN(),
                           std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()};
    for (float bpm : tempi) {
        SCOPED_TRACE(bpm);
        FakeTree tree({{"a.wav", {true, bpm, "", "", "", 20000}}});
        BrowserData data = tree.build();
        ASSERT_EQ(data.allCount(), 1);
        EXPECT_FLOAT_EQ(data.record(0).tempo, 44100.0f * 60.0f / 20000.0f);
    }
}

TEST(BrowserData, TheRecordCountIsTheRecordsFilled) {
    // Songs that go or come after the count, before the scan lists their
    // directory; without a progress display and with one, which counts the
    // songs first for its range.
    struct Case {
        const char* name;
        std::function<void(const FakeTree&)> change;
        std::vector<std::string> records;
    };
    const Case cases[] = {
        {"one gone", [](const FakeTree& t) { std::filesystem::remove(t.path("d/m.wav")); }, {"a.wav", "z.wav"}},
        {"one more", [](const FakeTree& t) { testing_support::writeFile(t.path("d/n.wav"), ""); },
         {"a.wav", "d/m.wav", "d/n.wav", "z.wav"}},
    };
    struct Counted : BrowserData::Progress {
        int high = -1;
        int position = -1;
        void setRange(int, int h) override { high = h; }
        void setPosition(int value) override { position = value; }
        bool isAborted() const override { return false; }
    };
    for (bool withProgress : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (withProgress ? ", with a progress display" : ""));
            FakeTree tree({{"a.wav", {false}}, {"d/m.wav", {false}}, {"z.wav", {false}}});
            tree.onOpen = [&tree, &c](const std::string& path) {
                if (path == tree.path("a.wav")) c.change(tree);
            };
            Counted progress;
            BrowserData data;
            EXPECT_TRUE(data.build(tree.root(), withProgress ? &progress : nullptr));
            std::vector<std::string> names;
            for (int i = 0; i < data.allCount(); ++i) names.push_back(data.nameBelowRoot(data.record(i)));
            EXPECT_EQ(names, c.records);
            EXPECT_EQ(data.shownCount(), data.allCount());
            if (withProgress) {
                EXPECT_EQ(progress.high, 3);
                EXPECT_GE(progress.position, 0);
                EXPECT_LE(progress.position, progress.high);
            }
        }
    }
}

TEST(BrowserData, FillColumns) {
    FakeTree tree({
        {"sub/slow.wav", {true, 7.5f, "Slow", "S", "c1"}},
        {"mid.mp3", {true, 98.25f, "Mid", "M", "c2"}},
        {"fast.wav", {true, 128.04f, "Fast", "F", "c3"}},
        {"raw.wav", {false}},
    });
    BrowserData data = tree.build();  // raw (0), slow, mid, fast
    data.setVisibleRows(6);
    data.select(2);
    data.markLoaded(2);  // selected wins
    data.markLoaded(3);
    std::vector<RecordingText> texts(30);
    GUIText* columns[5][6];
    for (int c = 0; c < 5; ++c)
        for (int r = 0; r < 6; ++r) columns[c][r] = &texts[static_cast<std::size_t>(c * 6 + r)];
    struct Row {
        std::vector<std::string> texts;
        Color color;
    };
    const Color none{1, 2, 3, 4};
    const std::vector<Row> rows = {
        {{"", "", "", "", "raw"}, BrowserData::notAnalyzedColor},
        {{"  7.5", "Slow", "S", "c1", "sub/slow"}, BrowserData::analyzedColor},
        {{" 98.2", "Mid", "M", "c2", "mid"}, BrowserData::selectedColor},
        {{"128.0", "Fast", "F", "c3", "fast"}, BrowserData::loadedColor},
        {{"", "", "", "", ""}, none},
        {{"", "", "", "", ""}, none},
    };
    auto check = [&](int first) {
        data.setFirstShownRow(first);
        data.fillColumns(columns[0], columns[1], columns[2], columns[3], columns[4]);
        for (int r = 0; r < 6; ++r) {
            std::size_t expected = static_cast<std::size_t>(first + r);
            const Row& row = expected < rows.size() ? rows[expected] : rows.back();
            for (int c = 0; c < 5; ++c) {
                auto* text = static_cast<RecordingText*>(columns[c][r]);
                EXPECT_EQ(text->text(), row.texts[static_cast<std::size_t>(c)]) << "row " << r << " column " << c;
                if (expected < 4) {
                    EXPECT_TRUE(sameColor(text->color(), row.color)) << "row " << r << " column " << c;
                }
            }
        }
    };
    check(0);
    check(2);
    EXPECT_TRUE(sameColor(BrowserData::selectedColor, Color(255, 0, 0, 255)));
    EXPECT_TRUE(sameColor(BrowserData::loadedColor, Color(0, 0, 255, 255)));
    EXPECT_TRUE(sameColor(BrowserData::analyzedColor, Color(0, 0, 0, 255)));
    EXPECT_TRUE(sameColor(BrowserData::notAnalyzedColor, Color(100, 100, 100, 255)));
}

TEST(BrowserData, CopiesAreDeep) {
    FakeTree tree(library);
    BrowserData original("/default", {"", tree.root(), "", ""});
    ASSERT_TRUE(original.build(tree.root(), nullptr));
    original.setCurrentRoot(1);
    original.setFilter("rock");
    original.setSortColumn("Track");
    original.setVisibleRows(25);
    original.setFirstShownRow(1);

    BrowserData copy(original);
    BrowserData assigned;
    assigned = original;
    const std::vector<BrowserRecord> shown = {original.filteredRecord(0), original.filteredRecord(1)};
    original.select(0);
    original.removeShown(1);
    original.setFilter("");
    original.setRootDirectory(1, "/elsewhere");
    original.setCurrentRoot(2);
    original.setSortColumn("BPM");
    for (BrowserData* d : {&copy, &assigned}) {
        EXPECT_EQ(d->allCount(), 5);
        ASSERT_EQ(d->shownCount(), 2);
        EXPECT_EQ(d->filteredRecord(0), shown[0]);
        EXPECT_EQ(d->filteredRecord(1), shown[1]);
        EXPECT_EQ(d->filterText(), "rock");
        EXPECT_EQ(d->sortColumn(), "Track");
        EXPECT_EQ(d->rootDirectory(1), tree.root());
        EXPECT_EQ(d->currentRoot(), 1);
        EXPECT_EQ(d->visibleRows(), 25);
        EXPECT_EQ(d->firstShownRow(), 1);
        bool found = true;
        d->selectedIndex(found);
        EXPECT_FALSE(found);
    }
}

TEST(BrowserData, RootsAndTheDefaultPath) {
    BrowserData empty;
    EXPECT_EQ(empty.currentRoot(), -1);
    EXPECT_EQ(empty.sortColumn(), "BPM");
    for (int i = 0; i < BrowserData::rootCount; ++i) EXPECT_EQ(empty.rootDirectory(i), "");

    BrowserData fallback("/default", {"", "", "", ""});
    EXPECT_EQ(fallback.rootDirectory(0), "/default");
    BrowserData given("/default", {"", "/b", "", "/d"});
    BrowserData::Roots roots;
    given.copyRootDirectories(roots);
    EXPECT_EQ(roots, (BrowserData::Roots{"", "/b", "", "/d"}));

    testing_support::TemporaryDirectory directory;
    BrowserData listed("", {directory.path(), directory.file("missing"), "", ""});
    EXPECT_TRUE(listed.enterRoot(0));
    EXPECT_FALSE(listed.enterRoot(1));
    EXPECT_FALSE(listed.enterRoot(2));
    EXPECT_FALSE(listed.build(directory.file("missing"), nullptr));
}

TEST(BrowserData, IndicesOutsideTheArraysAreFatal) {
    FakeTree tree(library);
    BrowserData data = tree.build();
    data.setFilter("rock");  // 2 shown of 5
    EXPECT_FATAL(data.filteredRecord(2), "Record does not exist.");
    EXPECT_FATAL(data.filteredRecord(-1), "Record does not exist.");
    EXPECT_FATAL(data.record(5), "Record does not exist.");
    EXPECT_FATAL(data.removeShown(2), "Record does not exist.");
    EXPECT_FATAL(data.select(2), "Record does not exist.");
    EXPECT_FATAL(data.markLoaded(-1), "Record does not exist.");
}
