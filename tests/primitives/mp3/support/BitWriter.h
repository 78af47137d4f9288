// Writes bit fields most significant bit first, as MPEG audio streams carry
// them. Test support for the Layer III steps: side information, scale
// factors, Huffman data and whole frames are built with it.
#pragma once

#include <cstdint>
#include <vector>

namespace primitives::test {

class BitWriter {
public:
    // Appends the low `bits` bits (0..32) of value.
    void put(uint32_t value, int32_t bits);
    // Appends zero bits up to the next byte boundary.
    void alignToByte();

    int64_t bitCount() const { return bitCount_; }
    // The bytes written so far; a partial last byte is padded with zeros.
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    // The bytes followed by `slack` zero bytes, for readers that look ahead.
    std::vector<uint8_t> bytesWithSlack(std::size_t slack) const;

private:
    std::vector<uint8_t> bytes_;
    int64_t bitCount_ = 0;
};

}  // namespace primitives::test
