// Lists the MIDI or HID devices with the backend the environment chooses
// and tries to open the first of each kind, printing nothing itself: the
// tests read its exit status (the number of devices) and check that the
// libraries wrote nothing to its stdout or stderr.
#include "platform/EventLoop.h"
#include "platform/hid/HidService.h"
#include "platform/midi/MidiService.h"

#include <cstring>
#include <string>

namespace {

class Ignoring : public platform::MessageTarget {
public:
    void handleMessage(const platform::Message&) override {}
};

int probeMidi() {
    using namespace platform::midi;
    platform::setUiThread();
    Ignoring target;
    const platform::WindowHandle window = platform::registerWindow(&target);
    const unsigned inputs = midiInputCount();
    const unsigned outputs = midiOutputCount();
    std::string name;
    midiInputName(0, name);
    midiOutputName(0, name);
    MidiHandle handle = noMidiHandle;
    if (midiInputOpen(0, window, handle) == midiOk) midiInputClose(handle);
    if (midiOutputOpen(0, handle) == midiOk) midiOutputClose(handle);
    platform::unregisterWindow(window);
    return static_cast<int>(inputs + outputs);
}

int probeHid() {
    using namespace platform::hid;
    const auto units = hidEnumerate();
    // Opens nothing but exact matches, so with no such unit this is quiet too.
    hidOpenFirst(0x10C4, 0x0000);
    hidOpenFirst(0x09DB, 0x007A);
    return static_cast<int>(units.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 250;
    int found = 0;
    if (std::strcmp(argv[1], "midi") == 0) {
        found = probeMidi();
    } else if (std::strcmp(argv[1], "hid") == 0) {
        found = probeHid();
    } else {
        return 251;
    }
    return found > 200 ? 200 : found;
}
