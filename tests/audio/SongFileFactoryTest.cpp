// The song-file factory: extensions, names, where the beat meta-data and
// the overview image come from, the MP3 meta-data path, the 20-minute
// limit, the release of everything when an open fails, and the open
// chooser's tempo preview on real songs.
#include "FrameworkTest.h"
#include "MetaDataFixtures.h"
#include "TestEnvironment.h"
#include "TestHeap.h"

#include "audio/Beats.h"
#include "audio/ID3v2Tag.h"
#include "audio/SampleDisk.h"
#include "audio/WavMetaDataTools.h"
#include "framework/AudioEngineServices.h"
#include "framework/FileUtilities.h"
#include "framework/Image.h"
#include "framework/ResourceArchive.h"
#include "framework/StringException.h"

#include <cstring>
#include <filesystem>
#include <map>

using fixtures::RiffChunk;
using primitives::test::TestHeap;

namespace {

// A beat list told apart by its first beat.
std::string qrtStartingAt(std::int32_t first, float tagBpm = 0.0f, const std::vector<std::int32_t>& frames = {}) {
    Beats beats(44100);
    for (std::int32_t i = 0; i < 8; ++i) beats.appendBeat(first + i * 22050, i % 3 == 1);
    SongTags tags;
    tags.bpm = tagBpm;
    BeatsWriteSources sources;
    sources.tags = &tags;
    if (!frames.empty()) {
        sources.frames = frames.data();
        sources.frameCount = static_cast<std::int32_t>(frames.size()) - 1;
    }
    return beats.metaDataBytes(sources);
}

class SongFileFactory : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        const std::string wav = directory_.file("source.wav");
        fixtures::makeSoxWav(wav, 0.5);
        wavChunks_ = fixtures::parseRiff(testing_support::readFile(wav));
        const std::string mp3 = directory_.file("source.mp3");
        fixtures::makeLameMp3(mp3, 0.5);
        mp3_ = testing_support::readFile(mp3);
    }
    void TearDown() override {
        setWmaLibraryLoader({}, {});
        checkWmaLibrary();
        FrameworkTest::TearDown();
    }
    std::string png(int width) {
        const std::string path = directory_.file("made.png");
        Image(width, 60, 10, 20, 30, 255).writePng(path);
        std::string bytes = testing_support::readFile(path);
        std::filesystem::remove(path);
        return bytes;
    }
    std::string wavWith(const std::string& qrt, const std::string& png) {
        std::vector<RiffChunk> chunks = wavChunks_;
        if (!qrt.empty()) chunks.push_back({"qrt ", qrt});
        if (!png.empty()) chunks.insert(chunks.begin(), RiffChunk{"png ", png});
        return fixtures::writeRiff(chunks);
    }
    std::string mp3With(const std::string& qrt, const std::string& png, const std::string& id3v1 = "") {
        std::string bytes = mp3_;
        if (!qrt.empty() || !png.empty()) bytes += fixtures::mp3MetaDataBlock(qrt, png, mp3_.size());
        return bytes + id3v1;
    }

    testing_support::TemporaryDirectory directory_;
    std::vector<RiffChunk> wavChunks_;
    std::string mp3_;
};

TEST_F(SongFileFactory, ExtensionsAndNames) {
    const std::string wav = fixtures::writeRiff(wavChunks_);
    const struct Case {
        const char* name;
        std::string bytes;
        const char* text;  // null: opens
    } cases[] = {
        {"song.wav", wav, nullptr},
        {"song.WAV", wav, nullptr},
        {"song.MP3", mp3_, nullptr},
        {"song.Mp3", mp3_, nullptr},
        {"song.flac", wav, "The extension of the audio file must be .wav, .mp3 or .wma"},
        {"song.wav.txt", wav, "The extension of the audio file must be .wav, .mp3 or .wma"},
        {"wav", wav, "The extension of the audio file must be .wav, .mp3 or .wma"},
        {"riffless.wav", mp3_, "Not a valid .wav file."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = directory_.file(c.name);
        testing_support::writeFile(path, c.bytes);
        if (c.text == nullptr) {
            std::unique_ptr<AudioFileReader> reader = SampleDisk::open(path, true, false, 1.0f);
            ASSERT_NE(reader, nullptr);
            EXPECT_GT(reader->length(), 20000);
            EXPECT_EQ(SampleDisk::open(path, true, true, 1.0f), nullptr);  // meta-data only
        } else {
            EXPECT_STRING_EXCEPTION(SampleDisk::open(path, true, false, 1.0f), c.text);
        }
    }
    EXPECT_STRING_EXCEPTION(SampleDisk::open(directory_.file("missing.wav"), true, false, 1.0f),
                            "Cannot open file " + directory_.file("missing.wav") + ".");
}

TEST_F(SongFileFactory, WmaSongsWhileTheDecoderIsMissing) {
    const std::string path = directory_.file("song.wma");
    testing_support::writeFile(path, "not read");
    setWmaLibraryLoader([] { return false; }, [] {});
    checkWmaLibrary();
    EXPECT_STRING_EXCEPTION(SampleDisk::open(path, true, false, 1.0f),
                            "For WMA support, please install the latest version of Windows Media Player. ");
    EXPECT_STRING_EXCEPTION(SampleDisk::open("song.wma", false, true, 1.0f),
                            "For WMA support, please install the latest version of Windows Media Player. ");
    setWmaLibraryLoader([] { return true; }, [] {});
    checkWmaLibrary();
    EXPECT_FATAL(SampleDisk::open("song.wma", false, false, 1.0f), "Trying to open a WMA file that is not alien.");
}

TEST_F(SongFileFactory, RelativeNamesAreSongsUnderSamples) {
    supportSettings().archiveMode = false;
    supportSettings().filesDirectory = directory_.path() + "/";
    testing_support::makeDirectories(directory_.file("samples"));
    testing_support::writeFile(directory_.file("samples/click.wav"), fixtures::writeRiff(wavChunks_));
    testing_support::writeFile(directory_.file("samples/click.qrt"), qrtStartingAt(777));
    testing_support::writeFile(directory_.file("click.wav"), "not this one");
    const std::uint8_t noArchive[1] = {0};
    initializeFileSystemFrom(noArchive, sizeof noArchive);
    std::unique_ptr<Beats> beats;
    SongFileOutputs outputs;
    outputs.beats = &beats;
    std::unique_ptr<AudioFileReader> reader = SampleDisk::open("click.wav", false, false, 1.0f, outputs);
    EXPECT_EQ(reader->length(), 22050);
    ASSERT_NE(beats, nullptr);
    EXPECT_EQ((*beats)[0].position, 777);
    EXPECT_STRING_EXCEPTION(SampleDisk::open("other.wav", false, false, 1.0f),
                            "Cannot open file " + directory_.file("samples/other.wav") + ".");
    cleanUpFileSystem();
}

TEST_F(SongFileFactory, SideFilesWinOverWhatTheSongCarries) {
    const std::string sideQrt = qrtStartingAt(1000);
    const std::string embeddedQrt = qrtStartingAt(2000);
    const std::string sidePng = png(30);
    const std::string embeddedPng = png(17);  // odd size in a WAV chunk is likely; width tells them apart
    const struct Case {
        bool side;
        bool embedded;
        std::int32_t firstBeat;  // 0: no beats
    } qrtCases[] = {{true, false, 1000}, {false, true, 2000}, {true, true, 1000}, {false, false, 0}};
    const struct PngCase {
        bool side;
        bool embedded;
        int width;  // 0: no image
    } pngCases[] = {{false, true, 17}, {true, false, 30}, {true, true, 30}, {false, false, 0}};
    for (const bool mp3 : {false, true}) {
        for (int i = 0; i < 4; ++i) {
            const Case& q = qrtCases[i];
            const PngCase& p = pngCases[i];
            SCOPED_TRACE(testing::Message() << (mp3 ? "mp3" : "wav") << " case " << i);
            const std::string song = directory_.file(std::string("song") + (mp3 ? ".mp3" : ".wav"));
            const std::string qrt = q.embedded ? embeddedQrt : "";
            const std::string image = p.embedded ? embeddedPng : "";
            testing_support::writeFile(song, mp3 ? mp3With(qrt, image) : wavWith(qrt, image));
            std::filesystem::remove(withExtension(song, "qrt"));
            std::filesystem::remove(withExtension(song, "png"));
            if (q.side) testing_support::writeFile(withExtension(song, "qrt"), sideQrt);
            if (p.side) testing_support::writeFile(withExtension(song, "png"), sidePng);

            for (const bool metaOnly : {true, false}) {
                std::unique_ptr<Beats> beats;
                std::unique_ptr<Image> picture;
                SongFileOutputs outputs;
                outputs.beats = &beats;
                outputs.image = &picture;
                std::unique_ptr<AudioFileReader> reader = SampleDisk::open(song, true, metaOnly, 1.0f, outputs);
                EXPECT_EQ(reader == nullptr, metaOnly);
                if (reader) { EXPECT_GT(reader->length(), 20000); }
                ASSERT_EQ(beats != nullptr, q.firstBeat != 0);
                if (beats) {
                    EXPECT_EQ(beats->count(), 8);
                    EXPECT_EQ((*beats)[0].position, q.firstBeat);
                }
                ASSERT_EQ(picture != nullptr, p.width != 0);
                if (picture) { EXPECT_EQ(picture->width(), p.width); }
            }
        }
    }
}

TEST_F(SongFileFactory, Mp3MetaDataOnly) {
    // Beats and frame offsets with 0xFF bytes, so the block is stuffed.
    const std::vector<std::int32_t> frames = {0, 0xFF, 0xFFFF, 0x1FF00, 0x2FFFF};
    const std::string qrt = qrtStartingAt(0xFF00FF, 0.0f, frames);
    ASSERT_NE(fixtures::stuff(qrt), qrt);
    fixtures::Id3Tag tag;
    tag.frames = {{"TIT2", fixtures::textBody("Night Train")}, {"TPE1", fixtures::textBody("The Sleepers")}};
    std::string id3v1 = "TAG" + std::string(125, ' ');
    id3v1.replace(3, 5, "Title");
    const std::string id3v2 = fixtures::writeId3(tag);
    // An image of 103 bytes starting "TAG" ends 25 bytes before the song's
    // end, so "TAG" stands where an ID3v1 tag would start.
    const std::string tagLike = "TAG" + std::string(100, 'p');

    const struct Case {
        const char* name;
        std::string bytes;
        bool hasId3v1;
        bool hasId3v2;
        bool hasBeats;
    } cases[] = {
        {"both tags and the block", id3v2 + mp3With(qrt, "", id3v1), true, true, true},
        {"the block alone", mp3With(qrt, ""), false, false, true},
        {"ID3v1 alone", mp3_ + id3v1, true, false, false},
        {"a foreign ID3v2 tag", "ID3\x02" + id3v2.substr(4) + mp3With(qrt, ""), false, false, true},
        {"neither tags nor block", mp3_, false, false, false},
        {"a block whose image holds TAG where ID3v1 would start", mp3With(qrt, tagLike), false, false, true},
        {"the same block before a real ID3v1 tag", mp3With(qrt, tagLike, id3v1), true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = directory_.file("tags.mp3");
        testing_support::writeFile(path, c.bytes);
        std::uint8_t v1[128] = {};
        bool hasV1 = !c.hasId3v1;
        std::unique_ptr<ID3v2Tag> v2;
        bool hasV2 = !c.hasId3v2;
        std::unique_ptr<Beats> beats;
        std::vector<std::int32_t> frameOffsets;
        std::int32_t frameCount = -1;
        SongFileOutputs outputs;
        outputs.id3v1 = v1;
        outputs.hasId3v1 = &hasV1;
        outputs.id3v2 = &v2;
        outputs.hasId3v2 = &hasV2;
        outputs.beats = &beats;
        outputs.records.frames = &frameOffsets;
        outputs.records.frameCount = &frameCount;
        EXPECT_EQ(SampleDisk::open(path, true, true, 1.0f, outputs), nullptr);
        EXPECT_EQ(hasV1, c.hasId3v1);
        if (c.hasId3v1) { EXPECT_EQ(std::string(reinterpret_cast<char*>(v1), 128), id3v1); }
        EXPECT_EQ(hasV2, c.hasId3v2);
        EXPECT_EQ(v2 != nullptr, c.hasId3v2);
        if (v2) { EXPECT_STREQ(v2->title(), "Night Train"); }
        ASSERT_EQ(beats != nullptr, c.hasBeats);
        if (beats) {
            EXPECT_EQ((*beats)[0].position, 0xFF00FF);
            EXPECT_EQ(frameOffsets, frames);
            EXPECT_EQ(frameCount, 4);
        }
    }
}

TEST_F(SongFileFactory, TheMp3DataEndsWhereTheBlockBegins) {
    // The block's bytes would decode as garbage frames or move the length.
    const std::string plain = directory_.file("plain.mp3");
    testing_support::writeFile(plain, mp3_);
    const std::int32_t length = SampleDisk::open(plain, true, false, 1.0f)->length();
    std::string id3v1 = "TAG" + std::string(125, '\0');
    const std::string qrt = qrtStartingAt(5);
    const std::string block = fixtures::mp3MetaDataBlock(qrt, png(40), mp3_.size());
    std::string bad = block;
    bad[bad.size() - 4] = static_cast<char>(0x80);  // a size byte that is not syncsafe
    std::string unequal = block;
    unequal[0] = 'q';  // the header differs from the trailer
    std::string tooLong = block;
    tooLong.replace(tooLong.size() - 8, 4, fixtures::syncsafe(0x0FFFFFFF));
    const struct Case {
        const char* name;
        std::string bytes;
        bool hasBlock;
    } cases[] = {
        {"block", mp3_ + block, true},
        {"block and ID3v1: the trailer 153 bytes before the end", mp3_ + block + id3v1, true},
        {"a size byte above 0x7F", mp3_ + bad, false},
        {"a header unlike the trailer", mp3_ + unequal, false},
        {"sizes past the file", mp3_ + tooLong + id3v1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = directory_.file("block.mp3");
        testing_support::writeFile(path, c.bytes);
        std::unique_ptr<Beats> beats;
        SongFileOutputs outputs;
        outputs.beats = &beats;
        std::unique_ptr<AudioFileReader> reader = SampleDisk::open(path, true, false, 1.0f, outputs);
        EXPECT_EQ(beats != nullptr, c.hasBlock);
        if (c.hasBlock) { EXPECT_EQ(reader->length(), length); }
    }
}

TEST_F(SongFileFactory, TwentyMinutesAtMost) {
    for (const std::int32_t frames : {SampleDisk::kMaxFrames, SampleDisk::kMaxFrames + 1}) {
        SCOPED_TRACE(frames);
        const std::string path = directory_.file("long.wav");
        RiffChunk data{"data", ""};
        data.sizeField = std::int64_t{frames} * 4;
        testing_support::writeFile(path, fixtures::writeRiff({wavChunks_[0], data}, 36 + data.sizeField));
        std::filesystem::resize_file(path, 44 + static_cast<std::uintmax_t>(data.sizeField));  // sparse
        if (frames == SampleDisk::kMaxFrames) {
            std::unique_ptr<AudioFileReader> reader = SampleDisk::open(path, true, false, 1.0f);
            EXPECT_EQ(reader->length(), frames);
            const float* const* tail = reader->read(frames - 2, 4, false);
            EXPECT_EQ(tail[0][1], 0.0f);
        } else {
            EXPECT_STRING_EXCEPTION(SampleDisk::open(path, true, false, 1.0f),
                                    "The length of the audio file exceeds 20 minutes.");
            // Meta-data only makes no reader, so the length is not known.
            EXPECT_NO_THROW(SampleDisk::open(path, true, true, 1.0f));
        }
    }
}

TEST_F(SongFileFactory, EveryFailedOpenReleasesWhatItMade) {
    const std::string corrupt = [&] {
        std::string bytes = qrtStartingAt(10);
        bytes[40] ^= 1;
        return bytes;
    }();
    RiffChunk data{"data", ""};
    data.sizeField = std::int64_t{SampleDisk::kMaxFrames + 1} * 4;
    const struct Case {
        const char* name;
        std::string song;
        std::string sideQrt;
        std::string sidePng;
        std::string text;
    } cases[] = {
        {"song.wav", "RIFF", "", "", "Not a valid .wav file."},
        {"song.wav", fixtures::writeRiff({RiffChunk{"fmt ", fixtures::fmtBody(3, 2, 44100, 32)}, wavChunks_[1]}), "", "",
         "The .WAV audio format is neither PCM, nor MP3."},
        {"song.wav", wavWith("", ""), corrupt, "", "The QRT meta-data is corrupt."},
        {"song.wav", wavWith(corrupt, ""), "", "", "The QRT meta-data is corrupt."},
        {"song.wav", wavWith(qrtStartingAt(3), ""), "", "not a png", "Not a valid PNG file."},
        {"song.wav", fixtures::writeRiff({wavChunks_[0], data}), qrtStartingAt(3), "", "The length of the audio file exceeds 20 minutes."},
        {"song.mp3", mp3With(corrupt, ""), "", "", "The QRT meta-data is corrupt."},
        {"song.mp3", std::string(5000, 'x') + fixtures::mp3MetaDataBlock(qrtStartingAt(3), "", 5000), "", "", "No sync found."},
        {"song.wav", fixtures::writeRiff({RiffChunk{"fmt ", fixtures::fmtBody(85, 2, 44100, 0)},
                                    RiffChunk{"data", std::string(20000, '\0')}}),
         qrtStartingAt(3), "", "No sync found."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string path = directory_.file(c.name);
        testing_support::writeFile(path, c.song);
        if (c.song.size() >= 44 && c.text.find("20 minutes") != std::string::npos) {
            std::filesystem::resize_file(path, 44 + static_cast<std::uintmax_t>(data.sizeField));
        }
        std::filesystem::remove(withExtension(path, "qrt"));
        std::filesystem::remove(withExtension(path, "png"));
        if (!c.sideQrt.empty()) testing_support::writeFile(withExtension(path, "qrt"), c.sideQrt);
        if (!c.sidePng.empty()) testing_support::writeFile(withExtension(path, "png"), c.sidePng);

        PointsRecord points;
        BTSettings settings;
        settings.bpm = 99.0f;
        bool hasPoints = true;
        std::unique_ptr<Beats> beats;
        std::unique_ptr<Image> image;
        SongFileOutputs outputs;
        outputs.beats = &beats;
        outputs.image = &image;
        outputs.records.points = &points;
        outputs.records.hasPoints = &hasPoints;
        outputs.records.settings = &settings;
        const int descriptors = fixtures::openDescriptorCount();
        const std::int64_t blocks = TestHeap::liveBlocks();
        EXPECT_STRING_EXCEPTION(SampleDisk::open(path, true, false, 1.0f, outputs), c.text);
        EXPECT_EQ(fixtures::openDescriptorCount(), descriptors);
        EXPECT_EQ(TestHeap::liveBlocks(), blocks);
        // Nothing of the failed open reached the caller.
        EXPECT_EQ(beats, nullptr);
        EXPECT_EQ(image, nullptr);
        EXPECT_TRUE(hasPoints);
        EXPECT_EQ(settings.bpm, 99.0f);
    }
}

TEST_F(SongFileFactory, TheOpenChoosersTempoPreviewReadsRealSongs) {
    // The chooser's hook turns these into its text (tested with the
    // chooser); here the seam it calls reads real songs.
    SampleDisk::installSongPreview();
    // 60 x 44100 / 21790 = 121.43 beats per minute.
    Beats spaced(44100);
    for (std::int32_t i = 0; i < 12; ++i) spaced.appendBeat(500 + i * 21790, false);
    std::string corrupt = qrtStartingAt(10);
    corrupt[40] ^= 1;
    const struct Case {
        const char* name;
        std::string song;
        std::string sideQrt;
        bool hasBeats;
        float tagBpm;
        double medianBpm;
        const char* text;  // thrown, or null
    } cases[] = {
        {"tagged.mp3", mp3With(qrtStartingAt(10, 127.6f), ""), "", true, 127.6f, 120.0, nullptr},
        {"median.wav", wavWith("", ""), spaced.metaDataBytes(), true, 0.0f, 44100.0 * 60.0 / 21790.0, nullptr},
        {"embedded.wav", wavWith(spaced.metaDataBytes(), ""), "", true, 0.0f, 44100.0 * 60.0 / 21790.0, nullptr},
        {"plain.wav", wavWith("", ""), "", false, 0.0f, 0.0, nullptr},
        {"plain.mp3", mp3_, "", false, 0.0f, 0.0, nullptr},
        {"broken.wav", wavWith("", ""), corrupt, false, 0.0f, 0.0, "The QRT meta-data is corrupt."},
        {"notriff.wav", mp3_, "", false, 0.0f, 0.0, "Not a valid .wav file."},
        {"song.ogg", mp3_, "", false, 0.0f, 0.0, "The extension of the audio file must be .wav, .mp3 or .wma"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = directory_.file(c.name);
        testing_support::writeFile(path, c.song);
        if (!c.sideQrt.empty()) testing_support::writeFile(withExtension(path, "qrt"), c.sideQrt);
        if (c.text != nullptr) {
            EXPECT_STRING_EXCEPTION(readSongPreview(path), c.text);
            continue;
        }
        const SongPreview preview = readSongPreview(path);
        EXPECT_EQ(preview.hasBeats, c.hasBeats);
        EXPECT_EQ(preview.tagBpm, c.tagBpm);
        EXPECT_NEAR(preview.medianBpm, c.medianBpm, 0.01);
    }
    setSongPreviewReader({});
    EXPECT_FALSE(readSongPreview(directory_.file("median.wav")).hasBeats);
}

}  // namespace
