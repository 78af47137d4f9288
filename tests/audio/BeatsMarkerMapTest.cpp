#include "GuiTestSkins.h"

#include "audio/Beats.h"
#include "framework/GUIMarkerMap.h"
#include "framework/GUIMarkerMapClient.h"

#include <memory>
#include <vector>

namespace {

class IgnoringClient : public GUIMarkerMapClient {
public:
    bool isEditable(GUIMarkerMap*) override { return false; }
    void markerEdited(GUIMarkerMap*, int) override {}
    void markerClicked(GUIMarkerMap*, int) override {}
};

struct Mark {
    bool on;
    int position;
    bool operator==(const Mark&) const = default;
};

// The beat mapper's strip, not shown: only its markers matter here.
class BeatsMarkerMap : public gui_test::GuiComponentTest {
protected:
    void SetUp() override {
        GuiComponentTest::SetUp();
        gui_test::writeFace(*skins, "beat", 8, 8, Color{0, 200, 255, 255});
        gui_test::writeMask(*skins, "beatMask", 8, 8);
        gui_test::writeFace(*skins, "beatPointer", 8, 8, Color{255, 0, 255, 255});
        map = std::make_unique<GUIMarkerMap>(0, 0, 200, 100, 5, 100, "beat", &client);
    }

    std::vector<Mark> marks() const {
        std::vector<Mark> result;
        for (int i = 0; i < map->count(); ++i) result.push_back({map->marker(i).on, map->marker(i).position});
        return result;
    }

    // The beats as markers would show them: on for a set beat.
    static std::vector<Mark> beatsOf(const Beats& beats) {
        std::vector<Mark> result;
        for (std::int32_t i = 0; i < beats.count(); ++i) result.push_back({!beats[i].generated, beats[i].position});
        return result;
    }

    IgnoringClient client;
    std::unique_ptr<GUIMarkerMap> map;
};

TEST_F(BeatsMarkerMap, FillReplacesTheMarkersWithOneMarkerPerBeat) {
    map->addMarker(true, 777);  // left from an earlier song
    Beats beats(44100);
    beats.appendBeat(-300, true);
    beats.appendBeat(1000, false);
    beats.appendBeat(23050, true);
    beats.appendBeat(45100, false);
    beats.fillMarkerMap(*map);
    EXPECT_EQ(marks(), (std::vector<Mark>{{false, -300}, {true, 1000}, {false, 23050}, {true, 45100}}));

    Beats none(44100);
    none.fillMarkerMap(*map);
    EXPECT_EQ(map->count(), 0);
}

TEST_F(BeatsMarkerMap, BackFromTheMarkersOnlySwitchedOnOnesBecomeSetBeatsSortedAndMerged) {
    // As the mapper's clicks leave them: added markers at the end, out of
    // order, one within 1000 frames of another.
    for (const Mark& m : std::vector<Mark>{{true, 50000}, {false, 10000}, {true, 30000}, {true, 10000},
                                           {false, 40000}, {true, 30900}, {true, 31001}})
        map->addMarker(m.on, m.position);
    Beats beats(44100);
    beats.appendBeat(5, true);  // replaced, not kept
    beats.fromMarkerMap(*map);
    EXPECT_EQ(beatsOf(beats), (std::vector<Mark>{{true, 10000}, {true, 30000}, {true, 31001}, {true, 50000}}));
}

TEST_F(BeatsMarkerMap, ARoundTripKeepsTheSetBeatsAndDropsTheGeneratedOnes) {
    Beats beats(44100);
    for (int i = 0; i < 8; ++i) beats.appendBeat(i * 22050, i % 3 != 0);
    beats.fillMarkerMap(*map);
    Beats back(44100);
    back.fromMarkerMap(*map);
    EXPECT_EQ(beatsOf(back), (std::vector<Mark>{{true, 0}, {true, 66150}, {true, 132300}}));
}

TEST_F(BeatsMarkerMap, MoreSetMarkersThanTheListHoldsKeepTheEarliest) {
    const int markers = Beats::capacity + 700;
    for (int i = markers - 1; i >= 0; --i) map->addMarker(true, i * 2000);
    Beats beats(44100);
    beats.fromMarkerMap(*map);
    ASSERT_EQ(beats.count(), Beats::capacity);
    EXPECT_EQ(beats[0].position, 0);
    EXPECT_EQ(beats[Beats::capacity - 1].position, (Beats::capacity - 1) * 2000);
}

}  // namespace
