// Seeded loops of damaged inputs for the meta-data readers: every outcome
// is a well-formed result or one of the reader's own texts, never a read
// past the input, a crash or a leak (the sanitizer build checks the last).
#include "FrameworkTest.h"
#include "MetaDataFixtures.h"
#include "TestEnvironment.h"

#include "audio/Beats.h"
#include "audio/ID3v2Tag.h"
#include "audio/SampleDisk.h"
#include "framework/StringException.h"

#include <cstring>
#include <random>
#include <set>

using fixtures::QrtChunk;
using fixtures::int32le;

namespace {

class Mutator {
public:
    explicit Mutator(std::uint32_t seed) : random_(seed) {}
    std::uint32_t below(std::uint32_t n) { return std::uniform_int_distribution<std::uint32_t>(0, n - 1)(random_); }
    bool chance(int percent) { return below(100) < static_cast<std::uint32_t>(percent); }
    std::int32_t hostileValue(std::int32_t proper) {
        const std::int32_t values[] = {-1, 0, proper - 1, proper + 1, 2147483647, static_cast<std::int32_t>(0x80000000u)};
        return values[below(6)];
    }
    void flipBits(std::string& bytes, std::size_t from = 0) {
        if (bytes.size() <= from) return;
        for (std::uint32_t i = 0, n = 1 + below(3); i < n; ++i)
            bytes[from + below(static_cast<std::uint32_t>(bytes.size() - from))] ^= static_cast<char>(1u << below(8));
    }
    void setInt32(std::string& bytes, std::size_t at, std::int32_t value) {
        if (at + 4 <= bytes.size()) bytes.replace(at, 4, int32le(value));
    }

private:
    std::mt19937 random_;
};

const std::set<std::string> qrtTexts = {"The QRT meta-data is corrupt.",
                                        "The QRT meta-data refers to an unsupported sample rate.",
                                        "The QRT meta-data counts too many beats."};

// Reads the bytes and checks the outcome; returns whether they were read.
bool readsSoundly(const std::string& bytes) {
    auto file = fixtures::memoryFile(bytes);
    BTSettings settings;
    SongTags tags;
    char label[songTextSize];
    MusicalKey key;
    PointsRecord points;
    std::vector<std::int32_t> frames;
    bool hasTags, hasLabel, hasKey, hasPoints;
    std::int32_t frameCount = -1;
    BeatsReadTargets targets{&settings, &tags, &hasTags, label, &hasLabel, &key, &hasKey, &points, &hasPoints, &frames, &frameCount};
    try {
        Beats beats(*file, 44100, targets);
        EXPECT_LE(beats.count(), Beats::capacity);
        for (std::int32_t i = 1; i < beats.count(); ++i) EXPECT_LT(beats[i - 1].position, beats[i].position);
        if (hasTags) {
            EXPECT_LT(std::strlen(tags.title) + std::strlen(tags.year), 2u * songTextSize);
        }
        if (hasLabel) {
            EXPECT_LT(std::strlen(label), static_cast<std::size_t>(songTextSize));
        }
        if (hasKey && key.isDefined()) {
            EXPECT_LT(key.index(), 24);
        }
        if (hasPoints) {
            // Touch every element: the sanitizer checks the array bounds.
            float levelSum = 0.0f;
            for (std::int32_t i = 0; i < points.levelCount; ++i) levelSum += points.levels[i];
            EXPECT_LE(levelSum, static_cast<float>(points.levelCount));
            std::int64_t valueSum = 0;
            for (std::int32_t i = 0; i < points.valueCount; ++i) valueSum += points.values[i];
            (void)valueSum;
        }
        if (frameCount >= 0) {
            EXPECT_EQ(frames.size(), static_cast<std::size_t>(frameCount) + 1);
        }
        points.release();
        return true;
    } catch (const StringException& error) {
        EXPECT_TRUE(qrtTexts.count(error.what()) == 1) << error.what();
        EXPECT_EQ(points.levels, nullptr);
        EXPECT_EQ(points.values, nullptr);
        return false;
    }
}

class QrtHostile : public FrameworkTest {};

TEST_F(QrtHostile, TruncationAtEveryChunkBoundaryAndEveryByte) {
    const std::string golden = testing_support::readFile(testing_support::sourceDirectory() + "/tests/audio/data/every-chunk.qrt");
    for (std::size_t boundary : fixtures::qrtChunkBoundaries(golden)) {
        SCOPED_TRACE(boundary);
        // Only the whole file reads; the End chunk's CRC is not needed.
        EXPECT_EQ(readsSoundly(golden.substr(0, boundary)), boundary == golden.size());
    }
    for (std::size_t size = 0; size < golden.size() - 4; ++size) ASSERT_FALSE(readsSoundly(golden.substr(0, size))) << size;
}

TEST_F(QrtHostile, SeededMutationsOfTheGoldenFile) {
    const std::string golden = testing_support::readFile(testing_support::sourceDirectory() + "/tests/audio/data/every-chunk.qrt");
    const std::vector<QrtChunk> chunks = fixtures::parseQrt(golden);
    Mutator mutate(20261210);
    int read = 0;
    const int rounds = 10000;
    for (int round = 0; round < rounds; ++round) {
        std::vector<QrtChunk> damaged = chunks;
        QrtChunk& chunk = damaged[mutate.below(static_cast<std::uint32_t>(damaged.size()))];
        const std::string name = chunk.name.c_str();
        switch (mutate.below(7)) {
            case 0:  // bits anywhere in the name or data
                if (mutate.chance(50)) mutate.flipBits(chunk.data); else mutate.flipBits(chunk.name);
                break;
            case 1:  // the chunk length
                chunk.length = mutate.hostileValue(chunk.length);
                break;
            case 2:  // a count inside the chunk
                if (name == "Markers Beat") mutate.setInt32(chunk.data, 4, mutate.hostileValue(5));
                else if (name == "Points") mutate.setInt32(chunk.data, mutate.chance(50) ? 4 : 16, mutate.hostileValue(mutate.chance(50) ? 5 : 3));
                else if (name == "MP3 Frames") mutate.setInt32(chunk.data, 0, mutate.hostileValue(3));
                else chunk.data.resize(mutate.below(static_cast<std::uint32_t>(chunk.data.size()) + 1));
                break;
            case 3:  // beat positions out of order, or a sample rate off by one
                if (name == "Markers Beat") {
                    std::size_t a = 8 + 8 * mutate.below(5), b = 8 + 8 * mutate.below(5);
                    std::string first = chunk.data.substr(a, 4);
                    chunk.data.replace(a, 4, chunk.data.substr(b, 4));
                    chunk.data.replace(b, 4, first);
                    if (mutate.chance(20)) mutate.setInt32(chunk.data, 0, 44101);
                } else {
                    mutate.flipBits(chunk.data);
                }
                break;
            case 4:  // a key outside its table
                if (name == "Key") mutate.setInt32(chunk.data, mutate.chance(50) ? 0 : 4, mutate.hostileValue(mutate.chance(50) ? 11 : 1));
                else mutate.flipBits(chunk.data);
                break;
            case 5:  // a chunk longer or shorter than its fields
                if (mutate.chance(50)) chunk.data += std::string(mutate.below(9), '\x7f');
                else chunk.data.resize(mutate.below(static_cast<std::uint32_t>(chunk.data.size()) + 1));
                chunk.length = static_cast<std::int32_t>(chunk.data.size());
                break;
            default:  // a chunk repeated or dropped
                if (mutate.chance(50)) damaged.insert(damaged.begin() + mutate.below(static_cast<std::uint32_t>(damaged.size())), chunk);
                else damaged.erase(damaged.begin() + mutate.below(static_cast<std::uint32_t>(damaged.size())));
                break;
        }
        // Mostly with fresh CRCs, so that the damage reaches the chunk parsing.
        if (mutate.chance(85))
            for (QrtChunk& each : damaged) fixtures::refreshCrc(each);
        std::string bytes = fixtures::writeQrt(damaged);
        switch (mutate.below(10)) {
            case 0: bytes.resize(mutate.below(static_cast<std::uint32_t>(bytes.size()))); break;
            case 1: bytes += std::string(mutate.below(64), static_cast<char>(mutate.below(256))); break;
            case 2: mutate.flipBits(bytes); break;
            default: break;
        }
        if (readsSoundly(bytes)) ++read;
        if (HasFailure()) {
            ADD_FAILURE() << "round " << round;
            break;
        }
    }
    // The loop reaches both outcomes often.
    EXPECT_GT(read, rounds / 10);
    EXPECT_LT(read, rounds * 9 / 10);
}

TEST_F(QrtHostile, SeededMutationsOfId3v2Tags) {
    using fixtures::Id3Frame;
    using fixtures::Id3Tag;
    const std::set<std::string> texts = {"No ID3v2 identifier at beginning of file.", "ID3v2 tag is not version 3.0 or 4.0.",
                                         "ID3v2 tag corrupt."};
    Mutator mutate(77);
    int read = 0;
    for (int round = 0; round < 4000; ++round) {
        Id3Tag tag{3 + static_cast<int>(mutate.below(2)), 0, 0, "",
                   {{"TIT2", fixtures::textBody("Title")}, {"COMM", fixtures::commentBody("d", "Comment")},
                    {"TPE1", fixtures::textBody("Artist")}, {"TYER", fixtures::textBody("1999")}}};
        tag.padding = static_cast<int>(mutate.below(3) * 10);
        if (mutate.chance(30)) {
            tag.flags |= 0x40;
            tag.extendedHeader = tag.major == 3 ? fixtures::uint32be(6) + std::string(6, '\0') : fixtures::syncsafe(6) + std::string("\x01\x00", 2);
        }
        Id3Frame& frame = tag.frames[mutate.below(4)];
        switch (mutate.below(4)) {
            case 0: frame.sizeField = static_cast<std::uint32_t>(mutate.hostileValue(static_cast<std::int32_t>(frame.body.size()))); break;
            case 1: frame.flags1 = static_cast<std::uint8_t>(mutate.below(256)); break;
            case 2: tag.sizeField = mutate.below(200); break;
            default: break;
        }
        std::string bytes = fixtures::writeId3(tag) + "\xff\xfb audio";
        if (mutate.chance(50)) mutate.flipBits(bytes);
        if (mutate.chance(20)) bytes.resize(mutate.below(static_cast<std::uint32_t>(bytes.size())));
        auto file = fixtures::memoryFile(bytes);
        try {
            ID3v2Tag read3(*file);
            for (const char* text : {read3.title(), read3.artist(), read3.album(), read3.comment(), read3.year()})
                if (text != nullptr) {
                    EXPECT_LE(std::strlen(text), bytes.size());
                }
            ++read;
        } catch (const StringException& error) {
            EXPECT_EQ(texts.count(error.what()), 1u) << error.what();
        }
        if (HasFailure()) {
            ADD_FAILURE() << "round " << round;
            break;
        }
    }
    EXPECT_GT(read, 1000);
}

TEST_F(QrtHostile, SeededMutationsOfRiffHeaders) {
    using fixtures::RiffChunk;
    const std::string golden = testing_support::readFile(testing_support::sourceDirectory() + "/tests/audio/data/every-chunk.qrt");
    const std::set<std::string> texts = {"The .WAV file is not a RIFF file.", "The .WAV file is not a WAVE file.",
                                         "The .WAV file does not contain a FMT chunk",
                                         "The .WAV audio format is neither PCM, nor MP3.",
                                         "The .WAV file does not contain a DATA chunk"};
    const std::vector<RiffChunk> chunks = {{"junk", "abc"}, {"fmt ", fixtures::fmtBody(1, 2, 44100, 16)},
                                           {"data", std::string(401, '\x11')}, {"qrt ", golden}, {"png ", "p"}};
    Mutator mutate(1810);
    int parsed = 0;
    int withQrt = 0;
    const int rounds = 10000;
    for (int round = 0; round < rounds; ++round) {
        std::vector<RiffChunk> damaged = chunks;
        if (mutate.chance(30)) std::swap(damaged[mutate.below(5)], damaged[mutate.below(5)]);
        RiffChunk& chunk = damaged[mutate.below(static_cast<std::uint32_t>(damaged.size()))];
        switch (mutate.below(4)) {
            case 0: {
                const std::int64_t values[] = {0xFFFFFFFFll, 0, static_cast<std::int64_t>(chunk.body.size()) - 1,
                                               static_cast<std::int64_t>(chunk.body.size()) + 1, 0x7FFFFFFF, 0xFFFFFFF0ll, 15};
                chunk.sizeField = std::max<std::int64_t>(values[mutate.below(7)], 0);
                break;
            }
            case 1: chunk.pad = !chunk.pad; break;
            case 2: chunk.id = chunks[mutate.below(5)].id; break;  // a repeated chunk
            default: break;
        }
        std::string bytes = fixtures::writeRiff(damaged, mutate.chance(10) ? mutate.hostileValue(100) : -1);
        if (mutate.chance(40)) {
            // Bits in the headers rather than deep in the QRT bytes.
            std::string head = bytes.substr(0, std::min<std::size_t>(bytes.size(), 80));
            mutate.flipBits(head);
            bytes.replace(0, head.size(), head);
        }
        if (mutate.chance(20)) bytes.resize(mutate.below(static_cast<std::uint32_t>(bytes.size()) + 1));
        if (mutate.chance(10)) bytes += std::string(mutate.below(20), '\0');
        auto file = fixtures::memoryFile(bytes);
        try {
            const WavLayout layout = SampleDisk::parseWav(*file);
            ++parsed;
            const auto size = static_cast<std::int64_t>(bytes.size());
            EXPECT_GE(layout.dataStart, 20);
            EXPECT_GE(layout.dataBytes, 0);
            EXPECT_LE(std::int64_t{layout.dataStart} + layout.dataBytes, size);
            if (layout.hasQrt) {
                EXPECT_LE(layout.qrtOffset, size);
                ++withQrt;
                readsSoundly(bytes.substr(static_cast<std::size_t>(layout.qrtOffset)));
            }
            if (layout.hasPng) {
                EXPECT_LE(layout.pngOffset, size);
            }
        } catch (const StringException& error) {
            EXPECT_EQ(texts.count(error.what()), 1u) << error.what();
        }
        if (HasFailure()) {
            ADD_FAILURE() << "round " << round;
            break;
        }
    }
    EXPECT_GT(parsed, rounds / 10);
    EXPECT_GT(withQrt, rounds / 20);
    EXPECT_LT(parsed, rounds * 9 / 10);
}

TEST_F(QrtHostile, SeededMutationsOfMp3EndBlocks) {
    const std::string golden = testing_support::readFile(testing_support::sourceDirectory() + "/tests/audio/data/every-chunk.qrt");
    testing_support::TemporaryDirectory directory;
    const std::string path = directory.file("song.mp3");
    const std::string audio(300, 'x');  // never decoded: meta-data only
    const std::string id3v1 = "TAG" + std::string(125, 'v');
    Mutator mutate(3004);
    int withBeats = 0;
    const int rounds = 3000;
    for (int round = 0; round < rounds; ++round) {
        std::string block = fixtures::mp3MetaDataBlock(golden, "\xff\x00png", audio.size());
        const std::size_t trailer = block.size() - 25;
        switch (mutate.below(5)) {
            case 0: {  // a size in the trailer, the header or both
                const std::uint32_t values[] = {0, 1, 0x0FFFFFFF, static_cast<std::uint32_t>(golden.size()),
                                                static_cast<std::uint32_t>(block.size()) - 50 - 5};
                const std::string size = fixtures::syncsafe(values[mutate.below(5)]);
                const std::size_t at = 17 + 4 * mutate.below(2);
                if (mutate.chance(70)) block.replace(trailer + at, 4, size);
                if (mutate.chance(70)) block.replace(at, 4, size);
                break;
            }
            case 1: block[trailer + 17 + mutate.below(8)] |= static_cast<char>(0x80); break;
            case 2: mutate.flipBits(block); break;  // the stuffing, the data, the marks
            case 3: block.erase(mutate.below(static_cast<std::uint32_t>(block.size())), 1 + mutate.below(4)); break;
            default: break;
        }
        std::string bytes = audio + block;
        if (mutate.chance(50)) bytes += id3v1;
        if (mutate.chance(10)) bytes.resize(mutate.below(static_cast<std::uint32_t>(bytes.size()) + 1));
        testing_support::writeFile(path, bytes);
        std::unique_ptr<Beats> beats;
        std::vector<std::int32_t> frames;
        std::int32_t frameCount = -1;
        SongFileOutputs outputs;
        outputs.beats = &beats;
        outputs.records.frames = &frames;
        outputs.records.frameCount = &frameCount;
        try {
            EXPECT_EQ(SampleDisk::open(path, true, true, 1.0f, outputs), nullptr);
            if (beats) {
                ++withBeats;
                EXPECT_LE(beats->count(), Beats::capacity);
                for (std::int32_t i = 1; i < beats->count(); ++i) EXPECT_LT((*beats)[i - 1].position, (*beats)[i].position);
                if (!frames.empty()) {
                    EXPECT_EQ(frames.size(), static_cast<std::size_t>(frameCount) + 1);
                }
            }
        } catch (const StringException& error) {
            EXPECT_EQ(qrtTexts.count(error.what()), 1u) << error.what();
        }
        if (HasFailure()) {
            ADD_FAILURE() << "round " << round;
            break;
        }
    }
    EXPECT_GT(withBeats, rounds / 20);
    EXPECT_LT(withBeats, rounds * 9 / 10);
}

}  // namespace
