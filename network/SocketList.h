// The server's connections: 128 slots of owned sockets under one lock.
#ifndef VELKARN_NETWORK_SOCKETLIST_H
#define VELKARN_NETWORK_SOCKETLIST_H

#include "network/Socket.h"

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class SocketList {
public:
    static constexpr int slotCount = 128;

    SocketList() = default;
    virtual ~SocketList();  // clears the list
    SocketList(const SocketList&) = delete;
    SocketList& operator=(const SocketList&) = delete;

    // Into the first free slot, taking the socket; false when all slots are
    // taken, and the socket stays with the caller.
    bool add(std::unique_ptr<Socket>& socket);
    // Takes the socket out and deletes it once the lock is released; false
    // (and nothing done) when it is not listed. Called on the socket's own
    // receive thread, the socket is kept aside instead and deleted by the
    // next add or clear on another thread, which waits for that thread to
    // end: so nothing runs on after the list's owner is gone.
    bool remove(Socket* socket);
    // Deletes every socket, outside the lock.
    void clear();
    int count() const;

    // Calls body with the listed sockets in slot order while holding the
    // lock, so that none is added or removed meanwhile.
    void walk(const std::function<void(const std::vector<Socket*>&)>& body);

private:
    mutable std::mutex mutex_;
    std::array<std::unique_ptr<Socket>, slotCount> slots_;
    std::vector<std::unique_ptr<Socket>> retired_;
};

#endif
