// Decoding of WMA songs (ASF files) into interleaved 16-bit frames.
//
// The reader above sees only this interface; the FFmpeg implementation lives
// in WmaDecoderFFmpeg.cpp and FakeWmaDecoder plays scripted answers in tests.
// Frame 0 is the decoder's first output sample; setStartOffset() moves the
// frame numbering should a later alignment correction be needed, so that
// callers stay untouched.
#ifndef VELKARN_PLATFORM_WMADECODER_H
#define VELKARN_PLATFORM_WMADECODER_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

enum class WmaMediaType { Audio, Video, Other };

class WmaDecoder {
public:
    // No block handed out by nextBlock() is longer than this; longer decoder
    // output is split.
    static constexpr int kMaxBlockFrames = 4096;

    virtual ~WmaDecoder() = default;

    // Opens a file by UTF-8 path; false when it is not a readable ASF file.
    virtual bool open(const std::string& utf8Path) = 0;
    virtual void close() = 0;

    // Streams in the file (all of them, not only audio).
    virtual int outputCount() const = 0;
    // Media type of output 0.
    virtual WmaMediaType outputType() const = 0;
    // Format of output 0 when it is audio; decoding is always to 16 bits.
    virtual int channels() const = 0;
    virtual int sampleRate() const = 0;
    int bitsPerSample() const { return 16; }

    // Play duration less preroll, in 100-ns units.
    virtual std::int64_t duration100ns() const = 0;

    // Decodes the next block into out (room for kMaxBlockFrames * channels()
    // samples). Returns its frame count, 0 at the end, -1 on a decoding
    // failure.
    virtual int nextBlock(std::int16_t* out) = 0;
    int maxBlockFrames() const { return kMaxBlockFrames; }

    // Moves so that the next block starts exactly at the given frame (of the
    // numbering that startOffset() shifts). False on failure.
    virtual bool seek(std::int64_t frame) = 0;

    void setStartOffset(std::int64_t frames) { startOffset_ = frames; }
    std::int64_t startOffset() const { return startOffset_; }

protected:
    std::int64_t startOffset_ = 0;
};

// The FFmpeg decoder.
std::unique_ptr<WmaDecoder> createWmaDecoder();

// True when the ASF demuxer and both WMA decoders are present.
bool wmaDecodingAvailable();

// Converts planar float samples to interleaved 16 bits: round to nearest of
// x * 32768, clipped to the 16-bit range.
void interleaveFloatTo16(const float* const* planes, int channels, int frames,
                         std::int16_t* out);

// A decoder that plays a script: formats, samples and failures.
class FakeWmaDecoder : public WmaDecoder {
public:
    struct Script {
        bool openFails = false;
        int outputs = 1;
        WmaMediaType type = WmaMediaType::Audio;
        int channels = 2;
        int rate = 44100;
        std::int64_t duration100ns = 0;
        std::vector<std::int16_t> samples;  // interleaved
        int blockFrames = 1000;             // frames per block handed out
        std::int64_t failAtFrame = -1;      // nextBlock fails on reaching it
        bool seekFails = false;
    };

    explicit FakeWmaDecoder(Script script) : script_(std::move(script)) {}

    bool open(const std::string& utf8Path) override;
    void close() override { open_ = false; }
    int outputCount() const override { return script_.outputs; }
    WmaMediaType outputType() const override { return script_.type; }
    int channels() const override { return script_.channels; }
    int sampleRate() const override { return script_.rate; }
    std::int64_t duration100ns() const override { return script_.duration100ns; }
    int nextBlock(std::int16_t* out) override;
    bool seek(std::int64_t frame) override;

    const std::string& openedPath() const { return path_; }
    int seekCalls() const { return seekCalls_; }

private:
    Script script_;
    bool open_ = false;
    std::string path_;
    std::int64_t position_ = 0;  // in the script's own numbering
    int seekCalls_ = 0;
};

}  // namespace platform

#endif
