// The beat map's analysis: the envelope and onset signals against the NumPy
// model bit for bit, the chunk arithmetic, cancelling through the progress
// dialog, saving and restoring an analysis, and the refusal of other audio
// formats.
#include "BeatMapTestSupport.h"

#include "TestEnvironment.h"
#include "framework/DialogProgress.h"
#include "framework/DialogProgressClient.h"
#include "framework/Image.h"
#include "tools/GUIBeatMap.h"
#include "tools/GUIBeatMapData.h"

#include <cstring>
#include <random>

namespace {

using namespace beatmap_test;

class BeatMapAnalysis : public FrameworkTest {};

std::vector<std::uint32_t> bits(const float* values, std::size_t count) {
    std::vector<std::uint32_t> result(count);
    if (count != 0) std::memcpy(result.data(), values, count * sizeof(float));
    return result;
}
std::vector<std::uint32_t> bits(const std::vector<float>& values) { return bits(values.data(), values.size()); }

// Interleaved noise of every size, with the extremes -32768 and 32767 and
// stretches of silence in it.
std::vector<std::int16_t> noise(std::int32_t frames, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> level(-32768, 32767);
    std::uniform_int_distribution<int> shape(0, 99);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * 2);
    int scale = 32768;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (i % 4000 == 0) scale = std::vector<int>{0, 3, 300, 32768}[static_cast<std::size_t>(shape(random)) % 4];
        samples[i] = static_cast<std::int16_t>(static_cast<long>(level(random)) * scale / 32768);
    }
    if (frames > 10) {
        samples[7] = -32768;
        samples[samples.size() - 4] = 32767;
    }
    return samples;
}

TEST_F(BeatMapAnalysis, EnvelopeAndOnsetsEqualTheModelBitForBit) {
    struct Case {
        const char* name;
        std::int32_t frames;
    };
    const Case cases[] = {{"a-value", 153}, {"under-a-second", 10007}, {"three-seconds", 132300},
                          {"three-seconds-and-a-tail", 132300 + 5000}, {"one-chunk-nearly-two-seconds", 88199}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = temporaryFile(std::string(c.name) + ".wav");
        writeWav(path, noise(c.frames, static_cast<unsigned>(c.frames)));
        std::unique_ptr<AudioFileReader> reader = openWav(path);
        GUIBeatMap map(0, 0, 8, 8, samplesPerValue, nullptr);
        ASSERT_TRUE(map.analyse(reader.get(), nullptr));

        const std::vector<std::string> expected = model({"envelope", path, std::to_string(samplesPerValue)});
        ASSERT_FALSE(expected.empty());
        const std::size_t count = std::stoul(expected[0]);
        ASSERT_EQ(map.valueCount(), static_cast<std::int32_t>(count));
        EXPECT_EQ(map.totalSamples(), static_cast<std::int32_t>(count) * samplesPerValue);
        std::int32_t mapCount = -1;
        const float* envelope = map.envelope(&mapCount);
        EXPECT_EQ(mapCount, map.valueCount());
        const std::vector<float> modelEnvelope = floatsFromHex(expected, 1, count);
        EXPECT_EQ(bits(envelope, count), bits(modelEnvelope));

        const std::vector<std::string> derived =
            model({"onset", writeFloats(std::string(c.name) + ".env", modelEnvelope)});
        ASSERT_EQ(derived.size(), 2 * count);
        EXPECT_EQ(bits(map.onset(), count), bits(floatsFromHex(derived, 0, count)));
        EXPECT_EQ(bits(map.onsetPlusOne(), count), bits(floatsFromHex(derived, count, count)));
    }
}

TEST_F(BeatMapAnalysis, FullScaleNegativeSampleGivesExactlyOne) {
    std::vector<std::int16_t> samples(2 * 306, 0);
    samples[2 * 200 + 1] = -32768;  // right channel, second value
    samples[2 * 10] = 16384;        // left channel, first value
    const std::string path = temporaryFile("extremes.wav");
    writeWav(path, samples);
    std::unique_ptr<AudioFileReader> reader = openWav(path);
    GUIBeatMap map(0, 0, 8, 8, samplesPerValue, nullptr);
    ASSERT_TRUE(map.analyse(reader.get(), nullptr));
    std::int32_t count = 0;
    const float* envelope = map.envelope(&count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(envelope[0], 0.5f);
    EXPECT_EQ(envelope[1], 1.0f);
    EXPECT_EQ(map.onset()[0], 0.5f) << "the first onset is the first value";
    EXPECT_EQ(map.onset()[1], 0.5f);
    EXPECT_EQ(map.onsetPlusOne()[1], 1.5f);
}

TEST_F(BeatMapAnalysis, ChunkArithmeticOverSongLengths) {
    // values = frames / 153; 288 values a second; chunks = values / 288 (at
    // least 1); the values that do not fill the last chunk are dropped.
    struct Case {
        std::int32_t frames;
        std::int32_t values;
        std::int32_t chunks;
    };
    const Case cases[] = {
        {152, 0, 0},          // under one value: nothing is read
        {153, 1, 1},          // one value
        {44099, 288, 1},      // under a second
        {88199, 576, 2},      // just under two seconds
        {83790, 547, 1},      // 1.9 s: one chunk of 547 values
        {132300, 864, 3},     // three seconds
        {132300 + 1000, 870, 3},  // 871 values: one dropped
        {441000 + 20000, 3010, 10},  // 3010 values: 301 a chunk
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frames);
        MemoryReader reader(FormatAudio(), c.frames);
        GUIBeatMap map(0, 0, 8, 8, samplesPerValue, nullptr);
        EXPECT_TRUE(map.analyse(&reader, nullptr));
        EXPECT_EQ(map.valueCount(), c.values);
        EXPECT_EQ(map.totalSamples(), c.values * samplesPerValue);
        ASSERT_EQ(reader.reads().size(), static_cast<std::size_t>(c.chunks));
        const std::int32_t chunkFrames = c.chunks == 0 ? 0 : c.values / c.chunks * samplesPerValue;
        for (std::size_t k = 0; k < reader.reads().size(); ++k) {
            EXPECT_EQ(reader.reads()[k].first, static_cast<std::int32_t>(k) * chunkFrames);
            EXPECT_EQ(reader.reads()[k].second, chunkFrames);
        }
        // Each value is the largest magnitude of its block in either channel.
        for (std::int32_t v = 0; v < c.values; v += std::max(c.values / 7, 1)) {
            const std::int32_t last = (v + 1) * samplesPerValue - 1;
            float expected = 0.0f;
            for (std::int32_t f = v * samplesPerValue; f <= last; ++f)
                expected = std::max(expected, static_cast<float>(f % 65536) / 65536.0f);
            std::int32_t count = 0;
            EXPECT_EQ(map.envelope(&count)[v], expected) << "value " << v;
        }
    }
}

TEST_F(BeatMapAnalysis, AShortSongLeavesTheMapEmpty) {
    MemoryReader reader(FormatAudio(), 100);
    GUIBeatMap map(0, 0, 40, 30, samplesPerValue, nullptr);
    EXPECT_TRUE(map.analyse(&reader, nullptr));
    std::int32_t count = -1;
    EXPECT_EQ(map.envelope(&count), nullptr);
    EXPECT_EQ(count, 0);
    bool two = true;
    map.refresh(1, 0.0f, 0.0f, 1.0f, 120.0f, 4, &two);
    EXPECT_FALSE(two);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_FALSE(map.image().getPixel(x, y).differs(Color(255, 255, 255, 255)));
    float tempi[6];
    std::int32_t found = -1;
    map.findTempoCandidates(4, tempi, &found, 6);
    EXPECT_EQ(found, 0);
    EXPECT_TRUE(testing_support::logTexts().empty()) << "no primitive was called on an empty map";
}

class AnalysisJob : public DialogProgressClient {
public:
    AnalysisJob(GUIBeatMap& map, AudioFileReader& song) : map_(map), song_(song) {}
    void run(DialogProgress* dialog, const std::string&) override { result = map_.analyse(&song_, dialog); }
    bool result = true;

private:
    GUIBeatMap& map_;
    AudioFileReader& song_;
};

TEST_F(BeatMapAnalysis, CancelAtAChunkEmptiesTheMapAndRestoreGivesTheOldAnalysisBack) {
    for (int chunk : {0, 1, 4}) {
        SCOPED_TRACE(chunk);
        GUIBeatMap map(0, 0, 8, 8, samplesPerValue, nullptr);
        MemoryReader first(FormatAudio(), 44100 * 3 + 77);
        ASSERT_TRUE(map.analyse(&first, nullptr));
        const std::unique_ptr<GUIBeatMapData> saved = map.saveData();
        std::int32_t oldCount = 0;
        const std::vector<float> oldEnvelope(map.envelope(&oldCount), map.envelope(&oldCount) + oldCount);
        const std::vector<float> oldOnset(map.onset(), map.onset() + oldCount);

        MemoryReader second(FormatAudio(), 44100 * 6);
        bool abort = false;
        second.abortOnRead(chunk, &abort);
        AnalysisJob job(map, second);
        { DialogProgress dialog(nullptr, &job, "Loading Track", &abort, 0, 100); }
        EXPECT_FALSE(job.result);
        EXPECT_EQ(map.valueCount(), 0);
        EXPECT_EQ(second.reads().size(), static_cast<std::size_t>(chunk + 1)) << "stops before the next chunk";

        map.restoreData(*saved);
        std::int32_t count = 0;
        const float* envelope = map.envelope(&count);
        ASSERT_EQ(count, oldCount);
        EXPECT_EQ(map.totalSamples(), oldCount * samplesPerValue);
        EXPECT_EQ(std::vector<float>(envelope, envelope + count), oldEnvelope);
        EXPECT_EQ(std::vector<float>(map.onset(), map.onset() + count), oldOnset);
        EXPECT_NE(envelope, saved->envelope()) << "the map keeps its own copy";
    }
}

TEST_F(BeatMapAnalysis, AnUncancelledDialogRunsToTheEnd) {
    GUIBeatMap map(0, 0, 8, 8, samplesPerValue, nullptr);
    MemoryReader song(FormatAudio(), 44100 * 4);
    bool abort = true;
    AnalysisJob job(map, song);
    { DialogProgress dialog(nullptr, &job, "Loading Track", &abort, 0, 100); }
    EXPECT_TRUE(job.result);
    EXPECT_EQ(map.valueCount(), 4 * 288);
    EXPECT_EQ(song.reads().size(), 4u);
}

TEST_F(BeatMapAnalysis, SaveAndRestoreOfAnEmptyMap) {
    GUIBeatMap map(0, 0, 8, 8, samplesPerValue, nullptr);
    const std::unique_ptr<GUIBeatMapData> empty = map.saveData();
    EXPECT_EQ(empty->count(), 0);
    EXPECT_EQ(empty->envelope(), nullptr);
    setEnvelope(map, {0.25f, 0.5f, 0.125f});
    EXPECT_EQ(map.valueCount(), 3);
    EXPECT_EQ(map.totalSamples(), 3 * samplesPerValue);
    EXPECT_EQ(std::vector<float>(map.onset(), map.onset() + 3), (std::vector<float>{0.25f, 0.25f, 0.0f}));
    EXPECT_EQ(std::vector<float>(map.onsetPlusOne(), map.onsetPlusOne() + 3), (std::vector<float>{1.25f, 1.25f, 1.0f}));
    map.restoreData(*empty);
    std::int32_t count = -1;
    EXPECT_EQ(map.envelope(&count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(map.totalSamples(), 0);
}

TEST_F(BeatMapAnalysis, OtherFormatsAreAFatalStop) {
    const FormatAudio formats[] = {FormatAudio(1, 44100, 16), FormatAudio(2, 48000, 16), FormatAudio(2, 44100, 8),
                                   FormatAudio(2, 44100, 24)};
    for (const FormatAudio& format : formats) {
        SCOPED_TRACE(format.channels * 1000000 + format.sampleRate * 10 + format.bitsPerSample);
        MemoryReader reader(format, 44100);
        GUIBeatMap map(0, 0, 8, 8, samplesPerValue, nullptr);
        EXPECT_FATAL(map.analyse(&reader, nullptr), "GUIBeatMap currently only does CD format");
        EXPECT_TRUE(reader.reads().empty());
    }
}

TEST_F(BeatMapAnalysis, TheImageStartsTransparentLightBlue) {
    GUIBeatMap map(3, 4, 17, 9, samplesPerValue, nullptr);
    EXPECT_EQ(map.x0, 3);
    EXPECT_EQ(map.y0, 4);
    EXPECT_EQ(map.width, 17);
    EXPECT_EQ(map.height, 9);
    ASSERT_EQ(map.image().width(), 17);
    ASSERT_EQ(map.image().height(), 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 17; ++x) ASSERT_FALSE(map.image().getPixel(x, y).differs(Color(128, 128, 255, 0)));
}

}  // namespace
