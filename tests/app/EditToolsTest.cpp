// The ten edit tools as a press on a deck's strip reaches them, the
// automatic player's drop and fade, and the edit step that ends every edit:
// what each leaves in both decks' songs and the grid's weights, the beat
// sent to the network's clients and the boxes shown.
#include "DeckTestSupport.h"
#include "Eventually.h"
#include "NetworkTestSupport.h"
#include "app/DeckLock.h"
#include "app/PanelDelete.h"
#include "app/PanelDrop.h"
#include "app/PanelFade.h"
#include "app/PanelListen.h"
#include "app/PanelMove.h"
#include "app/PanelPause.h"
#include "app/PanelRepeat.h"
#include "app/PanelReverse.h"
#include "app/PanelSkip.h"
#include "app/PanelTempo.h"
#include "app/PlaylistWriter.h"
#include "audio/Motor.h"
#include "audio/TrackAudio.h"
#include "framework/CriticalSections.h"
#include "framework/Log.h"
#include "network/PanelNetwork.h"
#include "platform/UiScript.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <thread>

using app_test::DeckTest;
using network_testing::RecordingClientListener;

namespace {

using EditTools = DeckTest;
using namespace app_test::tools;

constexpr const char* flat = "0 0 0 0 0 0 0 0 0 0";

struct EditCase {
    const char* name;
    int tool;
    int deck;
    int beat;
    // Options and songs before the press.
    std::function<void(EditTools&, Velkarn&)> before;
    std::string deck0, deck1;
    std::string weights;
    int from;  // the first beat rebuilt and sent to the network's clients, -1 for none
    std::vector<std::string> boxes;
};

const std::string a16 = " 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15";  // a 16-beat song untouched

void withA(EditTools& t, int deck, int first);

// The application serves on the network panel's port with one client
// connected, which hears every beat update the edits send.
std::unique_ptr<NetworkClient> connectClient(Velkarn& app, RecordingClientListener& listener) {
    listener.answer = [](const std::string&) { return std::string(); };
    app_test::chooseNetworkMode(app, PanelNetwork::modeServer);
    EXPECT_TRUE(app.panelNetwork()->isServing());
    auto client = std::make_unique<NetworkClient>(listener, app.panelNetwork()->port());
    EXPECT_TRUE(client->connect(AddressIPv4(platform::Ipv4Bytes{127, 0, 0, 1})));
    EXPECT_TRUE(testing_support::eventually(
        [&] { return app.panelNetwork()->networkServer()->connectionCount() == 1; }));
    return client;
}

// What the client heard: the update of the beat, nothing for -1.
std::vector<std::string> updates(int beat) {
    if (beat < 0) return {};
    return {"UPD" + std::to_string(beat)};
}

TEST_F(EditTools, EachToolEditsTheClickedDeckAndEndsInTheEditStep) {
    const std::vector<EditCase> cases = {
        // Drop.
        {"DropNothingChosen", dropTool, 0, 8, nullptr, "", "", flat, -1, {}},
        {"Drop", dropTool, 1, 8, [](EditTools& t, Velkarn& a) { a.panelDrop()->loadSong(t.paths["a120"]); }, "",
         "@8:" + a16, flat, 8, {}},
        // The loaded file changed on the disk before the drop.
        {"DropWithoutMetaData", dropTool, 0, 8,
         [](EditTools& t, Velkarn& a) {
             a.panelDrop()->loadSong(t.copySong("a120", "lost"));
             std::filesystem::remove(std::filesystem::path(t.paths["lost"]).replace_extension(".qrt"));
         },
         "", "", flat, -1,
         {"Could not drop song.|There is no metadata available for this song. "}},
        {"DropThrowsItsText", dropTool, 0, 8,
         [](EditTools& t, Velkarn& a) {
             a.panelDrop()->loadSong(t.copySong("a120", "changed"));
             t.copySong("single", "changed");
         },
         "", "", flat, -1,
         {"Could not drop song.|A song must count at least one beat."}},
        {"DropAt39_9Bpm", dropTool, 0, 8, [](EditTools& t, Velkarn& a) { a.panelDrop()->loadSong(t.paths["slow39"]); },
         "", "", flat, -1, {"Could not drop song.|The tempo of the song is outside [40, 220] BPM."}},
        {"DropAt40Bpm", dropTool, 0, 8, [](EditTools& t, Velkarn& a) { a.panelDrop()->loadSong(t.paths["slow40"]); },
         "@8: 0 3 6", "", flat, 8, {}},
        {"DropAt221Bpm", dropTool, 0, 8, [](EditTools& t, Velkarn& a) { a.panelDrop()->loadSong(t.paths["fast221"]); },
         "", "", flat, -1, {"Could not drop song.|The tempo of the song is outside [40, 220] BPM."}},
        {"DropDoubled", dropTool, 0, 8,
         [](EditTools& t, Velkarn& a) {
             a.panelDrop()->loadSong(t.paths["c100"]);
             a.panelDrop()->setTempoButtons(true, false, false);
         },
         "@8: 0 0.6 1.2 1.8 2.4 3 3.6 4.2 4.8 5.4 6 6.6 7.2 7.8 8.4 9", "", flat, 8, {}},
        {"DropDoubledPastTheTempoRange", dropTool, 0, 8,
         [](EditTools& t, Velkarn& a) {
             a.panelDrop()->loadSong(t.paths["a120"]);
             a.panelDrop()->setTempoButtons(true, false, false);
         },
         "", "", flat, -1, {"Could not drop song.|The tempo of the song is outside [40, 220] BPM."}},
        {"DropHalved", dropTool, 0, 8,
         [](EditTools& t, Velkarn& a) {
             a.panelDrop()->loadSong(t.paths["a120"]);
             a.panelDrop()->setTempoButtons(false, true, false);
         },
         "@8: 0 2 4 6 8 10 12 14", "", flat, 8, {}},
        // Doubled first: halving first would drop the odd last slot.
        {"DropDoubledThenHalved", dropTool, 0, 8,
         [](EditTools& t, Velkarn& a) {
             a.panelDrop()->loadSong(t.paths["a17"]);
             a.panelDrop()->setTempoButtons(true, true, false);
         },
         "@8:" + a16 + " 16", "", flat, 8, {}},
        {"DropDoubledPastTheSlots", dropTool, 0, 8,
         [](EditTools& t, Velkarn& a) {
             a.panelDrop()->loadSong(t.paths["dense"]);
             a.panelDrop()->setTempoButtons(true, false, false);
         },
         "", "", flat, -1, {"Could not drop song.|Too many beats in this song."}},
        {"DropAtTheForcedTempo", dropTool, 0, 8,
         [](EditTools& t, Velkarn& a) {
             a.panelDrop()->loadSong(t.paths["c100"]);
             a.panelDrop()->setTempoButtons(false, false, true);
         },
         "@8=22050: 0 1.2 2.4 3.6 4.8 6 7.2 8.4", "", flat, 8, {}},
        {"DropOnAFullDeck", dropTool, 0, 8,
         [](EditTools& t, Velkarn& a) {
             t.fillDeck(0);
             a.panelDrop()->loadSong(t.paths["a120"]);
         },
         "", "", flat, -1, {"Could not drop song.|Too many songs."}},
        // Tempo: deck 1 raises the weight, deck 0 lowers it, within [0, 1].
        {"TempoDeck1Step10", tempoTool, 1, 10, [](EditTools&, Velkarn& a) { a.panelTempo()->setChoice(1, 10); }, "",
         "", "0 0 0 0.1 0.1 0.1 0.1 0.1 0.1 0.1", 10, {}},
        {"TempoDeck1Step1Over2Beats", tempoTool, 1, 10, [](EditTools&, Velkarn& a) { a.panelTempo()->setChoice(2, 1); },
         "", "", "0 0 0 0.005 0.01 0.01 0.01 0.01 0.01 0.01", 10, {}},
        {"TempoDeck0Step10", tempoTool, 0, 10,
         [](EditTools& t, Velkarn& a) {
             t.setWeights(8, 0.5f, 0.5f, 1);
             a.panelTempo()->setChoice(1, 10);
         },
         "", "", "0.5 0.5 0.5 0.4 0.4 0.4 0.4 0.4 0.4 0.4", 10, {}},
        {"TempoDeck1ClampedAt1", tempoTool, 1, 10,
         [](EditTools& t, Velkarn& a) {
             t.setWeights(8, 0.95f, 0.95f, 1);
             a.panelTempo()->setChoice(1, 10);
         },
         "", "", "0.95 0.95 0.95 1 1 1 1 1 1 1", 10, {}},
        {"TempoDeck0ClampedAt0", tempoTool, 0, 10,
         [](EditTools& t, Velkarn& a) {
             t.setWeights(8, 0.05f, 0.05f, 1);
             a.panelTempo()->setChoice(1, 10);
         },
         "", "", "0.05 0.05 0.05 0 0 0 0 0 0 0", 10, {}},
        {"TempoDeck0Step100", tempoTool, 0, 10, [](EditTools&, Velkarn& a) { a.panelTempo()->setChoice(1, 100); }, "",
         "", flat, 10, {}},
        // The song edits, on the clicked deck only.
        {"Repeat", repeatTool, 0, 12,
         [](EditTools& t, Velkarn& a) {
             withA(t, 0, 8);
             withA(t, 1, 8);
             a.panelRepeat()->setChoice(2, 2, false);
         },
         "@8: 0 1 2 3 2 3 2 3 4 5 6 7 8 9 10 11 12 13 14 15", "@8:" + a16, flat, 12, {}},
        {"RepeatOverwriting", repeatTool, 1, 12,
         [](EditTools& t, Velkarn& a) {
             withA(t, 1, 8);
             a.panelRepeat()->setChoice(2, 1, true);
         },
         "", "@8: 0 1 2 3 2 3 6 7 8 9 10 11 12 13 14 15", flat, 12, {}},
        {"DeleteAll", deleteTool, 0, 12,
         [](EditTools& t, Velkarn& a) {
             withA(t, 0, 8);
             a.panelDelete()->setDeleteScope("all");
         },
         "", "", flat, 8, {}},
        {"DeleteAllAfter", deleteTool, 0, 12,
         [](EditTools& t, Velkarn& a) {
             withA(t, 0, 8);
             a.panelDelete()->setDeleteScope("allAfter");
         },
         "@8: 0 1 2 3 4", "", flat, 13, {}},
        // The song starts before the first beat that may change: the step
        // re-renders from there, and the network hears of it.
        {"DeleteAllBeforeFromTheCommittedPart", deleteTool, 0, 5,
         [](EditTools& t, Velkarn& a) {
             withA(t, 0, 0);
             a.panelDelete()->setDeleteScope("allBefore");
         },
         "@5: 5 6 7 8 9 10 11 12 13 14 15", "", flat, 2, {}},
        {"DeleteWhereNoSongIs", deleteTool, 1, 30,
         [](EditTools& t, Velkarn& a) {
             withA(t, 1, 8);
             a.panelDelete()->setDeleteScope("all");
         },
         "", "@8:" + a16, flat, 30, {}},
        {"Skip", skipTool, 1, 10,
         [](EditTools& t, Velkarn& a) {
             withA(t, 1, 8);
             a.panelSkip()->setBeatCount(3);
         },
         "", "@8: 0 1 5 6 7 8 9 10 11 12 13 14 15", flat, 10, {}},
        {"Pause", pauseTool, 0, 10,
         [](EditTools& t, Velkarn& a) {
             withA(t, 0, 8);
             a.panelPause()->setBeatCount(2);
         },
         "@8: 0 1 p p 2 3 4 5 6 7 8 9 10 11 12 13 14 15", "", flat, 10, {}},
        {"Reverse", reverseTool, 0, 10,
         [](EditTools& t, Velkarn& a) {
             withA(t, 0, 8);
             a.panelReverse()->setBeatCount(3);
         },
         "@8: 0 1 4r 3r 2r 5 6 7 8 9 10 11 12 13 14 15", "", flat, 10, {}},
        // Fade: in/out x cross x trim x tempo on both decks; A on deck 0
        // from beat 0, B on deck 1 from beat 8, both 16 beats.
        {"FadeInDeck1CrossTrimTempo", fadeTool, 1, 10,
         [](EditTools& t, Velkarn& a) {
             withA(t, 0, 0);
             withA(t, 1, 8);
             a.panelFade()->setChoice("in", 4, true, true, true);
         },
         "@0: 0 1 2 3 4 5 6 7 8 9 10(1,0.75) 11(0.75,0.5) 12(0.5,0.25) 13(0.25,0)",
         "@10: 2(0,0.25) 3(0.25,0.5) 4(0.5,0.75) 5(0.75,1) 6 7 8 9 10 11 12 13 14 15",
         "0 0 0 0.25 0.5 0.75 1 1 1 1", 8, {}},
        {"FadeInDeck0CrossTrimTempo", fadeTool, 0, 10,
         [](EditTools& t, Velkarn& a) {
             withA(t, 1, 0);
             withA(t, 0, 8);
             t.setWeights(8, 1.0f, 1.0f, 1);
             a.panelFade()->setChoice("in", 4, true, true, true);
         },
         "@10: 2(0,0.25) 3(0.25,0.5) 4(0.5,0.75) 5(0.75,1) 6 7 8 9 10 11 12 13 14 15",
         "@0: 0 1 2 3 4 5 6 7 8 9 10(1,0.75) 11(0.75,0.5) 12(0.5,0.25) 13(0.25,0)",
         "1 1 1 0.75 0.5 0.25 0 0 0 0", 8, {}},
        {"FadeOutDeck0CrossTrimTempo", fadeTool, 0, 10,
         [](EditTools& t, Velkarn& a) {
             withA(t, 0, 0);
             withA(t, 1, 8);
             a.panelFade()->setChoice("out", 4, true, true, true);
         },
         "@0: 0 1 2 3 4 5 6 7 8 9 10(1,0.75) 11(0.75,0.5) 12(0.5,0.25) 13(0.25,0)",
         "@10: 2(0,0.25) 3(0.25,0.5) 4(0.5,0.75) 5(0.75,1) 6 7 8 9 10 11 12 13 14 15",
         "0 0 0 0.25 0.5 0.75 1 1 1 1", 8, {}},
        {"FadeOutDeck1CrossTrimTempo", fadeTool, 1, 10,
         [](EditTools& t, Velkarn& a) {
             withA(t, 1, 0);
             withA(t, 0, 8);
             t.setWeights(8, 1.0f, 1.0f, 1);
             a.panelFade()->setChoice("out", 4, true, true, true);
         },
         "@10: 2(0,0.25) 3(0.25,0.5) 4(0.5,0.75) 5(0.75,1) 6 7 8 9 10 11 12 13 14 15",
         "@0: 0 1 2 3 4 5 6 7 8 9 10(1,0.75) 11(0.75,0.5) 12(0.5,0.25) 13(0.25,0)",
         "1 1 1 0.75 0.5 0.25 0 0 0 0", 8, {}},
        {"FadeInWithoutTrim", fadeTool, 1, 10,
         [](EditTools& t, Velkarn& a) {
             withA(t, 0, 0);
             withA(t, 1, 8);
             a.panelFade()->setChoice("in", 4, true, false, true);
         },
         "@0: 0 1 2 3 4 5 6 7 8 9 10(1,0.75) 11(0.75,0.5) 12(0.5,0.25) 13(0.25,0) 14 15",
         "@8: 0 1 2(0,0.25) 3(0.25,0.5) 4(0.5,0.75) 5(0.75,1) 6 7 8 9 10 11 12 13 14 15",
         "0 0 0 0.25 0.5 0.75 1 1 1 1", 10, {}},
        {"FadeInWithoutCross", fadeTool, 1, 10,
         [](EditTools& t, Velkarn& a) {
             withA(t, 0, 0);
             withA(t, 1, 8);
             a.panelFade()->setChoice("in", 4, false, true, true);
         },
         "@0:" + a16, "@10: 2(0,0.25) 3(0.25,0.5) 4(0.5,0.75) 5(0.75,1) 6 7 8 9 10 11 12 13 14 15",
         "0 0 0 0.25 0.5 0.75 1 1 1 1", 8, {}},
        {"FadeInWithoutTempo", fadeTool, 1, 10,
         [](EditTools& t, Velkarn& a) {
             withA(t, 0, 0);
             withA(t, 1, 8);
             a.panelFade()->setChoice("in", 4, true, true, false);
         },
         "@0: 0 1 2 3 4 5 6 7 8 9 10(1,0.75) 11(0.75,0.5) 12(0.5,0.25) 13(0.25,0)",
         "@10: 2(0,0.25) 3(0.25,0.5) 4(0.5,0.75) 5(0.75,1) 6 7 8 9 10 11 12 13 14 15", flat, 8, {}},
        {"FadeOutAlone", fadeTool, 0, 10,
         [](EditTools& t, Velkarn& a) {
             withA(t, 0, 0);
             withA(t, 1, 8);
             a.panelFade()->setChoice("out", 4, false, false, false);
         },
         "@0: 0 1 2 3 4 5 6 7 8 9 10(1,0.75) 11(0.75,0.5) 12(0.5,0.25) 13(0.25,0) 14 15", "@8:" + a16, flat, 10, {}},
        // Pressing with the move tool only starts a drag.
        {"MovePress", moveTool, 0, 10, [](EditTools& t, Velkarn&) { withA(t, 0, 8); }, "@8:" + a16, "", flat, -1, {}},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        Velkarn& app = start();
        RecordingClientListener listener;
        const std::unique_ptr<NetworkClient> client = connectClient(app, listener);
        if (c.before) c.before(*this, app);
        markGrid();
        for (std::size_t i = 0; i < c.boxes.size(); ++i) platform::uiScript::pushOk();
        click(c.tool, c.deck, c.beat);
        EXPECT_EQ(describe(0), c.deck0);
        EXPECT_EQ(describe(1), c.deck1);
        EXPECT_EQ(weights(), c.weights);
        EXPECT_EQ(rebuiltFrom(), c.from);
        // The clients rebuild from the same beat as the grid.
        EXPECT_EQ(listener.texts(), updates(c.from));
        EXPECT_EQ(app_test::boxes(), c.boxes);
        // The drop panel's tempo toggles never outlive a drop.
        EXPECT_FALSE(app.panelDrop()->isDoubleTempo() || app.panelDrop()->isHalfTempo()) << c.name;
        stop();
        platform::uiScript::clearRequests();
    }
}

void withA(EditTools& t, int deck, int first) { t.place(deck, deck == 0 ? "a120" : "b120", first); }

// The automatic player's drop: the same checks without a box, without the
// double and half toggles (left as the user set them), false on a failure.
TEST_F(EditTools, DropSongAnswersInsteadOfShowingABox) {
    struct Case {
        const char* name;
        const char* song;
        bool fullDeck;
        bool placed;
        std::string deck1;
    };
    const Case cases[] = {
        {"Placed", "a120", false, true, "@20:" + a16},
        {"TogglesNotApplied", "c100", false, true, "@20: 0 1.2 2.4 3.6 4.8 6 7.2 8.4"},
        {"WithoutMetaData", "plain", false, false, ""},
        {"Thrown", "single", false, false, ""},
        {"OutsideTheTempoRange", "slow39", false, false, ""},
        {"FullDeck", "a120", true, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Velkarn& app = start();
        RecordingClientListener listener;
        const std::unique_ptr<NetworkClient> client = connectClient(app, listener);
        if (c.fullDeck) fillDeck(1);
        app.panelDrop()->setTempoButtons(true, true, false);
        markGrid();
        EXPECT_EQ(app.dropSong(1, paths.at(c.song), 20), c.placed);
        EXPECT_EQ(describe(1), c.deck1);
        EXPECT_EQ(describe(0), "");
        EXPECT_EQ(rebuiltFrom(), c.placed ? 20 : -1);
        EXPECT_EQ(listener.texts(), updates(c.placed ? 20 : -1));
        EXPECT_TRUE(app_test::boxes().empty());
        EXPECT_TRUE(app.panelDrop()->isDoubleTempo() && app.panelDrop()->isHalfTempo());
        stop();
    }
}

// The played-songs lists name only the songs placed: a drop refused on a
// full deck writes no line to either list, a drop taken one to each.
TEST_F(EditTools, OnlyAPlacedSongIsListed) {
    struct Case {
        const char* name;
        bool fullDeck;
        int textLines, csvLines;  // the CSV list's header counts
        std::vector<std::string> boxes;
    };
    const Case cases[] = {
        {"Placed", false, 1, 2, {}},
        {"FullDeck", true, 0, 1, {"Could not drop song.|Too many songs."}},
    };
    const auto lines = [](const std::string& text) {
        int count = 0;
        for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++count;
        return count;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Velkarn& app = start();
        PlaylistWriter* lists[] = {app.playlistWriterText(), app.playlistWriterCsv()};
        for (PlaylistWriter* list : lists) {
            list->setBaseName(home->path() + "/mix");
            list->start(app.currentSampleTime());
        }
        if (c.fullDeck) fillDeck(0);
        app.panelDrop()->loadSong(paths["a120"]);
        for (std::size_t i = 0; i < c.boxes.size(); ++i) platform::uiScript::pushOk();
        click(dropTool, 0, 8);
        EXPECT_EQ(app_test::boxes(), c.boxes);
        EXPECT_EQ(describe(0), c.fullDeck ? "" : "@8:" + a16);
        // Another base closes the files, writing out what the lists hold.
        for (PlaylistWriter* list : lists) list->setBaseName(home->path() + "/next");
        EXPECT_EQ(lines(testing_support::readFile(home->path() + "/mix.txt")), c.textLines);
        const std::string csv = testing_support::readFile(home->path() + "/mix.csv");
        EXPECT_EQ(lines(csv), c.csvLines);
        EXPECT_EQ(csv.rfind(PlaylistWriter::csvHeader, 0), 0u);
        stop();
        platform::uiScript::clearRequests();
    }
}

TEST_F(EditTools, AnUnknownFadeTypeStopsTheProgramAndChangesNothing) {
    Velkarn& app = start();
    withA(*this, 0, 0);
    withA(*this, 1, 8);
    try {
        app.applyFade(1, 10, "across", 4, true, true, true);
        ADD_FAILURE() << "no stop";
    } catch (const FatalStop& stop) {
        EXPECT_EQ(std::string(stop.what()), "Unknown fade type.");
    }
    EXPECT_EQ(describe(0), "@0:" + a16);
    EXPECT_EQ(describe(1), "@8:" + a16);
    EXPECT_EQ(weights(), flat);
}

// Listen restarts both second renderers from the clicked beat, each time
// it is used, and keeps the play position at which it started.
TEST_F(EditTools, ListenRestartsBothSecondRenderersAtTheClickedBeat) {
    Velkarn& app = start();
    RecordingClientListener listener;
    const std::unique_ptr<NetworkClient> client = connectClient(app, listener);
    withA(*this, 0, 0);
    withA(*this, 1, 8);
    for (const auto& [beat, frames] : {std::pair{12, 4410}, std::pair{6, 8820}, std::pair{30, 2205}}) {
        SCOPED_TRACE(beat);
        advanceClock(frames);
        const std::int64_t now = app.currentSampleTime();
        markGrid();
        click(listenTool, beat % 2, beat);
        EXPECT_EQ(app.panelListen()->listenStartTime(), now);
        for (int d = 0; d < 2; ++d) {
            EXPECT_TRUE(app.second(d)->running()) << d;
            EXPECT_EQ(app.second(d)->basePosition(), app.beatAt(beat).position) << d;
        }
        EXPECT_EQ(rebuiltFrom(), -1);
        EXPECT_EQ(describe(0), "@0:" + a16);
    }
    // The grid is left alone, so the clients hear nothing.
    EXPECT_TRUE(listener.texts().empty());
}

// The edit step starts from the first beat that begins after the half
// second already handed to the outputs, or from the edited beat when that
// is later.
TEST_F(EditTools, TheEditStepStartsAfterTheCommittedHalfSecond) {
    struct Case {
        std::int64_t offset;  // of now + 22050 from beat 6's start
        int beat;
        int from;
    };
    const Case cases[] = {
        {-1, 0, 6}, {0, 0, 7}, {1, 0, 7}, {-1, 9, 9}, {0, 7, 7}, {0, 8, 8}, {-1, 5, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.offset) + " " + std::to_string(c.beat));
        Velkarn& app = start();
        markGrid();
        const std::int64_t target = app.beatAt(6).position - 22050 + c.offset;
        while (app.currentSampleTime() < target) {
            advanceClock(static_cast<std::int32_t>(std::min<std::int64_t>(4410, target - app.currentSampleTime())));
        }
        ASSERT_EQ(app.currentSampleTime(), target);
        app.updateFromBeat(c.beat);
        EXPECT_EQ(rebuiltFrom(), c.from);
        stop();
    }
}

// The application with the edit step's stages watched: each stage's name,
// its beat and whether lock 2 was free as it began, and whether it was free
// after the last; after the pair's re-render, the beat each second renderer
// takes next.
class StageWatchingVelkarn : public Velkarn {
public:
    StageWatchingVelkarn() : Velkarn(nullptr, 1) {}
    ~StageWatchingVelkarn() override { joinWaiters(); }

    void rebuildBeatInfo(std::int64_t sampleTime, int beat) override {
        stage("rebuild", beat);
        Velkarn::rebuildBeatInfo(sampleTime, beat);
    }
    void rerenderDecksFrom(int beat) override {
        stage("decks", beat);
        Velkarn::rerenderDecksFrom(beat);
    }
    void rerenderSecondFrom(int beat) override {
        stage("second", beat);
        // The render threads wait while the renderers are read.
        DeckLock hold;
        Velkarn::rerenderSecondFrom(beat);
        for (int d = 0; d < decks; ++d) secondNext[d] = second(d)->nextBeat();
    }
    void refreshStripsFrom(int beat) override {
        stage("strips", beat);
        Velkarn::refreshStripsFrom(beat);
        if (watching) stages.push_back(decksLockFree() ? "free" : "held");
    }

    // Threads that waited for lock 2 in vain finish once it is released.
    void joinWaiters() {
        for (std::thread& waiter : waiters_) waiter.join();
        waiters_.clear();
    }

    bool watching = false;
    std::vector<std::string> stages;
    std::int32_t secondNext[decks] = {-1, -1};

private:
    void stage(const char* name, int beat) {
        if (!watching) return;
        stages.push_back(std::string(name) + " " + std::to_string(beat) + (decksLockFree() ? " free" : " held"));
    }
    // Whether another thread takes lock 2 within two seconds.
    bool decksLockFree() {
        auto taken = std::make_shared<std::promise<void>>();
        std::future<void> done = taken->get_future();
        waiters_.emplace_back([taken] {
            enterCriticalSection(2);
            leaveCriticalSection(2);
            taken->set_value();
        });
        return done.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    }

    std::vector<std::thread> waiters_;
};

// Every stage of the edit step runs with lock 2 free before it and after
// the last. The pre-listen pair restarts from the beat the Listen play
// position has reached, or from the edited beat when that is later; the
// playback pair from the first beat after the committed half second.
TEST_F(EditTools, TheEditStepTakesLockTwoPerStageAndRestartsThePairFromTheListenBeat) {
    struct Case {
        const char* name;
        std::int32_t beforeListen;  // frames played before the Listen press
        int listenBeat;
        std::int32_t afterListen;  // frames played after it
        int beat;                  // the edited beat
        int from;                  // the playback pair's beat
        int listenFrom;            // the pre-listen pair's beat
    };
    const Case cases[] = {
        // Pressed after one beat of play, then 2.5 beats more: the pair
        // plays beat 14, while the mix plays beat 3 and commits up to 4.
        {"ListenPlayedOn", 22050, 12, 55125, 13, 13, 14},
        {"ListenPlayedOnEditLater", 22050, 12, 55125, 15, 15, 15},
        // The Listen play position is at its beat: an edit before it
        // restarts the pair there (the renderers hold nothing earlier).
        {"EditAfterTheListenBeat", 0, 12, 0, 14, 14, 14},
        {"EditBeforeTheListenBeat", 0, 12, 0, 10, 10, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto made = std::make_unique<StageWatchingVelkarn>();
        StageWatchingVelkarn& app = *made;
        start(std::move(made));
        const auto play = [this](std::int32_t frames) {
            for (std::int32_t left = frames; left > 0; left -= 22050) advanceClock(std::min<std::int32_t>(left, 22050));
        };
        play(c.beforeListen);
        click(listenTool, 0, c.listenBeat);
        play(c.afterListen);
        // Both renderers have rendered past the pair's beat, so a restart
        // there shows as the beat after it.
        ASSERT_TRUE(testing_support::eventually([&] {
            DeckLock hold;
            return app.second(0)->nextBeat() > c.listenFrom && app.second(1)->nextBeat() > c.listenFrom;
        }));
        app.watching = true;
        app.updateFromBeat(c.beat);
        app.watching = false;
        app.joinWaiters();
        const std::vector<std::string> expected = {
            "rebuild " + std::to_string(c.from) + " free",
            "decks " + std::to_string(c.from) + " free",
            "second " + std::to_string(c.listenFrom) + " free",
            "strips " + std::to_string(c.beat) + " free",
            "free",
        };
        EXPECT_EQ(app.stages, expected);
        for (int d = 0; d < 2; ++d) EXPECT_EQ(app.secondNext[d], c.listenFrom + 1) << "deck " << d;
        stop();
    }
}

}  // namespace
