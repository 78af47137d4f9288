// One track of the browser's database: what was learned about an audio
// file (analysed state, tempo, three tag texts), its full path as the scan
// built it, its last write time, and the two flags of this run (selected,
// loaded), which are never stored. Copies are deep.
#ifndef VELKARN_TOOLS_BROWSERRECORD_H
#define VELKARN_TOOLS_BROWSERRECORD_H

#include <cstdint>
#include <string>

struct BrowserRecord {
    // Stored texts hold at most this many bytes with their terminating zero.
    static constexpr int textCapacity = 1024;

    bool analyzed = false;
    float tempo = 0.0f;  // beats per minute; 0 when not analysed
    std::string title;
    std::string artist;
    std::string comments;
    std::string fileName;  // the full path
    bool selected = false;
    bool loaded = false;
    std::uint64_t lastWriteTime = 0;  // FILETIME: 100-ns units since 1601-01-01 UTC

    bool operator==(const BrowserRecord&) const = default;
};

#endif
