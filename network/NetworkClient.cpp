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
    {
        std::lock_guard<std::mutex> lock(mutex_);
        socket_ = socket;
    }
    if (socket->start()) return true;
    std::lock_guard<std::mutex> lock(mutex_);
    socket_.reset();
    return false;
}

void NetworkClient::disconnect() {
    std::shared_ptr<Socket> taken;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        taken.swap(socket_);
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
    std::shared_ptr<Socket> taken;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (socket_.get() == &socket) taken.swap(socket_);
    }
    if (!taken) return;  // disconnected meanwhile
    // The listener hears first; the socket goes when the last owner (this
    // thread, or a request in flight) lets go.
    listener_.disconnected(*this);
}
