#include "audio/ID3v2Tag.h"

#include "framework/File.h"
#include "framework/StringException.h"

#include <cstring>
#include <vector>

namespace {

std::int64_t bigEndian32(const std::uint8_t* bytes) {
    return static_cast<std::int64_t>(bytes[0]) << 24 | static_cast<std::int64_t>(bytes[1]) << 16 |
           static_cast<std::int64_t>(bytes[2]) << 8 | static_cast<std::int64_t>(bytes[3]);
}

[[noreturn]] void corruptTag() { throw StringException("ID3v2 tag corrupt."); }

}  // namespace

std::int32_t decodeSyncsafe(const std::uint8_t* bytes) {
    return static_cast<std::int32_t>((bytes[0] & 0x7Fu) << 21 | (bytes[1] & 0x7Fu) << 14 | (bytes[2] & 0x7Fu) << 7 |
                                     (bytes[3] & 0x7Fu));
}

ID3v2Tag::ID3v2Tag(File& file) {
    std::uint8_t header[10];
    if (!file.seek(0) || !file.read(header, 10) || std::memcmp(header, "ID3", 3) != 0)
        throw StringException("No ID3v2 identifier at beginning of file.");
    if ((header[3] != 3 && header[3] != 4) || header[4] != 0)
        throw StringException("ID3v2 tag is not version 3.0 or 4.0.");
    version_ = header[3];
    const std::uint8_t flags = header[5];
    // The frames and padding end here; a version 4 footer follows them.
    const std::int64_t framesEnd = 10 + static_cast<std::int64_t>(decodeSyncsafe(header + 6));
    tagEnd_ = framesEnd + ((version_ == 4 && (flags & 0x10) != 0) ? 10 : 0);

    if ((flags & 0x40) != 0) {
        // Version 3 gives a plain size that leaves out its own four bytes,
        // version 4 a syncsafe one that counts them.
        std::uint8_t sizeBytes[4];
        if (!file.read(sizeBytes, 4)) corruptTag();
        std::int64_t rest = version_ == 3 ? bigEndian32(sizeBytes) : decodeSyncsafe(sizeBytes) - 4;
        if (rest < 0 || file.position() + rest > framesEnd || file.position() + rest > file.size()) corruptTag();
        if (rest > 0 && !file.skip(static_cast<int>(rest))) corruptTag();
    }

    // Frames of this flag in the second flag byte cannot be read as text:
    // compressed, encrypted, grouped (and, in version 4, unsynchronised or
    // with a data-length indicator).
    const std::uint8_t skipMask = version_ == 3 ? 0xE0 : 0x4D;
    while (file.position() < framesEnd) {
        std::uint8_t frame[10];
        if (file.position() + 10 > framesEnd || !file.read(frame, 10) || frame[0] == 0) break;
        std::int64_t size = version_ == 3 ? bigEndian32(frame + 4) : decodeSyncsafe(frame + 4);
        std::int64_t left = std::min<std::int64_t>(framesEnd, file.size()) - file.position();
        if (size > left) break;  // runs past the tag: keep what was read
        bool ok;
        if ((frame[9] & skipMask) != 0 || size == 0) {
            ok = size == 0 || file.skip(static_cast<int>(size));
        } else if (std::memcmp(frame, "TPE1", 4) == 0) {
            ok = readTextFrame(file, size, artist_);
        } else if (std::memcmp(frame, "COMM", 4) == 0 && !comment_ && size >= 4) {
            ok = readCommentFrame(file, size);
        } else if (std::memcmp(frame, "TIT2", 4) == 0) {
            ok = readTextFrame(file, size, title_);
        } else if (std::memcmp(frame, "TALB", 4) == 0) {
            ok = readTextFrame(file, size, album_);
        } else if (std::memcmp(frame, "TYER", 4) == 0) {
            ok = readTextFrame(file, size, year_);
        } else {
            ok = file.skip(static_cast<int>(size));
        }
        if (!ok) break;
    }
}

bool ID3v2Tag::readTextFrame(File& file, std::int64_t size, std::optional<std::string>& field) {
    std::uint8_t encoding;
    if (!file.read(&encoding, 1)) return false;
    if (encoding != 0) return size == 1 || file.skip(static_cast<int>(size - 1));
    std::string text(static_cast<std::size_t>(size - 1), '\0');
    if (size > 1 && !file.read(text.data(), static_cast<int>(size - 1))) return false;
    // The string ends at its first NUL, as a C string would.
    field = std::string(text.c_str());
    return true;
}

bool ID3v2Tag::readCommentFrame(File& file, std::int64_t size) {
    std::uint8_t encoding;
    if (!file.read(&encoding, 1)) return false;
    if (encoding != 0) return file.skip(static_cast<int>(size - 1));
    std::vector<char> body(static_cast<std::size_t>(size - 1));
    if (!file.read(body.data(), static_cast<int>(size - 1))) return false;
    // Language (3 bytes), short description up to its NUL, then the text.
    const char* rest = body.data() + 3;
    const char* end = body.data() + body.size();
    const char* descriptionEnd = static_cast<const char*>(std::memchr(rest, 0, static_cast<std::size_t>(end - rest)));
    if (descriptionEnd != nullptr && descriptionEnd + 1 < end) {
        const char* text = descriptionEnd + 1;
        comment_ = std::string(text, strnlen(text, static_cast<std::size_t>(end - text)));
    }
    return true;
}
