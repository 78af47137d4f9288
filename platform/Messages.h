// Message identifiers the program posts and receives.
#ifndef VELKARN_PLATFORM_MESSAGES_H
#define VELKARN_PLATFORM_MESSAGES_H

#include <cstdint>

namespace platform {

using WindowHandle = std::uint32_t;  // 0 is no window
constexpr WindowHandle noWindow = 0;

struct Message {
    WindowHandle window = noWindow;
    std::uint32_t id = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

constexpr std::uint32_t userMessage = 1024;
// A window asks the main loop to close it; the loop acts on it itself and
// never dispatches it.
constexpr std::uint32_t closeRequestMessage = userMessage;
constexpr std::uint32_t redrawMessage = userMessage + 1;   // full redraw
constexpr std::uint32_t clientMessage = userMessage + 2;   // worker to window; progress position

// MIDI input notifications (wParam the device, lParam the packed message).
constexpr std::uint32_t midiInOpenMessage = 0x3C1;
constexpr std::uint32_t midiInCloseMessage = 0x3C2;
constexpr std::uint32_t midiInDataMessage = 0x3C3;
constexpr std::uint32_t midiInLongDataMessage = 0x3C4;
constexpr std::uint32_t midiInErrorMessage = 0x3C5;
constexpr std::uint32_t midiInLongErrorMessage = 0x3C6;
constexpr std::uint32_t midiInMoreDataMessage = 0x3CC;

constexpr bool isMidiInputMessage(std::uint32_t id) {
    return (id >= midiInOpenMessage && id <= midiInLongErrorMessage) || id == midiInMoreDataMessage;
}

}  // namespace platform

#endif
