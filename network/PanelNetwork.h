// Stand-in until "Network link: framing and socket connection, server and client, commands and network panel, clock alignment"
// replaces it: the network panel on its background, recording the calls
// the application makes (the link itself is not started).
#ifndef VELKARN_NETWORK_PANELNETWORK_H
#define VELKARN_NETWORK_PANELNETWORK_H

#include "app/ApplicationInterface.h"
#include "framework/GUIPanel.h"
#include "framework/GUIPanelGroup.h"

#include <mutex>
#include <string>
#include <vector>

class PanelNetwork : public GUIPanel {
public:
    PanelNetwork(GUIPanelGroup* group, ApplicationInterface* /*application*/)
        : GUIPanel(10, 445, "velkarn/panelGroup/network", true) {
        group->add(this);
    }

    void createEndpoints() { note("createEndpoints"); }
    void disconnect(bool quiet) { note(quiet ? "disconnect true" : "disconnect false"); }
    void sendBeatUpdate(int beat) { note("sendBeatUpdate " + std::to_string(beat)); }
    // The state refresh that a posted kind-0 message asks for.
    void refreshState() { note("refreshState"); }

    std::vector<std::string> calls() const {
        std::lock_guard<std::mutex> hold(mutex_);
        return calls_;
    }
    void clearCalls() {
        std::lock_guard<std::mutex> hold(mutex_);
        calls_.clear();
    }

private:
    void note(const std::string& call) {
        std::lock_guard<std::mutex> hold(mutex_);
        calls_.push_back(call);
    }

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

#endif
