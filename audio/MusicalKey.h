// The key of a song: tonic and mode, or undefined. It is stored in the
// song's beat meta-data and named in the "Set Key" dialog.
#ifndef VELKARN_AUDIO_MUSICALKEY_H
#define VELKARN_AUDIO_MUSICALKEY_H

#include <cstdint>
#include <string_view>

class MusicalKey {
public:
    static constexpr std::int32_t keyCount = 24;

    // An undefined key.
    MusicalKey() = default;
    // "" gives an undefined key; one of the 24 names ("C Maj" .. "B Min",
    // compared exactly) that key; any other name throws StringException
    // "Do not recognize key.".
    explicit MusicalKey(std::string_view name);
    virtual ~MusicalKey() = default;

    // -1 gives an undefined key, 0..23 (mode x 12 + tonic) that key; any
    // other index throws StringException "Do not recognize key.".
    static MusicalKey fromIndex(std::int32_t index);

    bool isDefined() const { return defined_; }
    std::int32_t tonic() const { return tonic_; }  // 0..11: C, C#, D, .. B
    std::int32_t mode() const { return mode_; }    // 0 major, 1 minor
    // mode x 12 + tonic, or -1 when undefined.
    std::int32_t index() const { return defined_ ? mode_ * 12 + tonic_ : -1; }
    // The key's name, "" when undefined; a constant text.
    const char* name() const;

private:
    std::int32_t tonic_ = 0;
    std::int32_t mode_ = 0;
    bool defined_ = false;
};

MusicalKey undefinedKey();

#endif
