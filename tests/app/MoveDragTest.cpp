// The move tool through Qt's mouse events: a press on a strip starts a drag
// in the panel's scope, each move onto another beat of the same deck
// shifts the song, the deck or both decks, and a release anywhere ends it;
// the hand cursor shows from the press to the release.
#include "DeckTestSupport.h"
#include "app/GUIStrip.h"
#include "framework/GUIPanelGroupVertical.h"
#include "app/PanelMove.h"
#include "audio/Songs.h"
#include "framework/CriticalSections.h"
#include "framework/Window.h"
#include "platform/TestInput.h"

#include <functional>

using app_test::DeckTest;
using app_test::untouched16;
using namespace app_test::tools;

namespace {

using MoveDrag = DeckTest;

constexpr int noStrip = -1;  // over the tool panel, on no strip
constexpr int shaded = -2;   // the shade after row 0's last whole beat
constexpr int sameBeat = -3; // three columns left of the press, in the same beat

struct Step {
    int deck;
    int beat;  // or noStrip, shaded, sameBeat
    int from;  // the first beat rebuilt by this move, -1 for none
};

// The point of a beat's middle on the deck's strip of row 0.
platform::Point pointAt(Velkarn& app, int deck, int beat) {
    GUIStrip* strip = app.strip(deck, 0);
    if (beat == noStrip) return {900, 300};
    const int y = (strip->y0 + strip->y1) / 2;
    if (beat == shaded) return {strip->x1 - 1, y};
    const TrackBeat record = app.beatAt(beat);
    const auto offset = record.position + record.length / 2 - strip->startPosition();
    return {strip->x0 + static_cast<int>(static_cast<double>(offset) / strip->samplesPerPixel()), y};
}

TEST_F(MoveDrag, TheDragShiftsItsScopeByTheBeatsMoved) {
    struct Case {
        const char* name;
        const char* scope;
        std::function<void(DeckTest&)> songs;
        int pressDeck, pressBeat;
        bool drags;
        std::vector<Step> moves;
        std::string deck0, deck1;
    };
    auto twoOnDeck0 = [](DeckTest& t) {
        t.place(0, "a120", 8);
        t.place(0, "b120", 40);
    };
    auto oneEach = [](DeckTest& t) {
        t.place(0, "a120", 8);
        t.place(1, "b120", 20);
    };
    const Case cases[] = {
        {"OneSongRight", "oneSong", twoOnDeck0, 0, 10, true, {{0, 12, 8}, {0, 15, 10}},
         untouched16(13) + " " + untouched16(40), ""},
        {"OneSongLeft", "oneSong", twoOnDeck0, 0, 10, true, {{0, 7, 5}}, untouched16(5) + " " + untouched16(40), ""},
        {"OneDeck", "oneDeck", twoOnDeck0, 0, 10, true, {{0, 13, 8}}, untouched16(11) + " " + untouched16(43), ""},
        {"AllDecks", "allDecks", oneEach, 1, 22, true, {{1, 20, 6}}, untouched16(6), untouched16(18)},
        {"AllDecksFromAnEmptyDeck", "allDecks", [](DeckTest& t) { t.place(0, "a120", 8); }, 1, 10, true,
         {{1, 12, 8}}, untouched16(10), ""},
        {"OneSongOnAnEmptyPlace", "oneSong", twoOnDeck0, 0, 30, false, {{0, 32, -1}},
         untouched16(8) + " " + untouched16(40), ""},
        {"OneDeckOnAnEmptyDeck", "oneDeck", [](DeckTest& t) { t.place(0, "a120", 8); }, 1, 10, false,
         {{1, 12, -1}}, untouched16(8), ""},
        {"AllDecksBothEmpty", "allDecks", [](DeckTest&) {}, 0, 10, false, {{0, 12, -1}}, "", ""},
        {"OntoTheOtherDeck", "oneDeck", oneEach, 0, 10, true, {{1, 12, -1}, {1, 25, -1}}, untouched16(8),
         untouched16(20)},
        {"OutsideTheBeats", "oneSong", oneEach, 0, 10, true, {{0, shaded, -1}, {0, noStrip, -1}}, untouched16(8),
         untouched16(20)},
        {"TheSameBeat", "oneSong", oneEach, 0, 10, true, {{0, sameBeat, -1}}, untouched16(8), untouched16(20)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Velkarn& app = start();
        const platform::WindowHandle window = app.mainWindow()->handle();
        c.songs(*this);
        app.panelMove()->setMoveScope(c.scope);
        app.toolGroup()->panel(moveTool);
        platform::test_input::press(window, pointAt(app, c.pressDeck, c.pressBeat));
        EXPECT_EQ(app.isMoveDragging(), c.drags);
        EXPECT_EQ(platform::test_input::cursorShape(window),
                  c.drags ? platform::CursorShape::Hand : platform::CursorShape::Arrow);
        for (const Step& step : c.moves) {
            markGrid();
            platform::Point point = pointAt(app, step.deck, step.beat == sameBeat ? c.pressBeat : step.beat);
            if (step.beat == sameBeat) point.x -= 3;
            platform::test_input::move(window, point);
            EXPECT_EQ(rebuiltFrom(), step.from) << step.deck << " " << step.beat;
        }
        EXPECT_EQ(describe(0), c.deck0);
        EXPECT_EQ(describe(1), c.deck1);

        // Released away from the strips: the drag ends and later moves
        // change nothing.
        platform::test_input::release(window, pointAt(app, 0, noStrip));
        EXPECT_FALSE(app.isMoveDragging());
        EXPECT_EQ(platform::test_input::cursorShape(window), platform::CursorShape::Arrow);
        markGrid();
        platform::test_input::move(window, pointAt(app, c.pressDeck, c.pressBeat + 3));
        EXPECT_EQ(rebuiltFrom(), -1);
        EXPECT_EQ(describe(0), c.deck0);
        stop();
    }
}

// A song that leaves its deck while it is dragged (played out and dropped
// by the display refresh) is not touched again.
TEST_F(MoveDrag, ASongGoneDuringTheDragIsLeftAlone) {
    Velkarn& app = start();
    const platform::WindowHandle window = app.mainWindow()->handle();
    place(1, "b120", 20);
    place(1, "a120", 50);
    app.panelMove()->setMoveScope("oneSong");
    app.toolGroup()->panel(moveTool);
    platform::test_input::press(window, pointAt(app, 1, 22));
    ASSERT_TRUE(app.isMoveDragging());
    enterCriticalSection(2);
    app.songs(1)->dropFinished(40);
    leaveCriticalSection(2);
    markGrid();
    platform::test_input::move(window, pointAt(app, 1, 24));
    EXPECT_EQ(rebuiltFrom(), -1);
    EXPECT_EQ(describe(1), untouched16(50));
    platform::test_input::release(window, pointAt(app, 1, 24));
    EXPECT_FALSE(app.isMoveDragging());
}

}  // namespace
