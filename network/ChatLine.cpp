#include "network/ChatLine.h"

void ChatLine::set(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    text_ = text.substr(0, maximumLength);
}

std::string ChatLine::text() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return text_;
}
