// A MIDI input receiver for tests: records what a window hands it.
#ifndef VELKARN_TESTS_SUPPORT_RECORDINGMIDIIN_H
#define VELKARN_TESTS_SUPPORT_RECORDINGMIDIIN_H

#include "platform/MidiIn.h"

#include <vector>

namespace testing_support {

class RecordingMidiIn : public platform::MidiIn {
public:
    struct Call {
        std::uint32_t message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
        friend bool operator==(const Call&, const Call&) = default;
    };
    void inputCallback(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
        calls.push_back({message, wParam, lParam});
    }
    std::vector<Call> calls;
};

}  // namespace testing_support

#endif
