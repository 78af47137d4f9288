// The network panel on an offscreen main window, driven by clicks through
// Qt, over a fake application interface whose clock and grid are a
// FakeHost. Its peers are in-process servers and clients on loopback.
#include "GuiTestSkins.h"
#include "ImageTestSupport.h"
#include "NetworkTestSupport.h"

#include "app/ApplicationInterface.h"
#include "framework/GUIButton.h"
#include "framework/GUIPanelGroupHorizontal.h"
#include "framework/Window.h"
#include "framework/WindowClient.h"
#include "network/PanelNetwork.h"
#include "network/TrackInfoClient.h"
#include "platform/Dialog.h"
#include "platform/EventLoop.h"
#include "platform/TestInput.h"
#include "platform/UiScript.h"

#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>

using namespace network_testing;

namespace {

constexpr std::int64_t delta = 1234567;

// The panel only asks whether a beat mapper is open.
char mapperMarker;
BeatMapper* const openMapper = reinterpret_cast<BeatMapper*>(&mapperMarker);

int freePort() {
    const platform::SocketHandle handle = platform::openTcpSocket();
    int port = 0;
    EXPECT_EQ(platform::bindToAnyAddress(handle, 0), 0);
    EXPECT_EQ(platform::localPort(handle, port), 0);
    platform::closeSocket(handle);
    return port;
}

// The application as the panel sees it: playing and beat mapper flags, the
// clock and grid of a FakeHost, its TrackInfoClient, a main window holding
// the panel in a group of one, and a record of the re-timing calls and of
// the notifications the window received (on the user-interface thread).
class FakeApplication : public ApplicationInterface, public WindowClient {
public:
    explicit FakeApplication(FakeHost& host) : host_(host), tic_(host) {
        WindowParameters parameters;
        parameters.backgroundKey = "velkarn/background/main";
        parameters.title = "Velkarn";
        parameters.client = this;
        window_ = std::make_unique<Window>(parameters);
        auto* group = new GUIPanelGroupHorizontal(1, 30, nullptr);
        window_->add(group);
        panel_ = new PanelNetwork(group, this);
        panel_->createEndpoints();
    }
    ~FakeApplication() override {
        panel_->disconnect(true);
        window_.reset();
    }

    PanelNetwork& panel() { return *panel_; }
    TrackInfoClient& tic() { return tic_; }
    std::vector<std::string> calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }
    int lastBeatIndex() const { return lastBeatIndex_.load(); }
    std::int64_t lastSampleTime() const { return lastSampleTime_.load(); }
    bool playing = true;
    BeatMapper* mapper = nullptr;

    // WindowClient.
    void postedMessage(Window*, int kind, int value) override {
        calls_.push_back("kind " + std::to_string(kind) + " " + std::to_string(value));
        if (kind == 0) panel_->handlePanelMessage(0);
    }

    // What the panel uses.
    float minimumTempo() override { return 40.0f; }
    float maximumTempo() override { return 220.0f; }
    Window* mainWindow() override { return window_.get(); }
    bool isPlaying() override { return playing; }
    BeatMapper* beatMapper() override { return mapper; }
    std::int64_t currentSampleTime() override {
        const std::int64_t time = host_.currentSampleTime();
        lastSampleTime_.store(time);
        return time;
    }
    int currentBeatIndex() override {
        const int index = host_.currentBeatIndex();
        lastBeatIndex_.store(index);
        return index;
    }
    int beatIndexAt(std::int64_t sampleTime) override {
        int index = 0;
        host_.tryBeatIndexAt(sampleTime, index);
        return index;
    }
    TrackBeat beatAt(int index) override { return host_.beatAt(index); }
    bool tryBeatIndexAt(std::int64_t sampleTime, int& index) override { return host_.tryBeatIndexAt(sampleTime, index); }
    bool tryBeatAt(int index, TrackBeat& beat) override { return host_.tryBeatAt(index, beat); }
    TrackInfoClient* trackInfoClient() override { return &tic_; }
    void rebuildBeatInfo(std::int64_t sampleTime, int beat) override {
        calls_.push_back("rebuildBeatInfo " + std::to_string(sampleTime) + " " + std::to_string(beat));
    }
    void rerenderDecksFrom(int beat) override { calls_.push_back("rerenderDecksFrom " + std::to_string(beat)); }
    void rerenderSecondFrom(int beat) override { calls_.push_back("rerenderSecondFrom " + std::to_string(beat)); }

    // The rest of the interface is not the panel's.
    void destroyFromInterface(bool) override {}
    float standardTempo() const override { return 120.0f; }
    MixerParameters* mixerParameters() override { return nullptr; }
    int loadSongFile(const std::string&) override { return 0; }
    void showOverlays() override {}
    void hideOverlays() override {}
    void enableDelay(int) override {}
    void disableDelay(int) override {}
    void enableFlanger(int) override {}
    void disableFlanger(int) override {}
    void enableReverb(int) override {}
    void disableReverb(int) override {}
    Recorder* recorder() override { return nullptr; }
    PlaylistWriter* playlistWriterText() override { return nullptr; }
    PlaylistWriter* playlistWriterCsv() override { return nullptr; }
    Player* player() override { return nullptr; }
    Browser* browser() override { return nullptr; }
    BrowserData* browserData() override { return nullptr; }
    BeatMapper* openBeatMapper(const std::string&) override { return nullptr; }
    void setCrossfadeKnee(float) override {}
    void setFilterOrder(int) override {}
    void setOverlapMs(float) override {}
    void setRenderFlag(bool) override {}
    void setTimeScalerFrameSize(int) override {}
    void setTimeScalerOverlap(int) override {}
    void setRefreshInterval(float) override {}
    void startOutputDevice(int) override {}
    void stopOutputDevice(int) override {}
    void openOutputDevice(int, bool, const std::string&, float) override {}
    void closeOutputDevice(int) override {}
    void stopSecondRenderers() override {}
    float beatPeriod() override { return 0.5f; }
    int deckCount() override { return 2; }
    Songs* songs(int) override { return nullptr; }
    bool isExitOnLoad() override { return false; }
    void selectDropTool() override {}
    bool hasOutputDevice(int) override { return false; }
    void updateFromBeat(int) override {}
    void refreshStripsFrom(int) override {}
    bool dropSong(int, const std::string&, int) override { return false; }
    void applyFade(int, int, const std::string&, int, bool, bool, bool) override {}

private:
    FakeHost& host_;
    TrackInfoClient tic_;
    std::unique_ptr<Window> window_;
    PanelNetwork* panel_ = nullptr;
    std::vector<std::string> calls_;
    std::atomic<int> lastBeatIndex_{0};
    std::atomic<std::int64_t> lastSampleTime_{0};
};

// Where the panel's components are (window coordinates).
constexpr platform::Point modeButtons[] = {{106, 586}, {206, 586}, {306, 586}};
constexpr platform::Point talkButton{754, 529};
constexpr platform::Point setServerButton{542, 586};

class PanelNetworkTest : public NetworkTest {
protected:
    void SetUp() override {
        NetworkTest::SetUp();
        skins.emplace();
        using namespace gui_test;
        const Color face{90, 90, 100, 255};
        const Color lit{220, 140, 40, 255};
        writeFace(*skins, "velkarn/background/main", 1000, 665, windowColor);
        writeFace(*skins, "velkarn/panelGroup/network", 800, 210, face);
        writeButtonSkin(*skins, "velkarn/button/network/talk", 80, 32, face, lit);
        for (const char* button : {"standAlone", "server", "client"}) {
            writeButtonSkin(*skins, std::string("velkarn/button/network/") + button, 96, 32, face, lit);
        }
        writeButtonSkin(*skins, "velkarn/button/network/setServer", 90, 32, face, lit);
        platform::uiScript::enable();
        port = freePort();
        portVariable.emplace("VELKARN_NET_PORT", std::to_string(port));
    }
    void TearDown() override {
        application.reset();
        // The server before its listener: its connections' threads tell the
        // listener of each close until the server has stopped.
        remoteServer.reset();
        remote.reset();
        platform::uiScript::disable();
        portVariable.reset();
        skins.reset();
        NetworkTest::TearDown();
    }

    FakeApplication& start() {
        application.emplace(host);
        return *application;
    }
    // Serves, with a client of the test's connected.
    std::unique_ptr<NetworkClient> serveWithPeer(RecordingClientListener& listener) {
        click(modeButtons[PanelNetwork::modeServer]);
        EXPECT_TRUE(application->panel().isServing());
        auto peer = std::make_unique<NetworkClient>(listener, port);
        EXPECT_TRUE(peer->connect(AddressIPv4(platform::Ipv4Bytes{127, 0, 0, 1})));
        EXPECT_TRUE(eventually([&] { return application->panel().networkServer()->connectionCount() == 1; }));
        return peer;
    }
    // Lets what was posted arrive, then forgets the calls so far.
    void settle() {
        platform::dispatchPostedMessages();
        application->clearCalls();
    }
    void click(platform::Point point) {
        ASSERT_TRUE(platform::test_input::click(application->mainWindow()->handle(), point));
    }
    // The other instance: a server answering with the commands over A
    // (B's clock runs delta ahead of A's), on the panel's port.
    void startRemote() {
        remote.emplace(remoteHost);
        remoteServer.emplace(*remote, port);
        ASSERT_TRUE(remoteServer->start());
    }
    // The re-timing the panel owes after every mode change, from the
    // values it read.
    std::vector<std::string> retimed() const {
        const int b = application->lastBeatIndex();
        return {"rebuildBeatInfo " + std::to_string(application->lastSampleTime()) + " " + std::to_string(b + 2),
                "rerenderDecksFrom " + std::to_string(b), "rerenderSecondFrom " + std::to_string(b), "kind 1 0"};
    }
    static std::vector<std::string> boxes() {
        std::vector<std::string> asked;
        for (const platform::UiRequest& request : platform::uiScript::requests()) {
            if (request.kind == platform::UiRequestKind::MessageBox) asked.push_back(request.caption + "|" + request.text);
        }
        return asked;
    }

    const FakeHost::Origin origin = std::chrono::steady_clock::now();
    FakeHost remoteHost{0, origin, 0, 4000, 0, 22050};
    FakeHost host{delta, origin, 0, 4000, 0, 22050};
    std::optional<image_test::SkinDirectory> skins;
    std::optional<testing_support::ScopedEnvironment> portVariable;
    int port = 0;
    std::optional<CommandServer> remote;
    std::optional<NetworkServer> remoteServer;
    std::optional<FakeApplication> application;
};

enum class Remote { None, Commands, Nonsense, PortTaken };

struct ModeCase {
    const char* name;
    int mode;
    bool playing;
    bool mapperOpen;
    Remote remote;
    int selected;
    const char* box;  // "caption|text", or null
    bool serving;
    bool connected;
    bool synchronized;
};

class ChoosingAMode : public PanelNetworkTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ChoosingAMode, GivesTheBoxesTheSelectionAndTheReTiming) {
    const ModeCase& row = GetParam();
    platform::SocketHandle taken = platform::invalidSocket;
    if (row.remote == Remote::Commands) startRemote();
    if (row.remote == Remote::Nonsense) {
        startRemote();
        remote->script = [](const std::string&) { return std::string("x"); };
    }
    if (row.remote == Remote::PortTaken) {
        taken = platform::openTcpSocket();
        ASSERT_EQ(platform::bindToAnyAddress(taken, port), 0);
        ASSERT_EQ(platform::listenOn(taken, 1), 0);
    }
    FakeApplication& app = start();
    app.playing = row.playing;
    app.mapper = row.mapperOpen ? openMapper : nullptr;

    click(modeButtons[row.mode]);

    EXPECT_EQ(app.panel().selectedMode(), row.selected);
    EXPECT_EQ(boxes(), row.box == nullptr ? std::vector<std::string>{} : std::vector<std::string>{row.box});
    EXPECT_EQ(app.panel().isServing(), row.serving);
    EXPECT_EQ(app.panel().isConnected(), row.connected);
    EXPECT_EQ(app.tic().isSynchronized(), row.synchronized);
    // Re-timed in every case; the strips hear of it through the window.
    std::vector<std::string> expected = retimed();
    expected.pop_back();
    EXPECT_EQ(app.calls(), expected);
    platform::dispatchPostedMessages();
    EXPECT_EQ(app.calls(), retimed());
    if (taken != platform::invalidSocket) platform::closeSocket(taken);
}

const char* const notPlayingServer = "Cannot Start Server|Velkarn is not playing.";
const char* const notPlayingClient = "Cannot Be a Client|Velkarn is not playing.";

INSTANTIATE_TEST_SUITE_P(
    Rows, ChoosingAMode,
    ::testing::Values(
        ModeCase{"Server", 1, true, false, Remote::None, 1, nullptr, true, false, false},
        ModeCase{"ServerNotPlaying", 1, false, false, Remote::None, 0, notPlayingServer, false, false, false},
        ModeCase{"ServerUnderTheBeatMapper", 1, true, true, Remote::None, 0, notPlayingServer, false, false, false},
        ModeCase{"ServerOnATakenPort", 1, true, false, Remote::PortTaken, 0,
                 "Cannot Start Server|The server could not be started.", false, false, false},
        ModeCase{"Client", 2, true, false, Remote::Commands, 2, nullptr, false, true, true},
        ModeCase{"ClientNotPlaying", 2, false, false, Remote::Commands, 0, notPlayingClient, false, false, false},
        ModeCase{"ClientUnderTheBeatMapper", 2, true, true, Remote::Commands, 0, notPlayingClient, false, false,
                 false},
        ModeCase{"ClientWithoutAServer", 2, true, false, Remote::None, 0,
                 "Cannot Be a Client|127.0.0.1 is not running as a server.", false, false, false},
        // The connection stays open until the next change.
        ModeCase{"ClientOfAServerThatCannotSynchronize", 2, true, false, Remote::Nonsense, 0,
                 "Cannot Be a Client|Cannot connect. Cannot synchronize. Try again.", false, true, false}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

TEST_F(PanelNetworkTest, EveryChangeEndsTheLinkFirst) {
    FakeApplication& app = start();
    RecordingClientListener peerListener;
    const auto peer = serveWithPeer(peerListener);

    // Had the server still run, the client would have reached it.
    click(modeButtons[PanelNetwork::modeClient]);
    EXPECT_TRUE(eventually([&] { return peerListener.disconnectedCount() == 1; }));
    EXPECT_FALSE(app.panel().isConnected());
    EXPECT_EQ(app.panel().selectedMode(), PanelNetwork::modeStandAlone);
    EXPECT_EQ(boxes(), std::vector<std::string>{"Cannot Be a Client|127.0.0.1 is not running as a server."});
}

TEST_F(PanelNetworkTest, LeavingClientModeDetachesAndDisconnects) {
    startRemote();
    FakeApplication& app = start();
    click(modeButtons[PanelNetwork::modeClient]);
    ASSERT_TRUE(app.tic().isSynchronized());
    ASSERT_TRUE(eventually([&] { return remoteServer->connectionCount() == 1; }));
    settle();
    click(modeButtons[PanelNetwork::modeStandAlone]);
    EXPECT_FALSE(app.tic().isSynchronized());
    EXPECT_FALSE(app.panel().isConnected());
    EXPECT_TRUE(eventually([&] { return remoteServer->connectionCount() == 0; }));
    platform::dispatchPostedMessages();
    EXPECT_EQ(app.calls(), retimed());
}

struct AddressCase {
    const char* typed;
    const char* kept;
};

class SetServer : public PanelNetworkTest, public ::testing::WithParamInterface<AddressCase> {};

// The dialog starts with the address; only four numbers 0..255 replace it,
// and the text beside the button shows the address kept.
TEST_P(SetServer, TakesOnlyFourNumbersUpTo255) {
    FakeApplication& app = start();
    std::string shown;
    platform::uiScript::setDialogResponder(PanelNetwork::setServerDialog, [&](platform::Dialog& dialog) {
        shown = dialog.text(PanelNetwork::textControl, 128);
        dialog.setText(PanelNetwork::textControl, GetParam().typed);
        dialog.press(platform::okButton);
    });
    click(setServerButton);
    EXPECT_EQ(shown, "127.0.0.1");
    EXPECT_EQ(app.panel().serverAddress().toString(), GetParam().kept);
    EXPECT_EQ(app.panel().serverAddressText(), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(Addresses, SetServer,
                         ::testing::Values(AddressCase{"10.0.0.7", "10.0.0.7"}, AddressCase{"300.1.1.1", "127.0.0.1"},
                                           AddressCase{"a.b.c.d", "127.0.0.1"}, AddressCase{"", "127.0.0.1"}));

TEST_F(PanelNetworkTest, CancelKeepsTheServerAddress) {
    FakeApplication& app = start();
    platform::uiScript::setDialogResponder(PanelNetwork::setServerDialog, [](platform::Dialog& dialog) {
        dialog.setText(PanelNetwork::textControl, "10.0.0.7");
        dialog.press(platform::cancelButton);
    });
    click(setServerButton);
    EXPECT_EQ(app.panel().serverAddress().toString(), "127.0.0.1");
}

TEST_F(PanelNetworkTest, TalkWithoutALinkShowsWhy) {
    start();
    click(talkButton);
    EXPECT_EQ(boxes(), std::vector<std::string>{"Cannot Talk|You are not running as a server or connected as a client."});
    for (const platform::UiRequest& request : platform::uiScript::requests()) {
        EXPECT_NE(request.kind, platform::UiRequestKind::Dialog);
    }
}

// The server's Talk dialog stays open for line after line until Cancel;
// each OK reaches the client and empties the control.
TEST_F(PanelNetworkTest, TheTalkDialogSendsEveryLineUntilCancel) {
    start();
    RecordingClientListener peerListener;
    peerListener.answer = [](const std::string&) { return std::string(); };
    const auto peer = serveWithPeer(peerListener);

    std::vector<std::string> leftAfterOk;
    platform::uiScript::setDialogResponder(PanelNetwork::talkDialog, [&](platform::Dialog& dialog) {
        for (const char* line : {"hello", "second line"}) {
            dialog.setText(PanelNetwork::textControl, line);
            dialog.press(platform::okButton);
            leftAfterOk.push_back(dialog.text(PanelNetwork::textControl, 512));
        }
        dialog.press(platform::cancelButton);
    });
    click(talkButton);
    EXPECT_EQ(leftAfterOk, (std::vector<std::string>{"", ""}));
    EXPECT_EQ(peerListener.texts(), (std::vector<std::string>{"TALKhello", "TALKsecond line"}));
}

// A chat line from a client reaches the text through the main window; a
// client's Talk goes to the server.
TEST_F(PanelNetworkTest, ChatLinesShowOnTheUserInterfaceThread) {
    startRemote();
    FakeApplication& app = start();
    click(modeButtons[PanelNetwork::modeClient]);
    ASSERT_TRUE(app.panel().isConnected());
    settle();

    remoteServer->broadcast("TALKgood evening");
    EXPECT_EQ(app.panel().chatLine(), "[server]: good evening");
    EXPECT_EQ(app.panel().chatText(), "");  // not on the network thread
    platform::dispatchPostedMessages();
    EXPECT_EQ(app.panel().chatText(), "[server]: good evening");
    EXPECT_EQ(app.calls(), std::vector<std::string>{"kind 0 0"});

    app.panel().sendTalk("hi there");
    EXPECT_TRUE(eventually([&] {
        return remoteHost.notifications() == std::vector<std::pair<int, int>>{{0, 0}};
    }));
}

TEST_F(PanelNetworkTest, ABeatUpdateReachesTheClientsAsAPostedBeat) {
    FakeApplication& app = start();
    RecordingClientListener peerListener;
    peerListener.answer = [](const std::string&) { return std::string(); };
    const auto peer = serveWithPeer(peerListener);
    app.panel().sendBeatUpdate(42);
    EXPECT_EQ(peerListener.texts(), std::vector<std::string>{"UPD42"});
    // Not serving: nothing is sent.
    click(modeButtons[PanelNetwork::modeStandAlone]);
    app.panel().sendBeatUpdate(43);
    EXPECT_EQ(peerListener.texts(), std::vector<std::string>{"UPD42"});
}

// A lost server is handled on the user-interface thread: the listener only
// detaches and posts; the panel then falls back to stand alone and re-times.
TEST_F(PanelNetworkTest, ALostServerFallsBackOnTheUserInterfaceThread) {
    startRemote();
    FakeApplication& app = start();
    click(modeButtons[PanelNetwork::modeClient]);
    ASSERT_TRUE(app.tic().isSynchronized());
    settle();

    remoteServer->stop();
    ASSERT_TRUE(eventually([&] { return !app.panel().isConnected(); }));
    EXPECT_TRUE(eventually([&] { return !app.tic().isSynchronized(); }));
    EXPECT_EQ(app.panel().chatLine(), "[server] <closed>");
    EXPECT_EQ(app.panel().selectedMode(), PanelNetwork::modeClient);  // nothing yet on the network thread
    EXPECT_TRUE(app.calls().empty());

    platform::dispatchPostedMessages();
    EXPECT_EQ(app.panel().selectedMode(), PanelNetwork::modeStandAlone);
    EXPECT_EQ(app.panel().chatText(), "[server] <closed>");
    std::vector<std::string> expected{"kind 0 0"};
    for (const std::string& call : retimed()) expected.push_back(call);
    platform::dispatchPostedMessages();
    EXPECT_EQ(app.calls(), expected);
}

TEST_F(PanelNetworkTest, AServerThatStoppedIsNoLongerSelected) {
    FakeApplication& app = start();
    click(modeButtons[PanelNetwork::modeServer]);
    settle();
    app.panel().networkServer()->stop();
    app.panel().handlePanelMessage(0);
    EXPECT_EQ(app.panel().selectedMode(), PanelNetwork::modeStandAlone);
    platform::dispatchPostedMessages();
    EXPECT_TRUE(app.calls().empty());  // the local grid never changed
}

TEST_F(PanelNetworkTest, OtherKindsAreNotThePanels) {
    FakeApplication& app = start();
    for (int kind : {1, 2, -1}) {
        EXPECT_THROW(app.panel().handlePanelMessage(kind), FatalStop) << kind;
    }
    EXPECT_EQ(logCount("This message is not addressed to me."), 3);
}

// disconnect(true), as the play button's release, the beat mapper's opening
// and the application's end call it: the link ends and stand alone is
// selected without re-timing.
TEST_F(PanelNetworkTest, DisconnectEndsTheLinkWithoutReTiming) {
    startRemote();
    FakeApplication& app = start();
    for (int mode : {PanelNetwork::modeServer, PanelNetwork::modeClient}) {
        // The other instance listens on the same port, so only while the
        // panel is a client.
        if (mode == PanelNetwork::modeServer) {
            remoteServer->stop();
        } else {
            ASSERT_TRUE(remoteServer->start());
        }
        click(modeButtons[mode]);
        ASSERT_EQ(app.panel().selectedMode(), mode);
        settle();
        app.panel().disconnect(true);
        EXPECT_EQ(app.panel().selectedMode(), PanelNetwork::modeStandAlone) << mode;
        EXPECT_FALSE(app.panel().isServing());
        EXPECT_FALSE(app.panel().isConnected());
        EXPECT_FALSE(app.tic().isSynchronized());
        platform::dispatchPostedMessages();
        EXPECT_TRUE(app.calls().empty()) << mode;
    }
}

TEST_F(PanelNetworkTest, EndpointsUseThePortFromTheEnvironment) {
    struct Case {
        std::optional<std::string> variable;
        int port;
    };
    for (const Case& c : {Case{std::nullopt, 7925}, Case{"7311", 7311}, Case{"port", 7925}, Case{"70000", 7925}}) {
        portVariable.emplace("VELKARN_NET_PORT", c.variable);
        FakeApplication& app = start();
        EXPECT_EQ(app.panel().port(), c.port) << c.variable.value_or("unset");
        EXPECT_EQ(app.panel().serverAddressText(), "127.0.0.1");
        EXPECT_EQ(app.panel().localAddressText(), AddressIPv4::localHost().toString());
        application.reset();
    }
}

// Each display refresh appends: monotonic ns, sample time, beat index with
// its position and length, synchronised flag, time and beat offsets, chat.
TEST_F(PanelNetworkTest, TheStatusFileGetsOneLinePerRefresh) {
    testing_support::TemporaryDirectory directory;
    const std::string path = directory.file("status.txt");
    testing_support::ScopedEnvironment status("VELKARN_TEST_STATUS", path);
    startRemote();
    FakeApplication& app = start();
    click(modeButtons[PanelNetwork::modeClient]);
    ASSERT_TRUE(app.tic().isSynchronized());
    remoteServer->broadcast("TALKon air");
    app.panel().appendStatusLine();
    app.panel().appendStatusLine();

    std::ifstream file(path);
    std::string line;
    std::int64_t previous = 0;
    int lines = 0;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::int64_t ns = 0, time = 0, position = 0, timeOffset = 0;
        int index = 0, length = 0, synchronized = 0, beatOffset = 0;
        fields >> ns >> time >> index >> position >> length >> synchronized >> timeOffset >> beatOffset;
        ASSERT_FALSE(fields.fail()) << line;
        std::string chat;
        std::getline(fields >> std::ws, chat);
        EXPECT_GT(ns, previous);
        previous = ns;
        const TrackBeat beat = host.gridBeat(index);
        EXPECT_EQ(position, beat.position);
        EXPECT_EQ(length, beat.length);
        // The index is read just after the time.
        EXPECT_GE(time, position - length);
        EXPECT_LT(time, position + length);
        EXPECT_EQ(synchronized, 1);
        EXPECT_EQ(timeOffset, app.tic().timeOffset());
        EXPECT_EQ(beatOffset, app.tic().beatOffset());
        EXPECT_EQ(chat, "[server]: on air");
        ++lines;
    }
    EXPECT_EQ(lines, 2);
}

}  // namespace
