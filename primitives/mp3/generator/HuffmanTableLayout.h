// Packs the standard's code lists into the decoder's table formats
// (primitives/mp3/HuffmanTableFormat.h) and checks the properties the decoder
// relies on. Every packer throws std::runtime_error when a code does not fit
// its format.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Mp3StandardData.h"

namespace primitives::mp3gen {

// Whether the code lengths form a complete prefix code: the sum of
// 2^-length is exactly 1.
bool kraftSumIsOne(const std::vector<int32_t>& lengths);

// Tables 1-12 (without 4), values 0..7.
std::vector<uint8_t> packByteTable(const PairTable& table);
// Tables 13, 15 and 16..31 (whose codes are those of 16 or 24).
std::vector<uint16_t> packWordTable(const PairTable& table);
std::array<uint8_t, 52> packCount1TableA(const std::vector<QuadCode>& codes);

// Checks that count1 table B is the plain inverted 4-bit code that the
// decoder reads without a table.
void checkCount1TableB(const std::vector<QuadCode>& codes);

// The largest node index that a first-level pointer or an internal tree
// node names, -1 when there is none. `entries` are the packed table's values.
int32_t largestNamedNode(const uint8_t* entries, std::size_t count);
int32_t largestNamedNode(const uint16_t* entries, std::size_t count);

// Empty when the row starts at 0, rises strictly and ends at `end` with
// `count` boundaries; otherwise what is wrong.
std::string bandRowProblem(const BandRow& row, std::size_t count, int32_t end);

// Which packed format a table number uses.
enum class PairTableFormat { none, byteFormat, wordFormat };
PairTableFormat pairTableFormat(int32_t tableNumber);

}  // namespace primitives::mp3gen
