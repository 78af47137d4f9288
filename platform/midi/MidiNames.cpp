#include "platform/midi/MidiNames.h"

#include <algorithm>
#include <set>

namespace platform::midi {

std::string withoutSequencerAddress(const std::string& name) {
    // A trailing " <digits>:<digits>".
    std::size_t end = name.size();
    std::size_t i = end;
    auto digitsBefore = [&](std::size_t at) {
        std::size_t start = at;
        while (start > 0 && name[start - 1] >= '0' && name[start - 1] <= '9') --start;
        return start;
    };
    const std::size_t portStart = digitsBefore(i);
    if (portStart == i || portStart == 0 || name[portStart - 1] != ':') return name;
    i = portStart - 1;
    const std::size_t clientStart = digitsBefore(i);
    if (clientStart == i || clientStart == 0 || name[clientStart - 1] != ' ') return name;
    std::string stripped = name.substr(0, clientStart - 1);
    return stripped.empty() ? name : stripped;
}

std::string cutUtf8(const std::string& text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t end = maxBytes;
    // Step back over continuation bytes to the lead byte of the cut
    // character, which then goes too.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

std::vector<std::string> uniqueNames(const std::vector<std::string>& names, std::size_t maxBytes) {
    std::vector<std::string> result;
    std::set<std::string> taken;
    for (const std::string& raw : names) {
        const std::string base = cutUtf8(raw, maxBytes);
        std::string name = base;
        for (int count = 2; taken.count(name) != 0; ++count) {
            const std::string suffix = " (" + std::to_string(count) + ")";
            name = cutUtf8(base, maxBytes - std::min(maxBytes, suffix.size())) + suffix;
        }
        taken.insert(name);
        result.push_back(name);
    }
    return result;
}

}  // namespace platform::midi
