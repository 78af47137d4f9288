#include "platform/AlsaMessages.h"

#include "platform/PlatformLog.h"

#include <alsa/asoundlib.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

namespace platform {
namespace {

// Never redirect descriptor 2 instead: that would swallow everyone's output.
void alsaMessage(const char* file, int line, const char* function, int error, const char* format, ...) {
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    std::string message = std::string("ALSA ") + (file != nullptr ? file : "") + ":" + std::to_string(line) + " (" +
                          (function != nullptr ? function : "") + "): " + text;
    if (error != 0) message += std::string(": ") + snd_strerror(error);
    PLATFORM_VERBOSE_NOTE(message);
}

}  // namespace

void routeAlsaMessages() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(alsaMessage); });
}

}  // namespace platform
