// The Layer III tables of the MPEG audio standards as read from the text
// files in primitives/mp3/data/ (their format is described in the README
// there). Used by the table generator that the build runs, and by tests that
// need the standard's code lists rather than the decoder's packed tables.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace primitives::mp3gen {

// One code word of a big-value table: the magnitudes it stands for and its
// bits, first stream bit in bit (length - 1) of `bits`.
struct PairCode {
    int32_t x = 0;
    int32_t y = 0;
    int32_t length = 0;
    uint32_t bits = 0;
};

// Big-value table 0..31. Tables that borrow another table's code words
// (17-23 from 16, 25-31 from 24) have `codesOf` set to it and no codes.
struct PairTable {
    int32_t number = 0;
    int32_t dimension = 0;  // x and y run from 0 to dimension - 1
    int32_t linbits = 0;
    int32_t codesOf = 0;
    std::vector<PairCode> codes;  // x-major order
};

// One code word of a count1 table: v, w, x, y are 0 or 1.
struct QuadCode {
    int32_t v = 0;
    int32_t w = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t length = 0;
    uint32_t bits = 0;
};

struct HuffmanData {
    std::vector<PairTable> pairTables;  // index = table number, 0..31
    std::vector<QuadCode> count1A;      // index = v w x y as a 4-bit number
    std::vector<QuadCode> count1B;
};

// Scale-factor band boundaries of one (id, sampling_frequency).
struct BandRow {
    int32_t id = 0;
    int32_t samplingFrequency = 0;
    int32_t rate = 0;
    std::vector<int32_t> bounds;
};

struct BandData {
    std::vector<BandRow> longRows;   // file order: id 0 (sf 0..2), then id 1
    std::vector<BandRow> shortRows;  // same order
};

struct HeaderData {
    int32_t sampleRate[2][3] = {};   // [id][sampling_frequency] in Hz
    int32_t bitrateKbps[2][15] = {};  // [id][bitrate_index], index 0 = free format
};

// Each reader throws std::runtime_error naming the file and line of the
// first malformed record; it checks the layout of the file (record kinds,
// counts, value ranges), not the properties of the codes.
HuffmanData readHuffmanData(const std::string& path);
BandData readBandData(const std::string& path);
HeaderData readHeaderData(const std::string& path);

}  // namespace primitives::mp3gen
