// Songs opened from WAV files with side QRT and PNG files made by the test:
// slots from the marked beats, the graphics rules, the texts, each thrown
// text, and a beat rendered from the file's own samples; and the click
// player over a WAV sound.
#include "AudioTestHelpers.h"
#include "TestEnvironment.h"
#include "audio/Interpolator.h"
#include "audio/Song.h"
#include "audio/TimeScalerPV.h"
#include "audio/UnitSample.h"
#include "framework/Image.h"
#include "framework/StringException.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

std::string le32(std::uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
}
std::string le16(std::uint16_t v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; }

// Left sample k = (k * 37) mod 20000 - 10000, right its negation.
std::int16_t sampleAt(std::int32_t k) { return static_cast<std::int16_t>((k * 37) % 20000 - 10000); }

// 16-bit stereo 44.1 kHz PCM of `frames` frames.
std::string wavBytes(std::int32_t frames) {
    std::string data;
    for (std::int32_t k = 0; k < frames; ++k) {
        data += le16(static_cast<std::uint16_t>(sampleAt(k)));
        data += le16(static_cast<std::uint16_t>(-sampleAt(k)));
    }
    const std::string fmt = le16(1) + le16(2) + le32(44100) + le32(44100 * 4) + le16(4) + le16(16);
    const std::string body = "WAVE" + std::string("fmt ") + le32(16) + fmt + "data" + le32(static_cast<std::uint32_t>(data.size())) + data;
    return "RIFF" + le32(static_cast<std::uint32_t>(body.size())) + body;
}

struct Fixture {
    std::vector<std::int32_t> beats;  // none: no side file
    std::int32_t strip3 = 1;
    bool envelope = false;
    bool png = false;
};

std::string makeSong(const testing_support::TemporaryDirectory& dir, const std::string& name, const Fixture& f) {
    const std::string base = dir.file(name);
    testing_support::writeFile(base + ".wav", wavBytes(100000));
    if (!f.beats.empty()) {
        Beats beats(44100);
        for (std::int32_t position : f.beats) beats.appendBeat(position, false);
        BTSettings settings;
        settings.strip3 = f.strip3;
        settings.strip[1] = 3;
        SongTags tags;
        std::strcpy(tags.title, "A Title");
        std::strcpy(tags.artist, "An Artist");
        char label[songTextSize] = "A Label";
        std::vector<float> levels(1000, 0.5f);
        PointsRecord points;
        points.samplesPerLevel = 100;
        points.levelCount = 1000;
        points.levels = levels.data();
        BeatsWriteSources sources;
        sources.settings = &settings;
        sources.tags = &tags;
        sources.label = label;
        if (f.envelope) sources.points = &points;
        beats.writeMetaData(base + ".qrt", sources);
    }
    if (f.png) Image(50, 60, 10, 20, 30, 255).writePng(base + ".png");
    return base + ".wav";
}

TEST(SongFile, SlotsGraphicsRulesAndRefusals) {
    testing_support::TemporaryDirectory dir;
    Interpolator interpolator(2);
    TimeScalerPV timeScaler(1024, 4);
    struct Case {
        const char* name;
        Fixture fixture;
        const char* thrown;  // null: opens
        std::int32_t slots;
        bool overview, canvas;
    };
    const Case cases[] = {
        {"two beats", {{1000, 23050}, 1, false, true}, nullptr, 1, true, false},
        {"four beats", {{1000, 23050, 45100, 67150}, 1, false, true}, nullptr, 3, true, false},
        {"envelope drawn", {{1000, 23050}, 0, true, false}, nullptr, 1, false, true},
        {"envelope drawn, overview dropped", {{1000, 23050}, 0, true, true}, nullptr, 1, false, true},
        {"overview missing", {{1000, 23050}, 1, false, false}, "Cannot find the graphical meta-data.", 0, false, false},
        {"no envelope, no overview", {{1000, 23050}, 0, false, false}, "Cannot find the graphical meta-data.", 0, false, false},
        {"overview asked, envelope kept out", {{1000, 23050}, 1, true, true}, nullptr, 1, true, false},
        {"one beat", {{1000}, 1, false, true}, "A song must count at least one beat.", 0, false, false},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = makeSong(dir, "song" + std::to_string(index++), c.fixture);
        if (c.thrown != nullptr) {
            try {
                Song song(path, 0, interpolator, timeScaler, 40.0f, false, 0);
                ADD_FAILURE() << "opened";
            } catch (const StringException& e) {
                EXPECT_STREQ(e.what(), c.thrown);
            }
            continue;
        }
        Song song(path, 5, interpolator, timeScaler, 40.0f, false, 0);
        EXPECT_EQ(song.count(), c.slots);
        EXPECT_EQ(song.firstBeat(), 5);
        EXPECT_EQ(song.endBeat(), 5 + c.slots);
        EXPECT_EQ(song.firstSourcePosition(), 1000);
        EXPECT_EQ(song.beatsPerBar(), 3);
        SongSpan span{};
        SongBeat play{};
        ASSERT_TRUE(song.spanAt(5, &span, &play, nullptr));
        EXPECT_EQ(span.position, 1000);
        EXPECT_EQ(span.length, 22050);
        EXPECT_EQ(play, (SongBeat{0, false, false, 1.0f, 1.0f}));
        EXPECT_EQ(song.overviewImage() != nullptr, c.overview);
        EXPECT_EQ(song.beatCanvas() != nullptr, c.canvas);
        EXPECT_EQ(song.envelope().levels != nullptr, c.canvas);
        EXPECT_FLOAT_EQ(song.samplesPerPixel(), c.overview ? 22050.0f * c.slots / 50.0f : 0.0f);
        EXPECT_EQ(song.texts().title, "A Title");
        EXPECT_EQ(song.texts().artist, "An Artist");
        EXPECT_EQ(song.texts().label, "A Label");
    }
    const std::string bare = makeSong(dir, "bare", Fixture{});
    EXPECT_THROW(Song(bare, 0, interpolator, timeScaler, 40.0f, false, 0), NoMetadataAvailable);
}

TEST(SongFile, RendersTheFilesSamples) {
    testing_support::TemporaryDirectory dir;
    Interpolator interpolator(2);
    TimeScalerPV timeScaler(1024, 4);
    const std::string path = makeSong(dir, "play", {{1000, 23050, 45100}, 1, false, true});
    Song song(path, 0, interpolator, timeScaler, 40.0f, false, 0);
    std::vector<float> mainL(50000, 9.0f), mainR(50000, 9.0f), overL(50000, 9.0f), overR(50000, 9.0f);
    const DeckRings rings{mainL.data(), mainR.data(), overL.data(), overR.data(), 50000};
    song.renderBeat(1, rings, 300, 22050, 0, 2, false, 0.75f);
    for (std::int32_t t = 0; t < 22050; t += 7) {
        ASSERT_EQ(mainL[static_cast<std::size_t>(300 + t)], sampleAt(23050 + t) / 32768.0f) << t;
        ASSERT_EQ(mainR[static_cast<std::size_t>(300 + t)], -sampleAt(23050 + t) / 32768.0f) << t;
    }
    EXPECT_EQ(mainL[299], 9.0f);
    EXPECT_EQ(mainL[300 + 22050], 9.0f);
}

TEST(UnitSample, RestartsSplitTheBlockAndTheSoundEndsOrLoops) {
    testing_support::TemporaryDirectory dir;
    const std::string path = dir.file("click.wav");
    testing_support::writeFile(path, wavBytes(1000));
    const auto sound = [](std::int32_t k) { return sampleAt(k) / 32768.0f; };
    for (bool looping : {false, true}) {
        UnitSample unit(FormatAudio(), path, true, looping);
        std::vector<float> left(1000, 0.0f), right(1000, 0.0f);
        float* channels[] = {left.data(), right.data()};
        unit.process(channels, 1000, 1.0f, 1.0f);  // not started: nothing
        for (float v : left) ASSERT_EQ(v, 0.0f);
        unit.triggerAfter(1300);  // beyond this block: it only counts down
        unit.process(channels, 1000, 1.0f, 1.0f);
        EXPECT_FALSE(unit.playing());
        unit.process(channels, 1000, 1.0f, 0.5f);  // starts 300 frames in
        const float gainAt = 1.0f * (1.0f - 0.3f) + 0.5f * 0.3f;
        for (std::int32_t j = 0; j < 1000; ++j) {
            const float expected = j < 300 ? 0.0f : sound(j - 300) * (gainAt + (0.5f - gainAt) * (j - 300) / 700.0f);
            ASSERT_NEAR(left[static_cast<std::size_t>(j)], expected, 1e-6f) << j;
            ASSERT_NEAR(right[static_cast<std::size_t>(j)], -expected, 1e-6f) << j;
        }
        std::fill(left.begin(), left.end(), 0.0f);
        unit.process(channels, 1000, 1.0f, 1.0f);  // the last 300 frames, then the end
        for (std::int32_t j = 0; j < 1000; ++j) {
            const float expected = j < 300 ? sound(700 + j) : (looping ? sound(j - 300) : 0.0f);
            ASSERT_NEAR(left[static_cast<std::size_t>(j)], expected, 1e-6f) << looping << " " << j;
        }
        EXPECT_EQ(unit.playing(), looping);
    }
}

TEST(UnitSample, RefusalsAndLimits) {
    testing_support::TemporaryDirectory dir;
    const std::string path = dir.file("click.wav");
    testing_support::writeFile(path, wavBytes(100));
    try {
        UnitSample unit(FormatAudio(1, 44100, 16), path, true, false);
        ADD_FAILURE() << "opened";
    } catch (const StringException& e) {
        EXPECT_STREQ(e.what(), "The sample is not in a compatible format.");
    }
    UnitSample unit(FormatAudio(), path, true, true);
    unit.triggerAfter(0);
    std::vector<float> left(48001), right(48001);
    float* channels[] = {left.data(), right.data()};
    unit.process(channels, 48000, 1.0f, 1.0f);
    EXPECT_NEAR(left[47999], sampleAt(47999 % 100) / 32768.0f, 1e-6f);
    EXPECT_FATAL(unit.process(channels, 48001, 1.0f, 1.0f), "Block too big.");
}

}  // namespace
