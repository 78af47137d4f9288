// The song reader for ".wma" files. The platform layer's WMA decoder feeds
// a BufferCircular through this object's BufferSource face; `read` copies
// from that ring into the reader's own channel buffers. The same object
// reads, writes and removes the program's two attributes inside the file
// (the beat meta-data, byte for byte a QRT file, and the overview PNG) and
// reads the five descriptive texts.
//
// Frame 0 is the decoder's first output sample (the layer's start offset
// is 0); stored beat positions of WMA songs refer to it.
//
// One thread at a time.
#ifndef VELKARN_AUDIO_SAMPLEDISKWMA_H
#define VELKARN_AUDIO_SAMPLEDISKWMA_H

#include "audio/AudioFileReader.h"
#include "audio/BufferSource.h"
#include "audio/FormatAudio.h"
#include "audio/ID3Text.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class BufferCircular;
class File;

namespace platform {
class AsfAttributes;
class WmaDecoder;
}  // namespace platform

class SampleDiskWMA : public AudioFileReader, public BufferSource {
public:
    static constexpr const char* kQrtAttribute = "Pelgrave_Software_Velkarn_1_QRT";
    static constexpr const char* kPngAttribute = "Pelgrave_Software_Velkarn_1_PNG";

    // Whether WMA songs can be read at all: the layer's demuxer and
    // decoders are present. unloadLibrary() has nothing to free.
    static bool loadLibrary();
    static void unloadLibrary() {}
    // Makes the two the framework's WMA loader, which the start-up check
    // asks: the application calls it before the support services start.
    static void installLoader();

    // Tests: where the reader gets its decoder and attribute store (the
    // layer's FFmpeg and TagLib ones by default; empty functions restore
    // those). A factory returning null is a reader that cannot be made.
    using DecoderFactory = std::function<std::unique_ptr<platform::WmaDecoder>()>;
    using AttributesFactory = std::function<std::unique_ptr<platform::AsfAttributes>()>;
    static void setLayerFactories(DecoderFactory decoders, AttributesFactory attributes);

    // Opens the song by its name (UTF-8). Throws StringException with the
    // user's message when the wanted or the file's format is not CD format,
    // or the file cannot be opened or is not one audio stream. With
    // makeBuffers, reads of up to trunc(rate x cacheSeconds + 1) frames
    // can follow.
    SampleDiskWMA(const std::string& name, const FormatAudio& wanted, float cacheSeconds, bool makeBuffers);
    ~SampleDiskWMA() override;
    SampleDiskWMA(const SampleDiskWMA&) = delete;
    SampleDiskWMA& operator=(const SampleDiskWMA&) = delete;

    FormatAudio* format() override { return &format_; }
    // Frames, from the file's play duration.
    int length() const override { return length_; }
    // One pointer per channel to count frames from position, valid until
    // the next read; frames outside the song are silent. Without buffers,
    // or with a count above the capacity, a fatal stop.
    float** read(std::int32_t position, std::int32_t count, bool readAhead) override;
    bool isFrameBased() const override { return false; }

    // The decoder's blocks turned into float channel buffers (see
    // BufferSource); a position is an exact frame.
    void readNext(float** destination, std::int32_t offset, std::int32_t wrapAt, std::int32_t count,
                  std::int32_t& produced) override;
    void readAt(float** destination, std::int32_t offset, std::int32_t wrapAt, std::int32_t count,
                std::int32_t& produced, std::int32_t position) override;
    std::int32_t maxBlockFrames() override;

    // Whether the attribute exists, and the size of its first value.
    bool qrtSize(std::int32_t& size) const;
    bool pngSize(std::int32_t& size) const;
    // Writes each attribute that exists into the given file (either null).
    void readAttributes(File* qrt, File* png) const;
    // Adds the whole content of each given file (either null) as the
    // attribute. False, with the failure logged, when the song could not be
    // saved; the song is then unchanged.
    bool writeAttributes(File* qrt, File* png);
    // Removes every value of both attributes; false (logged, song
    // unchanged) when the song could not be saved.
    bool removeAttributes();

    ID3Text* tags() { return &tags_; }

private:
    void openReader();
    void openAttributes();
    // After an edit: the attributes read again, the decoder at frame 0.
    void reopen();

    std::string name_;
    std::unique_ptr<platform::WmaDecoder> decoder_;  // never null once constructed
    bool decoderOpen_ = false;
    std::unique_ptr<platform::AsfAttributes> attributes_;
    FormatAudio format_;
    std::int32_t length_ = 0;
    bool buffersMade_ = false;
    std::int32_t capacity_ = 0;
    float* channels_[2] = {};
    float ringSeconds_ = 0.0f;
    std::unique_ptr<BufferCircular> ring_;
    std::vector<std::int16_t> block_;
    ID3Text tags_;
};

#endif
