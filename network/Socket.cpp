#include "network/Socket.h"

#include "network/MessageReassembler.h"

#include "framework/Log.h"
#include "framework/Reporters.h"
#include "platform/SocketErrors.h"


static_assert(Socket::maximumMessage == MessageReassembler::capacity, "what is sent must fit what is received");

namespace {
constexpr std::size_t headerLength = MessageReassembler::headerLength;
constexpr int timedOutError = 10060;
}  // namespace

Socket::Socket(platform::SocketHandle handle, NetworkPeer& handler) : handle_(handle), handler_(handler) {
    platform::Ipv4Bytes peer{0, 0, 0, 0};
    if (reportSocketError(platform::peerAddress(handle_, peer), __FILE__, __LINE__)) peer_ = AddressIPv4(peer);
    reportSocketError(platform::socketBufferSizes(handle_, sendBufferSize_, receiveBufferSize_), __FILE__, __LINE__);
    reportSocketError(platform::setSendTimeout(handle_, sendTimeoutMs), __FILE__, __LINE__);
}

Socket::~Socket() {
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        closing_ = true;
    }
    if (thread_.running()) {
        if (thread_.isCurrent()) {
            thread_.detach();
        } else {
            platform::shutdownSocket(handle_);
            thread_.join();
        }
    }
    reportSocketError(platform::closeSocket(handle_), __FILE__, __LINE__);
}

bool Socket::start() {
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        ended_ = false;
    }
    if (!thread_.start([this] { receiveLoop(); })) {
        logMessage("Thread creation failed.", __FILE__, __LINE__);
        std::lock_guard<std::mutex> lock(stateMutex_);
        ended_ = true;
        return false;
    }
    // The thread may end its own socket: it starts reading only once the
    // thread object is complete.
    std::lock_guard<std::mutex> lock(stateMutex_);
    launched_ = true;
    launchedChanged_.notify_all();
    return true;
}

bool Socket::send(std::string_view text, const char* header) {
    const std::size_t length = headerLength + text.size() + 1;
    if (length > maximumMessage) {
        logMessage("Message too big to send.", __FILE__, __LINE__);
        return false;
    }
    std::string message;
    message.reserve(length);
    message.append(header, headerLength);
    message.append(text);
    message.push_back('\0');

    std::lock_guard<std::mutex> lock(sendMutex_);
    if (broken_.load()) return false;
    std::size_t sent = 0;
    while (sent < length) {
        const long count = platform::sendBytes(handle_, message.data() + sent, length - sent);
        if (count <= 0) {
            const bool timedOut = platform::lastSocketError() == timedOutError;
            reportSocketError(-1, __FILE__, __LINE__);
            if (sent > 0 || timedOut) logMessage("Could not sent all bytes.", __FILE__, __LINE__);
            // The stream is broken (or the peer does not read): the peer
            // loses the connection, and the handler hears of it.
            broken_.store(true);
            platform::shutdownSocket(handle_);
            return false;
        }
        sent += static_cast<std::size_t>(count);
    }
    return true;
}

bool Socket::request(std::string_view text, std::string& reply) {
    auto lock = lockRequests();
    if (!sendRequest(text)) {
        reply.clear();
        return false;
    }
    return awaitReply(std::chrono::steady_clock::now() + std::chrono::milliseconds(replyTimeoutMs), reply);
}

bool Socket::sendRequest(std::string_view text) {
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        if (ended_) return false;
        waiting_ = true;
        arrived_ = false;
    }
    if (send(text, "QRTMA")) return true;
    std::lock_guard<std::mutex> lock(stateMutex_);
    waiting_ = false;
    return false;
}

bool Socket::awaitReply(Deadline deadline, std::string& reply) {
    std::unique_lock<std::mutex> lock(stateMutex_);
    replyArrived_.wait_until(lock, deadline, [this] { return arrived_ || ended_; });
    waiting_ = false;
    if (arrived_) {
        arrived_ = false;
        reply = std::move(reply_);
        reply_.clear();
        return true;
    }
    reply.clear();
    // Its reply may still come; it answers this request, not the next.
    if (!ended_) ++stale_;
    return false;
}

void Socket::close() {
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        closing_ = true;
    }
    platform::shutdownSocket(handle_);
}

int Socket::staleReplies() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return stale_;
}

void Socket::receiveLoop() {
    {
        std::unique_lock<std::mutex> lock(stateMutex_);
        launchedChanged_.wait(lock, [this] { return launched_; });
    }
    MessageReassembler messages;
    for (;;) {
        const long count = platform::receiveBytes(handle_, messages.space(), messages.room());
        if (count <= 0) break;
        const bool more = messages.received(static_cast<std::size_t>(count), [this](const char* message,
                                                                                    std::size_t length) {
            takeMessage(message, length);
        });
        if (!more) {
            logMessage("received alien message.", __FILE__, __LINE__);
            break;
        }
        if (broken_.load()) break;
    }
    finishReceiving();
}

void Socket::takeMessage(const char* message, std::size_t length) {
    if (broken_.load()) return;
    std::string_view text;
    switch (MessageReassembler::kindOf(message, length, text)) {
    case MessageReassembler::Kind::reply:
        takeReply('A', std::string(text));
        break;
    case MessageReassembler::Kind::binaryReply:
        takeReply('B', std::string(text));
        break;
    case MessageReassembler::Kind::request: {
        std::string reply;
        handler_.received(*this, std::string(text), reply);
        send(reply, "QRTRA");
        break;
    }
    case MessageReassembler::Kind::binaryRequest:
        // Answered all the same, so that requests and replies stay paired.
        logMessage("Binary messages not yet supported.", __FILE__, __LINE__);
        send("", "QRTRA");
        break;
    case MessageReassembler::Kind::alien:
        logMessage("received alien message.", __FILE__, __LINE__);
        break;
    }
}

void Socket::takeReply(char kind, std::string text) {
    if (kind == 'B') {
        // No request of ours asks for one: it answers nothing.
        logMessage("Binary messages not yet supported.", __FILE__, __LINE__);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        if (stale_ > 0) {
            --stale_;
            return;
        }
        if (waiting_ && !arrived_) {
            reply_ = std::move(text);
            arrived_ = true;
            replyArrived_.notify_all();
            return;
        }
    }
    logMessage("received alien message.", __FILE__, __LINE__);
}

void Socket::finishReceiving() {
    // The connection is over whatever ended it: the peer sees the close
    // now, even while the socket waits to be deleted.
    platform::shutdownSocket(handle_);
    bool closing;
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        closing = closing_;
        ended_ = true;
        replyArrived_.notify_all();
    }
    // The handler may delete this socket; nothing of it is touched after.
    if (!closing) handler_.closed(*this);
}
