// The song reader for MPEG-1 Layer III audio at 44.1 kHz in stereo, filling
// an ".mp3" file or the data chunk of a ".wav" file. Construction indexes
// every frame once (or takes the index kept in the song's beat meta-data
// after checking it); `read` then serves any span by decoding the frames
// that cover it, plus one frame in front to fill the bit reservoir and the
// transform overlap, into a cache of float samples. Frame k starts at
// sample 1152 k; nothing compensates the decoder's delay, because stored
// beat positions depend on this alignment.
//
// One thread at a time; no lock. Decoding goes through the primitives'
// dispatch stubs, so the build chosen at start-up (or forced) runs.
#ifndef VELKARN_AUDIO_SAMPLEDISKMP3_H
#define VELKARN_AUDIO_SAMPLEDISKMP3_H

#include "audio/AudioFileReader.h"
#include "audio/FormatAudio.h"
#include "primitives.h"

#include <cstdint>
#include <memory>
#include <vector>

class File;

class SampleDiskMP3 : public AudioFileReader {
public:
    static constexpr std::int32_t kSamplesPerFrame = 1152;
    static constexpr std::int32_t kMaxFrames = 50000;
    // Frames a read with readAhead decodes at least (just over a second).
    static constexpr std::int32_t kReadAheadFrames = 40;
    static constexpr std::int32_t kMainDataBytes = 20000;

    // The MP3 data is the dataLength bytes from dataStart in `file`, which
    // the reader owns from the call on (also when the constructor throws).
    // storedOffsets, when not null, holds storedCount + 1 frame offsets kept
    // from an earlier scan (the last being the end offset); they are used
    // only when they still match the file, else the file is scanned.
    // Throws StringException with the user's message for a format other
    // than CD format, a stream that is not MPEG-1 Layer III 44.1 kHz stereo
    // of a fixed bit-rate index, and a file without frames.
    SampleDiskMP3(std::unique_ptr<File> file, const FormatAudio& format, std::int32_t dataStart,
                  std::int32_t dataLength, float cacheSeconds, const std::int32_t* storedOffsets,
                  std::int32_t storedCount);
    ~SampleDiskMP3() override;
    SampleDiskMP3(const SampleDiskMP3&) = delete;
    SampleDiskMP3& operator=(const SampleDiskMP3&) = delete;

    FormatAudio* format() override { return &format_; }
    // Frames (samples per channel): frame count x 1152.
    int length() const override { return frameCount_ * kSamplesPerFrame; }
    // Two pointers, one per channel, to `count` samples from frame
    // `position`, valid until the next read. Samples before 0 and past the
    // end are silent; a frame that cannot be decoded is silent. A count
    // above round(44100 x cacheSeconds) is a fatal stop ("Buffer too
    // small."). With readAhead at least 40 frames are decoded, as many as
    // the cache holds.
    float** read(std::int32_t position, std::int32_t count, bool readAhead) override;
    bool isFrameBased() const override { return true; }

    // The frame index: frameCount() + 1 offsets from the data start, the
    // last one where the last indexed frame ends. What the beat meta-data
    // keeps so that the next open needs no scan.
    const std::vector<std::int32_t>& frameIndex() const { return index_; }
    std::int32_t frameCount() const { return frameCount_; }
    // Frames decoded since construction (each frame of every span decoded).
    std::int64_t decodedFrames() const { return decodedFrames_; }

    // Whether a frame header is one this reader decodes; the merge tool's
    // MP3-in-WAV wrap checks the first frame with it too.
    struct HeaderCheck {
        const char* failure = nullptr;  // the user's message, or null
        std::int32_t frameBytes = 0;
        std::int32_t bitrate = 0;  // bits per second
    };
    static HeaderCheck checkHeader(const MP3FrameHeader& header);

private:

    bool readAt(std::int64_t offset, void* buffer, std::int32_t count);
    std::int64_t findFirstFrame();
    void scan();
    bool adoptStoredIndex(const std::int32_t* stored, std::int32_t storedCount);
    bool frameHeaderPasses(std::int64_t offset);

    void decodeSpan(std::int32_t first, std::int32_t frames);
    void decodeFrame(std::int32_t frame, float* left, float* right);
    std::int32_t headerBytesOf(std::int32_t frame);
    bool assembleMainData(std::int32_t frame, std::int32_t backPointer, std::int32_t bytes);

    std::unique_ptr<File> file_;
    FormatAudio format_;
    std::int32_t dataStart_;
    std::int32_t dataLength_;
    std::int64_t fileSize_ = 0;
    std::int32_t cacheFrames_ = 0;  // the most a read may ask for
    std::int32_t capacity_ = 0;     // cache samples per channel
    float* cache_[2] = {};
    float* result_[2] = {};
    std::vector<std::int32_t> index_;
    std::int32_t frameCount_ = 0;
    std::vector<std::uint8_t> mainData_;
    std::int32_t firstCached_ = -1;
    std::int32_t lastCached_ = -1;
    std::int64_t decodedFrames_ = 0;

    // Header plus side-information bytes of each frame (36, or 38 with a
    // CRC word), 0 until read; the walk back through the bit reservoir
    // needs them for frames it does not decode.
    std::vector<std::uint8_t> headerBytes_;

    // Decoding state: per channel the transform overlap, its sub-band
    // count, the synthesis history and ring position; then scratch.
    std::int32_t overlap_[2][576] = {};
    std::int32_t subbandCount_[2] = {};
    std::int32_t history_[2][512] = {};
    std::int32_t ring_[2] = {};
    std::int8_t scaleFactors_[2][40] = {};
    std::int32_t spectrum_[1152] = {};
    std::int32_t work_[576] = {};
    std::int32_t subbandSamples_[576] = {};
    std::int16_t pcm_[576] = {};
};

#endif
