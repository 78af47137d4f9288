// Layout of the packed Huffman code tables, shared by the table generator
// (which writes them) and the decoder (which walks them).
//
// Big-value tables come in two formats. Each starts with 16 first-level
// entries indexed by the next 4 stream bits, followed by a code tree:
//
//   byte format (tables 1-12, values 0..7): uint8_t entries and nodes;
//   word format (tables 13-31, values 0..15): uint16_t entries and nodes.
//
// An entry or node with bit 0 clear is a pointer: value / 2 is the index of a
// tree node, counted from the start of the tree. A first-level pointer names
// the node where the walk starts (always internal); a tree node with bit 0
// clear is internal, and the next stream bit picks its child: 0 the node that
// follows it (index + 1), 1 the node it points at. Since indices are stored
// doubled, a byte-format pointer reaches nodes 0..127 only; nodes past 127
// can still be reached as "next" nodes.
//
// A tree node with bit 0 set is a leaf holding the magnitudes x and y; their
// linbits and signs follow in the stream.
//
// A first-level entry with bit 0 set decodes without the tree. Its kind
// (bits 3-1) says how many bits it consumes and where x and y come from.
// "Signed" fields are two's complement and already carry the sign bit that
// the 4 looked-up bits contained; the "fifth bit" is the stream bit after
// them.
//
//   kind  byte format                          word format
//   0     4 bits; x, y signed (bits 7-6, 5-4)  4 bits; x signed (bits 11-8), y = 0
//   1     3 bits; x, y signed as kind 0        3 bits; x = y = 0
//   2     2 bits; x = y = 0                    as kind 7
//   3     1 bit;  x = y = 0                    1 bit; x = y = 0
//   4     5 bits; x = 2 signed by 5th bit      5 bits; x = 1 signed by 5th bit, y = 0
//   5     as kind 7                            5 bits; x = 0, y = 1 signed by 5th bit
//   6     5 bits; x signed, y = 1 signed by    5 bits; x signed (bits 11-8), y = 1
//         the 5th bit                          signed by the 5th bit
//   7     6 bits; x, y unsigned (bits 7-6,     4 bits; x, y unsigned (bits 11-8, 7-4);
//         5-4), then their two sign bits       their linbits and signs follow as
//                                              after a leaf
//
// Count1 table A is 52 bytes. Bytes 0..31 are indexed by the next 6 bits when
// the first of them is 0 (a first bit 1 codes 0,0,0,0 in one bit):
//   index 16..31: v, w, x, y as four signed 2-bit fields (bits 7-6, 5-4, 3-2,
//                 1-0); 5 bits consumed;
//   index 6..15:  the offset of a pair of second-level bytes in this table;
//                 the 7th bit picks one of them, which holds the four signed
//                 fields; 7 bits consumed;
//   index 0..5:   bits 2-0 give the shape: 2 is 0,1,0,1 followed by two sign
//                 bits; 3 is three ones at the places flagged by bits 6, 5,
//                 4, 3 (v, w, x, y), followed by three sign bits; any other
//                 value is 1,1,1,1 followed by four sign bits.
// Count1 table B needs no table: each of 4 bits is 1 for a value 0 and 0 for
// a value 1, and a sign bit follows each nonzero value.
#pragma once

#include <cstdint>

namespace primitives::mp3 {

inline constexpr int32_t kFirstLevelBits = 4;
inline constexpr int32_t kFirstLevelEntries = 1 << kFirstLevelBits;
inline constexpr int32_t kLargestBytePointer = 127;
inline constexpr int32_t kLargestWordPointer = 32767;
inline constexpr int32_t kCount1TableABytes = 52;
inline constexpr int32_t kCount1SecondLevelStart = 32;

inline constexpr bool isLeafOrDecodingEntry(uint32_t value) { return (value & 1) != 0; }
inline constexpr int32_t namedNode(uint32_t pointer) { return static_cast<int32_t>(pointer >> 1); }
inline constexpr uint32_t entryKind(uint32_t entry) { return (entry >> 1) & 7; }

// Two's complement fields of 2 and 4 bits.
inline constexpr uint32_t signedField2(int32_t value) { return static_cast<uint32_t>(value) & 3; }
inline constexpr uint32_t signedField4(int32_t value) { return static_cast<uint32_t>(value) & 15; }
inline constexpr int32_t fromSignedField2(uint32_t field) { return static_cast<int32_t>(field << 30) >> 30; }
inline constexpr int32_t fromSignedField4(uint32_t field) { return static_cast<int32_t>(field << 28) >> 28; }

// Byte format.
inline constexpr uint8_t bytePointer(int32_t node) { return static_cast<uint8_t>(node << 1); }
inline constexpr uint8_t byteLeaf(int32_t x, int32_t y) { return static_cast<uint8_t>(x << 5 | y << 2 | 1); }
inline constexpr uint8_t byteDecodingEntry(uint32_t kind, uint32_t xField, uint32_t yField) {
    return static_cast<uint8_t>((xField & 3) << 6 | (yField & 3) << 4 | kind << 1 | 1);
}
inline constexpr int32_t byteLeafX(uint32_t leaf) { return static_cast<int32_t>(leaf >> 5 & 7); }
inline constexpr int32_t byteLeafY(uint32_t leaf) { return static_cast<int32_t>(leaf >> 2 & 7); }

// Word format.
inline constexpr uint16_t wordPointer(int32_t node) { return static_cast<uint16_t>(node << 1); }
inline constexpr uint16_t wordLeaf(int32_t x, int32_t y) { return static_cast<uint16_t>(x << 6 | y << 2 | 1); }
inline constexpr uint16_t wordDecodingEntry(uint32_t kind, uint32_t xField, uint32_t yField) {
    return static_cast<uint16_t>((xField & 15) << 8 | (yField & 15) << 4 | kind << 1 | 1);
}
inline constexpr int32_t wordLeafX(uint32_t leaf) { return static_cast<int32_t>(leaf >> 6 & 15); }
inline constexpr int32_t wordLeafY(uint32_t leaf) { return static_cast<int32_t>(leaf >> 2 & 15); }

// Count1 table A.
inline constexpr uint8_t quadFields(int32_t v, int32_t w, int32_t x, int32_t y) {
    return static_cast<uint8_t>(signedField2(v) << 6 | signedField2(w) << 4 | signedField2(x) << 2 | signedField2(y));
}
inline constexpr uint8_t kQuadShapeTwoOnes = 2;    // 0, 1, 0, 1
inline constexpr uint8_t kQuadShapeThreeOnes = 3;  // ones where bits 6..3 say
inline constexpr uint8_t kQuadShapeFourOnes = 0;

}  // namespace primitives::mp3
