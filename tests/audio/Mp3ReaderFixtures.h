// Shared by the MP3 reader's tests: the stream set and the reader's own
// streams, readers over bytes in memory, whole-song reads, the decoding
// loop's output as floats, and streams cut and repeated frame by frame.
#ifndef VELKARN_TESTS_AUDIO_MP3READERFIXTURES_H
#define VELKARN_TESTS_AUDIO_MP3READERFIXTURES_H

#include "audio/SampleDiskMP3.h"

#include "MetaDataFixtures.h"
#include "Mp3Decoder.h"
#include "framework/Log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace mp3fixtures {

using primitives::test::DecodedStream;
using primitives::test::Mp3Decoder;

inline const std::string kStreamDir = VELKARN_MP3_STREAM_DIR;
inline const std::string kReferenceDir = VELKARN_MP3_REFERENCE_DIR;
inline const std::string kReaderStreamDir = VELKARN_MP3_READER_STREAM_DIR;
inline constexpr std::int32_t kFrame = SampleDiskMP3::kSamplesPerFrame;

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

template <typename T>
inline std::vector<T> readRaw(const std::string& path) {
    const std::string bytes = readBytes(path);
    std::vector<T> values(bytes.size() / sizeof(T));
    std::memcpy(values.data(), bytes.data(), values.size() * sizeof(T));
    return values;
}

inline std::string streamBytes(const std::string& name) { return readBytes(kStreamDir + "/" + name + ".mp3"); }

// The set's MPEG-1 44.1 kHz two-channel streams with ffprobe's frame count.
inline std::map<std::string, std::int64_t> readableStreams() {
    std::map<std::string, std::int64_t> streams;
    std::ifstream manifest(kStreamDir + "/manifest.txt");
    for (std::string line; std::getline(manifest, line);) {
        std::istringstream fields(line);
        std::string file, mode, vbr, crc;
        std::int64_t frames = 0;
        fields >> file >> mode >> vbr >> crc >> frames;
        if (file.rfind("m1-44k-", 0) == 0 && mode != "m") streams[file.substr(0, file.size() - 4)] = frames;
    }
    return streams;
}

inline std::vector<std::string> readableStreamNames() {
    std::vector<std::string> names;
    for (const auto& [name, frames] : readableStreams()) names.push_back(name);
    return names;
}

struct ReaderOptions {
    float cacheSeconds = 1.0f;
    const std::vector<std::int32_t>* stored = nullptr;
    std::int32_t dataStart = 0;
    std::int32_t dataLength = -1;  // the rest of the bytes
};

inline std::unique_ptr<SampleDiskMP3> openReader(const std::string& bytes, const ReaderOptions& options = {}) {
    const std::int32_t length =
        options.dataLength >= 0 ? options.dataLength : static_cast<std::int32_t>(bytes.size()) - options.dataStart;
    const std::int32_t* stored = options.stored != nullptr ? options.stored->data() : nullptr;
    const std::int32_t storedCount = options.stored != nullptr ? static_cast<std::int32_t>(options.stored->size()) - 1 : 0;
    return std::make_unique<SampleDiskMP3>(fixtures::memoryFile(bytes), FormatAudio(), options.dataStart, length,
                                           options.cacheSeconds, stored, storedCount);
}

// Both channels of the whole song, read front to back with readAhead in
// reads of `chunk` frames.
struct Channels {
    std::vector<float> left;
    std::vector<float> right;
};

inline Channels readWhole(AudioFileReader& reader, std::int32_t chunk) {
    Channels out;
    for (std::int32_t at = 0; at < reader.length(); at += chunk) {
        const std::int32_t count = std::min(chunk, reader.length() - at);
        float** channels = reader.read(at, count, true);
        out.left.insert(out.left.end(), channels[0], channels[0] + count);
        out.right.insert(out.right.end(), channels[1], channels[1] + count);
    }
    return out;
}

// The loop's 16-bit output as the reader's floats (exact: x / 32768).
inline Channels referenceChannels(const std::string& bytes) {
    const DecodedStream decoded = Mp3Decoder(std::vector<std::uint8_t>(bytes.begin(), bytes.end())).decodeAll();
    Channels out;
    for (std::size_t k = 0; k + 1 < decoded.pcm.size(); k += 2) {
        out.left.push_back(decoded.pcm[k] / 32768.0f);
        out.right.push_back(decoded.pcm[k + 1] / 32768.0f);
    }
    return out;
}

// The first sample at which two runs differ, or -1.
inline std::int64_t firstDifference(const std::vector<float>& a, const std::vector<float>& b, std::size_t from = 0,
                             std::size_t bFrom = 0) {
    if (a.size() - from != b.size() - bFrom) return -2;
    for (std::size_t k = 0; from + k < a.size(); ++k) {
        if (a[from + k] != b[bFrom + k]) return static_cast<std::int64_t>(from + k);
    }
    return -1;
}

inline bool frameSilent(const Channels& c, std::int32_t frame) {
    for (std::int32_t k = frame * kFrame; k < (frame + 1) * kFrame; ++k) {
        if (c.left[k] != 0.0f || c.right[k] != 0.0f) return false;
    }
    return true;
}

// Frame k's bytes of a stream, as the reader's index cuts them.
inline std::vector<std::string> framesOf(const std::string& bytes) {
    const auto reader = openReader(bytes);
    const std::vector<std::int32_t>& index = reader->frameIndex();
    std::vector<std::string> frames;
    for (std::size_t k = 0; k + 1 < index.size(); ++k) frames.push_back(bytes.substr(index[k], index[k + 1] - index[k]));
    return frames;
}

inline std::string repeatFrames(const std::vector<std::string>& frames, std::int32_t count) {
    std::string out;
    for (std::int32_t k = 0; k < count; ++k) out += frames[k % frames.size()];
    return out;
}

// An ID3v2.4 tag of `bodyBytes` zero bytes; the footer flag and the footer
// bytes are the caller's.
inline std::string id3Tag(std::uint32_t bodyBytes, bool footerFlag) {
    std::string tag = "ID3";
    tag += '\x04';
    tag += '\x00';
    tag += static_cast<char>(footerFlag ? 0x10 : 0x00);
    tag += fixtures::syncsafe(bodyBytes);
    tag += std::string(bodyBytes, '\0');
    return tag;
}

class FatalHook {
public:
    FatalHook() { setFatalErrorHook(throwFatalStop); }
    ~FatalHook() { setFatalErrorHook(nullptr); }
};

}  // namespace mp3fixtures

#endif
