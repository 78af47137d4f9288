#include "network/PanelNetwork.h"

#include "framework/Font.h"
#include "framework/GUIButton.h"
#include "framework/GUIButtonManager.h"
#include "framework/GUIPanelGroup.h"
#include "framework/GUITextHorizontal.h"
#include "framework/Log.h"
#include "framework/ResourceArchive.h"
#include "framework/StringException.h"
#include "framework/Support.h"
#include "framework/Window.h"
#include "network/NetworkClient.h"
#include "network/NetworkServer.h"
#include "network/TrackInfoClient.h"
#include "platform/Dialog.h"
#include "platform/DialogTemplate.h"

#include <chrono>
#include <cinttypes>
#include <cstdlib>
#include <optional>

namespace {

constexpr Color black{0, 0, 0, 255};
constexpr int textHeight = 20;
constexpr std::size_t addressCharacters = 128;
constexpr std::size_t talkCharacters = 512;

void runTemplate(Window* owner, int id, platform::DialogHandler& handler) {
    runDialogTemplate(owner != nullptr ? owner->handle() : platform::noWindow, id, handler);
}

// VELKARN_NET_PORT when it is a port number, else the standard port.
int portFromEnvironment() {
    const char* text = std::getenv("VELKARN_NET_PORT");
    if (text == nullptr || *text == '\0') return PanelNetwork::defaultPort;
    std::int32_t port = 0;
    if (!NetworkCommands::parseInt32(text, port) || port < 1 || port > 65535) {
        logMessage(std::string("VELKARN_NET_PORT is not a port: ") + text, __FILE__, __LINE__);
        return PanelNetwork::defaultPort;
    }
    return port;
}

// "Set Server": the edit control starts with the address; OK takes a
// dotted text of four numbers, anything else keeps the address.
class SetServerHandler : public platform::DialogHandler {
public:
    explicit SetServerHandler(AddressIPv4& address) : address_(address) {}
    void init(platform::Dialog& dialog) override { dialog.setText(PanelNetwork::textControl, address_.toString()); }
    void command(platform::Dialog& dialog, int controlId) override {
        if (controlId == platform::okButton) {
            const std::string text = dialog.text(PanelNetwork::textControl, addressCharacters);
            if (!AddressIPv4::parse(text, address_)) {
                logMessage("Not an address: " + text.substr(0, 64), __FILE__, __LINE__);
            }
            dialog.end(platform::okButton);
        } else if (controlId == platform::cancelButton) {
            dialog.end(platform::cancelButton);
        }
    }

private:
    AddressIPv4& address_;
};

// "Talk Dialog": every OK sends the line and empties the control; only
// Cancel closes it.
class TalkHandler : public platform::DialogHandler {
public:
    explicit TalkHandler(PanelNetwork& panel) : panel_(panel) {}
    void command(platform::Dialog& dialog, int controlId) override {
        if (controlId == platform::okButton) {
            panel_.sendTalk(dialog.text(PanelNetwork::textControl, talkCharacters));
            dialog.setText(PanelNetwork::textControl, "");
        } else if (controlId == platform::cancelButton) {
            dialog.end(platform::cancelButton);
        }
    }

private:
    PanelNetwork& panel_;
};

}  // namespace

void PanelNetwork::Host::notifyMainWindow(int kind, int value) {
    if (window_ != nullptr) window_->postToClient(kind, value);
}

PanelNetwork::PanelNetwork(GUIPanelGroup* group, ApplicationInterface* application)
    : GUIPanel(10, 445, "velkarn/panelGroup/network", true), application_(*application), host_(*application),
      commands_(host_, chat_), font_(std::make_unique<Font>(1)),
      modes_(std::make_unique<GUIButtonManager>(this)) {
    group->add(this);
    localText_ = new GUITextHorizontal(230, 522, 100, textHeight, font_.get(), black, 0, nullptr);
    add(localText_);
    chatText_ = new GUITextHorizontal(440, 522, 250, textHeight, font_.get(), black, 0, nullptr);
    add(chatText_);
    talkButton_ = new GUIButton(714, 513, "velkarn/button/network/talk", this, GUIButton::momentary, false);
    add(talkButton_);
    const std::pair<int, const char*> modes[] = {
        {58, "velkarn/button/network/standAlone"},
        {158, "velkarn/button/network/server"},
        {258, "velkarn/button/network/client"},
    };
    for (int i = 0; i < 3; ++i) {
        const auto& [x, key] = modes[i];
        modeButtons_[i] = new GUIButton(x, 570, key, modes_.get(), GUIButton::latching, i == modeStandAlone);
        add(modeButtons_[i]);
        modes_->add(modeButtons_[i]);
    }
    serverText_ = new GUITextHorizontal(387, 578, 100, textHeight, font_.get(), black, 0, nullptr);
    add(serverText_);
    setServerButton_ =
        new GUIButton(497, 570, "velkarn/button/network/setServer", this, GUIButton::momentary, false);
    add(setServerButton_);
}

PanelNetwork::~PanelNetwork() {
    TrackInfoClient* tic = application_.trackInfoClient();
    if (tic != nullptr && client_) {
        tic->detach();
        tic->setNetworkClient(nullptr);
    }
    server_.reset();
    client_.reset();
    if (status_ != nullptr) std::fclose(status_);
}

void PanelNetwork::createEndpoints() {
    host_.setWindow(application_.mainWindow());
    localText_->setText(AddressIPv4::localHost().toString());
    AddressIPv4::parse("127.0.0.1", serverAddress_);
    serverText_->setText(serverAddress_.toString());
    port_ = portFromEnvironment();
    server_ = std::make_unique<NetworkServer>(*this, port_);
    client_ = std::make_unique<NetworkClient>(*this, port_);
    if (TrackInfoClient* tic = application_.trackInfoClient()) tic->setNetworkClient(client_.get());
    if (const char* path = std::getenv("VELKARN_TEST_STATUS"); path != nullptr && *path != '\0') {
        status_ = std::fopen(path, "a");
        if (status_ == nullptr) logMessage(std::string("Cannot open the status file ") + path, __FILE__, __LINE__);
    }
}

void PanelNetwork::endLink() {
    TrackInfoClient* tic = application_.trackInfoClient();
    if (tic != nullptr && client_) tic->detach();
    if (server_) server_->stop();
    if (client_) client_->disconnect();
}

void PanelNetwork::retime() {
    const int b = application_.currentBeatIndex();
    application_.rebuildBeatInfo(application_.currentSampleTime(), b + 2);
    application_.rerenderDecksFrom(b);
    application_.rerenderSecondFrom(b);
    host_.notifyMainWindow(1, 0);
}

void PanelNetwork::disconnect(bool redraw) {
    endLink();
    modes_->select(modeStandAlone);
    if (redraw) showTexts();
}

void PanelNetwork::showTexts() {
    const std::string line = chat_.text();
    if (chatText_->text() != line) chatText_->setText(line);
    serverText_->setText(serverAddress_.toString());
}

void PanelNetwork::groupButtonPressed(GUIButtonManager* /*group*/, int index) {
    endLink();
    bool refused = false;
    if (index == modeServer || index == modeClient) {
        const char* caption = index == modeServer ? "Cannot Start Server" : "Cannot Be a Client";
        if (!application_.isPlaying() || application_.beatMapper() != nullptr) {
            showMessage(caption, "Velkarn is not playing.");
            refused = true;
        } else if (index == modeServer) {
            if (!server_->start()) {
                showMessage(caption, "The server could not be started.");
                refused = true;
            }
        } else if (client_->connect(serverAddress_)) {
            try {
                application_.trackInfoClient()->synchronize();
            } catch (const StringException& error) {
                // The connection stays open until the next mode change.
                showMessage(caption, error.what());
                modes_->select(modeStandAlone);
            }
        } else {
            showMessage(caption, serverAddress_.toString() + " is not running as a server.");
            refused = true;
        }
    }
    if (refused) modes_->select(modeStandAlone);
    retime();
}

void PanelNetwork::buttonPressed(GUIButton* button) {
    if (button == setServerButton_) {
        openSetServer();
        setServerButton_->setUp();
    } else if (button == talkButton_) {
        openTalk();
        talkButton_->setUp();
    }
}

void PanelNetwork::openSetServer() {
    SetServerHandler handler(serverAddress_);
    runTemplate(application_.mainWindow(), setServerDialog, handler);
    serverText_->setText(serverAddress_.toString());
}

void PanelNetwork::openTalk() {
    if (!isServing() && !isConnected()) {
        showMessage("Cannot Talk", "You are not running as a server or connected as a client.");
        return;
    }
    TalkHandler handler(*this);
    runTemplate(application_.mainWindow(), talkDialog, handler);
}

void PanelNetwork::sendTalk(const std::string& text) {
    const std::string request = NetworkCommands::talkRequest(text);
    if (isServing()) {
        server_->broadcast(request);
    } else if (isConnected()) {
        std::string reply;
        client_->request(request, reply);
    }
}

void PanelNetwork::sendBeatUpdate(int beat) {
    if (isServing()) server_->broadcast(NetworkCommands::updateRequest(beat));
}

void PanelNetwork::handlePanelMessage(int kind) {
    if (kind != 0) fatalError("This message is not addressed to me.", __FILE__, __LINE__);
    const std::string line = chat_.text();
    if (chatText_->text() != line) chatText_->setText(line);
    const int mode = modes_->selectedIndex();
    if (mode == modeServer && !isServing()) {
        modes_->select(modeStandAlone);
    } else if (mode == modeClient && !isConnected()) {
        // The server went away: the decks follow the local grid again.
        modes_->select(modeStandAlone);
        retime();
    }
}

void PanelNetwork::appendStatusLine() {
    if (status_ == nullptr) return;
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const std::int64_t nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    const std::int64_t time = application_.currentSampleTime();
    const int index = application_.currentBeatIndex();
    const TrackBeat beat = application_.beatAt(index);
    bool synchronized = false;
    std::int64_t timeOffset = 0;
    int beatOffset = 0;
    if (TrackInfoClient* tic = application_.trackInfoClient()) {
        synchronized = tic->isSynchronized();
        timeOffset = tic->timeOffset();
        beatOffset = tic->beatOffset();
    }
    std::fprintf(status_, "%" PRId64 " %" PRId64 " %d %" PRId64 " %d %d %" PRId64 " %d %s\n", nanoseconds, time,
                 index, beat.position, beat.length, synchronized ? 1 : 0, timeOffset, beatOffset,
                 chat_.text().c_str());
    std::fflush(status_);
}

void PanelNetwork::received(NetworkServer& /*server*/, const AddressIPv4& peer, const std::string& text,
                            std::string& reply) {
    commands_.answerAsServer(peer, text, reply);
}

void PanelNetwork::disconnected(NetworkServer& /*server*/, const AddressIPv4& peer) { commands_.clientLeft(peer); }

void PanelNetwork::stopped(NetworkServer& /*server*/) { host_.notifyMainWindow(0, 0); }

void PanelNetwork::received(NetworkClient& /*client*/, const std::string& text, std::string& reply) {
    const TrackInfoClient* tic = application_.trackInfoClient();
    commands_.answerAsClient(tic != nullptr ? tic->beatOffset() : 0, text, reply);
}

void PanelNetwork::disconnected(NetworkClient& /*client*/) {
    // The re-time waits for the user-interface thread (handlePanelMessage).
    if (TrackInfoClient* tic = application_.trackInfoClient()) tic->detach();
    commands_.serverLeft();
}

int PanelNetwork::selectedMode() const { return modes_->selectedIndex(); }
std::string PanelNetwork::chatText() { return chatText_->text(); }
std::string PanelNetwork::serverAddressText() { return serverText_->text(); }
std::string PanelNetwork::localAddressText() { return localText_->text(); }
bool PanelNetwork::isServing() const { return server_ && server_->isRunning(); }
bool PanelNetwork::isConnected() const { return client_ && client_->isConnected(); }
