#include "app/MixerParameters.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <sstream>
#include <thread>
#include <vector>

namespace {

// The reference is double precision, the program single: a few units in
// the last place of the value, and never less than a float's step near 0.
double tolerance(double expected) { return std::max(std::fabs(expected) * 4e-7, 1e-7); }

struct Reference {
    double half = 0;
    struct Fresh {
        int index;
        double value;
        double position;
    };
    struct Set {
        int index;
        double position;
        double value;
    };
    std::vector<Fresh> fresh;
    std::vector<Set> set;
};

Reference reference() {
    Reference r;
    std::istringstream lines(testing_support::runPython("app/mixer_reference.py", {}));
    std::string kind;
    while (lines >> kind) {
        if (kind == "half") {
            lines >> r.half;
        } else if (kind == "fresh") {
            Reference::Fresh f{};
            lines >> f.index >> f.value >> f.position;
            r.fresh.push_back(f);
        } else if (kind == "set") {
            Reference::Set s{};
            lines >> s.index >> s.position >> s.value;
            r.set.push_back(s);
        } else {
            ADD_FAILURE() << "unknown reference line " << kind;
            break;
        }
    }
    return r;
}

TEST(MixerParameters, AFreshSetHoldsTheDefaultsAtTheirPositions) {
    const Reference r = reference();
    ASSERT_EQ(r.fresh.size(), static_cast<std::size_t>(MixerParameters::count));
    MixerParameters mixer;
    for (const auto& f : r.fresh) {
        EXPECT_NEAR(mixer.value(f.index), f.value, tolerance(f.value)) << "index " << f.index;
        EXPECT_NEAR(mixer.position(f.index), f.position, tolerance(f.position)) << "index " << f.index;
    }
    // The cutoffs start exactly at the ends of their controls, the filters
    // exactly in band-pass mode.
    for (int index : {MixerParameters::deck0LowerCutoff, MixerParameters::deck1LowerCutoff}) {
        EXPECT_EQ(mixer.value(index), 5.0f);
        EXPECT_EQ(mixer.position(index), 0.0f);
    }
    for (int index : {MixerParameters::deck0UpperCutoff, MixerParameters::deck1UpperCutoff}) {
        EXPECT_EQ(mixer.value(index), 22000.0f);
        EXPECT_EQ(mixer.position(index), 1.0f);
    }
    EXPECT_EQ(mixer.value(MixerParameters::deck0FilterMode), 1.0f);
    EXPECT_EQ(mixer.value(MixerParameters::deck1FilterMode), 1.0f);
}

TEST(MixerParameters, EachMappingFollowsItsCurve) {
    const Reference r = reference();
    ASSERT_EQ(r.set.size(), 7u * MixerParameters::count);
    MixerParameters mixer;
    for (const auto& s : r.set) {
        mixer.setPosition(s.index, static_cast<float>(s.position));
        EXPECT_EQ(mixer.position(s.index), static_cast<float>(s.position)) << "index " << s.index;
        EXPECT_NEAR(mixer.value(s.index), s.value, tolerance(s.value))
            << "index " << s.index << " at " << s.position;
    }
}

TEST(MixerParameters, NamedPositions) {
    const Reference r = reference();
    const struct {
        int index;
        float position;
        double value;
    } cases[] = {
        {MixerParameters::deck0LowerCutoff, 0.5f, r.half},  // about 1668 Hz
        {MixerParameters::deck1UpperCutoff, 0.5f, r.half},
        {MixerParameters::deck0Gain, 0.5f, 2.0},
        {MixerParameters::deck1Gain, 1.0f, 3.0},
        {MixerParameters::mainVolume, 0.45f, 0.9},
        {MixerParameters::crossfader, 0.0f, 0.0},
    };
    EXPECT_NEAR(r.half, 1668.0, 1.0);
    for (const auto& c : cases) {
        MixerParameters mixer;
        mixer.setPosition(c.index, c.position);
        EXPECT_NEAR(mixer.value(c.index), c.value, tolerance(c.value)) << "index " << c.index;
        // No other parameter moves.
        MixerParameters fresh;
        for (int other = 0; other < MixerParameters::count; ++other) {
            if (other != c.index) {
                EXPECT_EQ(mixer.value(other), fresh.value(other)) << other;
            }
        }
    }
}

TEST(MixerParameters, TheFilterModeIsBandPassOnlyAtExactlyOne) {
    // The render callback compares the mode with 1 exactly: a position just
    // short of the top must give a value just short of 1.
    const float belowOne = std::nextafter(1.0f, 0.0f);
    const struct {
        float position;
        bool bandPass;
    } cases[] = {{1.0f, true}, {0.999f, false}, {belowOne, false}, {0.0f, false}};
    for (int index : {MixerParameters::deck0FilterMode, MixerParameters::deck1FilterMode}) {
        for (const auto& c : cases) {
            MixerParameters mixer;
            mixer.setPosition(index, c.position);
            EXPECT_EQ(mixer.value(index) == 1.0f, c.bandPass) << index << " at " << c.position;
            EXPECT_EQ(mixer.value(index), c.position) << index;
        }
    }
}

TEST(MixerParameters, ReadersSeeOnlyWrittenValuesWhileOtherThreadsMoveThem) {
    // Two writers move every parameter between two positions while a reader
    // (the output thread) reads: each read is the fresh value or one of the
    // values written, never a mixture.
    constexpr float positions[2] = {0.25f, 0.75f};
    MixerParameters mixer;
    float values[MixerParameters::count][3];
    float freshPositions[MixerParameters::count];
    for (int i = 0; i < MixerParameters::count; ++i) {
        MixerParameters probe;
        values[i][0] = probe.value(i);
        freshPositions[i] = probe.position(i);
        for (int p = 0; p < 2; ++p) {
            probe.setPosition(i, positions[p]);
            values[i][p + 1] = probe.value(i);
        }
    }
    std::atomic<bool> stop{false};
    std::atomic<int> unexpected{0};
    std::atomic<long> passes{0};
    std::thread reader([&] {
        do {
            for (int i = 0; i < MixerParameters::count; ++i) {
                const float v = mixer.value(i);
                if (v != values[i][0] && v != values[i][1] && v != values[i][2]) ++unexpected;
                const float p = mixer.position(i);
                if (p != freshPositions[i] && p != positions[0] && p != positions[1]) ++unexpected;
            }
            ++passes;
        } while (!stop.load());
    });
    auto writer = [&](int which) {
        for (int round = 0; round < 2000; ++round) {
            for (int i = 0; i < MixerParameters::count; ++i) mixer.setPosition(i, positions[(round + which) % 2]);
        }
    };
    std::thread first(writer, 0);
    std::thread second(writer, 1);
    first.join();
    second.join();
    stop.store(true);
    reader.join();
    EXPECT_EQ(unexpected.load(), 0);
    EXPECT_GT(passes.load(), 0);
    for (int i = 0; i < MixerParameters::count; ++i) {
        const float v = mixer.value(i);
        EXPECT_TRUE(v == values[i][1] || v == values[i][2]) << i;
    }
}

}  // namespace
