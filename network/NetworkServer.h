// Listens on a TCP port, keeps up to 128 connections and sends requests to
// all of them.
#ifndef VELKARN_NETWORK_NETWORKSERVER_H
#define VELKARN_NETWORK_NETWORKSERVER_H

#include "network/NetworkPeer.h"
#include "network/NetworkServerListener.h"
#include "network/SocketList.h"
#include "platform/Sockets.h"
#include "platform/Thread.h"

#include <atomic>
#include <mutex>
#include <string_view>

class NetworkServer : public NetworkPeer {
public:
    // Port 0 takes a free port of the system (see boundPort).
    NetworkServer(NetworkServerListener& listener, int port);
    ~NetworkServer() override;  // stops

    // True at once when running. Listens (SO_REUSEADDR, backlog 5) and
    // starts the accept thread; failures are logged and give false.
    bool start();
    // Ends the accept loop without telling the listener and closes every
    // connection; the peers see their connections close.
    void stop();
    bool isRunning() const { return running_.load(); }
    // The port listened on while running.
    int boundPort() const { return boundPort_.load(); }

    // Sends the text as a request on every connection, then waits for all
    // the replies against one deadline a second away; the replies are
    // dropped. Holds the connection list meanwhile.
    void broadcast(std::string_view text);
    int connectionCount() const { return list_.count(); }

    void received(Socket& socket, const std::string& text, std::string& reply) override;
    void closed(Socket& socket) override;

private:
    void acceptLoop();
    void closeListeningSocket();

    NetworkServerListener& listener_;
    const int port_;
    SocketList list_;
    std::mutex lifecycle_;  // start and stop
    platform::SocketHandle listening_ = platform::invalidSocket;
    std::atomic<bool> running_{false};
    std::atomic<bool> closing_{false};
    std::atomic<int> boundPort_{0};
    platform::Thread acceptThread_;
};

#endif
