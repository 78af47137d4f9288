// What a NetworkClient tells its owner; called on the connection's receive
// thread, never on the user-interface thread.
#ifndef VELKARN_NETWORK_NETWORKCLIENTLISTENER_H
#define VELKARN_NETWORK_NETWORKCLIENTLISTENER_H

#include <string>

class NetworkClient;

class NetworkClientListener {
public:
    virtual ~NetworkClientListener() = default;
    // A request from the server; the reply starts empty.
    virtual void received(NetworkClient& client, const std::string& text, std::string& reply);
    // The server ended the connection (not called after disconnect).
    virtual void disconnected(NetworkClient& client) = 0;
};

inline void NetworkClientListener::received(NetworkClient&, const std::string&, std::string& reply) {
    reply.clear();
}

#endif
