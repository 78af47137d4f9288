// The layer over PortAudio, in child processes: quiet on stderr, its lists,
// and playback into an ALSA "file" device whose raw output is read back.
//
// The test PCM writes everything played to a file through the "null" PCM,
// which takes audio as fast as it comes: the file grows by hundreds of MB a
// second, and nothing about underruns can be asserted.
#include "AudioPattern.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

using namespace audio_test;
using testing_support::ScopedEnvironment;
using testing_support::TemporaryDirectory;

namespace {

class PortAudioChild : public ::testing::Test {
protected:
    // Runs the child with a HOME whose .asoundrc routes the default PCM to
    // a file (or with no sound configuration at all).
    std::vector<std::string> run(const std::vector<std::string>& arguments, bool fileDevice = true) {
        if (fileDevice) {
            testing_support::writeFile(home.file(".asoundrc"),
                                       "pcm.velkarn_capture {\n"
                                       "    type file\n"
                                       "    slave.pcm \"null\"\n"
                                       "    file \"" + home.file("played.raw") + "\"\n"
                                       "    format \"raw\"\n"
                                       "}\n"
                                       "pcm.!default {\n"
                                       "    type plug\n"
                                       "    slave.pcm \"velkarn_capture\"\n"
                                       "}\n");
        }
        ScopedEnvironment homeVariable("HOME", home.path());
        // ALSA gives the null PCM a buffer of some 750 MB at each format
        // probe. Under AddressSanitizer, poisoning its shadow costs over a
        // second a probe (minutes a run), so the child runs without heap
        // poisoning; it keeps its leak, stack, global and undefined-behaviour
        // checks, and the layer's heap use is checked in-process on the null
        // device.
        const char* sanitizerOptions = std::getenv("ASAN_OPTIONS");
        const std::string earlier = sanitizerOptions != nullptr ? sanitizerOptions : "";
        ScopedEnvironment sanitizer("ASAN_OPTIONS", (earlier.empty() ? "" : earlier + ":") + "poison_heap=0");
        ScopedEnvironment audio("VELKARN_AUDIO", std::nullopt);
        ScopedEnvironment data("VELKARN_HOME", home.path());
        std::vector<std::string> argv = {VELKARN_PORTAUDIO_CHILD, arguments[0], home.file("report.txt")};
        argv.insert(argv.end(), arguments.begin() + 1, arguments.end());
        const int status = testing_support::runProgram(argv, home.file("output.txt"));
        EXPECT_EQ(status, 0);
        EXPECT_EQ(testing_support::readFile(home.file("output.txt")), "") << "the child wrote to stdout or stderr";
        std::vector<std::string> lines;
        std::istringstream report(testing_support::readFile(home.file("report.txt")));
        for (std::string line; std::getline(report, line);) lines.push_back(line);
        return lines;
    }

    std::vector<std::uint8_t> played() {
        const std::string raw = testing_support::readFile(home.file("played.raw"));
        return {raw.begin(), raw.end()};
    }

    static std::int64_t rendered(const std::vector<std::string>& report) {
        for (const std::string& line : report) {
            if (line.rfind("rendered ", 0) == 0) return std::stoll(line.substr(9));
        }
        return -1;
    }

    // The blocks in the raw stream, in order, each found whole: between
    // them only silent frames. -1 ends the list where something else was.
    static std::vector<std::int64_t> blocksIn(const std::vector<std::uint8_t>& raw, std::int64_t upTo) {
        const FormatAudio format;
        const int frames = 2205;
        const std::size_t blockBytes = frames * 4;
        std::vector<std::vector<std::uint8_t>> expected;
        for (std::int64_t n = 0; n < upTo; ++n) expected.push_back(expectedBlock(1, n, format, frames));
        std::vector<std::int64_t> found;
        std::size_t at = 0;
        while (at + 4 <= raw.size()) {
            if (std::all_of(raw.begin() + at, raw.begin() + at + 4, [](std::uint8_t b) { return b == 0; })) {
                at += 4;
                continue;
            }
            const std::int64_t next = found.empty() ? 0 : found.back() + 1;
            std::int64_t match = -1;
            for (std::int64_t n = next; n < upTo && match < 0; ++n) {
                if (at + blockBytes <= raw.size() && std::equal(expected[n].begin(), expected[n].end(), raw.begin() + at)) {
                    match = n;
                }
            }
            found.push_back(match);
            if (match < 0) break;
            at += blockBytes;
        }
        return found;
    }

    TemporaryDirectory home;
};

TEST_F(PortAudioChild, ListsTheDefaultTheTestDeviceAndTheNullOutputQuietly) {
    const auto report = run({"lists"});
    EXPECT_EQ(report, (std::vector<std::string>{"portaudio on", "waveOut default", "waveOut velkarn_capture",
                                                "waveOut Null Output", "directSound default",
                                                "directSound velkarn_capture", "directSound Null Output", "stopped"}));
}

// Without any sound device PortAudio still starts, says nothing, and the
// null device is the last (and only) entry.
TEST_F(PortAudioChild, WithoutSoundDevicesOnlyTheNullOutputRemains) {
    const auto report = run({"lists"}, false);
    EXPECT_EQ(report, (std::vector<std::string>{"portaudio on", "waveOut Null Output", "directSound Null Output",
                                                "stopped"}));
}

TEST_F(PortAudioChild, WaveOutPlaysEveryBlockInOrder) {
    const auto report = run({"waveout", "default", "30"});
    ASSERT_EQ(report.size(), 10u);
    EXPECT_EQ(report[7].substr(0, 9), "rendered ");
    EXPECT_EQ(report[8], "closed");
    const std::int64_t count = rendered(report);
    ASSERT_GE(count, 30);
    const auto blocks = blocksIn(played(), count);
    ASSERT_FALSE(blocks.empty()) << "nothing was played";
    EXPECT_NE(blocks.back(), -1) << "something other than a block or silence was played after block "
                                 << (blocks.size() > 1 ? blocks[blocks.size() - 2] : -1);
    for (std::size_t i = 0; i < blocks.size(); ++i) EXPECT_EQ(blocks[i], static_cast<std::int64_t>(i));
    // Only the (at most two) blocks queued at the stop may be missing.
    EXPECT_GE(static_cast<std::int64_t>(blocks.size()), count - 2);
}

TEST_F(PortAudioChild, DirectSoundStartsWithItsFirstTwoBlocksAndClosesCleanly) {
    const auto report = run({"directsound", "default", "6"});
    ASSERT_EQ(report.size(), 10u);
    EXPECT_EQ(report[8], "closed");
    const auto blocks = blocksIn(played(), rendered(report));
    ASSERT_GE(blocks.size(), 2u);
    EXPECT_EQ(blocks[0], 0);
    EXPECT_EQ(blocks[1], 1);
}

}  // namespace
