// Writes the fixed parts of a Layer III frame (header, CRC word, side
// information) with a BitWriter: the inverse of the unpacking entries, for
// crafted test streams.
#pragma once

#include <cstdint>

#include "BitWriter.h"
#include "primitives.h"

namespace primitives::test {

// Four header bytes (with the sync word), then the CRC word when
// protection_bit is 0, its first byte taken from the low byte of crc_check.
void writeFrameHeader(BitWriter& out, const MP3FrameHeader& header);

// The side information for header.id and header.mode: `records` in granule
// order, channel 0 first (MPEG-1 two granules, MPEG-2 one; one channel when
// mode is 3); `scfsi` four flags per channel (MPEG-1 only). Fields that the
// syntax does not carry are ignored.
void writeSideInfo(BitWriter& out, const MP3FrameHeader& header, const MP3SideInfo* records, int32_t mainDataBegin,
                   int32_t privateBits, const int32_t* scfsi);

// Bytes of side information: 17 or 32 (MPEG-1), 9 or 17 (MPEG-2).
int32_t sideInfoBytes(const MP3FrameHeader& header);

}  // namespace primitives::test
