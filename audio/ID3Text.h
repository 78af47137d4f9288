// The five texts the song browser shows of a WMA song, in this order:
// title, artist, album, comment, year. Each is null when absent.
#ifndef VELKARN_AUDIO_ID3TEXT_H
#define VELKARN_AUDIO_ID3TEXT_H

#include <optional>
#include <string>

class ID3Text {
public:
    std::optional<std::string> title, artist, album, comment, year;

    static const char* text(const std::optional<std::string>& field) { return field ? field->c_str() : nullptr; }
};

#endif
