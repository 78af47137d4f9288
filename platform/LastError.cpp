#include "platform/LastError.h"

#include <cstring>
#include <utility>

namespace platform {
namespace {
thread_local std::string lastErrorText;
}

void setLastErrorText(std::string text) { lastErrorText = std::move(text); }

void setLastErrorFromErrno(const std::string& what, int errnoValue) {
    char buffer[256];
    // GNU strerror_r returns the text, which need not be in the buffer.
    const char* text = strerror_r(errnoValue, buffer, sizeof buffer);
    setLastErrorText(what + ": " + text);
}

std::string takeLastErrorText() {
    std::string text = std::move(lastErrorText);
    lastErrorText.clear();
    return text;
}

}  // namespace platform
