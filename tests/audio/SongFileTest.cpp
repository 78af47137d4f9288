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
#include <ostream>
#include <utility>
#include <algorithm>
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
    std::vector<float> levels = std::vector<float>(1000, 0.5f);  // 100 frames each
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
        std::vector<float> levels = f.levels;
        PointsRecord points;
        points.samplesPerLevel = 100;
        points.levelCount = static_cast<std::int32_t>(levels.size());
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

struct Rgba {
    int r, g, b, a;
    bool operator==(const Rgba&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Rgba& c) {
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ", " << c.a << ")";
}
Rgba pixel(const Image& image, int x, int y) {
    const Color c = image.getPixel(x, y);
    return Rgba{c.red, c.green, c.blue, c.alpha};
}

TEST(SongFile, BeatImagesDrawTheLevelEnvelope) {
    testing_support::TemporaryDirectory dir;
    Interpolator interpolator(2);
    TimeScalerPV timeScaler(1024, 4);
    // 27 marked beats a 120 BPM beat apart from frame 1000: 26 slots. The
    // envelope (100 frames per level) is 0.25 up to level 99 and 0.75 from
    // level 100 to 4999; the levels end inside slot 22.
    Fixture fixture;
    for (std::int32_t i = 0; i < 27; ++i) fixture.beats.push_back(1000 + i * 22050);
    fixture.strip3 = 0;
    fixture.envelope = true;
    fixture.levels.assign(5000, 0.75f);
    std::fill(fixture.levels.begin(), fixture.levels.begin() + 100, 0.25f);
    Song song(makeSong(dir, "envelope", fixture), 10, interpolator, timeScaler, 40.0f, false, 0);
    ASSERT_EQ(song.count(), 26);
    ASSERT_EQ(song.beatsPerBar(), 3);
    // The file keeps levels in steps of 1/255.
    const float low = song.envelope().levels[0], high = song.envelope().levels[100];
    ASSERT_NEAR(low, 0.25f, 0.002f);
    ASSERT_NEAR(high, 0.75f, 0.002f);

    const Rgba light{200, 200, 255, 255}, dark{100, 100, 127, 255}, red{220, 0, 0, 255},
        orange{220, 100, 0, 255}, black{0, 0, 0, 255}, white{255, 255, 255, 255};
    struct Case {
        const char* name;
        std::int32_t slot;
        int width, height;
        bool highlight, barStart;
        Rgba shade;
        // Values j = 0..width + 1 (column x shows value x + 1): level 0 before
        // firstHigh, the high level from it on; all zero past the envelope.
        int firstHigh;
        bool empty;
        bool barLine;
    };
    // Slot 0 from frame 1000 at width 10: 22.05 levels a column from level
    // 10; column 4 (value 5) is the first to reach level 100. Bars are 3
    // beats, so slots 12..23 are the second four bars.
    const Case cases[] = {
        {"step inside the beat, bar start", 0, 10, 101, false, true, light, 5, false, true},
        {"second four bars, highlighted, no bar start", 13, 200, 200, true, true, dark, 0, false, false},
        {"bar start not asked", 12, 7, 33, false, false, dark, 0, false, false},
        {"third bar's start", 9, 1, 1, false, true, light, 0, false, true},
        {"past the envelope", 25, 50, 99, false, false, light, 0, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Image& image = song.beatImage(10 + c.slot, c.width, c.height, c.highlight, c.barStart);
        const auto level = [&](int j) { return c.empty ? 0.0f : (j >= c.firstHigh ? high : low); };
        const auto topOf = [&](int j) { return static_cast<int>((c.height - 1) * (1.0f - level(j)) * 0.5f); };
        const auto bottomOf = [&](int j) { return static_cast<int>((c.height - 1) * (1.0f + level(j)) * 0.5f); };
        for (int x = 0; x < c.width; ++x) {
            const int t = topOf(x + 1), b = bottomOf(x + 1);
            const int outlineTo = std::max(topOf(x), topOf(x + 2)) - 1;
            const int outlineFrom = std::min(bottomOf(x), bottomOf(x + 2)) + 1;
            for (int y = 0; y < c.height; ++y) {
                Rgba expected = c.shade;
                if (y >= t && y <= b) expected = c.highlight ? orange : red;
                if (y == t || y == b || (y >= t && y <= outlineTo) || (y >= outlineFrom && y <= b)) expected = black;
                if (x == 0 && c.barLine) expected = white;
                ASSERT_EQ(pixel(image, x, y), expected) << "x " << x << " y " << y;
            }
        }
    }
    // The step's outline, spelled out at height 101: the first high column
    // (4) is black from its top (12) to just above its left neighbour's top
    // (37) and from just below that neighbour's bottom (62) to its own (87,
    // not 87.5: the high level is 191/255).
    const Image& step = song.beatImage(10, 10, 101, false, false);
    for (const auto& [y, expected] : std::vector<std::pair<int, Rgba>>{
             {11, light}, {12, black}, {36, black}, {37, red}, {62, red}, {63, black}, {87, black}, {88, light}}) {
        EXPECT_EQ(pixel(step, 4, y), expected) << y;
    }
    // A reversed run draws the slots' own beats: slot 12 (a bar start of
    // the second four bars) now shows slot 13's shade and no bar line.
    ASSERT_TRUE(song.reverseBeats(22, 2));
    const Image& reversed = song.beatImage(22, 5, 50, false, true);
    EXPECT_EQ(pixel(reversed, 0, 0), dark);

    EXPECT_FATAL(song.beatImage(10, 201, 10, false, false), "This is not happening.");
    EXPECT_FATAL(song.beatImage(10, 10, 201, false, false), "This is not happening.");
    Fixture drawnFromOverview;
    drawnFromOverview.beats = {1000, 23050};
    drawnFromOverview.png = true;
    Song overview(makeSong(dir, "overview", drawnFromOverview), 0, interpolator, timeScaler, 40.0f, false, 0);
    EXPECT_FATAL(overview.beatImage(0, 10, 10, false, false), "This is not happening.");
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
