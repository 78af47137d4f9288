// Walks a Layer III stream frame by frame through the decoding entries:
// finds each frame, unpacks its header and side information, keeps the
// main-data reservoir, and per granule and channel reads the scale factors
// and decodes the Huffman data. Test support: the real-stream and robustness
// tests use it here, and the later decoding steps extend it into the full
// decoding loop.
//
// The entries are called through their dispatch stubs, so the build selected
// at the time of the call runs.
#pragma once

#include <cstdint>
#include <vector>

#include "primitives.h"

namespace primitives::test {

struct WalkedChannel {
    // False when the granule is silent: its main data begins before the
    // start of the stream (mainDataMissing, set for every channel of the
    // granule) or a step of the granule failed (the channels after it are
    // not decoded either).
    bool decoded = false;
    bool mainDataMissing = false;
    PrimitiveStatus scaleFactorStatus = 0;
    PrimitiveStatus huffmanStatus = 0;
    int32_t scaleFactorBits = 0;  // bits the scale factors took
    int32_t hufSize = 0;          // part2_3_length less scaleFactorBits
    // The entry left the cursor exactly part2_3_length bits after the start
    // of this granule and channel's data.
    bool endsAtDeclaredLength = false;
    int8_t scaleFactors[40] = {};  // the channel's buffer after this granule
    int32_t spectrum[576] = {};
    int32_t nonzeroBound = 0;
};

struct WalkedFrame {
    int64_t offset = 0;  // of the header in the stream
    int32_t length = 0;  // bytes, header to the next header
    PrimitiveStatus headerStatus = 0;
    PrimitiveStatus sideInfoStatus = 0;
    MP3FrameHeader header = {};
    // After the scale-factor step, which writes preflag (MPEG-2).
    MP3SideInfo sideInfo[4] = {};
    int32_t mainDataBegin = 0;
    int32_t privateBits = 0;
    int32_t scfsi[8] = {};
    int32_t granules = 0;  // 2 MPEG-1, 1 MPEG-2
    int32_t channels = 0;  // 1 or 2
    WalkedChannel granule[2][2];
    // The frame's main data as the entries read it: the bytes that the
    // part2_3_length values declare, then kMainDataSlack zeros; and where
    // each granule and channel starts in it, in bits. Empty when the side
    // information failed.
    std::vector<uint8_t> mainData;
    int32_t mainDataStartBit[2][2] = {};
};

class Mp3FrameWalker {
public:
    // Bytes of zeros behind the declared main data: enough for the
    // look-ahead of the entries and for Huffman decoding that runs past its
    // budget on corrupt side information.
    static constexpr std::size_t kMainDataSlack = 2048;

    explicit Mp3FrameWalker(std::vector<uint8_t> stream);

    // Decodes the next frame; false when no whole frame is left.
    bool next(WalkedFrame& frame);

    // The standard's tables for MPEG-1 (id 1) and MPEG-2 (id 0) Layer III.
    static int32_t bitrateKbps(int32_t id, int32_t bitrateIndex);   // 0 for free format and index 15
    static int32_t sampleRate(int32_t id, int32_t samplingFrequency);  // 0 for code 3
    // Bytes of a frame with this header, 0 when it is not a Layer III header
    // of a fixed bit rate.
    static int32_t frameLength(const MP3FrameHeader& header);

private:
    void decodeMainData(WalkedFrame& frame, const uint8_t* area, std::size_t areaBytes);

    std::vector<uint8_t> stream_;
    std::size_t position_ = 0;
    std::vector<uint8_t> reservoir_;  // main-data areas of the frames before
    int8_t scaleFactors_[2][40] = {};
};

}  // namespace primitives::test
