// The whole Layer III decoding loop, for the conformance tests and the
// benchmark: the frame walker's header, side information, main-data
// reservoir, scale factors and Huffman decoding, then per granule the
// requantisation with stereo over both channels, and per channel the
// inverse MDCT with its own overlap and sub-band count and eighteen
// synthesis calls into interleaved 16-bit PCM. Every channel's state is zero
// at the start of the stream. A step that fails leaves its granule silent
// and the channel state as it was, as the program's MP3 reader does.
//
// The entries are called through their dispatch stubs, so the build selected
// at the time of the call runs.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "Mp3FrameWalker.h"
#include "primitives.h"

namespace primitives::test {

struct DecodedStream {
    int32_t channels = 0;
    int32_t sampleRate = 0;
    int64_t frames = 0;
    int64_t silencedGranules = 0;  // granules a failing step left silent
    std::vector<int16_t> pcm;      // interleaved
    // Every status the signal steps returned.
    std::set<PrimitiveStatus> requantizationStatuses;
    std::set<PrimitiveStatus> transformStatuses;
    std::set<PrimitiveStatus> synthesisStatuses;
};

class Mp3Decoder {
public:
    explicit Mp3Decoder(std::vector<uint8_t> stream);

    // Decodes the next frame and appends its samples; false at the end.
    bool decodeFrame(DecodedStream& out);
    DecodedStream decodeAll();

private:
    struct ChannelState {
        int32_t overlap[576] = {};
        int32_t subbandCount = 0;
        int32_t history[512] = {};
        int32_t ringPosition = 0;
    };

    void decodeGranule(const WalkedFrame& frame, int32_t granule, int16_t* pcm, DecodedStream& out);

    Mp3FrameWalker walker_;
    WalkedFrame frame_;
    ChannelState state_[2];
    int32_t spectrum_[1152] = {};
    int32_t work_[576] = {};
    int32_t samples_[576] = {};
};

}  // namespace primitives::test
