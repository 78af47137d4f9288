// The WAV song reader: samples against sox's own decoding on every build of
// the primitives, the RIFF walk over chunks inserted anywhere, and the
// formats it refuses.
#include "BuildTest.h"
#include "FrameworkTest.h"
#include "MetaDataFixtures.h"
#include "TestEnvironment.h"

#include "audio/Beats.h"
#include "audio/SampleDisk.h"
#include "audio/SampleDiskPCM.h"
#include "framework/FileDisk.h"
#include "framework/ResourceArchive.h"
#include "framework/StringException.h"

#include <cstring>
#include <filesystem>

using fixtures::RiffChunk;

namespace {

std::vector<std::int16_t> soxRaw(const std::string& wav, const std::string& scratch) {
    fixtures::runTool({"sox", wav, "-t", "raw", "-e", "signed-integer", "-b", "16", scratch});
    const std::string bytes = testing_support::readFile(scratch);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// The frames [position, position + count) as the reader must give them:
// sox's samples / 32768, silence outside the file.
void expectFrames(float** channels, const std::vector<std::int16_t>& raw, std::int32_t position, std::int32_t count) {
    const auto frames = static_cast<std::int64_t>(raw.size() / 2);
    int mismatches = 0;
    for (std::int32_t i = 0; i < count && mismatches < 5; ++i) {
        const std::int64_t frame = std::int64_t{position} + i;
        for (int c = 0; c < 2; ++c) {
            const float expected = frame >= 0 && frame < frames ? raw[frame * 2 + c] / 32768.0f : 0.0f;
            if (channels[c][i] != expected) {
                ADD_FAILURE() << "frame " << frame << " channel " << c << ": " << channels[c][i] << " != " << expected;
                ++mismatches;
            }
        }
    }
}

class WavPcmBuilds : public primitives::test::PerBuildTest {
protected:
    void SetUp() override {
        PerBuildTest::SetUp();
        song_ = directory_.file("song.wav");
        fixtures::makeSoxWav(song_, 0.5);
        raw_ = soxRaw(song_, directory_.file("song.raw"));
    }
    testing_support::TemporaryDirectory directory_;
    std::string song_;
    std::vector<std::int16_t> raw_;
};

TEST_P(WavPcmBuilds, ReadsSoxSamplesOverThirtyTwoThousandSevenHundredSixtyEight) {
    std::unique_ptr<AudioFileReader> reader = SampleDisk::open(song_, true, false, 0.25f);
    ASSERT_NE(reader, nullptr);
    const auto frames = static_cast<std::int32_t>(raw_.size() / 2);
    EXPECT_EQ(reader->length(), frames);
    EXPECT_FALSE(reader->isFrameBased());
    EXPECT_TRUE(reader->format()->isCdFormat());
    // Every span a deck asks for: whole blocks, odd sizes, the edges.
    const struct {
        std::int32_t position;
        std::int32_t count;
    } spans[] = {
        {0, 1}, {0, 11025}, {-10, 20}, {-11025, 11025}, {-20000, 11025}, {7, 1023},
        {frames - 10, 20}, {frames - 1, 3}, {frames, 50}, {frames + 1000, 11025}, {12345, 0},
    };
    for (const auto& span : spans) {
        SCOPED_TRACE(testing::Message() << "read at " << span.position << " for " << span.count);
        expectFrames(reader->read(span.position, span.count, false), raw_, span.position, span.count);
    }
    // The whole file in blocks, as a deck plays it.
    for (std::int32_t at = -300; at < frames + 300; at += 1000) expectFrames(reader->read(at, 1000, true), raw_, at, 1000);
}

INSTANTIATE_PER_BUILD_TEST_SUITE(WavPcmBuilds);

class WavPcm : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        song_ = directory_.file("song.wav");
        fixtures::makeSoxWav(song_, 0.1);
        original_ = testing_support::readFile(song_);
        raw_ = soxRaw(song_, directory_.file("song.raw"));
        chunks_ = fixtures::parseRiff(original_);
        Beats beats(44100);
        for (std::int32_t i = 0; i < 4; ++i) beats.appendBeat(1000 + i * 3000, false);
        qrt_ = beats.metaDataBytes();
    }
    std::string sox(const std::vector<std::string>& options) {
        const std::string path = directory_.file("made.wav");
        std::vector<std::string> argv = {"sox", "-D", "-n"};
        argv.insert(argv.end(), options.begin(), options.end());
        for (const char* tail : {"", "synth", "0.05", "sine", "440"}) {
            if (*tail == '\0') argv.push_back(path);
            else argv.push_back(tail);
        }
        fixtures::runTool(argv);
        return path;
    }
    WavLayout parse(const std::string& bytes) {
        auto file = fixtures::memoryFile(bytes);
        return SampleDisk::parseWav(*file);
    }

    testing_support::TemporaryDirectory directory_;
    std::string song_;
    std::string original_;
    std::vector<std::int16_t> raw_;
    std::vector<RiffChunk> chunks_;  // "fmt ", "data"
    std::string qrt_;
};

TEST_F(WavPcm, SoxWritesTheTwoChunksTheTestsRearrange) {
    ASSERT_EQ(chunks_.size(), 2u);
    EXPECT_EQ(chunks_[0].id, "fmt ");
    EXPECT_EQ(chunks_[1].id, "data");
}

TEST_F(WavPcm, ChunksAnywhereAroundTheFormatAndTheData) {
    const RiffChunk fmt = chunks_[0];
    const RiffChunk data = chunks_[1];
    const RiffChunk oddJunk{"junk", std::string(7, '\xAB')};
    const RiffChunk tiny{"tiny", "abc"};  // under 16 bytes
    const RiffChunk qrt{"qrt ", qrt_};
    RiffChunk oddPngLastNoPad{"png ", std::string(9, 'p')};
    oddPngLastNoPad.pad = false;
    RiffChunk shortFmt{"fmt ", fmt.body.substr(0, 14)};
    const struct Case {
        const char* name;
        std::vector<RiffChunk> chunks;
        bool hasQrt;
        bool hasPng;
    } cases[] = {
        {"odd chunks with their pads before fmt and data", {oddJunk, fmt, oddJunk, data}, false, false},
        {"qrt after data", {fmt, data, qrt}, true, false},
        {"png before fmt, qrt after data", {RiffChunk{"png ", "pp"}, fmt, data, qrt}, true, true},
        {"a chunk under 16 bytes before fmt", {tiny, fmt, data}, false, false},
        {"a short fmt chunk is no fmt chunk", {shortFmt, fmt, data}, false, false},
        {"the older layout: an odd png last without its pad", {fmt, data, qrt, oddPngLastNoPad}, true, true},
        {"qrt before everything", {qrt, fmt, oddJunk, data}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bytes = fixtures::writeRiff(c.chunks);
        const WavLayout layout = parse(bytes);
        EXPECT_FALSE(layout.isMp3);
        EXPECT_TRUE(layout.format.isCdFormat());
        EXPECT_EQ(layout.dataBytes, static_cast<std::int32_t>(data.body.size()));
        EXPECT_EQ(bytes.substr(layout.dataStart, data.body.size()), data.body);
        EXPECT_EQ(layout.hasQrt, c.hasQrt);
        EXPECT_EQ(layout.hasPng, c.hasPng);
        if (c.hasQrt) { EXPECT_EQ(bytes.substr(layout.qrtOffset, qrt_.size()), qrt_); }
        if (c.hasPng) { EXPECT_EQ(bytes.substr(layout.pngOffset - 8, 4), "png "); }

        // The factory reads the same samples and the embedded beats.
        const std::string path = directory_.file("layout.wav");
        testing_support::writeFile(path, bytes);
        std::unique_ptr<Beats> beats;
        SongFileOutputs outputs;
        outputs.beats = &beats;
        std::unique_ptr<AudioFileReader> reader = SampleDisk::open(path, true, false, 1.0f, outputs);
        ASSERT_EQ(reader->length(), static_cast<std::int32_t>(raw_.size() / 2));
        expectFrames(reader->read(-5, 4410, false), raw_, -5, 4410);
        ASSERT_EQ(beats != nullptr, c.hasQrt);
        if (beats) { EXPECT_EQ((*beats)[3].position, 10000); }
    }
}

TEST_F(WavPcm, SizesPastTheEndOfTheFile) {
    const RiffChunk fmt = chunks_[0];
    RiffChunk data = chunks_[1];
    // A data size past the end is clipped to the bytes present.
    RiffChunk longData = data;
    longData.sizeField = static_cast<std::int64_t>(data.body.size()) + 4000;
    WavLayout layout = parse(fixtures::writeRiff({fmt, longData}));
    EXPECT_EQ(layout.dataBytes, static_cast<std::int32_t>(data.body.size()));
    // A huge size after the data ends the walk quietly; the data is kept.
    RiffChunk huge{"huge", "xy"};
    huge.sizeField = 0xFFFFFFF0;
    layout = parse(fixtures::writeRiff({fmt, data, huge, RiffChunk{"qrt ", qrt_}}));
    EXPECT_EQ(layout.dataBytes, static_cast<std::int32_t>(data.body.size()));
    EXPECT_FALSE(layout.hasQrt);
    // Before the format or the data it means the chunk is missing.
    EXPECT_STRING_EXCEPTION(parse(fixtures::writeRiff({huge, fmt, data})), "The .WAV file does not contain a FMT chunk");
    EXPECT_STRING_EXCEPTION(parse(fixtures::writeRiff({fmt, huge, data})), "The .WAV file does not contain a DATA chunk");
}

TEST_F(WavPcm, TheTextsOfTheWalk) {
    const RiffChunk fmt = chunks_[0];
    const RiffChunk data = chunks_[1];
    const struct Case {
        const char* name;
        std::string bytes;
        const char* text;
    } cases[] = {
        {"not RIFF", "RIFX" + original_.substr(4), "The .WAV file is not a RIFF file."},
        {"too short for a header", "RIFF", "The .WAV file is not a RIFF file."},
        {"not WAVE", fixtures::writeRiff({fmt, data}, -1, "AVI "), "The .WAV file is not a WAVE file."},
        {"no chunks", fixtures::writeRiff({}), "The .WAV file does not contain a FMT chunk"},
        {"only a short fmt", fixtures::writeRiff({RiffChunk{"fmt ", fmt.body.substr(0, 12)}, data}),
         "The .WAV file does not contain a FMT chunk"},
        {"no data", fixtures::writeRiff({fmt, RiffChunk{"LIST", "abcd"}}), "The .WAV file does not contain a DATA chunk"},
        {"a header cut short", fixtures::writeRiff({fmt}) + "dat", "The .WAV file does not contain a DATA chunk"},
        {"float", fixtures::writeRiff({RiffChunk{"fmt ", fixtures::fmtBody(3, 2, 44100, 32)}, data}),
         "The .WAV audio format is neither PCM, nor MP3."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STRING_EXCEPTION(parse(c.bytes), c.text);
    }
}

TEST_F(WavPcm, FormatsTheFactoryRefuses) {
    const char* const cdFormat = "PCM audio must be in CD format: stereo, 44.1 kHz, 16 bits.";
    const char* const neither = "The .WAV audio format is neither PCM, nor MP3.";
    const struct Case {
        std::vector<std::string> options;
        const char* text;
    } cases[] = {
        {{"-r", "44100", "-c", "1", "-b", "16", "-e", "signed-integer"}, cdFormat},
        {{"-r", "48000", "-c", "2", "-b", "16", "-e", "signed-integer"}, cdFormat},
        {{"-r", "44100", "-c", "2", "-b", "8", "-e", "unsigned-integer"}, cdFormat},
        {{"-r", "44100", "-c", "2", "-b", "32", "-e", "floating-point"}, neither},  // tag 3 with "fact"
        {{"-r", "44100", "-c", "2", "-b", "24", "-e", "signed-integer"}, neither},  // tag 0xFFFE
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.options));
        const std::string path = sox(c.options);
        EXPECT_STRING_EXCEPTION(SampleDisk::open(path, true, false, 1.0f), c.text);
    }
    for (const std::string& bytes : {"RIFX" + original_.substr(4), original_.substr(0, 8) + "AVI " + original_.substr(12),
                                     std::string("RIFF")}) {
        const std::string path = directory_.file("bad.wav");
        testing_support::writeFile(path, bytes);
        EXPECT_STRING_EXCEPTION(SampleDisk::open(path, true, false, 1.0f), "Not a valid .wav file.");
    }
}

TEST_F(WavPcm, ACountAboveTheCapacityIsFatal) {
    std::unique_ptr<File> file(openFile(song_, true, false));
    SampleDiskPCM reader(std::move(file), FormatAudio(), 44, static_cast<std::int32_t>(raw_.size() * 2), 0.01f);
    EXPECT_EQ(reader.capacity(), 441);
    expectFrames(reader.read(-100, 441, false), raw_, -100, 441);
    EXPECT_FATAL(reader.read(0, 442, false), "Buffer too small.");
}

}  // namespace
