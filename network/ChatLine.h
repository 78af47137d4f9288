// The last chat line: written on network threads, read on the
// user-interface thread as a copy.
#ifndef VELKARN_NETWORK_CHATLINE_H
#define VELKARN_NETWORK_CHATLINE_H

#include <mutex>
#include <string>

class ChatLine {
public:
    static constexpr std::size_t maximumLength = 511;

    // Keeps the first 511 bytes.
    void set(const std::string& text);
    std::string text() const;

private:
    mutable std::mutex mutex_;
    std::string text_;
};

#endif
