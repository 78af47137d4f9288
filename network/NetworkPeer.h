// The handler of a Socket: what its receive thread calls.
#ifndef VELKARN_NETWORK_NETWORKPEER_H
#define VELKARN_NETWORK_NETWORKPEER_H

#include <string>

class Socket;

class NetworkPeer {
public:
    virtual ~NetworkPeer() = default;
    // A request arrived; `reply` (empty on entry) is sent back as its
    // answer. On the socket's receive thread.
    virtual void received(Socket& socket, const std::string& text, std::string& reply) = 0;
    // The peer ended the connection (never called when the owner closed
    // it). On the socket's receive thread, which touches the socket no more
    // once this returns, so the handler may delete it here.
    virtual void closed(Socket& socket) = 0;
};

#endif
