// Tempo candidates and refinement on generated songs, against the NumPy
// model and the true tempo, on every build of the primitives (the
// autocorrelation sums the bar lags through its FFT in the first two builds
// and directly in the last two); and the edge cases: the lag range, no
// candidate, a range without a trial step, single-precision overflow.
#include "BeatMapTestSupport.h"

#include "BuildTest.h"
#include "TestEnvironment.h"
#include "audio/AlignedFloats.h"
#include "tools/GUIBeatMap.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace beatmap_test;
using primitives::test::buildName;
using primitives::test::hostRunsBuild;
using primitives::test::ScopedBuildIndex;

constexpr int maximumCandidates = 6;
constexpr int meter = 4;

class TempoEstimation : public FrameworkTest {};

struct ModelCandidate {
    int lag;
    float tempo;
    double strength;
};

std::vector<ModelCandidate> modelCandidates(const std::string& envelopePath, int barBeats, int maximum) {
    std::vector<ModelCandidate> result;
    for (const std::string& line :
         model({"candidates", envelopePath, std::to_string(samplesPerValue), std::to_string(barBeats),
                std::to_string(maximum)})) {
        std::istringstream in(line);
        std::string lagWord, tempoWord, strengthWord;
        ModelCandidate c{};
        double tempo = 0;
        in >> lagWord >> c.lag >> tempoWord >> tempo >> strengthWord >> c.strength;
        c.tempo = static_cast<float>(tempo);
        result.push_back(c);
    }
    return result;
}

float modelRefine(const std::string& envelopePath, int barBeats, float bpm) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(bpm));
    const std::vector<std::string> answer =
        model({"refine", envelopePath, std::to_string(samplesPerValue), std::to_string(barBeats), text});
    EXPECT_EQ(answer.size(), 1u);
    return answer.empty() ? 0.0f : std::stof(answer[0]);
}

std::vector<float> candidates(GUIBeatMap& map, int barBeats, int maximum = maximumCandidates) {
    std::vector<float> tempi(static_cast<std::size_t>(maximum) + 1, -1.0f);
    std::int32_t count = -1;
    map.findTempoCandidates(barBeats, tempi.data(), &count, maximum);
    EXPECT_GE(count, 0);
    EXPECT_EQ(tempi[static_cast<std::size_t>(maximum)], -1.0f) << "nothing written past the maximum";
    tempi.resize(static_cast<std::size_t>(std::max(count, 0)));
    return tempi;
}

// The bar period in values whose tempo this is.
int lagOf(float tempo, int barBeats) {
    return static_cast<int>(std::lround(2646000.0 * barBeats / (static_cast<double>(tempo) * samplesPerValue)));
}

int indexOfTruth(const std::vector<float>& tempi, double truth) {
    for (std::size_t i = 0; i < tempi.size(); ++i)
        if (std::fabs(tempi[i] - truth) <= truth * 0.005) return static_cast<int>(i);
    return -1;
}

TEST_F(TempoEstimation, CandidatesAndRefinementOnEveryBuild) {
    std::printf("%-18s %9s %10s %10s %10s %9s\n", "song", "truth", "cand. 0", "refined", "error", "index");
    for (const TempoSong& song : tempoSongs()) {
        SCOPED_TRACE(song.name);
        const std::vector<float>& envelope = songEnvelope(song);
        const std::string path = writeFloats(song.name + ".env", envelope);
        const std::vector<ModelCandidate> expected = modelCandidates(path, meter, maximumCandidates);
        ASSERT_EQ(expected.size(), static_cast<std::size_t>(maximumCandidates));
        std::vector<float> expectedTempi;
        for (const ModelCandidate& c : expected) expectedTempi.push_back(c.tempo);
        const int truthIndex = indexOfTruth(expectedTempi, song.bpm);
        ASSERT_GE(truthIndex, 0) << "the truth is among the model's candidates";
        // Songs in 4/4 with accents find their bar first; for the others
        // (3/4, or no accent) a bar of 4 beats may find an alias first,
        // and the model's index stands.
        if (song.kind != "plain" && song.meter == 4) {
            EXPECT_EQ(truthIndex, 0);
        }
        // Refined with the song's own bar, as the user sets it.
        const float modelRefined =
            modelRefine(path, song.meter, expected[static_cast<std::size_t>(truthIndex)].tempo);
        const double frames = static_cast<double>(envelope.size()) * samplesPerValue;

        forEachBuild(envelope, [&](GUIBeatMap& map) {
            const std::vector<float> tempi = candidates(map, meter);
            ASSERT_EQ(tempi.size(), expected.size());
            for (std::size_t i = 0; i < tempi.size(); ++i) {
                EXPECT_EQ(lagOf(tempi[i], meter), expected[i].lag) << "candidate " << i;
                EXPECT_EQ(tempi[i], expected[i].tempo) << "candidate " << i;
            }
            EXPECT_EQ(indexOfTruth(tempi, song.bpm), truthIndex);

            float refined = tempi[static_cast<std::size_t>(truthIndex)];
            map.refineTempo(&refined, song.meter);
            EXPECT_LE(std::fabs(refined - song.bpm), song.bpm * samplesPerValue / frames)
                << "refined " << refined << " from " << tempi[static_cast<std::size_t>(truthIndex)];
            EXPECT_NEAR(refined, modelRefined, 0.001f);
            if (CpuDispatchIndex.load() == 4) {
                std::printf("%-18s %9.3f %10.3f %10.3f %10.4f %9d\n", song.name.c_str(), song.bpm, tempi[0], refined,
                            refined - song.bpm, truthIndex);
            }
        });
    }
}

// Whether an executable of that name lies on PATH.
bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream directories(path != nullptr ? path : "");
    std::string directory;
    while (std::getline(directories, directory, ':')) {
        if (!directory.empty() && ::access((directory + "/" + program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

// Runs the shell command; its output, and whether it exited with 0.
bool runCommand(const std::string& command, std::string& output) {
    output.clear();
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return false;
    char buffer[4096];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, count);
    const int status = ::pclose(pipe);
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The last number the output printed (NaN when none).
double lastNumber(const std::string& output) {
    std::istringstream in(output);
    std::string word;
    double number = std::nan("");
    while (in >> word) {
        char* end = nullptr;
        const double value = std::strtod(word.c_str(), &end);
        if (end != word.c_str() && *end == '\0') number = value;
    }
    return number;
}

// Two outside tempo detectors on the same songs, for comparison only: their
// answers are printed beside ours, and nothing is asserted about them
// beyond that each ran and gave a tempo. Our side is what the mapper's
// estimate shows with the meter group at the song's own bar: candidate 0,
// and candidate 0 refined.
TEST_F(TempoEstimation, PeersOnTheSameSongsForComparison) {
    for (const char* program : {"aubio", "bpm", "sox"}) {
        if (!onPath(program)) GTEST_SKIP() << "\"" << program << "\" is not installed (aubio-tools, bpm-tools, sox); no peer table";
    }
    std::printf("%-18s %8s %8s %8s %8s %8s %8s %8s %8s %8s\n", "song", "truth", "cand. 0", "error", "refined", "error",
                "aubio", "error", "bpm", "error");
    for (const TempoSong& song : tempoSongs()) {
        SCOPED_TRACE(song.name);
        GUIBeatMap map(0, 0, 10, 10, samplesPerValue, nullptr);
        setEnvelope(map, songEnvelope(song));
        const std::vector<float> tempi = candidates(map, song.meter);
        ASSERT_FALSE(tempi.empty());
        float refined = tempi[0];
        map.refineTempo(&refined, song.meter);

        // Their messages go apart, so that only what they print as the
        // answer is read.
        const std::string errors = temporaryFile("peer-errors.txt");
        std::string output;
        ASSERT_TRUE(runCommand("aubio tempo '" + song.path + "' 2>'" + errors + "'", output))
            << testing_support::readFile(errors);
        const double aubio = lastNumber(output);
        ASSERT_TRUE(std::isfinite(aubio) && aubio > 0.0) << output;
        // bpm reads raw mono float32 at 44.1 kHz on its input; pipefail so
        // that a failed sox is not taken for an empty song.
        ASSERT_TRUE(runCommand("bash -o pipefail -c 'sox \"$1\" -t raw -r 44100 -e float -c 1 - | bpm' bpm-peer '" +
                                   song.path + "' 2>'" + errors + "'",
                               output))
            << testing_support::readFile(errors);
        const double bpm = lastNumber(output);
        ASSERT_TRUE(std::isfinite(bpm) && bpm > 0.0) << output;

        std::printf("%-18s %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f\n", song.name.c_str(), song.bpm,
                    tempi[0], tempi[0] - song.bpm, refined, refined - song.bpm, aubio, aubio - song.bpm, bpm,
                    bpm - song.bpm);
    }
}

TEST_F(TempoEstimation, TheBarLagsRunFrom384To769AtFourBeats) {
    // An impulse every P values peaks at lag P. The shortest lag (384) and
    // the lags from 768 on can never be taken.
    const struct {
        int period;
        bool found;
    } cases[] = {{383, false}, {384, false}, {385, true}, {500, true}, {767, true}, {768, false}, {769, false}};
    for (int build = 1; build <= 4; ++build) {
        if (!hostRunsBuild(build)) continue;
        ScopedBuildIndex selected(build);
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(buildName(build)) + " period " + std::to_string(c.period));
            std::vector<float> envelope(20000, 0.0f);
            for (std::size_t i = 0; i < envelope.size(); i += static_cast<std::size_t>(c.period)) envelope[i] = 1.0f;
            GUIBeatMap map(0, 0, 10, 10, samplesPerValue, nullptr);
            setEnvelope(map, envelope);
            const std::vector<float> tempi = candidates(map, meter);
            bool found = false;
            for (float t : tempi) found = found || lagOf(t, meter) == c.period;
            EXPECT_EQ(found, c.found);
            if (c.found) {
                ASSERT_FALSE(tempi.empty());
                EXPECT_EQ(lagOf(tempi[0], meter), c.period) << "the strongest peak";
                const double tempo = 2646000.0 * meter / (static_cast<double>(c.period) * samplesPerValue);
                EXPECT_NEAR(tempi[0], tempo, tempo * 1e-6);
            }
        }
    }
}

TEST_F(TempoEstimation, TheListKeepsTheStrongestUpToTheMaximum) {
    const TempoSong& song = tempoSong("music-140");
    const std::vector<float>& envelope = songEnvelope(song);
    const std::string path = writeFloats("max.env", envelope);
    for (int maximum : {1, 2, 3, 10}) {
        SCOPED_TRACE(maximum);
        const std::vector<ModelCandidate> expected = modelCandidates(path, meter, maximum);
        GUIBeatMap map(0, 0, 10, 10, samplesPerValue, nullptr);
        setEnvelope(map, envelope);
        const std::vector<float> tempi = candidates(map, meter, maximum);
        ASSERT_EQ(tempi.size(), expected.size());
        for (std::size_t i = 0; i < tempi.size(); ++i) EXPECT_EQ(lagOf(tempi[i], meter), expected[i].lag);
        for (std::size_t i = 1; i < expected.size(); ++i) EXPECT_GE(expected[i - 1].strength, expected[i].strength);
    }
}

TEST_F(TempoEstimation, EnvelopesWithoutAPeakGiveNoCandidateAndNoPrimitiveFailure) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> level(0.0f, 1.0f);
    std::vector<float> shortNoise(300);
    for (float& v : shortNoise) v = level(random);
    const struct {
        const char* name;
        std::vector<float> envelope;
    } cases[] = {{"no envelope", {}},
                 {"silence", std::vector<float>(20000, 0.0f)},
                 {"flat", std::vector<float>(20000, 0.25f)},
                 {"shorter than the shortest lag", shortNoise}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::clearLog();
        GUIBeatMap map(0, 0, 10, 10, samplesPerValue, nullptr);
        setEnvelope(map, c.envelope);
        EXPECT_TRUE(candidates(map, meter).empty());
        float tempo = 123.0f;
        if (c.envelope.empty()) {
            map.refineTempo(&tempo, meter);
            EXPECT_EQ(tempo, 123.0f) << "nothing to refine against";
        }
        EXPECT_TRUE(testing_support::logTexts().empty()) << testing_support::logTexts().front();
    }
}

TEST_F(TempoEstimation, ARangeWithoutATrialStepLeavesTheTempo) {
    // With one sample per value a bar is so many values long that the
    // tempi of one value more and less lie under 0.001 BPM apart.
    const struct {
        int samplesPerValue;
        int barBeats;
        float bpm;
        bool moves;
    } cases[] = {{1, 16, 120.0f, false}, {1, 32, 97.5f, false}, {153, 4, 120.1f, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.samplesPerValue * 100 + c.barBeats);
        std::vector<float> envelope(400000, 0.0f);
        for (std::size_t i = 0; i < envelope.size(); i += 577) envelope[i] = 1.0f;
        GUIBeatMap map(0, 0, 10, 10, c.samplesPerValue, nullptr);
        setEnvelope(map, envelope);
        float tempo = c.bpm;
        map.refineTempo(&tempo, c.barBeats);
        if (c.moves) {
            EXPECT_NE(tempo, c.bpm);
        } else {
            EXPECT_EQ(tempo, c.bpm);
        }
    }
}

TEST_F(TempoEstimation, LongSongsWhoseScoresOverflowStillRefine) {
    const std::vector<float> envelope = longAccentedEnvelope();
    const std::string path = writeFloats("long.env", envelope);
    const double frames = static_cast<double>(envelope.size()) * samplesPerValue;
    for (float start : {120.05f, 119.93f}) {
        SCOPED_TRACE(start);
        const float expected = modelRefine(path, meter, start);
        forEachBuild(envelope, [&](GUIBeatMap& map) {
            float tempo = start;
            map.refineTempo(&tempo, meter);
            EXPECT_TRUE(std::isfinite(tempo));
            EXPECT_LE(std::fabs(tempo - 120.0), 120.0 * samplesPerValue / frames) << tempo;
            // Both compare the trials' logarithms in double: the same trial wins.
            EXPECT_EQ(tempo, expected);
        });
    }
}

}  // namespace
