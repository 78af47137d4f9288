#include "network/NetworkClient.h"

#include "framework/Reporters.h"

NetworkClient::NetworkClient(NetworkClientListener& listener, int port) : listener_(listener), port_(port) {}

NetworkClient::~NetworkClient() { disconnect(); }

bool NetworkClient::connect(const AddressIPv4& address) {
    if (isConnected()) return true;
    const platform::SocketHandle handle = platform::openTcpSocket();
    if (handle == platform::invalidSocket) {
        reportSocketError(-1, __FILE__, __LINE__);
        return false;
    }
    if (!reportSocketError(platform::connectTo(handle, address.bytes(), port_, connectTimeoutMs), __FILE__,
                           __LINE__)) {
        platform::closeSocket(handle);
        return false;
    }
    auto socket = std::make_shared<Socket>(handle, *this);
    std::shared_ptr<Socket> retired;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        socket_ = socket;
        retired.swap(retired_);  // a connection the server ended
    }
    retired.reset();
    if (socket->start()) return true;
    std::lock_guard<std::mutex> lock(mutex_);
    socket_.reset();
    return false;
}

void NetworkClient::disconnect() {
    std::shared_ptr<Socket> taken;
    std::shared_ptr<Socket> retired;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        taken.swap(socket_);
        retired.swap(retired_);
    }
    // Closed before the last owner lets go, so that a request still in
    // flight on another thread gives up at once.
    if (taken) taken->close();
}

bool NetworkClient::isConnected() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return socket_ != nullptr;
}

std::shared_ptr<Socket> NetworkClient::currentSocket() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return socket_;
}

bool NetworkClient::request(std::string_view text, std::string& reply) {
    const std::shared_ptr<Socket> socket = currentSocket();
    if (!socket) {
        reply.clear();
        return false;
    }
    return socket->request(text, reply);
}

void NetworkClient::received(Socket&, const std::string& text, std::string& reply) {
    listener_.received(*this, text, reply);
}

void NetworkClient::closed(Socket& socket) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (socket_.get() != &socket) return;  // disconnected meanwhile
        // Kept aside until the owner's next connect or disconnect, which
        // waits for this thread: a request in flight on another thread
        // (which may hold a lock the listener takes) never deletes it.
        retired_ = std::move(socket_);
    }
    listener_.disconnected(*this);
}
