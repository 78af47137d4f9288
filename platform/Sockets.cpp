#include "platform/Sockets.h"

#include "platform/SocketErrors.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

int failWithErrno() {
    setLastSocketError(winsockCodeFromErrno(errno));
    return -1;
}

sockaddr_in socketAddress(const Ipv4Bytes& address, int port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(static_cast<std::uint16_t>(port));
    std::memcpy(&result.sin_addr.s_addr, address.data(), 4);
    return result;
}

}  // namespace

SocketHandle openTcpSocket() {
    const int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (handle < 0) return failWithErrno();
    return handle;
}

int setReuseAddress(SocketHandle socket) {
    const int on = 1;
    if (::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) return failWithErrno();
    return 0;
}

int setSendTimeout(SocketHandle socket, int milliseconds) {
    timeval limit{};
    limit.tv_sec = milliseconds / 1000;
    limit.tv_usec = (milliseconds % 1000) * 1000;
    if (::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0) return failWithErrno();
    return 0;
}

int bindToAnyAddress(SocketHandle socket, int port) {
    const sockaddr_in address = socketAddress({0, 0, 0, 0}, port);
    if (::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return failWithErrno();
    return 0;
}

int listenOn(SocketHandle socket, int backlog) {
    if (::listen(socket, backlog) != 0) return failWithErrno();
    return 0;
}

int localPort(SocketHandle socket, int& port) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) return failWithErrno();
    port = ntohs(address.sin_port);
    return 0;
}

SocketHandle acceptConnection(SocketHandle listening) {
    for (;;) {
        const int handle = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
        if (handle >= 0) return handle;
        // A connection that was reset before it was taken is no failure of
        // the listening socket.
        if (errno == EINTR || errno == ECONNABORTED) continue;
        return failWithErrno();
    }
}

int connectTo(SocketHandle socket, const Ipv4Bytes& address, int port, int timeoutMs) {
    const sockaddr_in target = socketAddress(address, port);
    const int flags = ::fcntl(socket, F_GETFL);
    if (flags < 0 || ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) != 0) return failWithErrno();
    int result = ::connect(socket, reinterpret_cast<const sockaddr*>(&target), sizeof target);
    if (result != 0 && errno == EINPROGRESS) {
        pollfd waiting{socket, POLLOUT, 0};
        int ready;
        do {
            ready = ::poll(&waiting, 1, timeoutMs);
        } while (ready < 0 && errno == EINTR);
        if (ready == 0) {
            setLastSocketError(winsockCodeFromErrno(ETIMEDOUT));
            return -1;
        }
        if (ready < 0) return failWithErrno();
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return failWithErrno();
        if (error != 0) {
            setLastSocketError(winsockCodeFromErrno(error));
            return -1;
        }
        result = 0;
    } else if (result != 0) {
        return failWithErrno();
    }
    if (::fcntl(socket, F_SETFL, flags) != 0) return failWithErrno();
    return 0;
}

long sendBytes(SocketHandle socket, const void* data, std::size_t count) {
    for (;;) {
        const ssize_t sent = ::send(socket, data, count, MSG_NOSIGNAL);
        if (sent >= 0) return static_cast<long>(sent);
        if (errno == EINTR) continue;
        // A send time-out shows as EAGAIN on a blocking socket.
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            setLastSocketError(winsockCodeFromErrno(ETIMEDOUT));
            return -1;
        }
        return failWithErrno();
    }
}

long receiveBytes(SocketHandle socket, void* data, std::size_t count) {
    for (;;) {
        const ssize_t received = ::recv(socket, data, count, 0);
        if (received >= 0) return static_cast<long>(received);
        if (errno == EINTR) continue;
        return failWithErrno();
    }
}

int shutdownSocket(SocketHandle socket) {
    if (::shutdown(socket, SHUT_RDWR) != 0) return failWithErrno();
    return 0;
}

int closeSocket(SocketHandle socket) {
    if (::close(socket) != 0) return failWithErrno();
    return 0;
}

int peerAddress(SocketHandle socket, Ipv4Bytes& address) {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &size) != 0) return failWithErrno();
    std::memcpy(address.data(), &peer.sin_addr.s_addr, 4);
    return 0;
}

int socketBufferSizes(SocketHandle socket, int& sendSize, int& receiveSize) {
    socklen_t size = sizeof sendSize;
    if (::getsockopt(socket, SOL_SOCKET, SO_SNDBUF, &sendSize, &size) != 0) return failWithErrno();
    size = sizeof receiveSize;
    if (::getsockopt(socket, SOL_SOCKET, SO_RCVBUF, &receiveSize, &size) != 0) return failWithErrno();
    return 0;
}

int localHostAddress(Ipv4Bytes& address) {
    char name[512] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return failWithErrno();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int result = ::getaddrinfo(name, nullptr, &hints, &found);
    if (result != 0) {
        setLastSocketError(winsockCodeFromGetaddrinfo(result, errno));
        return -1;
    }
    const auto* first = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    std::memcpy(address.data(), &first->sin_addr.s_addr, 4);
    ::freeaddrinfo(found);
    return 0;
}

}  // namespace platform
