// Where an MP3 song's audio data ends: before a 128-byte ID3v1 tag ("TAG")
// and before the block that carries the song's beat meta-data and overview
// image. The block is a 25-byte header ("QRT & PNG", the file offsets of
// the QRT and PNG data, their sizes; four big-endian syncsafe numbers), the
// QRT bytes and the PNG bytes, each stuffed with a 0x00 after every 0xFF
// so that no MP3 sync occurs, and a trailer equal to the header. Readers
// take the sizes from the trailer.
#ifndef VELKARN_AUDIO_MP3ENDBLOCK_H
#define VELKARN_AUDIO_MP3ENDBLOCK_H

#include <cstdint>
#include <functional>
#include <string>

struct Mp3EndBlock {
    static constexpr std::int64_t kId3v1Bytes = 128;
    static constexpr std::int64_t kMarkBytes = 25;

    using ReadAt = std::function<bool(std::int64_t position, void* buffer, std::size_t count)>;

    // Looks at the end of a file of fileSize bytes. A reader passes
    // `validated`: then a block counts only when its trailer's sizes are
    // syncsafe and its header equals the trailer, also before an ID3v1 tag
    // (the tools take any block there, so that they can replace a damaged one).
    static Mp3EndBlock find(std::int64_t fileSize, const ReadAt& readAt, bool validated = false);

    // The header (and trailer) of a block whose QRT data starts at
    // qrtOffset; sizes are the stuffed ones. Numbers above 2^28 - 1 cannot
    // be stored: StringException.
    static std::string mark(std::uint32_t qrtOffset, std::uint32_t qrtSize, std::uint32_t pngSize);
    static std::string stuff(const std::string& bytes);
    static std::string unstuff(const std::string& bytes);

    bool hasId3v1 = false;
    bool hasBlock = false;
    std::uint32_t qrtSize = 0;  // stuffed
    std::uint32_t pngSize = 0;  // stuffed
    std::int64_t blockStart = 0;  // the header's offset, when there is a block
    std::int64_t dataEnd = 0;     // where the MP3 data (a leading ID3v2 tag included) ends
};

#endif
