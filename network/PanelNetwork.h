// The main window's network panel: three radio buttons that make this
// instance stand alone, a server or a client, the server's address, a chat
// line and its Talk dialog. It owns the server and the client, answers
// their peers through NetworkCommands and hands the client to the
// application's TrackInfoClient.
//
// The listeners run on the connections' receive threads: they only fill the
// chat line and post notifications to the main window; everything else runs
// on the user-interface thread (handlePanelMessage for kind 0).
#ifndef VELKARN_NETWORK_PANELNETWORK_H
#define VELKARN_NETWORK_PANELNETWORK_H

#include "app/ApplicationInterface.h"
#include "framework/ButtonClient.h"
#include "framework/ButtonGroupClient.h"
#include "framework/GUIPanel.h"
#include "network/AddressIPv4.h"
#include "network/ChatLine.h"
#include "network/NetworkClientListener.h"
#include "network/NetworkCommands.h"
#include "network/NetworkHost.h"
#include "network/NetworkServerListener.h"

#include <cstdio>
#include <memory>
#include <string>

class Font;
class GUIButton;
class GUIButtonManager;
class GUIPanelGroup;
class GUITextHorizontal;
class NetworkClient;
class NetworkServer;
class Window;

class PanelNetwork : public GUIPanel,
                     public ButtonClient,
                     public ButtonGroupClient,
                     public NetworkServerListener,
                     public NetworkClientListener {
public:
    static constexpr int defaultPort = 7925;
    // The radio group's buttons.
    static constexpr int modeStandAlone = 0;
    static constexpr int modeServer = 1;
    static constexpr int modeClient = 2;
    static constexpr int setServerDialog = 107;
    static constexpr int talkDialog = 108;
    static constexpr int textControl = 1012;

    PanelNetwork(GUIPanelGroup* group, ApplicationInterface* application);
    // Detaches the TrackInfoClient, then deletes the server and the client.
    ~PanelNetwork() override;

    // Once the panel is placed: the local address, the server address
    // "127.0.0.1", the server and the client (port VELKARN_NET_PORT, else
    // 7925), the client handed to the TrackInfoClient; and the status file
    // when VELKARN_TEST_STATUS names one.
    void createEndpoints();
    // Ends any link (detach, stop, disconnect) and selects stand alone
    // without re-timing; with redraw the texts are drawn again.
    void disconnect(bool redraw);
    // The application's beat update: "UPD" to every client while serving.
    void sendBeatUpdate(int beat);
    // A chat line to the clients while serving, else to the server while
    // connected.
    void sendTalk(const std::string& text);
    // Kind 0 of the main window's notifications (user-interface thread):
    // the chat text follows the last chat line, and a server that stopped
    // or a lost server brings the group back to stand alone (a lost server
    // also re-times the decks). Any other kind is a fatal internal error.
    void handlePanelMessage(int kind);
    // One line to the status file (each display refresh), when there is one.
    void appendStatusLine();

    void buttonPressed(GUIButton* button) override;
    void groupButtonPressed(GUIButtonManager* group, int index) override;

    void received(NetworkServer& server, const AddressIPv4& peer, const std::string& text,
                  std::string& reply) override;
    void disconnected(NetworkServer& server, const AddressIPv4& peer) override;
    void stopped(NetworkServer& server) override;
    void received(NetworkClient& client, const std::string& text, std::string& reply) override;
    void disconnected(NetworkClient& client) override;

    // What tests and the status line read.
    int selectedMode() const;
    const AddressIPv4& serverAddress() const { return serverAddress_; }
    std::string chatLine() const { return chat_.text(); }
    std::string chatText();
    std::string serverAddressText();
    std::string localAddressText();
    bool isServing() const;
    bool isConnected() const;
    int port() const { return port_; }
    NetworkServer* networkServer() const { return server_.get(); }
    GUIButton* modeButton(int index) const { return modeButtons_[index]; }

private:
    // The application as the link sees it (clock, grid, notifications).
    class Host : public NetworkHost {
    public:
        explicit Host(ApplicationInterface& application) : application_(application) {}
        float minimumTempo() override { return application_.minimumTempo(); }
        float maximumTempo() override { return application_.maximumTempo(); }
        std::int64_t currentSampleTime() override { return application_.currentSampleTime(); }
        int currentBeatIndex() override { return application_.currentBeatIndex(); }
        TrackBeat beatAt(int index) override { return application_.beatAt(index); }
        bool tryBeatIndexAt(std::int64_t sampleTime, int& index) override {
            return application_.tryBeatIndexAt(sampleTime, index);
        }
        bool tryBeatAt(int index, TrackBeat& beat) override { return application_.tryBeatAt(index, beat); }
        void notifyMainWindow(int kind, int value) override;
        void setWindow(Window* window) { window_ = window; }

    private:
        ApplicationInterface& application_;
        Window* window_ = nullptr;
    };

    // Step 1 of every mode change.
    void endLink();
    // Step 5: the grid rebuilt two beats ahead, both deck pairs re-rendered,
    // the strips redrawn (kind 1).
    void retime();
    void openSetServer();
    void openTalk();
    void showTexts();

    ApplicationInterface& application_;
    Host host_;
    ChatLine chat_;
    NetworkCommands commands_;
    std::unique_ptr<Font> font_;
    GUITextHorizontal* localText_ = nullptr;
    GUITextHorizontal* chatText_ = nullptr;
    GUITextHorizontal* serverText_ = nullptr;
    GUIButton* talkButton_ = nullptr;
    GUIButton* setServerButton_ = nullptr;
    GUIButton* modeButtons_[3] = {};
    std::unique_ptr<GUIButtonManager> modes_;
    AddressIPv4 serverAddress_;
    int port_ = defaultPort;
    std::unique_ptr<NetworkServer> server_;
    std::unique_ptr<NetworkClient> client_;
    std::FILE* status_ = nullptr;
};

#endif
