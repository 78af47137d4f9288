#include "BitWriter.h"

#include <stdexcept>

namespace primitives::test {

void BitWriter::put(uint32_t value, int32_t bits) {
    if (bits < 0 || bits > 32) throw std::invalid_argument("BitWriter::put takes 0 to 32 bits");
    for (int32_t i = bits - 1; i >= 0; --i) {
        const auto bitInByte = static_cast<int32_t>(bitCount_ % 8);
        if (bitInByte == 0) bytes_.push_back(0);
        if ((value >> i & 1) != 0) bytes_.back() |= static_cast<uint8_t>(0x80 >> bitInByte);
        ++bitCount_;
    }
}

void BitWriter::alignToByte() {
    if (bitCount_ % 8 != 0) put(0, static_cast<int32_t>(8 - bitCount_ % 8));
}

std::vector<uint8_t> BitWriter::bytesWithSlack(std::size_t slack) const {
    std::vector<uint8_t> out = bytes_;
    out.resize(out.size() + slack, 0);
    return out;
}

}  // namespace primitives::test
