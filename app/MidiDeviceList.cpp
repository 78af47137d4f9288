#include "app/MidiDeviceList.h"

#include "platform/MessageBox.h"
#include "platform/midi/MidiNames.h"

#include <algorithm>
#include <cstring>
#include <string>

using namespace platform::midi;

namespace {

constexpr std::size_t maxErrorText = 512;

// At most size - 1 bytes, never ending inside a UTF-8 character.
void copyName(char* slot, std::size_t size, const std::string& name) {
    const std::string cut = cutUtf8(name, size - 1);
    std::memcpy(slot, cut.data(), cut.size());
    slot[cut.size()] = '\0';
}

void showError(MidiResult result, const char* fallback, const char* caption) {
    std::string text;
    if (!midiErrorText(result, text) || text.empty()) text = fallback;
    if (text.size() > maxErrorText) text.resize(maxErrorText);
    platform::showMessageBox({caption, text, platform::BoxButtons::Ok, platform::BoxIcon::Error});
}

}  // namespace

int MidiDeviceList::refresh(List& list, bool output) {
    const unsigned listed = std::min<unsigned>(output ? midiOutputCount() : midiInputCount(), maxDevices);
    list.count = static_cast<std::int32_t>(listed);
    for (unsigned device = 0; device < listed; ++device) {
        std::string name;
        const MidiResult result = output ? midiOutputName(device, name) : midiInputName(device, name);
        // The service leaves the name empty on a failure, never the entry's
        // previous one.
        copyName(list.names[device].data(), nameSize, result == midiOk ? name : std::string());
        list.identifiers[device] = device;
        if (result != midiOk && result != midiBadDeviceId && output) showOutputError(result);
    }
    return list.count;
}

int MidiDeviceList::refreshInputs() { return refresh(inputs_, false); }
int MidiDeviceList::refreshOutputs() { return refresh(outputs_, true); }

const char* MidiDeviceList::nameIn(const List& list, int index) {
    if (index < 0 || index >= list.count) return noDeviceName;
    return list.names[static_cast<std::size_t>(index)].data();
}

int MidiDeviceList::indexIn(const List& list, const char* name) {
    for (int i = 0; i < list.count; ++i) {
        if (std::strcmp(list.names[static_cast<std::size_t>(i)].data(), name) == 0) return i;
    }
    return 0;
}

const char* MidiDeviceList::inputName(int index) {
    refreshInputs();
    return nameIn(inputs_, index);
}

const char* MidiDeviceList::outputName(int index) {
    refreshOutputs();
    return nameIn(outputs_, index);
}

int MidiDeviceList::inputIndex(const char* name) {
    refreshInputs();
    return indexIn(inputs_, name);
}

int MidiDeviceList::outputIndex(const char* name) {
    refreshOutputs();
    return indexIn(outputs_, name);
}

void MidiDeviceList::validateName(bool output, char* name) {
    List& list = output ? outputs_ : inputs_;
    refresh(list, output);
    if (list.count == 0) {
        copyName(name, nameSize, noDeviceName);
        return;
    }
    for (int i = 0; i < list.count; ++i) {
        if (std::strcmp(list.names[static_cast<std::size_t>(i)].data(), name) == 0) return;
    }
    copyName(name, nameSize, list.names[0].data());
}

unsigned MidiDeviceList::deviceFor(bool output, const char* name) {
    List list;
    refresh(list, output);
    return list.identifiers[static_cast<std::size_t>(indexIn(list, name))];
}

void MidiDeviceList::showInputError(MidiResult result) {
    showError(result, "A midi in device error occured, but details are not available.", "Midi In Device Error");
}

void MidiDeviceList::showOutputError(MidiResult result) {
    showError(result, "A midi out device error occurred, but details are not available.", "Midi Out Device Error");
}
