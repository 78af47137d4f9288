// What a NetworkServer tells its owner; called on the connections' receive
// threads and on the accept thread, never on the user-interface thread.
#ifndef VELKARN_NETWORK_NETWORKSERVERLISTENER_H
#define VELKARN_NETWORK_NETWORKSERVERLISTENER_H

#include "network/AddressIPv4.h"

#include <string>

class NetworkServer;

class NetworkServerListener {
public:
    virtual ~NetworkServerListener() = default;
    // A request from the peer; the reply starts empty.
    virtual void received(NetworkServer& server, const AddressIPv4& peer, const std::string& text,
                          std::string& reply);
    virtual void disconnected(NetworkServer& server, const AddressIPv4& peer) = 0;
    // The accept loop ended without a stop.
    virtual void stopped(NetworkServer& server) = 0;
};

inline void NetworkServerListener::received(NetworkServer&, const AddressIPv4&, const std::string&,
                                            std::string& reply) {
    reply.clear();
}

#endif
