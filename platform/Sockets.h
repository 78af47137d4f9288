// TCP sockets over POSIX, the way the program uses them. Calls that can
// fail return 0 or -1 (handles: invalidSocket) and leave the reason as the
// calling thread's last socket error (SocketErrors.h). Any thread.
#ifndef VELKARN_PLATFORM_SOCKETS_H
#define VELKARN_PLATFORM_SOCKETS_H

#include <array>
#include <cstddef>
#include <cstdint>

namespace platform {

using SocketHandle = int;
constexpr SocketHandle invalidSocket = -1;

// An IPv4 address as its four numbers, the first number first.
using Ipv4Bytes = std::array<std::uint8_t, 4>;

// A blocking TCP socket (close-on-exec).
SocketHandle openTcpSocket();

// SO_REUSEADDR, so that a restarted server binds while old connections of
// the port linger in TIME_WAIT.
int setReuseAddress(SocketHandle socket);
// A send that cannot hand over any byte for this long fails with the
// time-out error (10060).
int setSendTimeout(SocketHandle socket, int milliseconds);

// Binds to every local address at the port (0: a free port of the system).
int bindToAnyAddress(SocketHandle socket, int port);
int listenOn(SocketHandle socket, int backlog);
// The port the socket is bound to.
int localPort(SocketHandle socket, int& port);
// Waits for a connection; invalidSocket when the listening socket fails or
// was shut down (shutdownSocket wakes a thread waiting here).
SocketHandle acceptConnection(SocketHandle listening);
// Connects, waiting at most timeoutMs (time-out: error 10060).
int connectTo(SocketHandle socket, const Ipv4Bytes& address, int port, int timeoutMs);

// The count of bytes handed over (at least 1), or -1. Never raises
// SIGPIPE: a closed peer is error 10058.
long sendBytes(SocketHandle socket, const void* data, std::size_t count);
// The count of bytes received, 0 when the peer closed, or -1.
long receiveBytes(SocketHandle socket, void* data, std::size_t count);

// Shuts both directions: threads waiting in receiveBytes or
// acceptConnection on the socket return (closing alone wakes nobody here).
int shutdownSocket(SocketHandle socket);
int closeSocket(SocketHandle socket);

int peerAddress(SocketHandle socket, Ipv4Bytes& address);
int socketBufferSizes(SocketHandle socket, int& sendBytes, int& receiveBytes);

// This host's first IPv4 address by its name.
int localHostAddress(Ipv4Bytes& address);

}  // namespace platform

#endif
