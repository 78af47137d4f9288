// The five texts the program shows of an MP3 file (title, artist, album,
// comment, year), read from an ID3v2.3 or ID3v2.4 tag at the start of the
// file. Only ISO-8859-1 frames are read; a frame in another encoding leaves
// its text absent.
#ifndef VELKARN_AUDIO_ID3V2TAG_H
#define VELKARN_AUDIO_ID3V2TAG_H

#include <cstdint>
#include <optional>
#include <string>

class File;

// Four bytes, most significant first, seven bits each.
std::int32_t decodeSyncsafe(const std::uint8_t* bytes);

class ID3v2Tag {
public:
    // Reads from the start of the file. Throws StringException "No ID3v2
    // identifier at beginning of file.", "ID3v2 tag is not version 3.0 or
    // 4.0." or "ID3v2 tag corrupt." (an extended header that cannot be read
    // or passes the tag). A frame running past the tag ends the walk and
    // keeps what was read; no allocation is larger than the tag. The file
    // position afterwards is wherever reading stopped.
    explicit ID3v2Tag(File& file);
    virtual ~ID3v2Tag() = default;

    // Null when the frame was absent or not in ISO-8859-1.
    const char* title() const { return text(title_); }    // "TIT2"
    const char* artist() const { return text(artist_); }  // "TPE1"
    const char* album() const { return text(album_); }    // "TALB"
    const char* comment() const { return text(comment_); }  // the first "COMM" read, after its description
    const char* year() const { return text(year_); }      // "TYER"

    int version() const { return version_; }  // 3 or 4
    // The file offset after the tag (header, frames, padding, footer).
    std::int64_t tagEnd() const { return tagEnd_; }

private:
    static const char* text(const std::optional<std::string>& field) { return field ? field->c_str() : nullptr; }
    bool readTextFrame(File& file, std::int64_t size, std::optional<std::string>& field);
    bool readCommentFrame(File& file, std::int64_t size);

    std::optional<std::string> title_, artist_, album_, comment_, year_;
    int version_ = 0;
    std::int64_t tagEnd_ = 0;
};

#endif
