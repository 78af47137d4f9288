// Connects to one server and sends requests to it.
#ifndef VELKARN_NETWORK_NETWORKCLIENT_H
#define VELKARN_NETWORK_NETWORKCLIENT_H

#include "network/AddressIPv4.h"
#include "network/NetworkClientListener.h"
#include "network/NetworkPeer.h"
#include "network/Socket.h"

#include <memory>
#include <mutex>
#include <string_view>

class NetworkClient : public NetworkPeer {
public:
    static constexpr int connectTimeoutMs = 5000;

    NetworkClient(NetworkClientListener& listener, int port);
    ~NetworkClient() override;  // disconnects

    // True at once when connected. Waits at most five seconds; a refused
    // or failed connection, or a receive thread that cannot start, gives
    // false.
    bool connect(const AddressIPv4& address);
    // Closes the connection without telling the listener.
    void disconnect();
    bool isConnected() const;
    // The connection's request (false with an empty reply when there is
    // none). Any thread; a connection lost meanwhile stays alive until the
    // request returns.
    bool request(std::string_view text, std::string& reply);
    void setPort(int port) { port_ = port; }

    void received(Socket& socket, const std::string& text, std::string& reply) override;
    void closed(Socket& socket) override;

private:
    std::shared_ptr<Socket> currentSocket() const;

    NetworkClientListener& listener_;
    int port_;
    mutable std::mutex mutex_;
    std::shared_ptr<Socket> socket_;
    std::shared_ptr<Socket> retired_;
};

#endif
