// The MP3 song reader against the whole decoding loop of the test kit (bit
// for bit, on every build), mpg123's decodes of the same streams, and the
// frame walker's view of them; its index, the stored index, the refusals,
// and damaged streams. The streams are made at build time by lame, ffmpeg
// and sox; the rest is cut and patched from them here.
#include "audio/SampleDiskMP3.h"

#include "BuildTest.h"
#include "MetaDataFixtures.h"
#include "Mp3Decoder.h"
#include "Mp3ReaderFixtures.h"
#include "Mp3FrameWalker.h"
#include "framework/FileDisk.h"
#include "framework/Log.h"
#include "framework/StringException.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>

namespace {

using namespace mp3fixtures;

// ---- Conformance ----------------------------------------------------------

class Mp3ReaderConformance : public ::testing::TestWithParam<std::string> {};

// Every build, read front to back: bit for bit the decoding loop on the same
// build, within the decoding steps' thresholds of mpg123, and within one
// step of every other build.
TEST_P(Mp3ReaderConformance, EqualsTheDecodingLoopOnEveryBuild) {
    const std::string bytes = streamBytes(GetParam());
    const auto floats = readRaw<float>(kReferenceDir + "/" + GetParam() + ".f32");
    const auto integers = readRaw<std::int16_t>(kReferenceDir + "/" + GetParam() + ".s16");
    std::vector<std::pair<std::int32_t, Channels>> builds;
    for (std::int32_t build = primitives::kFirstBuild; build <= primitives::kLastBuild; ++build) {
        if (!primitives::test::hostRunsBuild(build)) continue;
        primitives::test::ScopedBuildIndex forced(build);
        SCOPED_TRACE(primitives::test::buildName(build));
        const auto reader = openReader(bytes);
        const Channels read = readWhole(*reader, 44100);
        const Channels loop = referenceChannels(bytes);
        ASSERT_EQ(reader->length(), static_cast<std::int64_t>(loop.left.size()));
        EXPECT_EQ(firstDifference(read.left, loop.left), -1);
        EXPECT_EQ(firstDifference(read.right, loop.right), -1);

        ASSERT_EQ(integers.size(), 2 * read.left.size());
        std::int32_t worst = 0;
        std::int64_t equal = 0, compared = 0;
        for (std::size_t k = 0; k < read.left.size(); ++k) {
            for (int ch = 0; ch < 2; ++ch) {
                if (std::fabs(floats[2 * k + ch]) >= 1.0f) continue;
                const auto ours = static_cast<std::int32_t>((ch == 0 ? read.left : read.right)[k] * 32768.0f);
                const std::int32_t error = std::abs(ours - integers[2 * k + ch]);
                worst = std::max(worst, error);
                equal += error == 0;
                ++compared;
            }
        }
        EXPECT_LE(worst, 1);
        EXPECT_GE(static_cast<double>(equal) / static_cast<double>(compared), 0.85);
        builds.emplace_back(build, read);
    }
    for (std::size_t b = 1; b < builds.size(); ++b) {
        float worst = 0;
        for (std::size_t k = 0; k < builds[0].second.left.size(); ++k) {
            worst = std::max({worst, std::fabs(builds[b].second.left[k] - builds[0].second.left[k]),
                              std::fabs(builds[b].second.right[k] - builds[0].second.right[k])});
        }
        EXPECT_LE(worst * 32768.0f, 1.0f) << primitives::test::buildName(builds[b].first);
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, Mp3ReaderConformance, ::testing::ValuesIn(readableStreamNames()),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// lame's Info frame decodes as a silent frame 0: the rest is mpg123's output
// (which leaves the Info frame out) one frame later, which the
// cross-correlation finds on its own.
TEST(Mp3ReaderInfoFrame, FrameZeroIsSilentAndTheRestIsMpg123OneFrameLater) {
    const auto reader = openReader(readBytes(kReaderStreamDir + "/info.mp3"));
    const Channels read = readWhole(*reader, 44100);
    const auto reference = readRaw<std::int16_t>(kReaderStreamDir + "/info.s16");
    EXPECT_TRUE(frameSilent(read, 0));
    ASSERT_EQ(read.left.size(), reference.size() / 2 + kFrame);

    std::int32_t bestLag = 0;
    double best = -1;
    for (std::int32_t lag = 0; lag <= 2 * kFrame; lag += 1) {
        double sum = 0;
        for (std::size_t k = 20000; k < 60000; ++k) sum += read.left[k + lag] * static_cast<double>(reference[2 * k]);
        if (sum > best) {
            best = sum;
            bestLag = lag;
        }
    }
    EXPECT_EQ(bestLag, kFrame);
    std::int32_t worst = 0;
    for (std::size_t k = 0; k < reference.size() / 2; ++k) {
        worst = std::max({worst, std::abs(static_cast<std::int32_t>(read.left[k + kFrame] * 32768.0f) - reference[2 * k]),
                          std::abs(static_cast<std::int32_t>(read.right[k + kFrame] * 32768.0f) - reference[2 * k + 1])});
    }
    EXPECT_LE(worst, 1);
}

// ---- Seeking and the cache ------------------------------------------------

class Mp3ReaderSeek : public ::testing::TestWithParam<std::string> {};

// Random reads, each checked against one sequential decode: positions
// before the start, in frame 0, anywhere, in the last frame and past the
// end, in any order; counts up to the cache; with and without readAhead.
TEST_P(Mp3ReaderSeek, RandomReadsEqualTheSequentialDecode) {
    const std::string bytes = streamBytes(GetParam());
    const Channels loop = referenceChannels(bytes);
    const auto reader = openReader(bytes, {.cacheSeconds = 1.5f});
    const std::int32_t length = reader->length();
    const std::int32_t cacheFrames = 66150;
    std::mt19937 random(20261211);
    const auto pick = [&](std::int32_t low, std::int32_t high) {
        return std::uniform_int_distribution<std::int32_t>(low, high)(random);
    };
    for (int n = 0; n < 200; ++n) {
        std::int32_t position = 0;
        switch (n % 5) {
            case 0: position = pick(-50000, -1); break;
            case 1: position = pick(0, kFrame - 1); break;
            case 2: position = pick(0, length - 1); break;
            case 3: position = pick(length - kFrame, length - 1); break;
            default: position = pick(length, length + 5000); break;
        }
        const std::int32_t count = n % 7 == 0 ? cacheFrames : pick(0, cacheFrames);
        const bool readAhead = pick(0, 1) == 1;
        float** channels = reader->read(position, count, readAhead);
        for (std::int32_t k = 0; k < count; ++k) {
            const std::int64_t at = std::int64_t{position} + k;
            const bool inside = at >= 0 && at < length;
            const float left = inside ? loop.left[at] : 0.0f;
            const float right = inside ? loop.right[at] : 0.0f;
            if (channels[0][k] != left || channels[1][k] != right) {
                FAIL() << "read " << n << " (" << position << ", " << count << ", " << readAhead << ") differs at "
                       << at;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, Mp3ReaderSeek, ::testing::ValuesIn(readableStreamNames()), [](const auto& info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

TEST(Mp3ReaderCache, ARepeatReadInsideTheSpanReturnsTheSamePointersAndDecodesNothing) {
    const auto reader = openReader(streamBytes("m1-44k-stereo-128-sweep"));
    float** first = reader->read(30000, 1000, true);
    float* const left = first[0];
    float* const right = first[1];
    const std::int64_t decoded = reader->decodedFrames();
    EXPECT_GE(decoded, SampleDiskMP3::kReadAheadFrames);
    float** again = reader->read(30000, 1000, false);
    EXPECT_EQ(again[0], left);
    EXPECT_EQ(again[1], right);
    float** later = reader->read(30500, 20000, false);
    EXPECT_EQ(later[0], left + 500);
    EXPECT_EQ(later[1], right + 500);
    EXPECT_EQ(reader->decodedFrames(), decoded);
}

// Which frames a read decodes: none in front at position 0, one in front
// otherwise, none outside the song; and where its pointers stand.
TEST(Mp3ReaderCache, AReadDecodesItsFramesAndOneInFront) {
    struct Case {
        std::int32_t position;
        std::int32_t count;
        std::int64_t decoded;
    };
    const Case cases[] = {
        {0, 100, 1},               // frame 0 only
        {0, kFrame, 2},            // frames 0 and 1 (the end lands on frame 1)
        {kFrame, 10, 2},           // frames 0 and 1
        {-100, 200, 1},            // frames -1 (silent, not decoded) and 0
        {2 * kFrame + 5, kFrame, 3},  // frames 1 to 3
        {-5000, 100, 0},           // before the song
    };
    const std::string bytes = streamBytes("m1-44k-joint-320-loud");
    const Channels loop = referenceChannels(bytes);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        const auto reader = openReader(bytes);
        float** channels = reader->read(c.position, c.count, false);
        EXPECT_EQ(reader->decodedFrames(), c.decoded);
        for (std::int32_t k = 0; k < c.count; ++k) {
            const std::int64_t at = std::int64_t{c.position} + k;
            ASSERT_EQ(channels[0][k], at >= 0 ? loop.left[at] : 0.0f) << at;
        }
    }
    // A read at 1152 holds frames 0 and 1 and points 1152 samples in: a read
    // at 0 is served from the same cache, 1152 samples before it.
    const auto reader = openReader(bytes);
    float* const at1152 = reader->read(kFrame, 10, false)[0];
    float* const at0 = reader->read(0, 10, false)[0];
    EXPECT_EQ(at1152 - at0, kFrame);
    EXPECT_EQ(reader->decodedFrames(), 2);
}

// ---- Index ----------------------------------------------------------------

TEST(Mp3ReaderIndex, FrameCountsEqualTheWalkersAndFfprobes) {
    for (const auto& [name, ffprobeFrames] : readableStreams()) {
        SCOPED_TRACE(name);
        const std::string bytes = streamBytes(name);
        primitives::test::Mp3FrameWalker walker(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        primitives::test::WalkedFrame frame;
        std::vector<std::int32_t> offsets;
        while (walker.next(frame)) offsets.push_back(static_cast<std::int32_t>(frame.offset));
        offsets.push_back(static_cast<std::int32_t>(frame.offset + frame.length));
        const auto reader = openReader(bytes);
        EXPECT_EQ(reader->frameCount(), ffprobeFrames);
        EXPECT_EQ(reader->frameCount() + 1, static_cast<std::int64_t>(reader->frameIndex().size()));
        EXPECT_EQ(reader->length(), reader->frameCount() * kFrame);
        // The walker's offsets are the index; the end offset is the file's end.
        offsets.back() = static_cast<std::int32_t>(bytes.size());
        EXPECT_EQ(reader->frameIndex(), offsets);
    }
}

// The frame header bytes 1 to 3 patched: byte 1 and 2 masks and values.
std::string patchHeader(std::string bytes, std::size_t at, int byte, std::uint8_t clear, std::uint8_t set) {
    auto& b = reinterpret_cast<std::uint8_t&>(bytes[at + byte]);
    b = static_cast<std::uint8_t>((b & ~clear) | set);
    return bytes;
}

TEST(Mp3ReaderIndex, RefusesWhatItCannotReadWithTheUsersMessage) {
    const std::string plain = streamBytes("m1-44k-stereo-128-sweep");
    struct Case {
        const char* what;
        std::string bytes;
        FormatAudio format;
        const char* message;
    };
    const Case cases[] = {
        {"Layer II", readBytes(kReaderStreamDir + "/layer2.mp3"), {}, "This is not a Layer 3 MPEG Version 1/2 audio file."},
        {"Layer I header", patchHeader(plain, 0, 1, 0x06, 0x06), {}, "This is not a Layer 3 MPEG Version 1/2 audio file."},
        {"free format", readBytes(kReaderStreamDir + "/freeformat.mp3"), {}, "Free (or illegal) bitrate not supported."},
        {"bitrate index 15", patchHeader(plain, 0, 2, 0xF0, 0xF0), {}, "Free (or illegal) bitrate not supported."},
        {"48 kHz", streamBytes("m1-48k-stereo-32-loud"), {}, "For now, the only sample rate supported is 44.1 kHz."},
        {"32 kHz", streamBytes("m1-32k-joint-256-sweep"), {}, "For now, the only sample rate supported is 44.1 kHz."},
        {"22.05 kHz", streamBytes("m2-22k-joint-64-sweep"), {}, "For now, the only sample rate supported is 44.1 kHz."},
        {"mono", readBytes(kReaderStreamDir + "/mono.mp3"), {}, "For now, mono files are not supported."},
        {"no sync", std::string(5000, '\x7F'), {}, "No sync found."},
        {"sync only past the data", std::string(100, '\0') + plain.substr(0, 1000), {}, "No sync found."},
        {"48 kHz format", plain, FormatAudio(2, 48000, 16), "PCM audio must be in CD format: stereo, 44.1 kHz, 16 bits."},
        {"mono format", plain, FormatAudio(1, 44100, 16), "PCM audio must be in CD format: stereo, 44.1 kHz, 16 bits."},
        {"8-bit format", plain, FormatAudio(2, 44100, 8), "PCM audio must be in CD format: stereo, 44.1 kHz, 16 bits."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::int32_t dataLength = std::string(c.what) == "sync only past the data" ? 100 : static_cast<std::int32_t>(c.bytes.size());
        try {
            SampleDiskMP3 reader(fixtures::memoryFile(c.bytes), c.format, 0, dataLength, 1.0f, nullptr, 0);
            ADD_FAILURE() << "opened";
        } catch (const StringException& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

// A header after 1000 good frames that the reader cannot take ends the
// index there, without an error.
TEST(Mp3ReaderIndex, ABadHeaderAfterAThousandFramesEndsTheIndex) {
    const std::string long1001 = repeatFrames(framesOf(streamBytes("m1-44k-stereo-128-sweep")), 1100);
    const std::int32_t at = openReader(long1001)->frameIndex()[1000];
    struct Case {
        const char* what;
        int byte;
        std::uint8_t clear;
        std::uint8_t set;
    };
    const Case cases[] = {
        {"Layer II", 1, 0x06, 0x04},
        {"bitrate index 15", 2, 0xF0, 0xF0},
        {"free format", 2, 0xF0, 0x00},
        {"48 kHz", 2, 0x0C, 0x04},
        {"MPEG-2", 1, 0x08, 0x00},
        {"mono", 3, 0xC0, 0xC0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto reader = openReader(patchHeader(long1001, static_cast<std::size_t>(at), c.byte, c.clear, c.set));
        EXPECT_EQ(reader->frameCount(), 1000);
        EXPECT_EQ(reader->frameIndex().back(), at);
        EXPECT_EQ(reader->length(), 1000 * kFrame);
    }
}

// A flagged footer is skipped: the ten bytes after the tag are taken for
// the footer even when they look like a frame header (here one of a free
// bit rate, which the reader would refuse).
TEST(Mp3ReaderIndex, AnId3v2FooterMovesTheSyncTenBytes) {
    const std::string plain = streamBytes("m1-44k-stereo-128-sweep");
    const std::string footer = std::string("\xFF\xFB\x00\x00", 4) + std::string(6, '\0');
    const std::string withFooter = id3Tag(300, true) + footer + plain;
    const auto reader = openReader(withFooter);
    EXPECT_EQ(reader->frameIndex()[0], 320);
    EXPECT_EQ(firstDifference(readWhole(*reader, 44100).left, readWhole(*openReader(plain), 44100).left), -1);
    try {
        openReader(id3Tag(300, false) + footer + plain);
        ADD_FAILURE() << "the look-alike header was skipped without the footer flag";
    } catch (const StringException& e) {
        EXPECT_STREQ(e.what(), "Free (or illegal) bitrate not supported.");
    }
}

TEST(Mp3ReaderIndex, At50000FramesTheIndexStops) {
    const std::vector<std::string> frames = framesOf(streamBytes("m1-44k-stereo-128-sweep"));
    for (const std::int32_t count : {50000, 50001}) {
        SCOPED_TRACE(count);
        const std::string bytes = repeatFrames(frames, count);
        const auto reader = openReader(bytes);
        EXPECT_EQ(reader->frameCount(), 50000);
        std::int64_t end = 0;
        for (std::int32_t k = 0; k < 50000; ++k) end += static_cast<std::int64_t>(frames[k % frames.size()].size());
        EXPECT_EQ(reader->frameIndex().back(), end);
    }
}

// ---- Stored index ---------------------------------------------------------

TEST(Mp3ReaderStoredIndex, ATruncatedStoredIndexIsUsed) {
    const std::string bytes = streamBytes("m1-44k-joint-vbr-sweep");
    const auto scanned = openReader(bytes);
    const Channels whole = readWhole(*scanned, 44100);
    std::vector<std::int32_t> stored(scanned->frameIndex().begin(), scanned->frameIndex().begin() + 41);
    const auto reader = openReader(bytes, {.stored = &stored});
    EXPECT_EQ(reader->length(), 40 * kFrame);
    EXPECT_EQ(reader->frameIndex(), stored);
    const Channels read = readWhole(*reader, 44100);
    for (std::int32_t k = 0; k < 40 * kFrame; ++k) ASSERT_EQ(read.left[k], whole.left[k]) << k;
}

// A tag put in front moves every frame; the stored index follows it.
TEST(Mp3ReaderStoredIndex, AStoredIndexFollowsATagAddedInFront) {
    const std::string bytes = streamBytes("m1-44k-joint-128-crc");
    const auto scanned = openReader(bytes);
    const Channels whole = readWhole(*scanned, 44100);
    const std::vector<std::int32_t> stored(scanned->frameIndex().begin(), scanned->frameIndex().begin() + 61);
    for (const std::uint32_t tagBody : {0u, 999u, 4096u}) {
        SCOPED_TRACE(tagBody);
        const std::string tagged = id3Tag(tagBody, false) + bytes;
        const auto reader = openReader(tagged, {.stored = &stored});
        ASSERT_EQ(reader->frameCount(), 60);
        for (std::size_t k = 0; k < stored.size(); ++k) {
            EXPECT_EQ(reader->frameIndex()[k], stored[k] + 10 + static_cast<std::int32_t>(tagBody));
        }
        const Channels read = readWhole(*reader, 44100);
        EXPECT_EQ(firstDifference(read.left, std::vector<float>(whole.left.begin(), whole.left.begin() + 60 * kFrame)), -1);
    }
}

// An index that does not fit the file is dropped and the file scanned.
TEST(Mp3ReaderStoredIndex, AnIndexThatDoesNotFitIsRejected) {
    const std::string bytes = streamBytes("m1-44k-stereo-128-sweep");
    const std::vector<std::int32_t> scan = openReader(bytes)->frameIndex();
    const std::vector<std::int32_t> other = openReader(streamBytes("m1-44k-joint-320-loud"))->frameIndex();
    const std::int32_t count = static_cast<std::int32_t>(scan.size()) - 1;
    const auto edited = [&](auto change) {
        std::vector<std::int32_t> index = scan;
        change(index);
        return index;
    };
    std::vector<std::int32_t> tooMany(50002);
    for (std::size_t k = 0; k < tooMany.size(); ++k) tooMany[k] = static_cast<std::int32_t>(k) * 417;
    struct Case {
        const char* what;
        std::vector<std::int32_t> stored;
    };
    const Case cases[] = {
        {"from another encoding", other},
        {"no frames", {0}},
        {"50,001 frames", tooMany},
        {"not ascending", edited([](auto& i) { std::swap(i[20], i[21]); })},
        {"a repeated entry", edited([](auto& i) { i[30] = i[29]; })},
        {"a start past the data", edited([&](auto& i) { i[count - 1] = i[count] = static_cast<std::int32_t>(bytes.size()) + 10; })},
        {"a bad last frame", edited([&](auto& i) { i[count - 2] += 1; })},
        {"a bad second frame", edited([](auto& i) { i[1] -= 1; })},
        {"a negative entry", edited([](auto& i) { i[1] = -5; })},
        {"an entry near the limit", edited([&](auto& i) { i[count] = 0x7FFFFFFF; i[0] = -2; })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto reader = openReader(bytes, {.stored = &c.stored});
        EXPECT_EQ(reader->frameIndex(), scan);
    }
}

// ---- Where the MP3 data lies ----------------------------------------------

// MP3 data inside a WAV data chunk, and MP3 data followed by the embedded
// meta-data block and an ID3v1 tag (both full of sync look-alikes): only
// the data counts.
TEST(Mp3ReaderIndex, DataInsideOtherBytesReadsAsThePlainFile) {
    const std::string plain = streamBytes("m1-44k-dual-192-loud");
    const auto plainReader = openReader(plain);
    const Channels expected = readWhole(*plainReader, 44100);
    const std::string lookAlikes = plain.substr(0, 2000);
    const std::string tag = "TAG" + std::string(125, '\xFF');
    const std::string wavHead = "RIFF" + fixtures::int32le(0) + "WAVEfmt " + fixtures::int32le(30) +
                                std::string(30, '\x55') + "data" + fixtures::int32le(static_cast<std::int32_t>(plain.size()));
    struct Case {
        const char* what;
        std::string bytes;
        std::int32_t dataStart;
    };
    const Case cases[] = {
        {"in a WAV data chunk", wavHead + plain + "qrt " + fixtures::int32le(2000) + lookAlikes,
         static_cast<std::int32_t>(wavHead.size())},
        {"before a block and ID3v1", plain + "QRT & PNG" + lookAlikes + tag, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto reader = openReader(c.bytes, {.dataStart = c.dataStart, .dataLength = static_cast<std::int32_t>(plain.size())});
        EXPECT_EQ(reader->frameCount(), plainReader->frameCount());
        EXPECT_EQ(reader->frameIndex(), plainReader->frameIndex());
        const Channels read = readWhole(*reader, 44100);
        EXPECT_EQ(firstDifference(read.left, expected.left), -1);
        EXPECT_EQ(firstDifference(read.right, expected.right), -1);
    }
}

// The reader over a disk file gives what it gives over memory.
TEST(Mp3ReaderIndex, ADiskFileReadsAsTheSameBytesInMemory) {
    const std::string path = kStreamDir + "/m1-44k-joint-vbr-sweep.mp3";
    const std::string bytes = readBytes(path);
    SampleDiskMP3 disk(std::make_unique<FileDisk>(path, true, false), FormatAudio(), 0,
                       static_cast<std::int32_t>(bytes.size()), 1.0f, nullptr, 0);
    const auto memory = openReader(bytes);
    EXPECT_EQ(disk.frameIndex(), memory->frameIndex());
    EXPECT_EQ(firstDifference(readWhole(disk, 30000).right, readWhole(*memory, 30000).right), -1);
}

// ---- Damage ---------------------------------------------------------------

// With its first frames cut off, frames whose main data lay in the cut part
// are silent; from the frame after the first whole one the samples are the
// uncut stream's.
TEST(Mp3ReaderDamage, CuttingOffTheFirstFramesSilencesOnlyWhatLostItsData) {
    const std::string bytes = streamBytes("m1-44k-stereo-128-sweep");
    const auto uncut = openReader(bytes);
    const Channels whole = readWhole(*uncut, 44100);
    for (const std::int32_t cutFrames : {5, 17, 40}) {
        SCOPED_TRACE(cutFrames);
        const std::string cut = bytes.substr(static_cast<std::size_t>(uncut->frameIndex()[cutFrames]));
        const auto reader = openReader(cut);
        ASSERT_EQ(reader->frameCount(), uncut->frameCount() - cutFrames);
        const Channels read = readWhole(*reader, 44100);
        std::int32_t firstWhole = 0;
        while (firstWhole < reader->frameCount() && frameSilent(read, firstWhole)) ++firstWhole;
        // lame's frames draw on the reservoir, so frame 0 (back-pointer
        // nonzero) is silent, and a few frames at most depend on the cut.
        EXPECT_GE(firstWhole, 1);
        EXPECT_LE(firstWhole, 4);
        const std::size_t from = static_cast<std::size_t>(firstWhole + 1) * kFrame;
        EXPECT_EQ(firstDifference(read.left, whole.left, from, from + static_cast<std::size_t>(cutFrames) * kFrame), -1);
        EXPECT_EQ(firstDifference(read.right, whole.right, from, from + static_cast<std::size_t>(cutFrames) * kFrame), -1);
    }
}

// A last frame cut short keeps its place and is silent when its main data
// runs into the missing part; the data length bounds it the same way.
TEST(Mp3ReaderDamage, ATruncatedLastFrameIsSilent) {
    const std::string bytes = streamBytes("m1-44k-stereo-128-sweep");
    const auto full = openReader(bytes);
    const Channels whole = readWhole(*full, 44100);
    const std::int32_t count = full->frameCount();
    // Where the last frame's main data ends: m bytes from back-pointer
    // bytes before its own area.
    primitives::test::Mp3FrameWalker walker(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    primitives::test::WalkedFrame frame, last;
    while (walker.next(frame)) last = frame;
    std::int32_t declaredBits = 0;
    for (const MP3SideInfo& record : last.sideInfo) declaredBits += record.part2_3_length;
    const std::int32_t ownBytes = (declaredBits + 7) / 8 - last.mainDataBegin;
    ASSERT_GT(ownBytes, 20) << "the fixture's last frame must keep main data in its own area";
    const std::int32_t dataEnd = full->frameIndex()[count - 1] + 36 + ownBytes;
    struct Case {
        const char* what;
        std::string bytes;
        std::int32_t dataLength;
        bool silent;
    };
    const Case cases[] = {
        {"file cut inside the main data", bytes.substr(0, static_cast<std::size_t>(dataEnd - 10)), -1, true},
        {"data length inside the main data", bytes, dataEnd - 1, true},
        {"file cut after the main data", bytes.substr(0, static_cast<std::size_t>(dataEnd)), -1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto reader = openReader(c.bytes, {.dataLength = c.dataLength});
        ASSERT_EQ(reader->frameCount(), count);
        const Channels read = readWhole(*reader, 44100);
        const std::size_t kept = static_cast<std::size_t>(c.silent ? count - 1 : count) * kFrame;
        EXPECT_EQ(frameSilent(read, count - 1), c.silent);
        EXPECT_EQ(firstDifference(std::vector<float>(read.left.begin(), read.left.begin() + kept),
                                  std::vector<float>(whole.left.begin(), whole.left.begin() + kept)),
                  -1);
    }
}

// A frame 0 that points back into the reservoir has no data in the file.
TEST(Mp3ReaderDamage, ABackPointerBeforeFrameZeroIsSilent) {
    std::string bytes = streamBytes("m1-44k-stereo-128-sweep");
    // main_data_begin is the first 9 bits after the 4 header bytes.
    bytes[4] = '\x01';
    const auto reader = openReader(bytes);
    const Channels read = readWhole(*reader, 44100);
    EXPECT_TRUE(frameSilent(read, 0));
    const Channels loop = referenceChannels(streamBytes("m1-44k-stereo-128-sweep"));
    EXPECT_EQ(firstDifference(read.left, loop.left, 2 * kFrame, 2 * kFrame), -1);
}

TEST(Mp3ReaderDamage, ACountAboveTheCacheIsFatal) {
    FatalHook hook;
    const auto reader = openReader(streamBytes("m1-44k-stereo-128-sweep"), {.cacheSeconds = 0.5f});
    EXPECT_NO_THROW(reader->read(1000, 22050, true));
    try {
        reader->read(1000, 22051, false);
        ADD_FAILURE() << "no fatal stop";
    } catch (const FatalStop& stop) {
        EXPECT_STREQ(stop.what(), "Buffer too small.");
    }
}

// Caches under 40 frames: readAhead decodes what fits and the reads stay
// exact (the sanitizer run checks that nothing is written past the cache).
TEST(Mp3ReaderDamage, ReadAheadStaysInsideASmallCache) {
    const std::string bytes = streamBytes("m1-44k-joint-vbr-sweep");
    const Channels loop = referenceChannels(bytes);
    for (const float seconds : {0.0f, 0.1f, 0.5f, 0.96f}) {
        SCOPED_TRACE(seconds);
        const auto reader = openReader(bytes, {.cacheSeconds = seconds});
        const auto chunk = static_cast<std::int32_t>(std::lround(44100.0 * seconds));
        const std::int64_t step = std::max(chunk, 4000);
        for (std::int64_t at = -1000; at < reader->length(); at += step * 7 / 3 + 1) {
            const std::int64_t before = reader->decodedFrames();
            float** channels = reader->read(static_cast<std::int32_t>(at), chunk, true);
            EXPECT_LE(reader->decodedFrames() - before, (chunk + 3 * kFrame) / kFrame);
            for (std::int32_t k = 0; k < chunk; ++k) {
                const std::int64_t p = at + k;
                ASSERT_EQ(channels[0][k], p >= 0 && p < reader->length() ? loop.left[p] : 0.0f) << p;
            }
        }
    }
}

// Seeded random damage to real streams: bytes overwritten, runs cut out,
// the end cut off. Opening either succeeds or refuses with a message;
// reads stay inside full scale. Run under the sanitizers this finds reads
// and writes out of bounds.
TEST(Mp3ReaderDamage, DamagedStreamsNeverMisbehave) {
    const std::vector<std::string> names = readableStreamNames();
    std::mt19937 random(77);
    int opened = 0;
    for (int n = 0; n < 60; ++n) {
        std::string bytes = streamBytes(names[n % names.size()]);
        const auto pick = [&](std::size_t high) { return std::uniform_int_distribution<std::size_t>(0, high)(random); };
        const std::size_t edits = 1 + pick(200);
        for (std::size_t e = 0; e < edits; ++e) {
            if (e % 50 == 49) {
                const std::size_t at = pick(bytes.size() - 1);
                bytes.erase(at, pick(800));
            } else {
                bytes[pick(bytes.size() - 1)] = static_cast<char>(pick(255));
            }
        }
        if (n % 4 == 0) bytes.resize(pick(bytes.size()));
        std::unique_ptr<SampleDiskMP3> reader;
        try {
            reader = openReader(bytes, {.cacheSeconds = 1.0f});
        } catch (const StringException& e) {
            EXPECT_GT(std::strlen(e.what()), 0u);
            continue;
        }
        ++opened;
        for (int r = 0; r < 12; ++r) {
            const auto position = static_cast<std::int32_t>(pick(static_cast<std::size_t>(reader->length()) + 2000)) - 1000;
            const auto count = static_cast<std::int32_t>(pick(44100));
            float** channels = reader->read(position, count, r % 2 == 0);
            for (std::int32_t k = 0; k < count; ++k) {
                ASSERT_LE(std::fabs(channels[0][k]), 1.0f);
                ASSERT_LE(std::fabs(channels[1][k]), 1.0f);
            }
        }
    }
    EXPECT_GT(opened, 30);
}

}  // namespace
