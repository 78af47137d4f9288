#include "FrameworkTest.h"
#include "MetaDataFixtures.h"
#include "TestEnvironment.h"

#include "audio/Beats.h"
#include "audio/Mp3EndBlock.h"
#include "audio/Mp3MetaDataTools.h"
#include "audio/SampleDiskMP3.h"
#include "audio/WavMetaDataTools.h"
#include "framework/FileDisk.h"
#include "platform/FileSystem.h"
#include "platform/UiScript.h"

#include <cstring>
#include <filesystem>
#include <set>

namespace {

using Boxes = std::vector<std::pair<std::string, std::string>>;

std::set<std::string> filesIn(const std::string& directory) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) names.insert(entry.path().filename().string());
    return names;
}

std::string id3v1Tag() {
    std::string tag = "TAG" + std::string("Title with \xFF\xFB inside");
    tag.resize(128, ' ');
    return tag;
}

std::string leadingId3v2() {
    fixtures::Id3Tag tag;
    tag.frames.push_back({"TIT2", fixtures::textBody("Leading tag")});
    tag.padding = 16;
    return fixtures::writeId3(tag);
}

class Mp3Tools : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        platform::uiScript::enable();
        song_ = directory_.file("song.mp3");
        fixtures::makeLameMp3(song_, 0.5);
        mp3_ = testing_support::readFile(song_);
        Beats beats(44100);
        for (std::int32_t i = 0; i < 7; ++i) beats.appendBeat(i * 5001 + 17, i % 3 == 0);
        // The side files carry sync look-alikes, which the block must hide.
        qrt_ = beats.metaDataBytes() + std::string("\xFF\xFB\xFF\xFF\x00\xFF", 6);
        png_ = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(40, '\xFF') + "\xFF\xE3";
    }
    void TearDown() override {
        platform::uiScript::disable();
        platform::setFileFaultHook({});
        FrameworkTest::TearDown();
    }
    void writeSides(bool qrt = true, bool png = true) {
        if (qrt) testing_support::writeFile(directory_.file("song.qrt"), qrt_);
        if (png) testing_support::writeFile(directory_.file("song.png"), png_);
    }
    Boxes boxes() {
        Boxes shown;
        for (const platform::UiRequest& request : platform::uiScript::requests()) shown.emplace_back(request.caption, request.text);
        return shown;
    }
    void clearDirectory() {
        for (const std::string& name : filesIn(directory_.path())) std::filesystem::remove(directory_.file(name));
    }
    std::string decode(const std::string& path) {
        const std::string out = directory_.file("decoded.raw");
        fixtures::runTool({"mpg123", "-q", "--no-gapless", "-s", "-O", out, path});
        std::string samples = testing_support::readFile(out);
        std::filesystem::remove(out);
        return samples;
    }

    testing_support::TemporaryDirectory directory_;
    std::string song_;
    std::string mp3_;
    std::string qrt_;
    std::string png_;
};

// The block's exact bytes on a small song: offsets from the file start,
// stuffed sizes, syncsafe numbers, 0xFF 0xFB stored as 0xFF 0x00 0xFB.
TEST_F(Mp3Tools, TheBlockHasItsExactBytes) {
    testing_support::writeFile(song_, std::string(200, 'm'));
    testing_support::writeFile(directory_.file("song.qrt"), std::string("\xFF\xFB\x01", 3));
    testing_support::writeFile(directory_.file("song.png"), std::string("\xFF", 1));
    ASSERT_TRUE(mergeMp3MetaData(song_));
    EXPECT_TRUE(boxes().empty());
    // QRT at 200 + 25 = 225 (1 x 128 + 97), PNG at 229 (1 x 128 + 101); 4 and 2 stuffed bytes.
    const std::string mark = std::string("QRT & PNG") + std::string("\x00\x00\x01\x61", 4) + std::string("\x00\x00\x01\x65", 4) +
                             std::string("\x00\x00\x00\x04", 4) + std::string("\x00\x00\x00\x02", 4);
    EXPECT_EQ(testing_support::readFile(song_),
              std::string(200, 'm') + mark + std::string("\xFF\x00\xFB\x01", 4) + std::string("\xFF\x00", 2) + mark);
    EXPECT_EQ(filesIn(directory_.path()), std::set<std::string>{"song.mp3"});
}

TEST_F(Mp3Tools, StuffingRoundTrips) {
    const std::string cases[] = {"", std::string("\xFF", 1), std::string("\xFF\x00", 2), std::string("\xFF\xFF\xFF", 3),
                                 std::string("a\xFF\xFB\x00\xFF", 5)};
    for (const std::string& bytes : cases) {
        const std::string stuffed = Mp3EndBlock::stuff(bytes);
        EXPECT_EQ(stuffed, fixtures::stuff(bytes));
        for (std::size_t i = 0; i + 1 < stuffed.size(); ++i)
            EXPECT_FALSE(static_cast<unsigned char>(stuffed[i]) == 0xFF && static_cast<unsigned char>(stuffed[i + 1]) >= 0xE0);
        EXPECT_EQ(Mp3EndBlock::unstuff(stuffed), bytes);
    }
}

// Merge over every combination of what the song already carries; the
// split then gives back the side files and the plain song byte for byte.
TEST_F(Mp3Tools, MergeAndSplitOverTheSongsLayouts) {
    const struct {
        const char* what;
        bool id3v2;
        bool id3v1;
        bool oldBlock;
        bool qrt;
        bool png;
    } cases[] = {
        {"plain", false, false, false, true, true},
        {"ID3v1 kept last", false, true, false, true, true},
        {"leading ID3v2 kept", true, false, false, true, true},
        {"old block replaced", false, false, true, true, true},
        {"old block before ID3v1 replaced", true, true, true, true, true},
        {"QRT only", false, true, false, true, false},
        {"PNG only", false, false, false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        clearDirectory();
        platform::uiScript::clearRequests();
        const std::string data = (c.id3v2 ? leadingId3v2() : "") + mp3_;
        const std::string tail = c.id3v1 ? id3v1Tag() : "";
        const std::string plain = data + tail;
        testing_support::writeFile(song_, data + (c.oldBlock ? fixtures::mp3MetaDataBlock("old", "older", data.size()) : "") + tail);
        writeSides(c.qrt, c.png);

        ASSERT_TRUE(mergeMp3MetaData(song_));
        EXPECT_TRUE(boxes().empty());
        const std::string merged = testing_support::readFile(song_);
        EXPECT_EQ(merged, data + fixtures::mp3MetaDataBlock(c.qrt ? qrt_ : "", c.png ? png_ : "", data.size()) + tail);
        EXPECT_EQ(filesIn(directory_.path()), std::set<std::string>{"song.mp3"});

        const Mp3EndBlock layout = Mp3EndBlock::find(static_cast<std::int64_t>(merged.size()),
                                                     [&merged](std::int64_t at, void* buffer, std::size_t count) {
                                                         if (at < 0 || at + static_cast<std::int64_t>(count) > static_cast<std::int64_t>(merged.size())) return false;
                                                         std::memcpy(buffer, merged.data() + at, count);
                                                         return true;
                                                     });
        EXPECT_TRUE(layout.hasBlock);
        EXPECT_EQ(layout.hasId3v1, c.id3v1);
        EXPECT_EQ(layout.dataEnd, static_cast<std::int64_t>(data.size()));

        ASSERT_TRUE(splitMp3MetaData(song_, false));
        EXPECT_TRUE(boxes().empty());
        EXPECT_EQ(testing_support::readFile(song_), plain);
        std::set<std::string> expected{"song.mp3"};
        if (c.qrt) expected.insert("song.qrt");
        if (c.png) expected.insert("song.png");
        EXPECT_EQ(filesIn(directory_.path()), expected);
        if (c.qrt) {
            EXPECT_EQ(testing_support::readFile(directory_.file("song.qrt")), qrt_);
        }
        if (c.png) {
            EXPECT_EQ(testing_support::readFile(directory_.file("song.png")), png_);
        }
    }
}

// A side file whose bytes put "TAG" 128 bytes before the merged song's end
// must not pass for an ID3v1 tag: the split gives back both side files.
TEST_F(Mp3Tools, ABlockHoldingTagWhereId3v1WouldStartIsStillTheBlock) {
    png_ = "TAG" + std::string(100, 'p');  // 103 bytes, the last 25 before the end are the trailer
    for (const bool realId3v1 : {false, true}) {
        SCOPED_TRACE(realId3v1 ? "with an ID3v1 tag" : "without an ID3v1 tag");
        clearDirectory();
        platform::uiScript::clearRequests();
        const std::string plain = mp3_ + (realId3v1 ? id3v1Tag() : "");
        testing_support::writeFile(song_, plain);
        writeSides();
        ASSERT_TRUE(mergeMp3MetaData(song_));
        const std::string merged = testing_support::readFile(song_);
        ASSERT_EQ(merged.compare(merged.size() - (realId3v1 ? 256 : 128), 3, "TAG"), 0);

        ASSERT_TRUE(splitMp3MetaData(song_, false));
        EXPECT_TRUE(boxes().empty());
        EXPECT_EQ(testing_support::readFile(song_), plain);
        EXPECT_EQ(testing_support::readFile(directory_.file("song.qrt")), qrt_);
        EXPECT_EQ(testing_support::readFile(directory_.file("song.png")), png_);
    }
}

TEST_F(Mp3Tools, TheMergedSongDecodesAsTheOriginal) {
    testing_support::writeFile(song_, mp3_ + id3v1Tag());
    const std::string original = decode(song_);
    ASSERT_GT(original.size(), 40000u);
    writeSides();
    ASSERT_TRUE(mergeMp3MetaData(song_));
    EXPECT_EQ(decode(song_), original);
}

TEST_F(Mp3Tools, StripLeavesNoSideFilesAndSongsWithoutABlockStayAsTheyAre) {
    writeSides();
    ASSERT_TRUE(mergeMp3MetaData(song_));
    ASSERT_TRUE(stripMp3MetaData(song_));
    EXPECT_EQ(testing_support::readFile(song_), mp3_);
    EXPECT_EQ(filesIn(directory_.path()), std::set<std::string>{"song.mp3"});
    // Nothing embedded, and no side files to merge: nothing happens.
    EXPECT_TRUE(splitMp3MetaData(song_, false));
    EXPECT_TRUE(mergeMp3MetaData(song_));
    EXPECT_EQ(testing_support::readFile(song_), mp3_);
    EXPECT_EQ(filesIn(directory_.path()), std::set<std::string>{"song.mp3"});
    EXPECT_TRUE(boxes().empty());
    // Other names are not theirs.
    const std::string wav = directory_.file("song.wav");
    EXPECT_FALSE(mergeMp3MetaData(wav));
    EXPECT_FALSE(splitMp3MetaData(wav, false));
    EXPECT_FALSE(stripMp3MetaData(directory_.file("song.wma")));
}

TEST_F(Mp3Tools, AStaleTemporaryFileChangesNothingAndIsNamed) {
    const std::string tmp = directory_.file("song.tmp");
    for (bool merge : {true, false}) {
        SCOPED_TRACE(merge ? "merge" : "split");
        clearDirectory();
        platform::uiScript::clearRequests();
        testing_support::writeFile(song_, mp3_);
        writeSides();
        if (!merge) {
            ASSERT_TRUE(mergeMp3MetaData(song_));
            writeSides();
        }
        testing_support::writeFile(tmp, "stale");
        const std::string before = testing_support::readFile(song_);
        EXPECT_TRUE(merge ? mergeMp3MetaData(song_) : splitMp3MetaData(song_, false));
        EXPECT_EQ(boxes(), (Boxes{{merge ? "Cannot Merge" : "Cannot Strip / Split", "please delete or rename " + tmp + "."}}));
        EXPECT_EQ(testing_support::readFile(song_), before);
        EXPECT_EQ(testing_support::readFile(tmp), "stale");
        EXPECT_EQ(testing_support::readFile(directory_.file("song.qrt")), qrt_);
        EXPECT_EQ(filesIn(directory_.path()), (std::set<std::string>{"song.mp3", "song.tmp", "song.qrt", "song.png"}));
    }
}

// A failing rename, write or close leaves the song and every side file as
// they were, and no temporary or partial file behind.
TEST_F(Mp3Tools, FailuresLeaveTheSongAndTheSideFilesUntouched) {
    const std::string tmp = directory_.file("song.tmp");
    const struct {
        const char* what;
        bool merge;
        platform::FileOperation operation;
        std::string failingPath;  // empty: any path
        std::pair<std::string, std::string> box;
    } cases[] = {
        {"merge: rename", true, platform::FileOperation::Rename, tmp, {"Cannot Merge", "Cannot rename file (file might be playing)."}},
        {"merge: write", true, platform::FileOperation::Write, tmp, {"Cannot Merge", "Cannot write file " + tmp + "."}},
        {"merge: close", true, platform::FileOperation::Close, tmp, {"Cannot Merge", "Cannot write file " + tmp + "."}},
        {"merge: reading a side file", true, platform::FileOperation::Open, directory_.file("song.png"),
         {"Cannot Merge", "Cannot open file " + directory_.file("song.png") + "."}},
        {"split: rename", false, platform::FileOperation::Rename, tmp,
         {"Cannot Strip / Split", "Cannot rename file (file might be playing)."}},
        {"split: write", false, platform::FileOperation::Write, tmp, {"Cannot Strip / Split", "Cannot write file " + tmp + "."}},
        {"split: opening the song", false, platform::FileOperation::Open, song_,
         {"Cannot Strip / Split", "Cannot open file " + song_ + "."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        clearDirectory();
        testing_support::writeFile(song_, mp3_ + id3v1Tag());
        writeSides();
        if (!c.merge) {
            ASSERT_TRUE(mergeMp3MetaData(song_));
            // Earlier side files that the split must not touch.
            testing_support::writeFile(directory_.file("song.qrt"), "earlier qrt");
            testing_support::writeFile(directory_.file("song.png"), "earlier png");
        }
        const std::string before = testing_support::readFile(song_);
        const std::string qrtBefore = testing_support::readFile(directory_.file("song.qrt"));
        const std::set<std::string> filesBefore = filesIn(directory_.path());
        platform::uiScript::clearRequests();
        platform::setFileFaultHook([&](platform::FileOperation operation, const std::string& path) {
            return operation == c.operation && path == c.failingPath;
        });
        EXPECT_TRUE(c.merge ? mergeMp3MetaData(song_) : splitMp3MetaData(song_, false));
        platform::setFileFaultHook({});
        EXPECT_EQ(boxes(), (Boxes{c.box}));
        EXPECT_EQ(testing_support::readFile(song_), before);
        EXPECT_EQ(testing_support::readFile(directory_.file("song.qrt")), qrtBefore);
        EXPECT_EQ(filesIn(directory_.path()), filesBefore);
    }
}

// ---- The ".mp3" wrap into a WAV file ---------------------------------------

class WavMp3Wrap : public Mp3Tools {};

TEST_F(WavMp3Wrap, TheWrappedFileHoldsTheMp3DataAndItsFormatRecord) {
    const std::string data = leadingId3v2() + mp3_;
    testing_support::writeFile(song_, data + fixtures::mp3MetaDataBlock("old", "", data.size()) + id3v1Tag());
    writeSides();
    ASSERT_TRUE(mergeWavMetaData(song_));
    EXPECT_TRUE(boxes().empty());
    const std::string wav = directory_.file("song.wav");
    // The MP3 song stays; the side files moved into the WAV file.
    EXPECT_EQ(filesIn(directory_.path()), (std::set<std::string>{"song.mp3", "song.wav"}));
    const std::string bytes = testing_support::readFile(wav);
    EXPECT_EQ(fixtures::loadInt32le(bytes, 4), static_cast<std::int32_t>(bytes.size() - 8));
    const std::vector<fixtures::RiffChunk> chunks = fixtures::parseRiff(bytes);
    ASSERT_EQ(chunks.size(), 4u);
    EXPECT_EQ(chunks[0].id, "fmt ");
    // Tag 85, 2 channels, 44100 Hz, 128 kb/s / 8, align 1, 0 bits, 12 extra;
    // ID 1, flags 2, block 415, 1 frame per block, delay 1393.
    const std::string fmt = std::string("\x55\x00\x02\x00", 4) + fixtures::int32le(44100) + fixtures::int32le(16000) +
                            std::string("\x01\x00\x00\x00\x0C\x00\x01\x00\x02\x00\x00\x00\x9F\x01\x01\x00\x71\x05", 18);
    EXPECT_EQ(chunks[0].body, fmt);
    EXPECT_EQ(chunks[1].id, "data");
    EXPECT_EQ(chunks[1].body, data);
    EXPECT_EQ(chunks[2].id, "qrt ");
    EXPECT_EQ(chunks[2].body, qrt_);
    EXPECT_EQ(chunks[3].id, "png ");
    EXPECT_EQ(chunks[3].body, png_);

    // Read as MP3 in WAV, the data chunk gives the plain song's samples.
    const std::size_t dataStart = 12 + 8 + fmt.size() + 8;
    ASSERT_EQ(bytes.substr(dataStart, data.size()), data);
    SampleDiskMP3 wrapped(std::make_unique<FileDisk>(wav, true, false), FormatAudio(), static_cast<std::int32_t>(dataStart),
                          static_cast<std::int32_t>(data.size()), 1.0f, nullptr, 0);
    testing_support::writeFile(directory_.file("plain.mp3"), mp3_);
    SampleDiskMP3 plain(std::make_unique<FileDisk>(directory_.file("plain.mp3"), true, false), FormatAudio(), 0,
                        static_cast<std::int32_t>(mp3_.size()), 1.0f, nullptr, 0);
    ASSERT_EQ(wrapped.length(), plain.length());
    ASSERT_GT(plain.length(), 20000);
    for (std::int32_t at = 0; at < plain.length(); at += 11025) {
        float** a = wrapped.read(at, 11025, true);
        const std::vector<float> left(a[0], a[0] + 11025), right(a[1], a[1] + 11025);
        float** b = plain.read(at, 11025, true);
        EXPECT_EQ(left, std::vector<float>(b[0], b[0] + 11025)) << at;
        EXPECT_EQ(right, std::vector<float>(b[1], b[1] + 11025)) << at;
    }
}

TEST_F(WavMp3Wrap, RefusalsLeaveNoWavFileAndKeepTheSideFiles) {
    const std::string wav = directory_.file("song.wav");
    // A Layer II frame header, a mono one, and 32 kHz.
    const struct {
        const char* what;
        std::string song;
        std::string text;
    } cases[] = {
        {"no sync", std::string(300, 'x'), "Cannot find syncword."},
        {"header cut short", std::string(100, 'x') + "\xFF\xFB\x90", "Corrupt MP3 file."},
        {"Layer II", std::string("\xFF\xFD\x90\x00", 4) + std::string(400, '\x00'), "This is not a Layer 3 MPEG Version 1/2 audio file."},
        {"mono", std::string("\xFF\xFB\x90\xC0", 4) + std::string(400, '\x00'), "For now, mono files are not supported."},
        {"32 kHz", std::string("\xFF\xFB\x98\x00", 4) + std::string(400, '\x00'), "For now, the only sample rate supported is 44.1 kHz."},
        {"free format", std::string("\xFF\xFB\x00\x00", 4) + std::string(400, '\x00'), "Free (or illegal) bitrate not supported."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        clearDirectory();
        platform::uiScript::clearRequests();
        testing_support::writeFile(song_, c.song);
        writeSides();
        EXPECT_TRUE(mergeWavMetaData(song_));
        EXPECT_EQ(boxes(), (Boxes{{"Cannot Merge", c.text}}));
        EXPECT_EQ(filesIn(directory_.path()), (std::set<std::string>{"song.mp3", "song.qrt", "song.png"}));
        EXPECT_EQ(testing_support::readFile(song_), c.song);
    }
    // An existing WAV file of the song's name is never overwritten.
    clearDirectory();
    platform::uiScript::clearRequests();
    testing_support::writeFile(song_, mp3_);
    testing_support::writeFile(wav, "someone's wav");
    writeSides();
    EXPECT_TRUE(mergeWavMetaData(song_));
    EXPECT_EQ(boxes(), (Boxes{{"Cannot Merge", "please delete or rename " + wav + "."}}));
    EXPECT_EQ(testing_support::readFile(wav), "someone's wav");
    EXPECT_EQ(filesIn(directory_.path()), (std::set<std::string>{"song.mp3", "song.wav", "song.qrt", "song.png"}));
}

}  // namespace
