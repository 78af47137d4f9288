#include "framework/Crc32.h"

#include <array>

namespace {

// Built once on first use; static initialisation makes that safe from any
// thread, and the table never changes afterwards.
const std::array<std::uint32_t, 256>& crcTable() {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> entries{};
        makeCrc32Table(entries.data());
        return entries;
    }();
    return table;
}

}  // namespace

void makeCrc32Table(std::uint32_t* table) {
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
}

std::uint32_t updateCrc32(std::uint32_t crc, const std::uint8_t* bytes, int length) {
    const std::array<std::uint32_t, 256>& table = crcTable();
    for (int i = 0; i < length; ++i) crc = table[(crc ^ bytes[i]) & 0xFFu] ^ (crc >> 8);
    return crc;
}

std::uint32_t computeCrc32(const std::uint8_t* first, int firstLength, const std::uint8_t* second, int secondLength) {
    return ~updateCrc32(updateCrc32(0xFFFFFFFFu, first, firstLength), second, secondLength);
}
