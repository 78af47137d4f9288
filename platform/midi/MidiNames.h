// How device names are made fit for the lists: the sequencer's address
// dropped, cut to a byte limit on a character boundary, made unique.
#ifndef VELKARN_PLATFORM_MIDI_MIDINAMES_H
#define VELKARN_PLATFORM_MIDI_MIDINAMES_H

#include <cstddef>
#include <string>
#include <vector>

namespace platform::midi {

// "client:port 20:0" -> "client:port". The numbers change when a device is
// plugged in again; the name without them does not.
std::string withoutSequencerAddress(const std::string& name);

// At most maxBytes bytes, never ending inside a UTF-8 sequence.
std::string cutUtf8(const std::string& text, std::size_t maxBytes);

// Each name cut to maxBytes; a name met before gets " (2)", " (3)", ... with
// its stem cut so that the whole still fits.
std::vector<std::string> uniqueNames(const std::vector<std::string>& names, std::size_t maxBytes);

}  // namespace platform::midi

#endif
