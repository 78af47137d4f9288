// The deck's filter and effect units: each recurrence against a
// double-precision model of it, the Butterworth magnitude against its
// closed form, and the units' limits, logs and stops.
#include "AudioTestHelpers.h"
#include "TestEnvironment.h"
#include "TestHeap.h"
#include "audio/UnitAllPass.h"
#include "audio/UnitCombLP.h"
#include "audio/UnitDelay.h"
#include "audio/UnitFilterButterworth32.h"
#include "audio/UnitFlanger.h"
#include "audio/UnitNoise.h"
#include "audio/UnitReverbSteiglitz.h"
#include "audio/UnitReverbSteiglitzMC.h"
#include "audio/UnitTriangle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

namespace {

using primitives::test::TestHeap;

const FormatAudio stereo(2, 44100, 16);
const FormatAudio mono(1, 44100, 16);

std::vector<float> impulse(std::int32_t n) {
    std::vector<float> x(static_cast<std::size_t>(n), 0.0f);
    x[0] = 1.0f;
    return x;
}

std::int64_t countLog(const std::string& text) {
    const auto texts = testing_support::logTexts();
    return std::count_if(texts.begin(), texts.end(),
                         [&](const std::string& t) { return t.find(text) != std::string::npos; });
}

// The damped comb's recurrence in double precision.
std::vector<double> combModel(const std::vector<float>& in, std::int32_t length, double g, double c) {
    std::vector<double> line(static_cast<std::size_t>(length), 0.0), out(in.size());
    double previous = 0.0;
    std::size_t index = 0;
    for (std::size_t j = 0; j < in.size(); ++j) {
        const double y = line[index];
        out[j] = y;
        line[index] = in[j] + (1.0 - c) * g * (y + c * previous);
        previous = y;
        index = (index + 1) % line.size();
    }
    return out;
}

std::vector<double> allPassModel(const std::vector<double>& in, std::int32_t length, double g) {
    std::vector<double> line(static_cast<std::size_t>(length), 0.0), out(in.size());
    std::size_t index = 0;
    for (std::size_t j = 0; j < in.size(); ++j) {
        const double y = line[index] - g * in[j];
        out[j] = y;
        line[index] = in[j] + g * y;
        index = (index + 1) % line.size();
    }
    return out;
}

double maxDifference(const std::vector<float>& a, const std::vector<double>& b) {
    double worst = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}

TEST(UnitTriangle, OneHertzSweepsThroughZeroPeakAndTrough) {
    UnitTriangle triangle(mono);
    std::vector<float> out(44100);
    triangle.process(out.data(), 44100, 1.0f, 1.0f, 0.5f, 0.5f);
    EXPECT_EQ(out[0], 0.0f);
    // The phase adds 1/44100 in single precision each frame, so it drifts
    // by a few frames over a second.
    EXPECT_NEAR(out[11025], 0.5f, 2e-3f);
    EXPECT_NEAR(out[33075], -0.5f, 2e-3f);
    EXPECT_NEAR(*std::max_element(out.begin(), out.end()), 0.5f, 2e-3f);
    EXPECT_NEAR(*std::min_element(out.begin(), out.end()), -0.5f, 2e-3f);
    // Amplitude ramps: a 0 -> 1 ramp over one period of 4 Hz gives its
    // first crest (a quarter period in) at about a quarter of the way.
    UnitTriangle ramped(mono);
    std::vector<float> r(11025);
    ramped.process(r.data(), 11025, 4.0f, 4.0f, 0.0f, 1.0f);
    EXPECT_NEAR(r[2756], 0.25f, 2e-3f);
}

TEST(UnitTriangle, NegativeFrequencyStops) {
    UnitTriangle triangle(mono);
    std::vector<float> out(16);
    EXPECT_FATAL(triangle.process(out.data(), 16, -1.0f, 1.0f, 1.0f, 1.0f),
                 "Negative frequencies are not accepted.");
    EXPECT_FATAL(triangle.process(out.data(), 16, 1.0f, -0.5f, 1.0f, 1.0f),
                 "Negative frequencies are not accepted.");
}

TEST(UnitNoise, SameValuesOnEveryChannelWithinAmplitude) {
    UnitNoise noise(stereo, 0.25f);
    std::vector<float> left(4000, 1.0f), right(4000, -1.0f);
    float* channels[] = {left.data(), right.data()};
    noise.add(channels, 1000, 2000);
    double sum = 0.0;
    bool spread = false;
    for (std::size_t j = 0; j < 4000; ++j) {
        const float dl = left[j] - 1.0f, dr = right[j] + 1.0f;
        if (j < 1000 || j >= 3000) {
            EXPECT_EQ(dl, 0.0f) << j;
            EXPECT_EQ(dr, 0.0f) << j;
            continue;
        }
        EXPECT_NEAR(dl, dr, 1e-6f) << j;
        EXPECT_LE(std::abs(dl), 0.25f + 1e-6f);
        spread = spread || std::abs(dl) > 0.2f;
        sum += dl;
    }
    EXPECT_TRUE(spread);
    EXPECT_LT(std::abs(sum / 2000.0), 0.02);
    // fill draws on: a second block differs from the first.
    std::vector<float> a(100), b(100);
    noise.fill(a.data(), 100);
    noise.fill(b.data(), 100);
    EXPECT_NE(a, b);
}

TEST(UnitNoise, TwoUnitsDrawTheSameSequence) {
    UnitNoise one(mono, 1.0f), two(mono, 1.0f);
    std::vector<float> a(500), b(500);
    one.fill(a.data(), 500);
    two.fill(b.data(), 500);
    EXPECT_EQ(a, b);
}

TEST(DspUnits, BlocksAboveOneSecondStop) {
    std::vector<float> left(44101), right(44101);
    float* channels[] = {left.data(), right.data()};
    UnitNoise noise(stereo, 1.0f);
    EXPECT_FATAL(noise.add(channels, 0, 44101), "Block too big.");
    EXPECT_FATAL(noise.fill(left.data(), 44101), "Block too big.");
    UnitReverbSteiglitz reverb(mono, 1.0f);
    EXPECT_FATAL(reverb.process(left.data(), right.data(), 44101), "Block too big.");
    UnitReverbSteiglitzMC reverbs(stereo);
    EXPECT_FATAL(reverbs.process(channels, 0, 44101, 1, 1, 1, 1), "Block too big.");
    UnitDelay delay(1.0f, stereo);
    EXPECT_FATAL(delay.process(channels, 0, 44101, 0.1f, 0.1f, 0, 0, 1, 1, 1, 1, 1, 1), "Block too big.");
    UnitFlanger flanger(stereo);
    EXPECT_FATAL(flanger.process(channels, 0, 44101, 1, 1, 1, 1, 1, 1), "Block too big.");
}

// (delay ms, feedback, damping): lengths round to nearest frames.
struct CombCase {
    float delayMs;
    float feedback;
    float damping;
    std::int32_t frames;
};

TEST(UnitCombLP, ImpulseResponseFollowsTheRecurrence) {
    const CombCase cases[] = {
        {1.0f, 0.83f, 0.0f, 44},   // a plain feedback comb
        {50.0f, 0.83f, 0.24f, 2205},
        {0.5f, 0.5f, 0.9f, 22},
        {78.0f * 1.5f, 0.83f, 0.32f, 5160},
    };
    for (const CombCase& c : cases) {
        UnitCombLP comb(mono, c.delayMs, c.feedback, c.damping);
        EXPECT_EQ(comb.length(), c.frames) << c.delayMs;
        const std::vector<float> in = impulse(40000);
        std::vector<float> out(in.size());
        for (std::size_t at = 0; at < in.size(); at += 7919) {  // blocks of uneven size
            const auto n = static_cast<std::int32_t>(std::min<std::size_t>(7919, in.size() - at));
            comb.process(in.data() + at, out.data() + at, n);
        }
        EXPECT_LT(maxDifference(out, combModel(in, c.frames, c.feedback, c.damping)), 1e-6) << c.delayMs;
        if (c.damping == 0.0f) {
            // Echoes at every multiple of the length, each g times the last.
            for (int k = 1; k < 5; ++k) {
                EXPECT_NEAR(out[static_cast<std::size_t>(k * c.frames)], std::pow(c.feedback, k - 1), 1e-6);
            }
        }
    }
}

TEST(UnitAllPass, ImpulseResponseFollowsTheRecurrenceAndItsMagnitudeIsFlat) {
    UnitAllPass allPass(mono, 6.0f, 0.7f);
    ASSERT_EQ(allPass.length(), 265);
    const std::int32_t n = 16384;
    const std::vector<float> in = impulse(n);
    std::vector<float> out(static_cast<std::size_t>(n));
    allPass.process(in.data(), out.data(), n);
    const std::vector<double> model = allPassModel(std::vector<double>(in.begin(), in.end()), 265, 0.7);
    EXPECT_LT(maxDifference(out, model), 1e-6);
    for (double f : {20.0, 97.0, 440.0, 1000.0, 5000.0, 15000.0}) {
        std::complex<double> h = 0.0;
        for (std::int32_t j = 0; j < n; ++j) {
            h += static_cast<double>(out[static_cast<std::size_t>(j)]) *
                 std::polar(1.0, -2.0 * std::numbers::pi * f * j / 44100.0);
        }
        EXPECT_NEAR(std::abs(h), 1.0, 1e-4) << f;
    }
    allPass.reset();
    std::vector<float> again(static_cast<std::size_t>(n));
    allPass.process(in.data(), again.data(), n);
    EXPECT_EQ(again, out);
}

TEST(UnitReverbSteiglitz, ImpulseResponseIsTheCombsAveragedThroughTheAllPass) {
    for (float scale : {0.5f, 1.0f, 1.5f}) {
        UnitReverbSteiglitz reverb(mono, 1.0f);
        reverb.setScale(scale);
        const std::vector<float> in = impulse(30000);
        std::vector<float> out(in.size());
        reverb.process(in.data(), out.data(), 30000);
        std::vector<double> sum(in.size(), 0.0);
        for (const auto& s : UnitReverbSteiglitz::combSettings) {
            const std::vector<double> comb =
                combModel(in, delayFrames(44100, s.delayMs * scale), s.feedback, s.damping);
            for (std::size_t j = 0; j < sum.size(); ++j) sum[j] += comb[j] / 6.0;
        }
        const std::vector<double> model = allPassModel(sum, delayFrames(44100, 6.0f * scale), 0.7);
        EXPECT_LT(maxDifference(out, model), 1e-6) << scale;
        // In place gives the same.
        UnitReverbSteiglitz inPlace(mono, scale);
        std::vector<float> buffer = in;
        inPlace.process(buffer.data(), buffer.data(), 30000);
        EXPECT_EQ(buffer, out) << scale;
    }
}

TEST(UnitReverbSteiglitzMC, AddsTheRampedReverbToEachChannel) {
    UnitReverbSteiglitzMC reverbs(stereo);
    UnitReverbSteiglitz left(mono, 1.0f), right(mono, 1.0f);
    std::vector<float> l(8000), r(8000);
    for (std::size_t j = 0; j < l.size(); ++j) {
        l[j] = static_cast<float>(std::sin(0.01 * j));
        r[j] = static_cast<float>(std::cos(0.03 * j));
    }
    std::vector<float> wetL(8000), wetR(8000);
    left.process(l.data(), wetL.data(), 8000);
    right.process(r.data(), wetR.data(), 8000);
    std::vector<float> outL = l, outR = r;
    float* channels[] = {outL.data(), outR.data()};
    reverbs.process(channels, 0, 8000, 1.0f, 1.0f, 0.2f, 0.6f);
    for (std::size_t j = 0; j < 8000; ++j) {
        const double level = 0.2 + 0.4 * static_cast<double>(j) / 8000.0;
        ASSERT_NEAR(outL[j], l[j] + level * wetL[j], 1e-5) << j;
        ASSERT_NEAR(outR[j], r[j] + level * wetR[j], 1e-5) << j;
    }
}

TEST(UnitReverbSteiglitzMC, ScaleChangesClearAndNeverAllocate) {
    testing_support::clearLog();
    UnitReverbSteiglitzMC reverbs(stereo);
    std::vector<float> l(4410, 0.0f), r(4410, 0.0f);
    float* channels[] = {l.data(), r.data()};
    const std::int64_t heap = TestHeap::requests();
    const std::int64_t news = globalNewCalls();
    const auto run = [&](float scale) {
        std::fill(l.begin(), l.end(), 0.0f);
        l[0] = 1.0f;
        reverbs.process(channels, 0, 4410, reverbs.scale(), scale, 1.0f, 1.0f);
    };
    for (float scale : {1.0f, 0.5f, 1.5f, 1.0f, 0.5f, 1.5f}) run(scale);
    EXPECT_EQ(TestHeap::requests(), heap);
    EXPECT_EQ(globalNewCalls(), news);
    // Larger scales are clamped; only the first one's log line allocates.
    run(2.0f);
    EXPECT_EQ(TestHeap::requests(), heap);
    const std::int64_t afterLog = globalNewCalls();
    run(3.0f);
    run(0.5f);
    EXPECT_EQ(globalNewCalls(), afterLog);
    EXPECT_EQ(countLog("Reverb scale too big."), 1);
    // After a change the lines are clear: the first echo of an impulse
    // at scale 0.5 arrives at the shortest comb (25 ms), with nothing left
    // of earlier blocks before it.
    std::fill(l.begin(), l.end(), 0.0f);
    std::fill(r.begin(), r.end(), 0.0f);
    reverbs.process(channels, 0, 4410, 0.5f, 1.0f, 1.0f, 1.0f);  // to 1.0: cleared
    std::fill(l.begin(), l.end(), 0.0f);
    l[0] = 1.0f;
    reverbs.process(channels, 0, 4410, 1.0f, 0.5f, 1.0f, 1.0f);
    for (std::size_t j = 1; j < 1102; ++j) EXPECT_LT(std::abs(l[j]), 1e-5f) << j;
    EXPECT_GT(std::abs(l[1103]) + std::abs(l[1104]), 1e-3f);
}

// The echo's recurrence in double precision for one channel, with the
// noise taken from a unit of the same seed.
std::vector<double> delayModel(const std::vector<float>& in, std::int32_t length, double delayFrames,
                               double feedback, double dry, double wet, double input) {
    UnitNoise noise(mono, 0.000001f);
    std::vector<float> n(in.size());
    noise.fill(n.data(), static_cast<std::int32_t>(in.size()));
    std::vector<double> line(static_cast<std::size_t>(length), 0.0), out(in.size());
    const auto w = static_cast<std::int32_t>(std::ceil(delayFrames));
    const double f = w - delayFrames;
    std::int32_t index = 0;
    for (std::size_t j = 0; j < in.size(); ++j) {
        line[static_cast<std::size_t>(index)] = input * in[j] + n[j];
        const auto at = [&](std::int32_t i) { return line[static_cast<std::size_t>((i % length + length) % length)]; };
        const double tap = (1.0 - f) * at(index - w) + f * at(index - w + 1);
        out[j] = wet * tap + dry * in[j];
        line[static_cast<std::size_t>(index)] += feedback * tap;
        index = (index + 1) % length;
    }
    return out;
}

TEST(UnitDelay, WholeAndFractionalTapsFollowTheRecurrence) {
    struct Case {
        double frames;
        float feedback, dry, wet, input;
    };
    const Case cases[] = {
        {100.0, 0.5f, 1.0f, 1.0f, 1.0f},
        {100.25, 0.5f, 1.0f, 1.0f, 1.0f},
        {2205.7, 0.8f, 0.5f, 0.7f, 0.3f},
        {44100.0, 0.0f, 0.0f, 1.0f, 1.0f},  // the whole line
    };
    for (const Case& c : cases) {
        UnitDelay delay(1.0f, mono);
        ASSERT_EQ(delay.lineLength(), 44101);
        std::vector<float> in(20000, 0.0f);
        in[3] = 1.0f;
        in[500] = -0.5f;
        std::vector<float> buffer = in;
        float* channels[] = {buffer.data()};
        const auto seconds = static_cast<float>(c.frames / 44100.0);
        delay.process(channels, 0, 20000, seconds, seconds, c.feedback, c.feedback, c.dry, c.dry,
                      c.wet, c.wet, c.input, c.input);
        const double d = static_cast<double>(seconds) * 44100.0;
        EXPECT_LT(maxDifference(buffer, delayModel(in, 44101, static_cast<float>(d), c.feedback,
                                                   c.dry, c.wet, c.input)), 1e-5) << c.frames;
        if (c.frames == 100.0) {
            // A whole number of frames reads the line as it stands.
            EXPECT_NEAR(buffer[103], 1.0f, 1e-5f);
            EXPECT_NEAR(buffer[104], 0.0f, 1e-5f);
            EXPECT_NEAR(buffer[203], 0.5f, 1e-5f);
        }
    }
}

TEST(UnitDelay, TooLongIsClampedAndLoggedOncePerExcursion) {
    testing_support::clearLog();
    UnitDelay clamped(0.01f, mono);  // 441 frames
    UnitDelay exact(0.01f, mono);
    std::vector<float> a(2000, 0.0f), b(2000, 0.0f);
    a[0] = b[0] = 1.0f;
    float* ca[] = {a.data()};
    float* cb[] = {b.data()};
    clamped.process(ca, 0, 1000, 0.5f, 0.5f, 0.5f, 0.5f, 1, 1, 1, 1, 1, 1);
    exact.process(cb, 0, 1000, 0.01f, 0.01f, 0.5f, 0.5f, 1, 1, 1, 1, 1, 1);
    EXPECT_EQ(a, b);
    EXPECT_NEAR(a[441], 1.0f, 1e-5f);
    clamped.process(ca, 1000, 500, 0.5f, 0.5f, 0, 0, 1, 1, 1, 1, 1, 1);
    EXPECT_EQ(countLog("Delay too long."), 1);
    clamped.process(ca, 1500, 100, 0.005f, 0.005f, 0, 0, 1, 1, 1, 1, 1, 1);
    clamped.process(ca, 1600, 100, 0.02f, 0.005f, 0, 0, 1, 1, 1, 1, 1, 1);
    EXPECT_EQ(countLog("Delay too long."), 2);
}

// The flanger in double precision, with its sweep from a triangle and its
// noise from a unit of the same seed.
std::vector<double> flangerModel(const std::vector<float>& in, double frequency, double depth,
                                 double level) {
    const std::int32_t length = 883;
    UnitTriangle triangle(mono);
    UnitNoise noise(mono, 0.000001f);
    const auto n = static_cast<std::int32_t>(in.size());
    std::vector<float> sweep(in.size()), nz(in.size());
    triangle.process(sweep.data(), n, static_cast<float>(frequency), static_cast<float>(frequency),
                     static_cast<float>(depth), static_cast<float>(depth));
    noise.fill(nz.data(), n);
    std::vector<double> line(length, 0.0), out(in.size());
    const double gain = 1.0 - 0.3 * level;
    std::int32_t index = 0;
    for (std::size_t j = 0; j < in.size(); ++j) {
        const double d = std::clamp((sweep[j] * 0.0025 + 0.004) * 44100.0, 0.0, length - 2.0);
        const auto w = static_cast<std::int32_t>(std::ceil(d));
        const double f = w - d;
        line[static_cast<std::size_t>(index)] = level * in[j] + nz[j];
        const auto at = [&](std::int32_t i) { return line[static_cast<std::size_t>((i % length + length) % length)]; };
        const double h = (1.0 - f) * at(index - w) + f * at(index - w + 1);
        out[j] = (h + in[j]) * gain;
        line[static_cast<std::size_t>(index)] += 0.85 * h;
        index = (index + 1) % length;
    }
    return out;
}

TEST(UnitFlanger, FollowsTheRecurrenceAndKeepsTheTapInsideTheLine) {
    struct Case {
        double frequency, depth, level;
        double tolerance;
    };
    const Case cases[] = {
        {0.0, 0.0, 1.0, 1e-4},
        {0.5, 1.0, 0.8, 2e-3},  // a swept fractional tap, float against double delay
        {2.0, 40.0, 1.0, 2e-3},  // far beyond the line: clamped at both ends
    };
    for (const Case& c : cases) {
        UnitFlanger flanger(mono);
        ASSERT_EQ(flanger.lineLength(), 883);
        std::vector<float> in(30000);
        for (std::size_t j = 0; j < in.size(); ++j) in[j] = static_cast<float>(0.5 * std::sin(0.013 * j));
        std::vector<float> buffer = in;
        float* channels[] = {buffer.data()};
        const auto f = static_cast<float>(c.frequency), d = static_cast<float>(c.depth),
                   l = static_cast<float>(c.level);
        flanger.process(channels, 0, 30000, f, f, d, d, l, l);
        EXPECT_LT(maxDifference(buffer, flangerModel(in, c.frequency, c.depth, c.level)), c.tolerance)
            << c.depth;
        for (float v : buffer) ASSERT_TRUE(std::isfinite(v));
    }
}

// |H|^2 of a Butterworth of 2N poles.
double butterworthPower(bool highPass, std::int32_t stages, double f, double fc) {
    const double r = std::tan(std::numbers::pi * f / 44100.0) / std::tan(std::numbers::pi * fc / 44100.0);
    const double e = (highPass ? -4.0 : 4.0) * stages;
    return 1.0 / (1.0 + std::pow(r, e));
}

TEST(UnitFilterButterworth32, MagnitudeMatchesTheClosedForm) {
    const std::int32_t n = 32768;
    for (std::int32_t type : {UnitFilterButterworth32::lowPass, UnitFilterButterworth32::highPass}) {
        for (std::int32_t stages = 1; stages <= 4; ++stages) {
            for (double fc : {200.0, 1000.0, 6000.0}) {
                UnitFilterButterworth32 filter(mono, type, stages);
                const auto cutoff = static_cast<float>(fc);
                std::vector<float> first(1, 0.0f);
                float* one[] = {first.data()};
                filter.process(one, 0, 1, cutoff, cutoff);  // settles the coefficients
                filter.reset();
                std::vector<float> response = impulse(n);
                float* channels[] = {response.data()};
                filter.process(channels, 0, n, cutoff, cutoff);
                for (double ratio : {0.25, 0.5, 0.8, 1.0, 1.25, 2.0, 4.0}) {
                    const double f = fc * ratio;
                    const double expected = butterworthPower(type == 1, stages, f, fc);
                    // Deep in the stop band the single-precision recursion's
                    // rounding (amplified by poles near 1 at low cutoffs)
                    // sets the floor: 0.01 dB down to -20 dB, 0.5 dB to -60.
                    if (expected < 1e-6) continue;
                    const double tolerance = expected >= 1e-2 ? 0.01 : 0.5;
                    std::complex<double> h = 0.0;
                    for (std::int32_t j = 0; j < n; ++j) {
                        h += static_cast<double>(response[static_cast<std::size_t>(j)]) *
                             std::polar(1.0, -2.0 * std::numbers::pi * f * j / 44100.0);
                    }
                    const double db = 10.0 * std::log10(std::norm(h) / expected);
                    EXPECT_LT(std::abs(db), tolerance) << "type " << type << " stages " << stages
                                                  << " fc " << fc << " f " << f;
                }
            }
        }
    }
}

TEST(UnitFilterButterworth32, RampedCutoffRecomputesPerFrame) {
    // A ramp over n frames equals n one-frame blocks at the ramp's values.
    for (std::int32_t type : {0, 1}) {
        UnitFilterButterworth32 ramped(stereo, type, 2), stepped(stereo, type, 2);
        std::vector<float> l(1000), r(1000);
        for (std::size_t j = 0; j < l.size(); ++j) {
            l[j] = static_cast<float>(std::sin(0.05 * j));
            r[j] = static_cast<float>(std::sin(0.3 * j));
        }
        std::vector<float> l2 = l, r2 = r;
        float* a[] = {l.data(), r.data()};
        ramped.process(a, 0, 1000, 300.0f, 3000.0f);
        const float perHz = static_cast<float>(2.0 * std::numbers::pi / 44100.0);
        for (std::int32_t j = 0; j < 1000; ++j) {
            const float t = static_cast<float>(j) / 999.0f;
            const float omega = 300.0f * perHz * (1.0f - t) + 3000.0f * perHz * t;
            const float hz = omega / perHz;
            float* b[] = {l2.data() + j, r2.data() + j};
            stepped.process(b, 0, 1, hz, hz);
        }
        for (std::size_t j = 0; j < 1000; ++j) {
            ASSERT_NEAR(l[j], l2[j], 1e-4f) << j;
            ASSERT_NEAR(r[j], r2[j], 1e-4f) << j;
        }
        EXPECT_EQ(ramped.currentCutoff(), 3000.0f);
        // The next block at the end cutoff carries on with the end's
        // coefficients: it matches a filter that ran at 3000 Hz throughout
        // once their states have decayed to the same input.
        UnitFilterButterworth32 fixed(stereo, type, 2);
        std::vector<float> x(20000), y(20000);
        for (std::size_t j = 0; j < x.size(); ++j) x[j] = y[j] = static_cast<float>(std::sin(0.11 * j));
        std::vector<float> x2 = x, y2 = y;
        float* c1[] = {x.data(), y.data()};
        float* c2[] = {x2.data(), y2.data()};
        ramped.process(c1, 0, 20000, 3000.0f, 3000.0f);
        fixed.process(c2, 0, 20000, 3000.0f, 3000.0f);
        for (std::size_t j = 19000; j < 20000; ++j) ASSERT_NEAR(x[j], x2[j], 1e-4f) << j;
    }
}

TEST(UnitFilterButterworth32, OneFrameOfAMovingCutoffUsesTheStartCutoff) {
    UnitFilterButterworth32 moving(mono, 0, 1), fixed(mono, 0, 1);
    float a = 1.0f, b = 1.0f;
    float* ca[] = {&a};
    float* cb[] = {&b};
    moving.process(ca, 0, 1, 500.0f, 8000.0f);
    fixed.process(cb, 0, 1, 500.0f, 500.0f);
    EXPECT_EQ(a, b);
    EXPECT_EQ(moving.currentCutoff(), 8000.0f);
    // The following frames run at 8000 Hz.
    UnitFilterButterworth32 reference(mono, 0, 1);
    float r = 1.0f;
    float* cr[] = {&r};
    reference.process(cr, 0, 1, 500.0f, 500.0f);
    reference.process(cr, 0, 0, 0.0f, 0.0f);
    float next = 0.0f, expected = 0.0f;
    float* cn[] = {&next};
    float* ce[] = {&expected};
    moving.process(cn, 0, 1, 8000.0f, 8000.0f);
    reference.process(ce, 0, 1, 8000.0f, 8000.0f);
    EXPECT_EQ(next, expected);
}

TEST(UnitFilterButterworth32, HighPassPulledBelowTwentyHertzGlides) {
    UnitFilterButterworth32 filter(stereo, UnitFilterButterworth32::highPass, 2);
    std::vector<float> l(2205), r(2205);
    float* channels[] = {l.data(), r.data()};
    filter.process(channels, 0, 2205, 500.0f, 500.0f);
    float last = filter.currentCutoff();
    ASSERT_EQ(last, 500.0f);
    const float step = 2205.0f * 100.0f / 44100.0f;
    for (int block = 0; block < 3; ++block) {
        filter.process(channels, 0, 2205, 0.0f, 0.0f);
        EXPECT_NEAR(filter.currentCutoff(), last - step, 1e-3f) << block;
        last = filter.currentCutoff();
    }
    // It ends at its lowest, never at 0 Hz, and rises straight away.
    for (int block = 0; block < 200; ++block) filter.process(channels, 0, 2205, 0.0f, 0.0f);
    EXPECT_EQ(filter.currentCutoff(), UnitFilterButterworth32::lowestHighPassHz);
    filter.process(channels, 0, 2205, 0.0f, 800.0f);
    EXPECT_EQ(filter.currentCutoff(), 800.0f);
    // A low-pass goes where it is sent.
    UnitFilterButterworth32 low(stereo, UnitFilterButterworth32::lowPass, 2);
    low.process(channels, 0, 2205, 500.0f, 500.0f);
    low.process(channels, 0, 2205, 500.0f, 10.0f);
    EXPECT_EQ(low.currentCutoff(), 10.0f);
}

TEST(UnitFilterButterworth32, OrdersAndStops) {
    testing_support::clearLog();
    EXPECT_FATAL(UnitFilterButterworth32(mono, 2, 1), "Filter type not implemented.");
    EXPECT_FATAL(UnitFilterButterworth32(mono, 0, 0), "A filter must count at least one stage.");
    EXPECT_FATAL(UnitFilterButterworth32(FormatAudio(3, 44100, 16), 0, 1),
                 "The filter does only mono or stereo.");
    UnitFilterButterworth32 filter(stereo, 0, 2);
    EXPECT_FATAL(filter.setOrder(0), "A filter must count at least one stage.");
    std::vector<float> l(3000, 0.3f), r(3000, 0.3f);
    float* channels[] = {l.data(), r.data()};
    std::vector<float> a = impulse(500), b = impulse(500);
    float* ca[] = {a.data(), b.data()};
    const std::int64_t heap = TestHeap::requests();
    const std::int64_t news = globalNewCalls();
    filter.setOrder(8);
    EXPECT_EQ(filter.stages(), 8);
    EXPECT_EQ(TestHeap::requests(), heap);
    EXPECT_EQ(globalNewCalls(), news);
    filter.setOrder(9);  // refused, with a log line
    EXPECT_EQ(filter.stages(), 8);
    EXPECT_EQ(countLog("Filter order too high: 9 stages."), 1);
    const std::int64_t heapAfter = TestHeap::requests();
    const std::int64_t newsAfter = globalNewCalls();
    // A new order clears the state: an impulse then gives the response of
    // a fresh filter.
    filter.process(channels, 0, 3000, 1000.0f, 1000.0f);
    filter.setOrder(3);
    EXPECT_EQ(filter.currentCutoff(), 0.0f);
    filter.process(ca, 0, 500, 1000.0f, 1000.0f);
    EXPECT_EQ(TestHeap::requests(), heapAfter);
    EXPECT_EQ(globalNewCalls(), newsAfter);
    UnitFilterButterworth32 fresh(stereo, 0, 3);
    std::vector<float> c = impulse(500), d = impulse(500);
    float* cc[] = {c.data(), d.data()};
    fresh.process(cc, 0, 500, 1000.0f, 1000.0f);
    EXPECT_EQ(a, c);
    EXPECT_EQ(b, d);
}

TEST(DspUnits, ProcessingNeverAllocates) {
    UnitNoise noise(stereo, 0.001f);
    UnitTriangle triangle(stereo);
    UnitReverbSteiglitzMC reverb(stereo);
    UnitDelay delay(18.0f, stereo);
    UnitFlanger flanger(stereo);
    UnitFilterButterworth32 low(stereo, 0, 2), high(stereo, 1, 2);
    std::vector<float> l(44100, 0.1f), r(44100, -0.1f), out(44100);
    float* channels[] = {l.data(), r.data()};
    const std::int64_t heap = TestHeap::requests();
    const std::int64_t news = globalNewCalls();
    for (std::int32_t n : {1, 441, 2205, 44100}) {
        noise.add(channels, 0, n);
        noise.fill(out.data(), n);
        triangle.process(out.data(), n, 1.0f, 2.0f, 0.5f, 1.0f);
        reverb.process(channels, 0, n, reverb.scale(), n == 441 ? 1.5f : 0.5f, 0.5f, 0.5f);
        delay.process(channels, 0, n, 0.2f, 0.3f, 0.5f, 0.5f, 1, 1, 1, 1, 0.5f, 0.5f);
        flanger.process(channels, 0, n, 0.5f, 0.5f, 1.0f, 1.0f, 0.5f, 0.7f);
        low.process(channels, 0, n, 500.0f, 2000.0f);
        high.process(channels, 0, n, 50.0f, 5.0f);
        low.setOrder(n == 2205 ? 4 : 2);
    }
    EXPECT_EQ(TestHeap::requests(), heap);
    EXPECT_EQ(globalNewCalls(), news);
}

}  // namespace
