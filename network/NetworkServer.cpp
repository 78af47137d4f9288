#include "network/NetworkServer.h"

#include "framework/Log.h"
#include "framework/Reporters.h"

#include <chrono>
#include <memory>
#include <vector>

NetworkServer::NetworkServer(NetworkServerListener& listener, int port) : listener_(listener), port_(port) {}

NetworkServer::~NetworkServer() { stop(); }

void NetworkServer::closeListeningSocket() {
    if (listening_ != platform::invalidSocket) {
        reportSocketError(platform::closeSocket(listening_), __FILE__, __LINE__);
        listening_ = platform::invalidSocket;
    }
}

bool NetworkServer::start() {
    std::lock_guard<std::mutex> lock(lifecycle_);
    if (running_.load()) return true;
    // An accept loop that failed on its own left its thread and socket.
    acceptThread_.join();
    closeListeningSocket();

    listening_ = platform::openTcpSocket();
    if (listening_ == platform::invalidSocket) {
        reportSocketError(-1, __FILE__, __LINE__);
        return false;
    }
    int port = 0;
    if (!reportSocketError(platform::setReuseAddress(listening_), __FILE__, __LINE__) ||
        !reportSocketError(platform::bindToAnyAddress(listening_, port_), __FILE__, __LINE__) ||
        !reportSocketError(platform::listenOn(listening_, 5), __FILE__, __LINE__) ||
        !reportSocketError(platform::localPort(listening_, port), __FILE__, __LINE__)) {
        closeListeningSocket();
        return false;
    }
    boundPort_.store(port);
    running_.store(true);
    closing_.store(false);
    if (!acceptThread_.start([this] { acceptLoop(); })) {
        logMessage("Could not create network server thread.", __FILE__, __LINE__);
        running_.store(false);
        closeListeningSocket();
        return false;
    }
    return true;
}

void NetworkServer::stop() {
    std::lock_guard<std::mutex> lock(lifecycle_);
    if (!acceptThread_.running() && listening_ == platform::invalidSocket) return;
    // The accept loop ends first, so that no connection is added after the
    // list was cleared; shutting the socket down wakes accept.
    closing_.store(true);
    if (listening_ != platform::invalidSocket) platform::shutdownSocket(listening_);
    acceptThread_.join();
    closeListeningSocket();
    list_.clear();
    running_.store(false);
}

void NetworkServer::acceptLoop() {
    for (;;) {
        const platform::SocketHandle handle = platform::acceptConnection(listening_);
        if (handle == platform::invalidSocket) {
            if (!closing_.load()) reportSocketError(-1, __FILE__, __LINE__);
            break;
        }
        auto socket = std::make_unique<Socket>(handle, *this);
        Socket* added = socket.get();
        // Listed before its thread starts, so that a peer that leaves at
        // once is removed again; a full list closes the connection at once.
        if (closing_.load() || !list_.add(socket)) continue;
        if (!added->start()) list_.remove(added);
    }
    running_.store(false);
    if (!closing_.load()) listener_.stopped(*this);
}

void NetworkServer::broadcast(std::string_view text) {
    list_.walk([text](const std::vector<Socket*>& sockets) {
        std::vector<std::unique_lock<std::mutex>> locks;
        std::vector<Socket*> asked;
        for (Socket* socket : sockets) {
            locks.push_back(socket->lockRequests());
            if (socket->sendRequest(text)) asked.push_back(socket);
        }
        // One deadline for all: a peer that never answers costs one second
        // in all, not one per connection.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(Socket::replyTimeoutMs);
        std::string dropped;
        for (Socket* socket : asked) socket->awaitReply(deadline, dropped);
    });
}

void NetworkServer::received(Socket& socket, const std::string& text, std::string& reply) {
    listener_.received(*this, socket.peerAddress(), text, reply);
}

void NetworkServer::closed(Socket& socket) {
    const AddressIPv4 peer = socket.peerAddress();  // the socket may go below
    listener_.disconnected(*this, peer);
    list_.remove(&socket);
}
