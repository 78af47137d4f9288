#include "Mp3FrameWalker.h"

#include <algorithm>
#include <cstring>

namespace primitives::test {

namespace {

// A frame starts with 11 set bits; MPEG-2.5 (which clears the next bit) is
// not a format these steps read.
bool looksLikeSync(const uint8_t* bytes) { return bytes[0] == 0xFF && (bytes[1] & 0xF0) == 0xF0; }

// Enough of the reservoir for the largest main_data_begin (511 bytes).
constexpr std::size_t kReservoirKept = 1024;

}  // namespace

Mp3FrameWalker::Mp3FrameWalker(std::vector<uint8_t> stream) : stream_(std::move(stream)) {
    // Skip an ID3v2 tag: 10 bytes of header, a 28-bit syncsafe size, and a
    // 10-byte footer when flagged.
    if (stream_.size() >= 10 && std::memcmp(stream_.data(), "ID3", 3) == 0) {
        const std::size_t size = std::size_t{stream_[6]} << 21 | std::size_t{stream_[7]} << 14 |
                                 std::size_t{stream_[8]} << 7 | stream_[9];
        position_ = 10 + size + ((stream_[5] & 0x10) != 0 ? 10 : 0);
    }
}

int32_t Mp3FrameWalker::bitrateKbps(int32_t id, int32_t index) {
    static constexpr int32_t kKbps[2][16] = {
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    };
    return id >= 0 && id <= 1 && index >= 0 && index <= 15 ? kKbps[id][index] : 0;
}

int32_t Mp3FrameWalker::sampleRate(int32_t id, int32_t samplingFrequency) {
    static constexpr int32_t kRates[2][3] = {{22050, 24000, 16000}, {44100, 48000, 32000}};
    return id >= 0 && id <= 1 && samplingFrequency >= 0 && samplingFrequency <= 2 ? kRates[id][samplingFrequency] : 0;
}

int32_t Mp3FrameWalker::frameLength(const MP3FrameHeader& h) {
    const int32_t kbps = bitrateKbps(h.id, h.bitrate_index);
    const int32_t rate = sampleRate(h.id, h.sampling_frequency);
    if (h.layer != 1 || kbps == 0 || rate == 0) return 0;
    // 1152 samples per MPEG-1 frame, 576 per MPEG-2 frame.
    return (h.id == 1 ? 144000 : 72000) * kbps / rate + h.padding_bit;
}

bool Mp3FrameWalker::next(WalkedFrame& frame) {
    frame = WalkedFrame{};
    while (position_ + 4 <= stream_.size()) {
        const uint8_t* at = stream_.data() + position_;
        if (!looksLikeSync(at)) {
            ++position_;
            continue;
        }
        MP3FrameHeader header{};
        const uint8_t* cursor = at;
        frame.headerStatus = zaviUnpackFrameHeader_MP3(&cursor, &header);
        const int32_t length = frame.headerStatus == 0 ? frameLength(header) : 0;
        if (length == 0) {
            ++position_;
            continue;
        }
        if (position_ + static_cast<std::size_t>(length) > stream_.size()) return false;  // truncated last frame

        frame.offset = static_cast<int64_t>(position_);
        frame.length = length;
        frame.header = header;
        frame.granules = header.id == 1 ? 2 : 1;
        frame.channels = header.mode == 3 ? 1 : 2;
        position_ += static_cast<std::size_t>(length);

        // A copy of the frame with room for the window reads at its end
        // (tiny frames may hold little more than the side information).
        const std::size_t headerBytes = header.protection_bit == 0 ? 6 : 4;
        const std::size_t sideBytes = header.id == 1 ? (frame.channels == 1 ? 17 : 32) : (frame.channels == 1 ? 9 : 17);
        std::vector<uint8_t> bytes(at, at + length);
        bytes.resize(std::max<std::size_t>(bytes.size(), headerBytes + sideBytes) + 4, 0);

        const uint8_t* sideCursor = bytes.data() + headerBytes;
        frame.sideInfoStatus = zaviUnpackSideInfo_MP3(&sideCursor, frame.sideInfo, &frame.mainDataBegin,
                                                      &frame.privateBits, frame.scfsi, &frame.header);
        const std::size_t areaStart = std::min<std::size_t>(headerBytes + sideBytes, static_cast<std::size_t>(length));
        const uint8_t* area = bytes.data() + areaStart;
        const std::size_t areaBytes = static_cast<std::size_t>(length) - areaStart;
        if (frame.sideInfoStatus == 0) decodeMainData(frame, area, areaBytes);

        reservoir_.insert(reservoir_.end(), area, area + areaBytes);
        if (reservoir_.size() > kReservoirKept) {
            reservoir_.erase(reservoir_.begin(), reservoir_.end() - static_cast<std::ptrdiff_t>(kReservoirKept));
        }
        return true;
    }
    return false;
}

void Mp3FrameWalker::decodeMainData(WalkedFrame& frame, const uint8_t* area, std::size_t areaBytes) {
    int64_t declaredBits = 0;
    for (int32_t i = 0; i < frame.granules * frame.channels; ++i) declaredBits += frame.sideInfo[i].part2_3_length;
    const auto declaredBytes = static_cast<std::size_t>((declaredBits + 7) / 8);

    // The main data starts mainDataBegin bytes before this frame's area in
    // the run of main-data areas. Bytes before the reservoir's start are
    // missing; bytes the stream does not supply are zero, and the slack
    // behind them is zero too. The buffer has exactly that size, so the
    // sanitizer sees any read beyond it.
    const int64_t start = static_cast<int64_t>(reservoir_.size()) - frame.mainDataBegin;
    std::vector<uint8_t>& mainData = frame.mainData;
    mainData.assign(declaredBytes + kMainDataSlack, 0);
    for (std::size_t k = 0; k < declaredBytes; ++k) {
        const int64_t source = start + static_cast<int64_t>(k);
        if (source < 0) continue;
        const auto s = static_cast<std::size_t>(source);
        if (s < reservoir_.size()) {
            mainData[k] = reservoir_[s];
        } else if (s - reservoir_.size() < areaBytes) {
            mainData[k] = area[s - reservoir_.size()];
        }
    }

    int64_t bitStart = 0;
    for (int32_t gr = 0; gr < frame.granules; ++gr) {
        // A granule whose data begins before the reservoir's start is silent.
        const bool missing = start * 8 + bitStart < 0;
        for (int32_t ch = 0; ch < frame.channels; ++ch) {
            MP3SideInfo& si = frame.sideInfo[gr * frame.channels + ch];
            WalkedChannel& out = frame.granule[gr][ch];
            const int64_t thisStart = bitStart;
            frame.mainDataStartBit[gr][ch] = static_cast<int32_t>(thisStart);
            bitStart += si.part2_3_length;
            if (missing) {
                out.mainDataMissing = true;
                continue;
            }
            if (ch > 0 && !frame.granule[gr][ch - 1].decoded) continue;  // the granule already failed

            const uint8_t* cursor = mainData.data() + thisStart / 8;
            int32_t offset = static_cast<int32_t>(thisStart % 8);
            out.scaleFactorStatus = zaviUnpackScaleFactors_MP3_1u8s(&cursor, &offset, scaleFactors_[ch], &si,
                                                                    frame.scfsi + 4 * ch, &frame.header, gr, ch);
            std::memcpy(out.scaleFactors, scaleFactors_[ch], sizeof out.scaleFactors);
            if (out.scaleFactorStatus != 0) continue;
            out.scaleFactorBits = static_cast<int32_t>((cursor - mainData.data()) * 8 + offset - thisStart);
            out.hufSize = si.part2_3_length - out.scaleFactorBits;
            out.huffmanStatus = zaviHuffmanDecode_MP3_1u32s(&cursor, &offset, out.spectrum, &out.nonzeroBound, &si,
                                                            &frame.header, out.hufSize);
            if (out.huffmanStatus != 0) {
                std::fill(std::begin(out.spectrum), std::end(out.spectrum), 0);
                out.nonzeroBound = 0;
                continue;
            }
            out.endsAtDeclaredLength = (cursor - mainData.data()) * 8 + offset == thisStart + si.part2_3_length;
            out.decoded = true;
        }
    }
}

}  // namespace primitives::test
