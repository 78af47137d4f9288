#include "FrameworkTest.h"
#include "MetaDataFixtures.h"
#include "TestEnvironment.h"

#include "audio/Beats.h"
#include "framework/FileDisk.h"
#include "framework/StringException.h"
#include "platform/FileSystem.h"

#include <cstring>
#include <filesystem>

using fixtures::int32le;
using fixtures::memoryFile;
using fixtures::qrtChunk;

namespace {

std::string dataFile(const std::string& name) {
    return testing_support::readFile(testing_support::sourceDirectory() + "/tests/audio/data/" + name);
}

// Everything a read can fill.
struct ReadAll {
    BTSettings settings;
    SongTags tags;
    bool hasTags = true;
    char label[songTextSize] = {};
    bool hasLabel = true;
    MusicalKey key;
    bool hasKey = true;
    PointsRecord points;
    bool hasPoints = true;
    std::vector<std::int32_t> frames;
    std::int32_t frameCount = -1;

    ~ReadAll() { points.release(); }
    BeatsReadTargets targets() {
        return BeatsReadTargets{&settings, &tags, &hasTags, label, &hasLabel, &key, &hasKey,
                                &points, &hasPoints, &frames, &frameCount};
    }
};

Beats readQrt(const std::string& bytes, ReadAll* all = nullptr) {
    auto file = memoryFile(bytes);
    return all != nullptr ? Beats(*file, 44100, all->targets()) : Beats(*file, 44100);
}

std::string markersData(const std::vector<std::pair<std::int32_t, std::int32_t>>& beats, std::int32_t rate = 44100) {
    std::string data = int32le(rate) + int32le(static_cast<std::int32_t>(beats.size()));
    for (auto [position, flag] : beats) data += int32le(position) + int32le(flag);
    return data;
}

std::string qrtOf(const std::vector<fixtures::QrtChunk>& chunks) {
    std::vector<fixtures::QrtChunk> all = chunks;
    all.push_back(qrtChunk("End", ""));
    return fixtures::writeQrt(all);
}

class QrtFormat : public FrameworkTest {};

TEST_F(QrtFormat, TheMinimalFileIsExactlyNinetySixBytesAndReadsAsAnEmptyList) {
    const std::string minimal = dataFile("empty.qrt");
    ASSERT_EQ(minimal.size(), 96u);
    EXPECT_EQ(Beats(44100).metaDataBytes(), minimal);

    ReadAll all;
    Beats beats = readQrt(minimal, &all);
    EXPECT_EQ(beats.count(), 0);
    EXPECT_FALSE(all.hasTags || all.hasLabel || all.hasKey || all.hasPoints);
    EXPECT_EQ(all.frameCount, -1);
}

// The golden file is made and checked by tests/audio/qrt_golden.py.
TEST_F(QrtFormat, TheGoldenFileWithEveryChunkIsWrittenByteForByteAndReadBack) {
    const std::string golden = dataFile("every-chunk.qrt");
    ReadAll all;
    Beats beats = readQrt(golden, &all);

    const std::pair<std::int32_t, bool> expected[] = {{-3000, true}, {1000, false}, {23050, true}, {45100, false}, {67150, true}};
    ASSERT_EQ(beats.count(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(beats[i].position, expected[i].first) << i;
        EXPECT_EQ(beats[i].generated, expected[i].second) << i;
    }
    EXPECT_EQ(all.settings.bpm, 123.5f);
    EXPECT_EQ(all.settings.tempoFixed2, 0);
    EXPECT_EQ(std::vector<int>(all.settings.strip, all.settings.strip + 4), (std::vector<int>{2, 3, 4, 5}));
    EXPECT_EQ(std::vector<int>(all.settings.strip2, all.settings.strip2 + 2), (std::vector<int>{6, 7}));
    EXPECT_EQ(all.settings.strip3, 1);
    ASSERT_TRUE(all.hasTags);
    EXPECT_EQ(std::string(all.tags.title), std::string(126, 'T') + "z");
    EXPECT_STREQ(all.tags.artist, "Artist");
    EXPECT_STREQ(all.tags.album, "Album");
    EXPECT_STREQ(all.tags.comment, "Comment");
    EXPECT_STREQ(all.tags.year, "2024");
    EXPECT_EQ(all.tags.bpm, 128.25f);
    ASSERT_TRUE(all.hasLabel);
    EXPECT_EQ(std::string(all.label), std::string(127, 'L'));
    ASSERT_TRUE(all.hasKey);
    EXPECT_STREQ(all.key.name(), "A Min");
    ASSERT_TRUE(all.hasPoints);
    EXPECT_EQ(all.points.samplesPerLevel, 153);
    ASSERT_EQ(all.points.levelCount, 5);
    const int levelBytes[] = {0, 128, 255, 64, 1};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(all.points.levels[i], levelBytes[i] * 0.003921569f) << i;
    ASSERT_EQ(all.points.valueCount, 3);
    EXPECT_EQ(std::vector<int>(all.points.values, all.points.values + 3), (std::vector<int>{7, -1, 100000}));
    EXPECT_EQ(all.frameCount, 3);
    EXPECT_EQ(all.frames, (std::vector<std::int32_t>{0, 417, 835, 1253}));

    BeatsWriteSources sources{&all.settings, &all.tags, all.label, &all.key, &all.points, all.frames.data(), all.frameCount};
    EXPECT_EQ(beats.metaDataBytes(sources), golden);

    // The same bytes written to disk satisfy the independent checker.
    testing_support::TemporaryDirectory directory;
    beats.writeMetaData(directory.file("song.qrt"), sources);
    EXPECT_EQ(testing_support::readFile(directory.file("song.qrt")), golden);
    EXPECT_NE(testing_support::runPython("audio/qrt_golden.py", {"check", directory.file("song.qrt")}).find("golden ok"),
              std::string::npos);
}

TEST_F(QrtFormat, TheReaderWorksInPlaceOnADiskFileAndAtAnOffset) {
    testing_support::TemporaryDirectory directory;
    const std::string golden = dataFile("every-chunk.qrt");
    testing_support::writeFile(directory.file("wrapped"), "prefix" + golden + "trailing bytes");
    FileDisk file(directory.file("wrapped"), true, false);
    ASSERT_TRUE(file.seek(6));
    ReadAll all;
    Beats beats(file, 44100, all.targets());
    EXPECT_EQ(beats.count(), 5);
    EXPECT_EQ(all.frameCount, 3);
}

struct PointsCase {
    std::vector<float> levels;
    std::vector<std::uint8_t> stored;
    std::vector<std::int32_t> values;
    std::size_t valueCountOffset;
};

TEST_F(QrtFormat, PointsRoundTripWithLevelBytesFillersAndValueOffsets) {
    const PointsCase cases[] = {
        {{}, {}, {}, 8},
        {{1.0f}, {255}, {42}, 12},
        {{0.0f, 0.5f, 1.0f, 0.25f}, {0, 128, 255, 64}, {1, 2}, 12},
        {{0.0f, 0.5f, 1.0f, 0.25f, 0.75f}, {0, 128, 255, 64, 191}, {-5, 0, 5, 2147483647}, 16},
    };
    for (const PointsCase& c : cases) {
        SCOPED_TRACE(c.levels.size());
        PointsRecord points;
        points.fromValues(250, static_cast<int>(c.levels.size()), c.levels.data(), static_cast<int>(c.values.size()),
                          c.values.data());
        Beats beats(44100);
        beats.appendBeat(10, false);
        BeatsWriteSources sources;
        sources.points = &points;
        std::string bytes = beats.metaDataBytes(sources);
        points.release();

        fixtures::QrtChunk chunk = fixtures::parseQrt(bytes)[1];
        ASSERT_EQ(chunk.name.substr(0, 7), std::string("Points\0", 7));
        EXPECT_EQ(static_cast<std::size_t>(chunk.length), 12 + (c.levels.size() + 3) / 4 * 4 + 4 * c.values.size());
        for (std::size_t i = 0; i < c.stored.size(); ++i) EXPECT_EQ(static_cast<std::uint8_t>(chunk.data[8 + i]), c.stored[i]);
        EXPECT_EQ(fixtures::loadInt32le(chunk.data, c.valueCountOffset), static_cast<std::int32_t>(c.values.size()));

        ReadAll all;
        readQrt(bytes, &all);
        ASSERT_TRUE(all.hasPoints);
        EXPECT_EQ(all.points.samplesPerLevel, 250);
        ASSERT_EQ(all.points.levelCount, static_cast<int>(c.levels.size()));
        for (std::size_t i = 0; i < c.stored.size(); ++i) EXPECT_EQ(all.points.levels[i], c.stored[i] * 0.003921569f);
        if (!c.stored.empty() && c.stored[0] == 255) {
            EXPECT_EQ(all.points.levels[0], 1.0f);
        }
        ASSERT_EQ(all.points.valueCount, static_cast<int>(c.values.size()));
        for (std::size_t i = 0; i < c.values.size(); ++i) EXPECT_EQ(all.points.values[i], c.values[i]);
    }
}

TEST_F(QrtFormat, TheKeyChunkIsWrittenOnlyForADefinedKey) {
    Beats beats(44100);
    for (const char* name : {"", "C Maj", "B Min"}) {
        MusicalKey key(name);
        BeatsWriteSources sources;
        sources.key = &key;
        ReadAll all;
        readQrt(beats.metaDataBytes(sources), &all);
        EXPECT_EQ(all.hasKey, key.isDefined()) << name;
        EXPECT_STREQ(all.key.name(), name);
    }
}

TEST_F(QrtFormat, TheReadersTextsForARefusedFile) {
    fixtures::QrtChunk badCrc = qrtChunk("Markers Beat", markersData({{5, 0}}));
    badCrc.crc ^= 1;
    std::vector<std::pair<std::int32_t, std::int32_t>> tooMany(5001);
    for (int i = 0; i < 5001; ++i) tooMany[static_cast<std::size_t>(i)] = {i * 10, 0};
    std::string wrongSignature = dataFile("empty.qrt");
    wrongSignature[1] = 'q';

    const std::string corrupt = "The QRT meta-data is corrupt.";
    const struct {
        const char* what;
        std::string bytes;
        std::string text;
    } cases[] = {
        {"CRC mismatch", qrtOf({badCrc}), corrupt},
        {"signature", wrongSignature, corrupt},
        {"foreign rate", qrtOf({qrtChunk("Markers Beat", markersData({{5, 0}}, 48000))}),
         "The QRT meta-data refers to an unsupported sample rate."},
        {"5001 beats", qrtOf({qrtChunk("Markers Beat", markersData(tooMany))}), "The QRT meta-data counts too many beats."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_STRING_EXCEPTION(readQrt(c.bytes), c.text);
    }
}

TEST_F(QrtFormat, LengthsCountsAndOrderThatCannotHoldAreCorrupt) {
    auto withLength = [](fixtures::QrtChunk chunk, std::int32_t length) {
        chunk.length = length;
        return chunk;
    };
    const std::string points5 = int32le(100) + int32le(5) + std::string(8, '\x10') + int32le(2) + int32le(1) + int32le(2);
    const std::string cut = dataFile("every-chunk.qrt").substr(0, 300);
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"negative length", qrtOf({withLength(qrtChunk("Markers Beat", markersData({})), -1)})},
        {"length past the file", qrtOf({withLength(qrtChunk("BT Strip 3", int32le(1)), 1000)})},
        {"unknown chunk past the file", qrtOf({withLength(qrtChunk("Other", "abcd"), 2147483647)})},
        {"ends before End", cut},
        {"ends inside the signature", std::string("\x89QR", 3)},
        {"no End", fixtures::writeQrt({qrtChunk("Markers Beat", markersData({}))})},
        {"negative beat count", qrtOf({qrtChunk("Markers Beat", int32le(44100) + int32le(-1))})},
        {"more beats than the chunk holds", qrtOf({qrtChunk("Markers Beat", int32le(44100) + int32le(2) + int32le(1) + int32le(0))})},
        {"equal positions", qrtOf({qrtChunk("Markers Beat", markersData({{5, 0}, {5, 0}}))})},
        {"descending positions", qrtOf({qrtChunk("Markers Beat", markersData({{9, 0}, {5, 0}}))})},
        {"short BT Strip", qrtOf({qrtChunk("BT Strip", int32le(1) + int32le(2))})},
        {"short ID", qrtOf({qrtChunk("ID", std::string(643, 'a'))})},
        {"short Key", qrtOf({qrtChunk("Key", int32le(1))})},
        {"negative level count", qrtOf({qrtChunk("Points", int32le(100) + int32le(-4) + int32le(0))})},
        {"levels past the chunk", qrtOf({qrtChunk("Points", int32le(100) + int32le(9) + int32le(0))})},
        {"negative value count", qrtOf({qrtChunk("Points", int32le(100) + int32le(0) + int32le(-1))})},
        {"values past the chunk", qrtOf({qrtChunk("Points", points5.substr(0, points5.size() - 4))})},
        {"negative frame count", qrtOf({qrtChunk("MP3 Frames", int32le(-1) + int32le(0))})},
        {"frames past the chunk", qrtOf({qrtChunk("MP3 Frames", int32le(2) + int32le(0) + int32le(1))})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ReadAll all;
        all.hasTags = all.hasKey = true;
        EXPECT_STRING_EXCEPTION(readQrt(c.bytes, &all), "The QRT meta-data is corrupt.");
        EXPECT_EQ(all.points.levels, nullptr);
        EXPECT_EQ(all.points.values, nullptr);
        EXPECT_TRUE(all.frames.empty());
    }
    // The well-formed "Points" of the cases reads.
    ReadAll all;
    readQrt(qrtOf({qrtChunk("Points", points5)}), &all);
    EXPECT_EQ(all.points.valueCount, 2);
}

TEST_F(QrtFormat, ChunkContentsTheReaderToleratesAndHowItTakesThem) {
    // Unknown chunks are skipped without looking at their CRC.
    fixtures::QrtChunk unknown = qrtChunk("Waveform", "whatever");
    unknown.crc = 0;
    // A name's bytes after its NUL mean nothing but are covered by the CRC.
    fixtures::QrtChunk noisyName = qrtChunk("Markers Beat", markersData({{100, 1}, {200, 1}}));
    std::memcpy(noisyName.name.data() + 13, "noise after the NUL", 19);
    fixtures::refreshCrc(noisyName);
    // A longer known chunk is read for its fields.
    fixtures::QrtChunk longStrip = qrtChunk("BT Strip 3", int32le(77) + "extra");
    // Texts without a NUL are cut at 127; an out-of-range key is undefined.
    fixtures::QrtChunk id = qrtChunk("ID", std::string(5 * 128, 'x') + int32le(0));
    fixtures::QrtChunk key = qrtChunk("Key", int32le(12) + int32le(0));

    ReadAll all;
    all.settings.strip[1] = 3;
    Beats beats = readQrt(qrtOf({unknown, noisyName, longStrip, id, key}), &all);
    // Both beats were generated: a list without a set beat is taken as set.
    ASSERT_EQ(beats.count(), 2);
    EXPECT_FALSE(beats[0].generated);
    EXPECT_FALSE(beats[1].generated);
    EXPECT_EQ(all.settings.strip3, 77);
    EXPECT_EQ(all.settings.strip[1], 3);  // no "BT Strip": the caller's value stays
    EXPECT_EQ(all.settings.bpm, 120.0f);
    EXPECT_EQ(std::string(all.tags.title), std::string(127, 'x'));
    EXPECT_EQ(std::string(all.tags.year), std::string(127, 'x'));
    EXPECT_TRUE(all.hasKey);
    EXPECT_FALSE(all.key.isDefined());

    // The noise after the NUL is part of the CRC.
    fixtures::QrtChunk stale = noisyName;
    stale.name[20] ^= 0x01;
    EXPECT_STRING_EXCEPTION(readQrt(qrtOf({stale})), "The QRT meta-data is corrupt.");

    // Records read without a target are still checked.
    fixtures::QrtChunk badId = id;
    badId.crc ^= 0x80000000u;
    EXPECT_STRING_EXCEPTION(readQrt(qrtOf({badId})), "The QRT meta-data is corrupt.");
}

TEST_F(QrtFormat, ARepeatedChunkReplacesTheEarlierOne) {
    auto points = [](std::int32_t level) {
        return qrtChunk("Points", int32le(100) + int32le(1) + std::string(1, static_cast<char>(level)) + std::string(3, '\0') +
                                      int32le(1) + int32le(level));
    };
    ReadAll all;
    // Arrays the caller's record held before the read are released too.
    const float old = 0.5f;
    all.points.fromValues(1, 1, &old, 0, nullptr);
    Beats beats = readQrt(qrtOf({qrtChunk("Markers Beat", markersData({{1, 0}, {2, 0}, {3, 0}})), points(10),
                                 qrtChunk("Markers Beat", markersData({{7, 0}})), points(20)}),
                          &all);
    ASSERT_EQ(beats.count(), 1);
    EXPECT_EQ(beats[0].position, 7);
    EXPECT_EQ(all.points.valueCount, 1);
    EXPECT_EQ(all.points.values[0], 20);
}

TEST_F(QrtFormat, TheWriterReplacesTheFileWholeOrNotAtAll) {
    testing_support::TemporaryDirectory directory;
    const std::string path = directory.file("song.qrt");
    testing_support::writeFile(path, "old contents");
    Beats beats(44100);
    beats.appendBeat(1234, false);

    EXPECT_STRING_EXCEPTION(beats.writeMetaData(directory.file("missing/song.qrt")),
                            "Cannot open " + directory.file("missing/song.qrt") + ".");

    for (platform::FileOperation failing :
         {platform::FileOperation::Write, platform::FileOperation::Close, platform::FileOperation::Rename}) {
        platform::setFileFaultHook([failing](platform::FileOperation operation, const std::string&) { return operation == failing; });
        EXPECT_STRING_EXCEPTION(beats.writeMetaData(path), "Cannot write " + path + ".");
        platform::setFileFaultHook({});
        EXPECT_EQ(testing_support::readFile(path), "old contents");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory.path()), {}), 1);
    }

    beats.writeMetaData(path);
    EXPECT_EQ(readQrt(testing_support::readFile(path)).count(), 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory.path()), {}), 1);
}

}  // namespace
