// The song renderer called directly into rings filled with sentinels:
// adjacent beats sum to one continuous fit, song frames land where the
// grid says on every path, silent beats keep the previous fade-out, and
// the gain ramps follow the crossfade curve.
#include "AudioTestHelpers.h"
#include "FunctionSource.h"
#include "TestEnvironment.h"
#include "audio/CrossfadeCurve.h"
#include "audio/Interpolator.h"
#include "audio/SongRenderer.h"
#include "audio/TimeScalerPV.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr float sentinel = 7.0f;
constexpr std::int32_t ringFrames = 200000;

struct Rings {
    explicit Rings(float fill = sentinel)
        : mainLeft(ringFrames, fill), mainRight(ringFrames, fill), overlapLeft(ringFrames, fill),
          overlapRight(ringFrames, fill) {}
    DeckRings view() { return {mainLeft.data(), mainRight.data(), overlapLeft.data(), overlapRight.data(), ringFrames}; }
    float sumLeft(std::int64_t at) const {
        const auto i = static_cast<std::size_t>((at % ringFrames + ringFrames) % ringFrames);
        return mainLeft[i] + overlapLeft[i];
    }
    std::vector<float> mainLeft, mainRight, overlapLeft, overlapRight;
};

struct Renderers {
    Interpolator interpolator{4};
    TimeScalerPV timeScaler{1024, 4};
    SongRenderer renderer{interpolator, timeScaler, 40.0f, 132300};
};

double smooth(std::int64_t k) { return 0.4 * std::sin(0.0123 * k) + 0.3 * std::sin(0.0071 * k + 1.0); }

TEST(SongRenderer, AdjacentBeatsSumToOneContinuousFit) {
    // (span length, beat length, overlap): the copy path, then resampling
    // both ways, with odd and even overlaps.
    const std::int32_t cases[][3] = {
        {20000, 20000, 441}, {20000, 20000, 440}, {20000, 22050, 441},
        {20000, 22050, 440}, {23000, 21017, 441}, {23000, 21017, 0}};
    for (const auto& c : cases) {
        const std::int32_t v = c[0], count = c[1], n = c[2];
        Renderers r;
        FunctionSource source(smooth);
        Rings two, one;
        const std::int32_t b = 1000, p = 50000;
        r.renderer.renderBeat(source, {p, v}, SongBeat{}, two.view(), b, count, n, false, 0.5f);
        r.renderer.renderBeat(source, {p + v, v}, SongBeat{}, two.view(), b + count, count, n, false, 0.5f);
        r.renderer.renderBeat(source, {p, 2 * v}, SongBeat{}, one.view(), b, 2 * count, n, false, 0.5f);
        double worst = 0.0;
        for (std::int64_t t = n; t < 2 * count - n; ++t) {
            worst = std::max(worst, static_cast<double>(std::abs(two.sumLeft(b + t) - one.sumLeft(b + t))));
            if (v == count) {
                // The copy is the song itself.
                ASSERT_NEAR(two.sumLeft(b + t), smooth(p + t), 2e-7) << t;
            }
        }
        // Resampled, the float ratio places the second beat's frames up to
        // about 1e-3 song frames off the single fit's; at this content's
        // largest slope (0.0071 per frame) that is below 1e-5.
        EXPECT_LT(worst, v == count ? 1e-7 : 1e-5) << v << " " << count << " " << n;
    }
}

TEST(SongRenderer, SongFramesLandOnTheirGridPositions) {
    // On a straight line every fit is exact, so output b + t must be song
    // frame p + t / h (p + v - t / h reversed) wherever the beat has full
    // gain: to within half a song frame, since the margin before the span
    // is a whole number of song frames (half / h rounded).
    const auto line = [](std::int64_t k) { return 1e-5 * static_cast<double>(k); };
    const std::int32_t cases[][2] = {{20000, 20000}, {20000, 22050}, {24000, 22050}};
    for (const auto& c : cases) {
        for (bool reversed : {false, true}) {
            const std::int32_t v = c[0], count = c[1], n = 441, b = 5000, p = 30000;
            Renderers r;
            FunctionSource source(line);
            Rings rings;
            SongBeat play{};
            play.reversed = reversed;
            r.renderer.renderBeat(source, {p, v}, play, rings.view(), b, count, n, false, 0.5f);
            const double h = static_cast<double>(count) / v;
            for (std::int64_t t = n; t < count - n; t += 97) {
                const double frame = reversed ? p + v - t / h : p + t / h;
                ASSERT_NEAR(rings.sumLeft(b + t), 1e-5 * frame, 1e-5 * 0.5 + 1e-6)
                    << "v " << v << " count " << count << " reversed " << reversed << " t " << t;
            }
        }
    }
}

// The centre of the energy of main + overlap over [from, to).
double energyCentre(const Rings& rings, std::int64_t from, std::int64_t to) {
    double weighted = 0.0, total = 0.0;
    for (std::int64_t t = from; t < to; ++t) {
        const double e = static_cast<double>(rings.sumLeft(t)) * rings.sumLeft(t);
        weighted += e * static_cast<double>(t);
        total += e;
    }
    return weighted / total;
}

TEST(SongRenderer, TimeScaledMarkersLandOnTheirGridPositions) {
    // A Hann-windowed 1 kHz burst a quarter into the span: a quarter into
    // the beat forward, three quarters reversed.
    const std::int32_t p = 40000, v = 22050;
    const double centre = p + v / 4.0;
    const auto burst = [centre](std::int64_t k) {
        const double x = (static_cast<double>(k) - centre) / 1323.0;  // 30 ms wide
        if (std::abs(x) >= 0.5) return 0.0;
        const double w = 0.5 + 0.5 * std::cos(2.0 * std::numbers::pi * x);
        return 0.5 * w * std::sin(2.0 * std::numbers::pi * 1000.0 * k / 44100.0);
    };
    for (std::int32_t count : {22050, 20000, 24500}) {
        for (bool reversed : {false, true}) {
            Renderers r;
            FunctionSource source(burst);
            Rings rings(0.0f);
            SongBeat play{};
            play.reversed = reversed;
            const std::int32_t b = 3000;
            r.renderer.renderBeat(source, {p, v}, play, rings.view(), b, count, 441, true, 0.5f);
            const double expected = b + (reversed ? 0.75 : 0.25) * count;
            // The phase vocoder smears the burst over its frames: 3 ms.
            EXPECT_NEAR(energyCentre(rings, b, b + count), expected, 132.3)
                << count << " reversed " << reversed;
        }
    }
}

TEST(SongRenderer, NoOverlapFillsTheMainRingAndClearsTheOverlap) {
    Renderers r;
    FunctionSource source(smooth);
    Rings rings;
    const std::int32_t b = ringFrames - 300, count = 1000;  // wraps at the ring's end
    r.renderer.renderBeat(source, {9000, count}, SongBeat{}, rings.view(), b, count, 0, false, 0.5f);
    for (std::int64_t t = -10; t < count + 10; ++t) {
        const auto i = static_cast<std::size_t>((b + t) % ringFrames);
        if (t < 0 || t >= count) {
            ASSERT_EQ(rings.mainLeft[i], sentinel) << t;
            ASSERT_EQ(rings.overlapLeft[i], sentinel) << t;
            ASSERT_EQ(rings.overlapRight[i], sentinel) << t;
        } else {
            ASSERT_EQ(rings.mainLeft[i], static_cast<float>(smooth(9000 + t))) << t;
            ASSERT_EQ(rings.mainRight[i], static_cast<float>(-0.5 * smooth(9000 + t))) << t;
            ASSERT_EQ(rings.overlapLeft[i], 0.0f) << t;
        }
    }
}

TEST(SongRenderer, SilentBeatsKeepThePreviousFadeOutExactly) {
    for (std::int32_t n : {441, 440}) {
        const std::int32_t half = n / 2, count = 20000, b = 1000, next = b + count;
        for (bool unheld : {false, true}) {
            Renderers r;
            FunctionSource source(smooth);
            Rings rings;
            r.renderer.renderBeat(source, {60000, count}, SongBeat{}, rings.view(), b, count, n, false, 0.5f);
            // An earlier render of the next beat left its own fade-out.
            r.renderer.renderBeat(source, {80000, count}, SongBeat{}, rings.view(), next, count, n, false, 0.5f);
            r.renderer.renderBeat(source, {60000, count}, SongBeat{}, rings.view(), b, count, n, false, 0.5f);
            const Rings before = rings;
            if (unheld) {
                SongRenderer::renderSilence(rings.view(), next, count, n);
            } else {
                SongBeat paused{};
                paused.paused = true;
                r.renderer.renderBeat(source, {80000, count}, paused, rings.view(), next, count, n, false, 0.5f);
            }
            for (std::int64_t t = -half - 50; t < count + n + 50; ++t) {
                const auto i = static_cast<std::size_t>(next + t);
                const bool tail = t >= 0 && t < n - half;  // the previous beat's fade-out
                // The following beat's fade-in start is its own to write.
                const bool following = t >= count - half && t < count;
                if (t < -half || t >= count + (n - half) || following) {
                    ASSERT_EQ(rings.overlapLeft[i], before.overlapLeft[i]) << n << " " << t;
                } else if (tail) {
                    ASSERT_EQ(rings.overlapLeft[i], before.overlapLeft[i]) << n << " " << t;
                    ASSERT_NE(rings.overlapLeft[i], 0.0f) << n << " " << t;
                } else {
                    ASSERT_EQ(rings.overlapLeft[i], 0.0f) << n << " " << unheld << " " << t;
                }
                if (t < 0 || t >= count) {
                    ASSERT_EQ(rings.mainLeft[i], before.mainLeft[i]) << t;
                } else {
                    ASSERT_EQ(rings.mainLeft[i], 0.0f) << t;
                }
            }
        }
    }
}

TEST(SongRenderer, AnOverlapLongerThanTheBeatIsCutToIt) {
    testing_support::clearLog();
    Renderers r, reference;
    FunctionSource source(smooth);
    Rings cut, expected;
    r.renderer.renderBeat(source, {10000, 300}, SongBeat{}, cut.view(), 500, 300, 441, false, 0.5f);
    r.renderer.renderBeat(source, {10300, 300}, SongBeat{}, cut.view(), 800, 300, 441, false, 0.5f);
    reference.renderer.renderBeat(source, {10000, 300}, SongBeat{}, expected.view(), 500, 300, 300, false, 0.5f);
    reference.renderer.renderBeat(source, {10300, 300}, SongBeat{}, expected.view(), 800, 300, 300, false, 0.5f);
    EXPECT_EQ(cut.mainLeft, expected.mainLeft);
    EXPECT_EQ(cut.overlapLeft, expected.overlapLeft);
    const auto texts = testing_support::logTexts();
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                            [](const std::string& t) { return t.find("Overlap too big.") != std::string::npos; }),
              1);
}

TEST(SongRenderer, OversizedBeatsPlayAsSilenceWithinTheirBuffers) {
    testing_support::clearLog();
    // (span, beat): past the work buffers when fitted, and past the read
    // limit.
    const std::int32_t cases[][2] = {{44100, 88200}, {140000, 44100}, {80000, 100000}};
    for (const auto& c : cases) {
        for (bool timeScaling : {false, true}) {
            Renderers r;
            FunctionSource source(smooth);
            Rings rings;
            r.renderer.renderBeat(source, {1000, c[0]}, SongBeat{}, rings.view(), 100, c[1], 441, timeScaling, 0.5f);
            EXPECT_EQ(source.reads, 0);
            for (std::int32_t t = 100; t < 100 + c[1]; t += 101) ASSERT_EQ(rings.mainLeft[static_cast<std::size_t>(t)], 0.0f);
        }
    }
    // The largest beat the tempo limits allow still plays.
    Renderers r;
    FunctionSource source(smooth);
    Rings rings;
    r.renderer.renderBeat(source, {1000, 55000}, SongBeat{}, rings.view(), 100, 66150, 8820, true, 0.5f);
    EXPECT_EQ(source.reads, 1);
    EXPECT_NE(rings.mainLeft[50000], 0.0f);
}

TEST(SongRenderer, GainRampsFollowTheCrossfadeCurve) {
    struct Case {
        float gainStart, gainEnd;
        bool reversed;
        float knee;
    };
    const Case cases[] = {
        {1.0f, 0.5f, false, 0.5f},  // straight from 1 to 0.5
        {0.0f, 1.0f, false, 0.5f},  // a fade in starts silent
        {0.0f, 1.0f, false, 0.75f},
        {1.0f, 0.0f, true, 0.5f},   // reversed: the ramp runs from its end gain
    };
    for (const Case& c : cases) {
        const std::int32_t count = 10000, n = 441, half = n / 2, b = 2000;
        Renderers r, plain;
        FunctionSource source(smooth);
        Rings gained(0.0f), ungained(0.0f);
        SongBeat play{0, c.reversed, false, c.gainStart, c.gainEnd};
        SongBeat flat{0, c.reversed, false, 1.0f, 1.0f};
        r.renderer.renderBeat(source, {30000, count}, play, gained.view(), b, count, n, false, c.knee);
        plain.renderer.renderBeat(source, {30000, count}, flat, ungained.view(), b, count, n, false, c.knee);
        const float from = c.reversed ? c.gainEnd : c.gainStart;
        const float to = c.reversed ? c.gainStart : c.gainEnd;
        for (std::int64_t t = -half; t < count + n - half; ++t) {
            const float g = crossfadeCurve(1.0f - (from + (static_cast<float>(t) / count) * (to - from)), c.knee);
            const auto i = static_cast<std::size_t>(b + t);
            ASSERT_NEAR(gained.sumLeft(b + t), g * ungained.sumLeft(b + t), 1e-6) << t;
            ASSERT_NEAR(gained.mainRight[i] + gained.overlapRight[i],
                        g * (ungained.mainRight[i] + ungained.overlapRight[i]), 1e-6) << t;
        }
        if (c.knee == 0.5f && c.gainStart == 1.0f && !c.reversed) {
            const auto at = static_cast<std::size_t>(b + count / 2);
            EXPECT_NEAR(gained.mainLeft[at], 0.75f * ungained.mainLeft[at], 1e-6);
        }
        if (from == 0.0f) {
            EXPECT_EQ(gained.mainLeft[static_cast<std::size_t>(b)], 0.0f);
        }
    }
}

}  // namespace
