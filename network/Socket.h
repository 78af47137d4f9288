// One connected TCP socket with its receive thread.
//
// A message on the wire is "QRT", a direction ('M' request, 'R' reply), a
// kind ('A' text, 'B' binary), the text and a zero; at most 65536 bytes in
// all. TCP may split or join sends, so the receive thread puts the messages
// back together (MessageReassembler): every run of bytes up to a zero.
//
// Requests and replies pair up in order: each request waits up to a second
// for its reply; a request that timed out leaves one stale reply to come,
// which is discarded, so later requests still get their own answers.
#ifndef VELKARN_NETWORK_SOCKET_H
#define VELKARN_NETWORK_SOCKET_H

#include "network/AddressIPv4.h"
#include "network/NetworkPeer.h"
#include "platform/Sockets.h"
#include "platform/Thread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class Socket {
public:
    static constexpr std::size_t maximumMessage = 65536;
    static constexpr int replyTimeoutMs = 1000;
    static constexpr int sendTimeoutMs = 1000;
    using Deadline = std::chrono::steady_clock::time_point;

    // Takes the connected socket; reads its peer address and buffer sizes.
    // The receive thread starts with start().
    Socket(platform::SocketHandle handle, NetworkPeer& handler);
    // Closes without telling the handler. From another thread: shuts the
    // socket down and waits for the receive thread; on the receive thread
    // itself (from the handler's closed): lets the thread end on its own.
    virtual ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Starts the receive thread; false (logged) when it cannot start, and
    // the connection then counts as failed.
    bool start();

    // Frames and sends one message; false when it is too big, or when the
    // send failed, which closes the connection. Any thread; sends never
    // interleave.
    bool send(std::string_view text, const char* header);
    // Sends a request and waits up to a second for its reply (empty on
    // failure). One request at a time per connection.
    bool request(std::string_view text, std::string& reply);

    // The two halves of request, for a caller that waits on several
    // connections against one deadline: hold lockRequests() around both.
    std::unique_lock<std::mutex> lockRequests() { return std::unique_lock<std::mutex>(requestMutex_); }
    bool sendRequest(std::string_view text);
    bool awaitReply(Deadline deadline, std::string& reply);

    // The owner closes the connection: the receive thread ends without
    // calling the handler's closed, and waiting requests give up.
    void close();

    AddressIPv4 peerAddress() const { return peer_; }
    // True on this socket's own receive thread.
    bool onReceiveThread() const { return thread_.isCurrent(); }
    // Replies still to be discarded for requests that timed out.
    int staleReplies() const;

private:
    void receiveLoop();
    void takeMessage(const char* message, std::size_t length);
    void takeReply(char kind, std::string text);
    void finishReceiving();

    platform::SocketHandle handle_;
    NetworkPeer& handler_;
    AddressIPv4 peer_;
    int sendBufferSize_ = 0;
    int receiveBufferSize_ = 0;

    std::mutex sendMutex_;
    // A send failed: the stream is broken, nothing more is sent and the
    // requests still buffered are dropped.
    std::atomic<bool> broken_{false};
    std::mutex requestMutex_;

    // The hand-over between the receive thread and a waiting request.
    mutable std::mutex stateMutex_;
    std::condition_variable replyArrived_;
    std::condition_variable launchedChanged_;
    bool launched_ = false;
    bool closing_ = false;
    bool ended_ = true;  // no receive thread runs (yet, or any more)
    bool waiting_ = false;
    bool arrived_ = false;
    int stale_ = 0;
    std::string reply_;

    platform::Thread thread_;
};

#endif
