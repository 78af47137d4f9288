// Constant tables of the Layer III steps, shared by all four builds.
//
// The Huffman tables and the band boundaries are generated at build time from
// the standard's data in primitives/mp3/data/ (see generator/); the small
// tables below them are typed here.
#pragma once

#include <cstdint>

namespace primitives::mp3 {

// ---- Generated (Mp3GeneratedTables.cpp) ---------------------------------

// Packed big-value code tables by table number (HuffmanTableFormat.h). The
// byte array holds tables 1-12 except 4; the word array tables 13 and 15-31
// (16-23 share table 16's codes, 24-31 table 24's). Other slots are null.
extern const uint8_t* const kHuffmanByteTables[32];
extern const uint16_t* const kHuffmanWordTables[32];
// Number of entries (first level plus tree) of each packed table, 0 where
// the table has none of its own.
extern const int32_t kHuffmanTableEntryCounts[32];

extern const uint8_t kCount1TableA[52];

// Scale-factor band boundaries in frequency lines, [id][sampling_frequency]
// with id 0 (MPEG-2: 22.05, 24, 16 kHz) first. Long rows run from 0 to 576,
// short rows (lines within one window) from 0 to 192.
extern const int16_t kLongBandBounds[2][3][23];
extern const int16_t kShortBandBounds[2][3][14];

// ---- Typed (Mp3Tables.cpp) ------------------------------------------------

// Number of linbits of each big-value table.
extern const uint8_t kLinbits[32];

// MPEG-1 scale-factor bit widths by scalefac_compress: [0] slen1, [1] slen2.
extern const uint8_t kSlen[2][16];

// MPEG-2 numbers of scale factors in the four slen parts, by category
// (0-5) and block kind (0 long, 1 short, 2 mixed).
extern const uint8_t kScaleFactorPartition[6][3][4];

// Pre-emphasis added to the long-block scale factors when preflag is set.
extern const uint8_t kPretab[22];

}  // namespace primitives::mp3
