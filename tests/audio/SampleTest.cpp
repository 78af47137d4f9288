// Short sounds read whole: their length and samples against sox's decoding
// and the MP3 reader's, and the indexes of their extremes.
#include "FrameworkTest.h"
#include "MetaDataFixtures.h"
#include "TestEnvironment.h"
#include "TestHeap.h"

#include "audio/Sample.h"
#include "audio/SampleDisk.h"
#include "framework/StringException.h"

#include <cstring>

using fixtures::RiffChunk;

namespace {

std::vector<std::int16_t> pcmOf(const std::string& bytes) {
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// The first index of the smallest and of the largest sample of a channel.
std::pair<std::int32_t, std::int32_t> extremes(const std::vector<std::int16_t>& pcm, int channel) {
    std::int32_t lowest = 0;
    std::int32_t highest = 0;
    for (std::size_t i = 0; i * 2 < pcm.size(); ++i) {
        if (pcm[i * 2 + channel] < pcm[lowest * 2 + channel]) lowest = static_cast<std::int32_t>(i);
        if (pcm[i * 2 + channel] > pcm[highest * 2 + channel]) highest = static_cast<std::int32_t>(i);
    }
    return {lowest, highest};
}

class SampleSound : public FrameworkTest {
protected:
    void expectPcm(const Sample& sample, const std::vector<std::int16_t>& pcm) {
        ASSERT_EQ(sample.length(), static_cast<std::int32_t>(pcm.size() / 2));
        ASSERT_EQ(sample.channelCount(), 2);
        int mismatches = 0;
        for (std::int32_t i = 0; i < sample.length() && mismatches < 5; ++i) {
            for (int c = 0; c < 2; ++c) {
                if (sample.channel(c)[i] != pcm[i * 2 + c] / 32768.0f) {
                    ADD_FAILURE() << "frame " << i << " channel " << c;
                    ++mismatches;
                }
            }
        }
        for (int c = 0; c < 2; ++c) {
            const auto [lowest, highest] = extremes(pcm, c);
            EXPECT_EQ(sample.minimumIndex(c), lowest) << "channel " << c;
            EXPECT_EQ(sample.maximumIndex(c), highest) << "channel " << c;
        }
    }
    testing_support::TemporaryDirectory directory_;
};

TEST_F(SampleSound, SoxSoundsOfEveryBlockCount) {
    // Under one block, exactly one, and several with a shorter last one.
    for (const double seconds : {0.3, 1.0, 2.5}) {
        SCOPED_TRACE(seconds);
        const std::string path = directory_.file("click.wav");
        fixtures::makeSoxWav(path, seconds);
        fixtures::runTool({"sox", path, "-t", "raw", "-e", "signed-integer", "-b", "16", directory_.file("click.raw")});
        Sample sample(path, true);
        EXPECT_TRUE(sample.format().isCdFormat());
        expectPcm(sample, pcmOf(testing_support::readFile(directory_.file("click.raw"))));
    }
}

TEST_F(SampleSound, ExtremesAreTheFirstOfTheirValue) {
    // Repeated extremes, and extremes in the first, the last and a later
    // block than the first second.
    const struct Case {
        const char* name;
        std::int32_t frames;
        std::vector<std::pair<std::int32_t, std::int16_t>> left;   // (frame, value) set on silence
        std::vector<std::pair<std::int32_t, std::int16_t>> right;
    } cases[] = {
        {"repeated", 1000, {{10, 500}, {20, 500}, {30, -500}, {40, -500}}, {{999, -32768}, {0, 32767}}},
        {"past the first second", 100000, {{50000, 7}, {99999, -7}}, {{44100, 32767}, {44099, -1}}},
        {"all silent", 300, {}, {}},
        {"one frame", 1, {{0, -3}}, {{0, 3}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::int16_t> pcm(static_cast<std::size_t>(c.frames) * 2, 0);
        for (const auto& [frame, value] : c.left) pcm[frame * 2] = value;
        for (const auto& [frame, value] : c.right) pcm[frame * 2 + 1] = value;
        std::string data(reinterpret_cast<const char*>(pcm.data()), pcm.size() * 2);
        const std::string path = directory_.file("made.wav");
        testing_support::writeFile(path, fixtures::writeRiff({{"fmt ", fixtures::fmtBody(1, 2, 44100, 16)}, {"data", data}}));
        Sample sample(path, true);
        expectPcm(sample, pcm);
    }
}

TEST_F(SampleSound, AnMp3SoundHoldsWhatItsReaderReads) {
    const std::string path = directory_.file("click.mp3");
    fixtures::makeLameMp3(path, 1.2);
    Sample sample(path, true);
    std::unique_ptr<AudioFileReader> reader = SampleDisk::open(path, true, false, 2.0f);
    ASSERT_EQ(sample.length(), reader->length());
    float** expected = reader->read(0, reader->length(), false);
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(std::memcmp(sample.channel(c), expected[c], static_cast<std::size_t>(sample.length()) * 4), 0);
    }
}

TEST_F(SampleSound, AFileThatCannotBeReadKeepsNothing) {
    const std::int64_t blocks = primitives::test::TestHeap::liveBlocks();
    const std::string path = directory_.file("click.wav");
    EXPECT_STRING_EXCEPTION(Sample(path, true), "Cannot open file " + path + ".");
    testing_support::writeFile(path, fixtures::writeRiff({{"fmt ", fixtures::fmtBody(1, 1, 44100, 16)}, {"data", "abcd"}}));
    EXPECT_STRING_EXCEPTION(Sample(path, true), "PCM audio must be in CD format: stereo, 44.1 kHz, 16 bits.");
    EXPECT_EQ(primitives::test::TestHeap::liveBlocks(), blocks);
}

}  // namespace
