// The receive side of the message framing: bytes arrive in pieces of any
// size, and every run of bytes up to and including a zero is one message.
// At most `capacity` bytes wait for their zero; a full buffer without one
// can never become a message, and the stream carries no further message.
//
// A message is "QRT", a direction ('M' request, 'R' reply), a kind ('A'
// text, 'B' binary), the text and the zero; anything else is alien.
#ifndef VELKARN_NETWORK_MESSAGEREASSEMBLER_H
#define VELKARN_NETWORK_MESSAGEREASSEMBLER_H

#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

class MessageReassembler {
public:
    static constexpr std::size_t capacity = 65536;
    static constexpr std::size_t headerLength = 5;

    enum class Kind { alien, request, binaryRequest, reply, binaryReply };
    // The kind of one message (its zero included) and, unless alien, its text.
    static Kind kindOf(const char* message, std::size_t length, std::string_view& text);

    MessageReassembler() : buffer_(capacity) {}

    // Where the next bytes go, and how many fit there.
    char* space() { return buffer_.data() + filled_; }
    std::size_t room() const { return capacity - filled_; }
    // Bytes waiting for their zero.
    std::size_t waiting() const { return filled_; }

    // `count` bytes (at most room()) were written at space(): hands every
    // message they complete to take(message, length), in order, and keeps
    // the rest. False when the buffer is full and holds no zero.
    template <typename Take>
    bool received(std::size_t count, Take&& take) {
        const std::size_t old = filled_;
        filled_ += count;
        std::size_t start = 0;
        // Only the new bytes can hold a zero.
        std::size_t searchFrom = old;
        while (searchFrom < filled_) {
            const void* zero = std::memchr(buffer_.data() + searchFrom, 0, filled_ - searchFrom);
            if (zero == nullptr) break;
            const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(zero) - buffer_.data()) + 1;
            take(buffer_.data() + start, end - start);
            start = end;
            searchFrom = end;
        }
        if (start > 0) {
            std::memmove(buffer_.data(), buffer_.data() + start, filled_ - start);
            filled_ -= start;
        }
        return filled_ < capacity;
    }

private:
    std::vector<char> buffer_;
    std::size_t filled_ = 0;
};

#endif
