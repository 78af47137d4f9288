// What a deck strip draws for songs opened from files made here: envelope
// pictures in each deck's colour with bar lines only at the finer scales,
// overview columns stretched onto their beats, reversed, silent and faded
// beats, the tempo band of both decks, the shade over empty beats.
#include "FrameworkTest.h"
#include "StripSongs.h"
#include "StripTestSupport.h"
#include "TestEnvironment.h"
#include "app/GUIStrip.h"
#include "audio/Interpolator.h"
#include "audio/Song.h"
#include "audio/Songs.h"
#include "audio/TimeScalerPV.h"
#include "framework/Image.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using strip_test::Grid;

using strip_test::makeSong;
using strip_test::overviewColour;

constexpr std::int32_t beatFrames = strip_test::songBeatFrames;
constexpr int height = 60;

class GUIStripRender : public ::testing::Test {
protected:
    void SetUp() override {
        setFatalErrorHook(throwFatalStop);
        testing_support::clearLog();
    }
    void TearDown() override { setFatalErrorHook(nullptr); }

    // Places a song file on the deck at the beat.
    Song& place(Songs& songs, const std::string& path, std::int32_t firstBeat) {
        auto song = std::make_unique<Song>(path, firstBeat, interpolator, timeScaler, 40.0f, false, 0);
        Song& placed = *song;
        EXPECT_TRUE(songs.add(std::move(song)));
        return placed;
    }
    std::unique_ptr<GUIStrip> stripOf(int deck, float samplesPerPixel, Songs& songs) {
        auto strip = std::make_unique<GUIStrip>(10, 10, 800, height, samplesPerPixel, "", deck, nullptr);
        strip->setStartBeat(0, grid.info());
        strip->shadeAfterLastBeat(grid.info());
        strip->renderSong(songs, grid.info(), 0);
        return strip;
    }
    void columns(const GUIStrip& strip, std::int32_t beat, int& c0, int& c1) {
        strip.beatColumns(grid.info().beatAt(beat), c0, c1);
    }
    // The tint with the shade over it, as a shaded column shows it.
    static Color shaded() {
        Image pixel(1, 1, GUIStrip::tint[0], GUIStrip::tint[1], GUIStrip::tint[2], GUIStrip::tint[3]);
        pixel.blendFill(GUIStrip::shade[0], GUIStrip::shade[1], GUIStrip::shade[2], GUIStrip::shade[3], 0, 0, 1, 1);
        return pixel.getPixel(0, 0);
    }
    static bool same(Color a, Color b) { return !a.differs(b); }
    // The rows of the picture below deck 0's band at weight 0.
    static constexpr int firstPictureRow = 2;

    testing_support::TemporaryDirectory dir;
    Interpolator interpolator{2};
    TimeScalerPV timeScaler{1024, 4};
    Grid grid{[](std::int32_t) { return static_cast<float>(beatFrames); }};
};

TEST_F(GUIStripRender, EnvelopeBeatsInTheirDecksColourWithBarLinesAtTheFinerScales) {
    const std::string path = makeSong(dir, "envelope", 16, false);
    struct Case {
        int deck;
        float samplesPerPixel;
        Color line;
        bool barLines;
    };
    const Case cases[] = {
        {0, 2756.0f, Color{220, 0, 0, 255}, true},
        {1, 2756.0f, Color{220, 100, 0, 255}, true},
        {0, 689.0f, Color{220, 0, 0, 255}, true},
        {0, 11024.0f, Color{220, 0, 0, 255}, false},
        {1, 11024.0f, Color{220, 100, 0, 255}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("deck " + std::to_string(c.deck) + " at " + std::to_string(c.samplesPerPixel));
        Songs songs;
        Song& song = place(songs, path, 4);
        const auto strip = stripOf(c.deck, c.samplesPerPixel, songs);
        const Image& image = strip->image();
        const int bandTop = c.deck == 0 ? 0 : height - 2;
        // Beats before the song are shaded.
        int c0 = 0, c1 = 0;
        columns(*strip, 3, c0, c1);
        EXPECT_TRUE(same(image.getPixel(c0, 20), shaded()));
        for (std::int32_t beat = 4; beat < 20; ++beat) {
            columns(*strip, beat, c0, c1);
            const int w = c1 - c0 + 1;
            // Each beat's columns are the song's picture of that beat at the
            // beat's width, apart from the tempo band.
            const Image& expected = song.beatImage(beat, w, height, c.deck == 1, c.samplesPerPixel < 6000.0f);
            int lineColour = 0, otherLine = 0, wholeWhiteColumns = 0;
            const Color other = c.deck == 0 ? Color{220, 100, 0, 255} : Color{220, 0, 0, 255};
            for (int x = 0; x < w; ++x) {
                bool white = true;
                for (int y = 0; y < height; ++y) {
                    const Color shown = image.getPixel(c0 + x, y);
                    if (y == bandTop || y == bandTop + 1) {
                        ASSERT_TRUE(same(shown, Color{0, 0, 0, 255})) << beat << " " << x << "," << y;
                        continue;
                    }
                    ASSERT_TRUE(same(shown, expected.getPixel(x, y))) << beat << " " << x << "," << y;
                    lineColour += same(shown, c.line);
                    otherLine += same(shown, other);
                    white = white && same(shown, Color{255, 255, 255, 255});
                }
                wholeWhiteColumns += white;
            }
            EXPECT_GT(lineColour, 0) << beat;
            EXPECT_EQ(otherLine, 0) << beat;
            // A bar's first beat (every fourth source beat) opens with a white
            // line at the finer scales only.
            const bool barStart = (beat - 4) % 4 == 0;
            EXPECT_EQ(wholeWhiteColumns, c.barLines && barStart ? 1 : 0) << beat;
            if (c.barLines && barStart) {
                EXPECT_TRUE(same(image.getPixel(c0, 30), Color{255, 255, 255, 255})) << beat;
            }
        }
        // After the song: shade again.
        columns(*strip, 20, c0, c1);
        EXPECT_TRUE(same(image.getPixel(c0, 20), shaded()));
    }
}

TEST_F(GUIStripRender, OverviewColumnsAreStretchedOntoTheirBeats) {
    const std::string path = makeSong(dir, "overview", 12, true);
    for (int deck : {0, 1}) {
        for (float samplesPerPixel : {689.0f, 2756.0f}) {
            SCOPED_TRACE("deck " + std::to_string(deck) + " at " + std::to_string(samplesPerPixel));
            Songs songs;
            place(songs, path, 2);
            const auto strip = stripOf(deck, samplesPerPixel, songs);
            const int bandTop = deck == 0 ? 0 : height - 2;
            for (std::int32_t beat = 2; beat < 14; ++beat) {
                int c0 = 0, c1 = 0;
                columns(*strip, beat, c0, c1);
                for (int x = c0; x <= c1; ++x) {
                    for (int y = 0; y < height; ++y) {
                        if (y == bandTop || y == bandTop + 1) continue;
                        ASSERT_TRUE(same(strip->image().getPixel(x, y), overviewColour(beat - 2)))
                            << "beat " << beat << " at " << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST_F(GUIStripRender, ReversedSilentAndFadedBeats) {
    const std::string path = makeSong(dir, "envelope", 16, false);
    Songs songs;
    place(songs, path, 0);
    const auto plain = stripOf(0, 2756.0f, songs);
    auto copyOf = [](const GUIStrip& strip, int x, int y) { return strip.image().getPixel(x, y); };

    // Beat 5 reversed: its columns mirrored, the others as they were.
    ASSERT_TRUE(songs.reverse(5, 1));
    auto strip = stripOf(0, 2756.0f, songs);
    int c0 = 0, c1 = 0;
    columns(*strip, 5, c0, c1);
    for (int x = 0; x < 800; ++x) {
        for (int y = 0; y < height; y += 3) {
            const int from = x >= c0 && x <= c1 ? c0 + c1 - x : x;
            ASSERT_TRUE(same(copyOf(*strip, x, y), copyOf(*plain, from, y))) << x << "," << y;
        }
    }
    ASSERT_TRUE(songs.reverse(5, 1));

    // Beat 6 faded out over itself: white from the full height at its
    // first column down to the last row at its last column.
    ASSERT_TRUE(songs.fade(6, "out", 1));
    strip = stripOf(0, 2756.0f, songs);
    columns(*strip, 6, c0, c1);
    const int w = c1 - c0 + 1;
    for (int k = 0; k < w; ++k) {
        const float gain = 1.0f - static_cast<float>(k) / static_cast<float>(w - 1);
        const int top = static_cast<int>(static_cast<float>(height - 1) * (1.0f - gain));
        for (int y = firstPictureRow; y < height; ++y) {
            const Color before = copyOf(*plain, c0 + k, y);
            const Color after = copyOf(*strip, c0 + k, y);
            if (y < top) {
                EXPECT_TRUE(same(after, before)) << k << "," << y;
            } else {
                // Whiter (the blend may round a full channel down by one).
                EXPECT_TRUE(after.red + 1 >= before.red && after.green + 1 >= before.green &&
                            after.blue + 1 >= before.blue &&
                            after.red + after.green + after.blue > before.red + before.green + before.blue)
                    << k << "," << y;
            }
        }
    }

    // Beat 9 paused: a silent slot goes in before it, shown as the shade.
    ASSERT_TRUE(songs.pause(9, 1));
    strip = stripOf(0, 2756.0f, songs);
    columns(*strip, 9, c0, c1);
    for (int x = c0; x <= c1; ++x) {
        for (int y = firstPictureRow; y < height; ++y) ASSERT_TRUE(same(copyOf(*strip, x, y), shaded())) << x << "," << y;
    }
    // The beat it held now plays one beat later.
    int d0 = 0, d1 = 0;
    columns(*strip, 10, d0, d1);
    for (int y = firstPictureRow; y < height; ++y) {
        ASSERT_TRUE(same(copyOf(*strip, d0 + 1, y), copyOf(*plain, c0 + 1, y))) << y;
    }
}

TEST_F(GUIStripRender, TheTempoBandFollowsTheWeightOnBothDecks) {
    // Weights 0, 0.5 and 1 on beats 10, 11 and 12.
    grid.info().setTempoFade(10, 0.0f, 1.0f, 2);
    struct Case {
        int deck;
        std::int32_t beat;
        int bandTop;
    };
    const Case cases[] = {
        {0, 10, 0}, {0, 11, 29}, {0, 12, 58},
        {1, 10, 58}, {1, 11, 29}, {1, 12, 0},
    };
    for (const Case& c : cases) {
        Songs songs;
        const auto strip = stripOf(c.deck, 2756.0f, songs);
        int c0 = 0, c1 = 0;
        columns(*strip, c.beat, c0, c1);
        for (int x = c0; x <= c1; ++x) {
            for (int y = 0; y < height; ++y) {
                const bool band = y == c.bandTop || y == c.bandTop + 1;
                EXPECT_EQ(same(strip->image().getPixel(x, y), Color{0, 0, 0, 255}), band)
                    << "deck " << c.deck << " beat " << c.beat << " at " << x << "," << y;
            }
        }
    }
}

TEST_F(GUIStripRender, DrawingTheSameBeatsAgainGivesTheSamePicture) {
    const std::string path = makeSong(dir, "envelope", 16, false);
    Songs songs;
    place(songs, path, 30);
    const auto strip = stripOf(0, 2756.0f, songs);
    const Image& image = strip->image();
    const std::vector<std::uint8_t> first(image.pixels(), image.pixels() + image.rowStep() * height);
    // Drawn and shaded again and again: no shade piles up, and a beat whose
    // song went away shows no trace of it.
    for (int i = 0; i < 3; ++i) {
        strip->shadeAfterLastBeat(grid.info());
        strip->renderSong(songs, grid.info(), 0);
    }
    EXPECT_TRUE(std::equal(first.begin(), first.end(), image.pixels()));
    songs.remove(&songs.song(0));
    strip->renderSong(songs, grid.info(), 0);
    Songs none;
    const auto empty = stripOf(0, 2756.0f, none);
    EXPECT_EQ(std::memcmp(image.pixels(), empty->image().pixels(), static_cast<std::size_t>(image.rowStep()) * height),
              0);
}

}  // namespace
