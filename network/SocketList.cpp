#include "network/SocketList.h"

SocketList::~SocketList() { clear(); }

bool SocketList::add(std::unique_ptr<Socket>& socket) {
    std::vector<std::unique_ptr<Socket>> retired;
    std::lock_guard<std::mutex> lock(mutex_);
    retired.swap(retired_);  // deleted after the lock is released
    for (auto& slot : slots_) {
        if (!slot) {
            slot = std::move(socket);
            return true;
        }
    }
    return false;
}

bool SocketList::remove(Socket* socket) {
    std::unique_ptr<Socket> taken;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& slot : slots_) {
            if (slot.get() == socket && socket != nullptr) {
                taken = std::move(slot);
                if (taken->onReceiveThread()) retired_.push_back(std::move(taken));
                return true;
            }
        }
    }
    // Deleted here, outside the lock: a socket deleted from another thread
    // waits for its receive thread, which may be waiting for this lock.
    return taken != nullptr;
}

void SocketList::clear() {
    std::array<std::unique_ptr<Socket>, slotCount> taken;
    std::vector<std::unique_ptr<Socket>> retired;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        taken.swap(slots_);
        retired.swap(retired_);
    }
}

int SocketList::count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    int count = 0;
    for (const auto& slot : slots_) count += slot ? 1 : 0;
    return count;
}

void SocketList::walk(const std::function<void(const std::vector<Socket*>&)>& body) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Socket*> sockets;
    for (const auto& slot : slots_) {
        if (slot) sockets.push_back(slot.get());
    }
    body(sockets);
}
