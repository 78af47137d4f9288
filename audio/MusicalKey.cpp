#include "audio/MusicalKey.h"

#include "framework/StringException.h"

namespace {

constexpr const char* keyNames[MusicalKey::keyCount] = {
    "C Maj", "C# Maj", "D Maj", "D# Maj", "E Maj", "F Maj", "F# Maj", "G Maj", "G# Maj", "A Maj", "A# Maj", "B Maj",
    "C Min", "C# Min", "D Min", "D# Min", "E Min", "F Min", "F# Min", "G Min", "G# Min", "A Min", "A# Min", "B Min",
};

[[noreturn]] void unknownKey() { throw StringException("Do not recognize key."); }

}  // namespace

MusicalKey::MusicalKey(std::string_view name) {
    if (name.empty()) return;
    for (std::int32_t i = 0; i < keyCount; ++i) {
        if (name == keyNames[i]) {
            *this = fromIndex(i);
            return;
        }
    }
    unknownKey();
}

MusicalKey MusicalKey::fromIndex(std::int32_t index) {
    if (index < -1 || index >= keyCount) unknownKey();
    MusicalKey key;
    if (index >= 0) {
        key.tonic_ = index % 12;
        key.mode_ = index / 12;
        key.defined_ = true;
    }
    return key;
}

const char* MusicalKey::name() const { return defined_ ? keyNames[index()] : ""; }

MusicalKey undefinedKey() { return MusicalKey(); }
