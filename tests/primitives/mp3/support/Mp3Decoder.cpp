#include "Mp3Decoder.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace primitives::test {

Mp3Decoder::Mp3Decoder(std::vector<uint8_t> stream) : walker_(std::move(stream)) {}

bool Mp3Decoder::decodeFrame(DecodedStream& out) {
    if (!walker_.next(frame_)) return false;
    const int32_t channels = frame_.header.mode == 3 ? 1 : 2;
    const int32_t granules = frame_.header.id == 1 ? 2 : 1;
    if (out.frames == 0) {
        out.channels = channels;
        out.sampleRate = Mp3FrameWalker::sampleRate(frame_.header.id, frame_.header.sampling_frequency);
    }
    const std::size_t start = out.pcm.size();
    out.pcm.resize(start + static_cast<std::size_t>(576 * granules * out.channels), 0);
    ++out.frames;
    // A frame whose header or side information failed, or whose channel count
    // differs from the stream's, stays silent.
    const bool usable = frame_.headerStatus == 0 && frame_.sideInfoStatus == 0 && channels == out.channels;
    for (int32_t gr = 0; gr < granules; ++gr) {
        int16_t* pcm = out.pcm.data() + start + static_cast<std::size_t>(576 * gr * out.channels);
        if (usable) {
            decodeGranule(frame_, gr, pcm, out);
        } else {
            ++out.silencedGranules;
        }
    }
    return true;
}

void Mp3Decoder::decodeGranule(const WalkedFrame& frame, int32_t gr, int16_t* pcm, DecodedStream& out) {
    const int32_t channels = out.channels;
    int32_t bounds[2] = {};
    int8_t scaleFactors[2][40] = {};
    for (int32_t ch = 0; ch < channels; ++ch) {
        const WalkedChannel& walked = frame.granule[gr][ch];
        if (!walked.decoded) {
            ++out.silencedGranules;
            return;
        }
        std::memcpy(spectrum_ + 576 * ch, walked.spectrum, sizeof walked.spectrum);
        std::memcpy(scaleFactors[ch], walked.scaleFactors, sizeof scaleFactors[ch]);
        bounds[ch] = walked.nonzeroBound;
    }
    const MP3SideInfo* side = frame.sideInfo + gr * channels;
    const PrimitiveStatus requantized =
        zaviReQuantize_MP3_32s_I(spectrum_, bounds, &scaleFactors[0][0], side, &frame.header, work_);
    out.requantizationStatuses.insert(requantized);
    if (requantized != 0) {
        ++out.silencedGranules;
        return;
    }
    for (int32_t ch = 0; ch < channels; ++ch) {
        ChannelState& state = state_[ch];
        const PrimitiveStatus transformed =
            zaviMDCTInv_MP3_32s(spectrum_ + 576 * ch, samples_, state.overlap, bounds[ch], &state.subbandCount,
                                side[ch].block_type, side[ch].mixed_block_flag);
        out.transformStatuses.insert(transformed);
        if (transformed != 0) {
            ++out.silencedGranules;
            return;
        }
        for (int32_t slot = 0; slot < 18; ++slot) {
            const PrimitiveStatus synthesized = zaviSynthPQMF_MP3_32s16s(
                samples_ + 32 * slot, pcm + 32 * slot * channels + ch, state.history, &state.ringPosition, channels);
            out.synthesisStatuses.insert(synthesized);
            if (synthesized != 0) {
                ++out.silencedGranules;
                return;
            }
        }
    }
}

DecodedStream Mp3Decoder::decodeAll() {
    DecodedStream out;
    while (decodeFrame(out)) {
    }
    return out;
}

}  // namespace primitives::test
