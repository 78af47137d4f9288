#include "platform/WmaDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using platform::WmaDecoder;
using platform::WmaMediaType;

std::string material(const std::string& name) {
    return std::string(VELKARN_WMA_DIR) + "/" + name;
}

std::vector<std::int16_t> readS16(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::copy_n(bytes.data(), samples.size() * 2, reinterpret_cast<char*>(samples.data()));
    return samples;
}

// Reads blocks until the end (or count frames); each block must respect the
// layer's bound.
std::vector<std::int16_t> decodeFrames(WmaDecoder& decoder, std::int64_t count = -1) {
    std::vector<std::int16_t> all;
    std::vector<std::int16_t> block(WmaDecoder::kMaxBlockFrames * decoder.channels());
    for (;;) {
        int frames = decoder.nextBlock(block.data());
        EXPECT_GE(frames, 0);
        EXPECT_LE(frames, WmaDecoder::kMaxBlockFrames);
        if (frames <= 0) {
            break;
        }
        all.insert(all.end(), block.begin(), block.begin() + frames * decoder.channels());
        if (count >= 0 && static_cast<std::int64_t>(all.size()) >= count * decoder.channels()) {
            all.resize(count * decoder.channels());
            break;
        }
    }
    return all;
}

struct AudioCase {
    const char* name;
    int channels;
    int rate;
};

class WmaDecoderAudio : public testing::TestWithParam<AudioCase> {};

TEST_P(WmaDecoderAudio, SequentialDecodeMatchesFfmpegAndDurationAgrees) {
    const AudioCase& c = GetParam();
    auto decoder = platform::createWmaDecoder();
    ASSERT_TRUE(decoder->open(material(std::string(c.name) + ".wma")));
    EXPECT_EQ(decoder->outputCount(), 1);
    EXPECT_EQ(decoder->outputType(), WmaMediaType::Audio);
    EXPECT_EQ(decoder->channels(), c.channels);
    EXPECT_EQ(decoder->sampleRate(), c.rate);
    EXPECT_EQ(decoder->bitsPerSample(), 16);

    std::vector<std::int16_t> ours = decodeFrames(*decoder);
    std::vector<std::int16_t> reference = readS16(material(std::string(c.name) + ".s16"));
    ASSERT_EQ(ours.size(), reference.size());
    int worst = 0;
    for (std::size_t i = 0; i < ours.size(); ++i) {
        worst = std::max(worst, std::abs(ours[i] - reference[i]));
    }
    EXPECT_LE(worst, 1);

    // The duration lies within one decoded block of the frames decoded, and
    // agrees with ffprobe's to the millisecond.
    const std::int64_t frames = static_cast<std::int64_t>(ours.size()) / c.channels;
    const double durationFrames = decoder->duration100ns() * 1e-7 * c.rate;
    EXPECT_LE(std::abs(durationFrames - static_cast<double>(frames)), WmaDecoder::kMaxBlockFrames);
    std::ifstream probe(material(std::string(c.name) + ".duration"));
    double probed = 0;
    probe >> probed;
    EXPECT_NEAR(decoder->duration100ns() * 1e-7, probed, 0.0015);
}

TEST_P(WmaDecoderAudio, SeeksAreSampleExactInEveryDirection) {
    const AudioCase& c = GetParam();
    auto sequential = platform::createWmaDecoder();
    ASSERT_TRUE(sequential->open(material(std::string(c.name) + ".wma")));
    const std::vector<std::int16_t> whole = decodeFrames(*sequential);
    const std::int64_t total = static_cast<std::int64_t>(whole.size()) / c.channels;

    auto decoder = platform::createWmaDecoder();
    ASSERT_TRUE(decoder->open(material(std::string(c.name) + ".wma")));
    std::vector<std::int64_t> positions = {0, 1, 2047, 2048, total - 5000, 300000, 1000,
                                           1500, 400000, 12345, total - 1, total - 100};
    std::mt19937 random(14);
    for (int i = 0; i < 30; ++i) {
        positions.push_back(std::uniform_int_distribution<std::int64_t>(0, total - 1)(random));
    }
    for (std::int64_t position : positions) {
        SCOPED_TRACE(position);
        ASSERT_TRUE(decoder->seek(position));
        const std::int64_t count = std::min<std::int64_t>(3000, total - position);
        std::vector<std::int16_t> got = decodeFrames(*decoder, count);
        ASSERT_EQ(static_cast<std::int64_t>(got.size()), count * c.channels);
        EXPECT_TRUE(std::equal(got.begin(), got.end(), whole.begin() + position * c.channels));
    }
    // Past the end nothing more comes.
    ASSERT_TRUE(decoder->seek(total + 10));
    std::vector<std::int16_t> block(WmaDecoder::kMaxBlockFrames * c.channels);
    EXPECT_EQ(decoder->nextBlock(block.data()), 0);
    EXPECT_FALSE(decoder->seek(-1));
}

INSTANTIATE_TEST_SUITE_P(Files, WmaDecoderAudio,
                         testing::Values(AudioCase{"stereo-v2", 2, 44100},
                                         AudioCase{"stereo-v1", 2, 44100},
                                         AudioCase{"rate48k", 2, 48000},
                                         AudioCase{"mono", 1, 44100}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(WmaDecoder, StartOffsetShiftsTheNumbering) {
    auto reference = platform::createWmaDecoder();
    ASSERT_TRUE(reference->open(material("stereo-v2.wma")));
    const std::vector<std::int16_t> whole = decodeFrames(*reference, 20000);

    auto decoder = platform::createWmaDecoder();
    ASSERT_TRUE(decoder->open(material("stereo-v2.wma")));
    decoder->setStartOffset(1000);
    ASSERT_TRUE(decoder->seek(0));
    std::vector<std::int16_t> got = decodeFrames(*decoder, 5000);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), whole.begin() + 2000));
    EXPECT_TRUE(decoder->seek(-1000));
    EXPECT_FALSE(decoder->seek(-1001));
}

TEST(WmaDecoder, ReportsWhatTheReaderRefuses) {
    struct Case {
        const char* file;
        bool opens;
        int outputs;
        WmaMediaType type;
    };
    const Case cases[] = {
        {"with-video.wma", true, 2, WmaMediaType::Video},
        {"video-only.wma", true, 1, WmaMediaType::Video},
        {"not-asf.wma", false, 0, WmaMediaType::Other},
        {"missing.wma", false, 0, WmaMediaType::Other},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        auto decoder = platform::createWmaDecoder();
        ASSERT_EQ(decoder->open(material(c.file)), c.opens);
        if (c.opens) {
            EXPECT_EQ(decoder->outputCount(), c.outputs);
            if (c.outputs == 1) {
                EXPECT_EQ(decoder->outputType(), c.type);
            }
        }
        std::int16_t block[WmaDecoder::kMaxBlockFrames * 2];
        if (!c.opens || c.type != WmaMediaType::Audio) {
            EXPECT_EQ(decoder->nextBlock(block), -1);
            EXPECT_FALSE(decoder->seek(0));
        }
    }
}

TEST(WmaDecoder, TheDecodersAreAvailable) {
    EXPECT_TRUE(platform::wmaDecodingAvailable());
}

// The delay of the decoded song against the encoded WAV, by cross-correlation
// of the left channel, and the signal-to-noise ratio at that delay.
TEST(WmaDecoder, DelayAgainstTheSourceAndQuality) {
    auto decoder = platform::createWmaDecoder();
    ASSERT_TRUE(decoder->open(material("stereo-v2.wma")));
    const std::vector<std::int16_t> decoded = decodeFrames(*decoder);
    std::vector<std::int16_t> source = readS16(material("source.wav"));
    // Drop everything up to the "data" chunk's samples.
    const char* bytes = reinterpret_cast<const char*>(source.data());
    const std::string text(bytes, std::min<std::size_t>(source.size() * 2, 512));
    const std::size_t data = text.find("data");
    ASSERT_NE(data, std::string::npos);
    ASSERT_EQ(data % 2, 0u);
    source.erase(source.begin(), source.begin() + static_cast<std::ptrdiff_t>((data + 8) / 2));
    const int window = 16384;
    const int start = 44100;
    const int maxLag = 4096;
    double best = -1e300;
    int bestLag = 0;
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        double sum = 0;
        for (int i = 0; i < window; i += 2) {
            sum += static_cast<double>(source[(start + i) * 2]) * decoded[(start + i + lag) * 2];
        }
        if (sum > best) {
            best = sum;
            bestLag = lag;
        }
    }
    double signal = 0;
    double noise = 0;
    const std::int64_t frames = static_cast<std::int64_t>(
        std::min(source.size() / 2, decoded.size() / 2)) - maxLag * 2;
    for (std::int64_t i = maxLag; i < frames; ++i) {
        for (int ch = 0; ch < 2; ++ch) {
            double s = source[i * 2 + ch];
            double d = decoded[(i + bestLag) * 2 + ch];
            signal += s * s;
            noise += (s - d) * (s - d);
        }
    }
    const double snr = 10 * std::log10(signal / noise);
    std::cout << "WMA delay " << bestLag << " frames, SNR " << snr << " dB\n";
    RecordProperty("delay_frames", bestLag);
    EXPECT_GE(snr, 20.0);
    EXPECT_LT(std::abs(bestLag), maxLag);
}

TEST(FakeWmaDecoder, PlaysItsScript) {
    platform::FakeWmaDecoder::Script script;
    script.channels = 2;
    script.blockFrames = 700;
    for (int i = 0; i < 5000; ++i) {
        script.samples.push_back(static_cast<std::int16_t>(i));
        script.samples.push_back(static_cast<std::int16_t>(-i));
    }
    script.failAtFrame = 4000;
    platform::FakeWmaDecoder fake(script);
    ASSERT_TRUE(fake.open("song.wma"));
    EXPECT_EQ(fake.openedPath(), "song.wma");
    std::vector<std::int16_t> block(WmaDecoder::kMaxBlockFrames * 2);
    ASSERT_TRUE(fake.seek(3500));
    ASSERT_EQ(fake.nextBlock(block.data()), 500);  // stops at the failure point
    EXPECT_EQ(block[0], 3500);
    EXPECT_EQ(block[1], -3500);
    EXPECT_EQ(fake.nextBlock(block.data()), -1);
    fake.setStartOffset(100);
    ASSERT_TRUE(fake.seek(0));
    ASSERT_EQ(fake.nextBlock(block.data()), 700);
    EXPECT_EQ(block[0], 100);

    script.openFails = true;
    platform::FakeWmaDecoder failing(script);
    EXPECT_FALSE(failing.open("song.wma"));
}

TEST(WmaDecoder, FloatToSixteenBitsRoundsAndClips) {
    const float left[] = {0.5f, 1.0f, -1.0f, -1.5f, 0.5f / 32768, 1.5f / 32768, -0.6f / 32768};
    const float right[] = {0.25f, 2.0f, 0.0f, 0.99999f, 0.0f, 0.0f, 0.0f};
    const std::int16_t expected[] = {16384, 8192, 32767, 32767, -32768, 0, -32768, 32767,
                                     0,     0,    2,     0,     -1,     0};
    const float* planes[] = {left, right};
    std::int16_t out[14];
    platform::interleaveFloatTo16(planes, 2, 7, out);
    EXPECT_TRUE(std::equal(std::begin(out), std::end(out), std::begin(expected)));
}

}  // namespace
