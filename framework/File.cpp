#include "framework/File.h"

#include "framework/StringException.h"

std::int32_t File::readBigEndianInt32() {
    unsigned char bytes[4];
    if (!read(bytes, 4)) throw StringException("Unexpected end of file.");
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(bytes[0]) << 24) | (static_cast<std::uint32_t>(bytes[1]) << 16) |
                                     (static_cast<std::uint32_t>(bytes[2]) << 8) | bytes[3]);
}
