// A Huffman encoder for Layer III spectra, built straight from the
// standard's code lists in primitives/mp3/data/huffman.txt (not from the
// decoder's packed tables), so that it can check the decoder. Also used to
// pack crafted test streams.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "BitWriter.h"
#include "Mp3StandardData.h"
#include "primitives.h"

namespace primitives::test {

class HuffmanEncoder {
public:
    // Reads huffman.txt and sfb_bands.txt from the data directory.
    explicit HuffmanEncoder(const std::string& dataDirectory);

    const mp3gen::HuffmanData& codes() const { return huffman_; }
    const mp3gen::BandData& bands() const { return bands_; }

    // The largest magnitude a table can code (with its escape bits).
    int32_t largestValue(int32_t table) const;

    // Writes one pair with big-value table 1..31 (not 4 or 14): the code
    // word, then for x and then y the escape bits and the sign bit. Returns
    // the number of bits written. Throws for a value the table cannot code.
    int32_t writePair(BitWriter& out, int32_t table, int32_t x, int32_t y) const;

    // Writes one quadruple of values -1..1 with count1 table A (0) or B (1);
    // returns the number of bits written.
    int32_t writeQuad(BitWriter& out, int32_t count1Table, int32_t v, int32_t w, int32_t x, int32_t y) const;

    // Where the big-value regions of a granule end (the third equals the
    // second when the granule is switched).
    std::array<int32_t, 3> regionEnds(const MP3SideInfo& sideInfo, const MP3FrameHeader& header) const;

    // Writes the Huffman data of a granule: values[0 .. 2 * big_values) as
    // pairs by the regions and tables of the side information (regions of
    // tables 0, 4 and 14 must be zero and take no bits), then quadruples up
    // to count1End. Returns the number of bits written.
    int32_t writeSpectrum(BitWriter& out, const MP3SideInfo& sideInfo, const MP3FrameHeader& header,
                          const int32_t* values, int32_t count1End) const;

private:
    mp3gen::HuffmanData huffman_;
    mp3gen::BandData bands_;
};

}  // namespace primitives::test
