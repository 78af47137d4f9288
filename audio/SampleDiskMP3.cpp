#include "audio/SampleDiskMP3.h"

#include "audio/AlignedFloats.h"
#include "framework/File.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "framework/StringException.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#define CHECK_PRIMITIVE(call) reportPrimitiveError((call), __FILE__, __LINE__)

namespace {

constexpr std::int32_t kGranuleSamples = 576;
// Frame header and MPEG-1 stereo side information, without and with CRC.
constexpr std::int32_t kHeaderAndSide = 36;
constexpr std::int32_t kHeaderAndSideWithCrc = 38;
// Zeros behind the assembled main data: the entries' 32-bit look-ahead and
// Huffman decoding that runs past its budget on corrupt side information.
constexpr std::int32_t kMainDataSlack = 2048;
// A frame's main data lies in at most this many frames' areas.
constexpr std::int32_t kMaxPieces = 10;
constexpr std::int32_t kScanChunk = 4096;

constexpr std::int32_t kBitrates[2][16] = {
    {0, 8000, 16000, 24000, 32000, 40000, 48000, 56000, 64000, 80000, 96000, 112000, 128000, 144000, 160000, 0},
    {0, 32000, 40000, 48000, 56000, 64000, 80000, 96000, 112000, 128000, 160000, 192000, 224000, 256000, 320000, 0},
};

bool isSync(std::uint8_t first, std::uint8_t second) { return first == 0xFF && (second & 0xE0) == 0xE0; }

std::int64_t floorDivide(std::int64_t value, std::int64_t divisor) {
    const std::int64_t quotient = value / divisor;
    return value % divisor < 0 ? quotient - 1 : quotient;
}

}  // namespace

SampleDiskMP3::HeaderCheck SampleDiskMP3::checkHeader(const MP3FrameHeader& header) {
    HeaderCheck check;
    if (header.layer != 1) {
        check.failure = "This is not a Layer 3 MPEG Version 1/2 audio file.";
        return check;
    }
    const std::int32_t bitrate = kBitrates[header.id == 1 ? 1 : 0][header.bitrate_index & 15];
    if (bitrate == 0) {
        check.failure = "Free (or illegal) bitrate not supported.";
    } else if (header.id != 1 || header.sampling_frequency != 0) {
        check.failure = "For now, the only sample rate supported is 44.1 kHz.";
    } else if (header.mode == 3) {
        check.failure = "For now, mono files are not supported.";
    } else {
        check.frameBytes = 144 * bitrate / 44100 + header.padding_bit;
        check.bitrate = bitrate;
    }
    return check;
}

SampleDiskMP3::SampleDiskMP3(std::unique_ptr<File> file, const FormatAudio& format, std::int32_t dataStart,
                             std::int32_t dataLength, float cacheSeconds, const std::int32_t* storedOffsets,
                             std::int32_t storedCount)
    : file_(std::move(file)), format_(format), dataStart_(dataStart), dataLength_(std::max(dataLength, 0)) {
    if (!format.isCdFormat()) throw StringException("PCM audio must be in CD format: stereo, 44.1 kHz, 16 bits.");
    fileSize_ = file_->size();

    if (storedOffsets == nullptr || !adoptStoredIndex(storedOffsets, storedCount)) scan();
    headerBytes_.assign(static_cast<std::size_t>(frameCount_), 0);

    const double wanted = std::round(static_cast<double>(format_.sampleRate) * static_cast<double>(cacheSeconds));
    const double limit = std::numeric_limits<std::int32_t>::max() - 3 * kSamplesPerFrame;
    cacheFrames_ = static_cast<std::int32_t>(std::clamp(wanted, 0.0, limit));
    capacity_ = cacheFrames_ + 3 * kSamplesPerFrame;
    for (float*& buffer : cache_) {
        buffer = allocateFloats(capacity_);
        CHECK_PRIMITIVE(zaviZero_32f(buffer, capacity_));
    }
    mainData_.assign(kMainDataBytes, 0);
}

SampleDiskMP3::~SampleDiskMP3() {
    for (float* buffer : cache_) releaseAligned(buffer);
}

bool SampleDiskMP3::readAt(std::int64_t offset, void* buffer, std::int32_t count) {
    if (offset < 0 || offset + count > fileSize_) return false;
    return file_->seek(static_cast<int>(offset)) && file_->read(buffer, count);
}

// The first frame's file offset: after an ID3v2 tag at the data start (and
// its footer when flagged), the first 0xFF followed by a byte with its
// three top bits set. Offsets past the MP3 data do not count.
std::int64_t SampleDiskMP3::findFirstFrame() {
    std::int64_t from = dataStart_;
    std::uint8_t tag[10];
    if (readAt(dataStart_, tag, 10) && std::memcmp(tag, "ID3", 3) == 0) {
        const std::int64_t size = std::int64_t{tag[6] & 0x7F} << 21 | std::int64_t{tag[7] & 0x7F} << 14 |
                                  std::int64_t{tag[8] & 0x7F} << 7 | (tag[9] & 0x7F);
        from = dataStart_ + 10 + size + ((tag[5] & 0x10) != 0 ? 10 : 0);
    }
    const std::int64_t end = std::min<std::int64_t>(fileSize_, std::int64_t{dataStart_} + dataLength_);
    std::uint8_t chunk[kScanChunk + 1];
    for (std::int64_t at = from; at + 1 < end; at += kScanChunk) {
        const auto bytes = static_cast<std::int32_t>(std::min<std::int64_t>(kScanChunk + 1, end - at));
        if (!readAt(at, chunk, bytes)) break;
        for (std::int32_t k = 0; k + 1 < bytes; ++k) {
            if (isSync(chunk[k], chunk[k + 1])) return at + k;
        }
    }
    throw StringException("No sync found.");
}

void SampleDiskMP3::scan() {
    index_.clear();
    frameCount_ = 0;
    const std::int64_t dataEnd = std::min<std::int64_t>(fileSize_, std::int64_t{dataStart_} + dataLength_);
    std::int64_t at = findFirstFrame();
    std::int64_t endOffset = at - dataStart_;
    std::uint8_t chunk[kScanChunk + 1];
    while (frameCount_ < kMaxFrames) {
        // The next sync at or after `at`; frames normally follow each other,
        // so the first two bytes match at once.
        std::int64_t frameAt = -1;
        for (std::int64_t from = at; frameAt < 0 && from + 1 < dataEnd; from += kScanChunk) {
            const auto bytes = static_cast<std::int32_t>(std::min<std::int64_t>(kScanChunk + 1, dataEnd - from));
            if (!readAt(from, chunk, bytes)) break;
            for (std::int32_t k = 0; k + 1 < bytes; ++k) {
                if (isSync(chunk[k], chunk[k + 1])) {
                    frameAt = from + k;
                    break;
                }
            }
        }
        if (frameAt < 0) break;
        std::uint8_t bytes[8] = {};
        if (!readAt(frameAt, bytes, 4)) break;
        readAt(frameAt + 4, bytes + 4, 2);  // the CRC word, when there is one and the file holds it
        MP3FrameHeader header{};
        const std::uint8_t* cursor = bytes;
        if (!CHECK_PRIMITIVE(zaviUnpackFrameHeader_MP3(&cursor, &header))) break;
        const HeaderCheck check = checkHeader(header);
        if (check.failure != nullptr) {
            if (frameCount_ == 0) throw StringException(check.failure);
            endOffset = frameAt - dataStart_;
            break;
        }
        index_.push_back(static_cast<std::int32_t>(frameAt - dataStart_));
        ++frameCount_;
        at = frameAt + check.frameBytes;
        endOffset = at - dataStart_;
        if (endOffset >= dataLength_) break;
    }
    if (frameCount_ == 0) throw StringException("No frames found in MP3 file.");
    index_.push_back(static_cast<std::int32_t>(endOffset));
}

bool SampleDiskMP3::frameHeaderPasses(std::int64_t offset) {
    std::uint8_t bytes[8] = {};
    if (!readAt(offset, bytes, 4) || !isSync(bytes[0], bytes[1])) return false;
    readAt(offset + 4, bytes + 4, 2);
    MP3FrameHeader header{};
    const std::uint8_t* cursor = bytes;
    return CHECK_PRIMITIVE(zaviUnpackFrameHeader_MP3(&cursor, &header)) && checkHeader(header).failure == nullptr;
}

// The stored index is shifted by how far the first frame moved (a tag added
// or changed in front) and used only when it is plausible throughout and
// its first and last five frames still start with valid headers.
bool SampleDiskMP3::adoptStoredIndex(const std::int32_t* stored, std::int32_t storedCount) {
    if (storedCount < 1 || storedCount > kMaxFrames) return false;
    const std::int64_t shift = findFirstFrame() - dataStart_ - stored[0];
    std::vector<std::int32_t> shifted(static_cast<std::size_t>(storedCount) + 1);
    for (std::int32_t k = 0; k <= storedCount; ++k) {
        const std::int64_t offset = std::int64_t{stored[k]} + shift;
        if (offset < 0 || offset > std::numeric_limits<std::int32_t>::max()) return false;
        if (k > 0 && offset <= shifted[k - 1]) return false;
        if (k < storedCount && offset >= dataLength_) return false;
        shifted[k] = static_cast<std::int32_t>(offset);
    }
    const auto passes = [&](std::int32_t from, std::int32_t to) {
        for (std::int32_t k = std::max(from, 0); k <= std::min(to, storedCount - 1); ++k) {
            if (!frameHeaderPasses(std::int64_t{dataStart_} + shifted[k])) return false;
        }
        return true;
    };
    if (!passes(0, 4) || !passes(storedCount - 5, storedCount - 1)) return false;
    index_ = std::move(shifted);
    frameCount_ = storedCount;
    return true;
}

float** SampleDiskMP3::read(std::int32_t position, std::int32_t count, bool readAhead) {
    if (count > cacheFrames_) fatalError("Buffer too small.", __FILE__, __LINE__);
    count = std::max(count, 0);
    std::int64_t first = floorDivide(position, kSamplesPerFrame);
    std::int64_t offset = position - first * kSamplesPerFrame;
    const std::int64_t last = floorDivide(std::int64_t{position} + count, kSamplesPerFrame);
    std::int64_t frames = last - first + 1;
    if (first > 0) {
        // The frame in front refills the bit reservoir and the overlap.
        --first;
        offset += kSamplesPerFrame;
        ++frames;
    }
    if (firstCached_ < 0 || first < firstCached_ || first + frames - 1 > lastCached_) {
        if (readAhead) frames = std::max<std::int64_t>(frames, std::min(kReadAheadFrames, capacity_ / kSamplesPerFrame));
        decodeSpan(static_cast<std::int32_t>(first), static_cast<std::int32_t>(frames));
    }
    const std::int64_t start = (first - firstCached_) * kSamplesPerFrame + offset;
    for (int ch = 0; ch < 2; ++ch) result_[ch] = cache_[ch] + start;
    return result_;
}

void SampleDiskMP3::decodeSpan(std::int32_t first, std::int32_t frames) {
    firstCached_ = first;
    lastCached_ = first + frames - 1;
    std::memset(overlap_, 0, sizeof overlap_);
    std::memset(subbandCount_, 0, sizeof subbandCount_);
    std::memset(history_, 0, sizeof history_);
    std::memset(ring_, 0, sizeof ring_);
    for (std::int32_t k = 0; k < frames; ++k) {
        const std::int32_t frame = first + k;
        float* left = cache_[0] + static_cast<std::int64_t>(k) * kSamplesPerFrame;
        float* right = cache_[1] + static_cast<std::int64_t>(k) * kSamplesPerFrame;
        CHECK_PRIMITIVE(zaviZero_32f(left, kSamplesPerFrame));
        CHECK_PRIMITIVE(zaviZero_32f(right, kSamplesPerFrame));
        if (frame < 0 || frame >= frameCount_) continue;
        ++decodedFrames_;
        decodeFrame(frame, left, right);
    }
}

std::int32_t SampleDiskMP3::headerBytesOf(std::int32_t frame) {
    std::uint8_t& known = headerBytes_[static_cast<std::size_t>(frame)];
    if (known == 0) {
        std::uint8_t bytes[2];
        if (!readAt(std::int64_t{dataStart_} + index_[static_cast<std::size_t>(frame)], bytes, 2)) return -1;
        known = (bytes[1] & 1) != 0 ? kHeaderAndSide : kHeaderAndSideWithCrc;
    }
    return known;
}

// Gathers `bytes` bytes of main data for `frame` into the main-data buffer,
// followed by zeros: they begin backPointer bytes before the frame's own
// main-data area, counted through the areas of the frames before it (each
// running from its header and side information to the next frame), and run
// on through the areas that follow. False, and the frame silent, when they
// would begin before the first frame's area, run past the last indexed
// frame or the MP3 data, or lie in more than ten areas.
bool SampleDiskMP3::assembleMainData(std::int32_t frame, std::int32_t backPointer, std::int32_t bytes) {
    std::int32_t piece = frame;
    std::int64_t start = std::int64_t{index_[static_cast<std::size_t>(frame)]} + headerBytesOf(frame);
    std::int64_t remaining = backPointer;
    while (remaining > 0) {
        if (piece == 0 || frame - piece + 1 >= kMaxPieces) return false;
        --piece;
        const std::int32_t header = headerBytesOf(piece);
        if (header < 0) return false;
        const std::int64_t areaEnd = index_[static_cast<std::size_t>(piece) + 1];
        const std::int64_t area = std::max<std::int64_t>(areaEnd - index_[static_cast<std::size_t>(piece)] - header, 0);
        if (area >= remaining) {
            start = areaEnd - remaining;
            remaining = 0;
        } else {
            remaining -= area;
        }
    }
    std::int32_t gathered = 0;
    std::int32_t pieces = 0;
    while (gathered < bytes) {
        if (piece >= frameCount_ || ++pieces > kMaxPieces) return false;
        const std::int64_t areaEnd = index_[static_cast<std::size_t>(piece) + 1];
        const auto take = static_cast<std::int32_t>(std::clamp<std::int64_t>(areaEnd - start, 0, bytes - gathered));
        if (take > 0) {
            if (start + take > dataLength_) return false;
            if (!readAt(std::int64_t{dataStart_} + start, mainData_.data() + gathered, take)) return false;
            gathered += take;
        }
        if (++piece < frameCount_) {
            const std::int32_t header = headerBytesOf(piece);
            if (header < 0) return false;
            start = std::int64_t{index_[static_cast<std::size_t>(piece)]} + header;
        }
    }
    std::memset(mainData_.data() + bytes, 0, kMainDataSlack);
    return true;
}

// Decodes one frame into its slot of 1152 samples per channel, which the
// caller cleared: whatever fails stays silent from there to the end of its
// granule, and later granules keep their places.
void SampleDiskMP3::decodeFrame(std::int32_t frame, float* left, float* right) {
    std::uint8_t bytes[kHeaderAndSideWithCrc + 4] = {};
    if (!readAt(std::int64_t{dataStart_} + index_[static_cast<std::size_t>(frame)], bytes, kHeaderAndSideWithCrc) ||
        !isSync(bytes[0], bytes[1])) {
        return;
    }
    MP3FrameHeader header{};
    const std::uint8_t* cursor = bytes;
    // A stored index is checked on ten frames only; any other frame may be
    // of a kind this reader does not decode.
    if (zaviUnpackFrameHeader_MP3(&cursor, &header) != 0 || checkHeader(header).failure != nullptr) return;
    headerBytes_[static_cast<std::size_t>(frame)] =
        static_cast<std::uint8_t>(header.protection_bit != 0 ? kHeaderAndSide : kHeaderAndSideWithCrc);

    MP3SideInfo side[4] = {};
    std::int32_t backPointer = 0;
    std::int32_t privateBits = 0;
    std::int32_t scfsi[8] = {};
    if (zaviUnpackSideInfo_MP3(&cursor, side, &backPointer, &privateBits, scfsi, &header) != 0) return;
    std::int32_t declaredBits = 0;
    for (const MP3SideInfo& record : side) declaredBits += record.part2_3_length;
    const std::int32_t mainBytes = (declaredBits + 7) / 8;
    if (!assembleMainData(frame, backPointer, mainBytes)) return;

    float* out[2] = {left, right};
    std::int32_t bitStart = 0;
    for (std::int32_t granule = 0; granule < 2; ++granule) {
        MP3SideInfo* records = side + 2 * granule;
        // Each channel's data starts where the declared lengths put it, so a
        // failure in one granule cannot shift the next.
        const std::int32_t granuleStart = bitStart;
        bitStart += records[0].part2_3_length + records[1].part2_3_length;
        std::int32_t bounds[2] = {};
        bool decoded = true;
        std::int32_t channelStart = granuleStart;
        for (std::int32_t ch = 0; ch < 2 && decoded; ++ch) {
            const std::uint8_t* at = mainData_.data() + channelStart / 8;
            std::int32_t bitOffset = channelStart % 8;
            decoded = zaviUnpackScaleFactors_MP3_1u8s(&at, &bitOffset, scaleFactors_[ch], &records[ch], scfsi + 4 * ch,
                                                      &header, granule, ch) == 0;
            if (!decoded) break;
            const auto scaleFactorBits =
                static_cast<std::int32_t>((at - mainData_.data()) * 8 + bitOffset - channelStart);
            decoded = zaviHuffmanDecode_MP3_1u32s(&at, &bitOffset, spectrum_ + kGranuleSamples * ch, &bounds[ch],
                                                  &records[ch], &header,
                                                  records[ch].part2_3_length - scaleFactorBits) == 0;
            channelStart += records[ch].part2_3_length;
        }
        if (!decoded) continue;
        if (zaviReQuantize_MP3_32s_I(spectrum_, bounds, &scaleFactors_[0][0], records, &header, work_) != 0) continue;
        for (std::int32_t ch = 0; ch < 2; ++ch) {
            if (zaviMDCTInv_MP3_32s(spectrum_ + kGranuleSamples * ch, subbandSamples_, overlap_[ch], bounds[ch],
                                    &subbandCount_[ch], records[ch].block_type, records[ch].mixed_block_flag) != 0) {
                break;
            }
            float* slot = out[ch] + granule * kGranuleSamples;
            bool synthesized = true;
            for (std::int32_t t = 0; t < 18 && synthesized; ++t) {
                synthesized = zaviSynthPQMF_MP3_32s16s(subbandSamples_ + 32 * t, pcm_, history_[ch], &ring_[ch], 1) == 0;
                if (synthesized) {
                    for (std::int32_t k = 0; k < 32; ++k) slot[32 * t + k] = static_cast<float>(pcm_[k]) * (1.0f / 32768.0f);
                }
            }
            if (!synthesized) break;
        }
    }
}
