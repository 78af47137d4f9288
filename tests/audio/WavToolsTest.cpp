#include "FrameworkTest.h"
#include "MetaDataFixtures.h"
#include "TestEnvironment.h"

#include "audio/Beats.h"
#include "audio/WavMetaDataTools.h"
#include "framework/StringException.h"
#include "platform/FileSystem.h"
#include "platform/UiScript.h"

#include <filesystem>
#include <set>

using fixtures::RiffChunk;

namespace {

std::set<std::string> filesIn(const std::string& directory) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) names.insert(entry.path().filename().string());
    return names;
}

std::vector<std::string> chunkIds(const std::string& bytes) {
    std::vector<std::string> ids;
    for (const RiffChunk& chunk : fixtures::parseRiff(bytes)) ids.push_back(chunk.id);
    return ids;
}

class WavTools : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        platform::uiScript::enable();
        song_ = directory_.file("song.wav");
        fixtures::makeSoxWav(song_, 0.25);
        original_ = testing_support::readFile(song_);
        Beats beats(44100);
        for (std::int32_t i = 0; i < 9; ++i) beats.appendBeat(i * 1234 + 255, i % 2 == 1);
        qrt_ = beats.metaDataBytes();
        // The tools carry the image's bytes as they stand; an odd size makes
        // the pad matter.
        png_ = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(67, '\xff');
    }
    void TearDown() override {
        platform::uiScript::disable();
        platform::setFileFaultHook({});
        FrameworkTest::TearDown();
    }

    void writeSides() {
        testing_support::writeFile(directory_.file("song.qrt"), qrt_);
        testing_support::writeFile(directory_.file("song.png"), png_);
    }
    std::vector<std::pair<std::string, std::string>> boxes() {
        std::vector<std::pair<std::string, std::string>> shown;
        for (const platform::UiRequest& request : platform::uiScript::requests()) shown.emplace_back(request.caption, request.text);
        return shown;
    }
    std::string raw(const std::string& wav) {
        fixtures::runTool({"sox", wav, "-t", "raw", "-e", "signed-integer", "-b", "16", directory_.file("raw.tmp")});
        std::string bytes = testing_support::readFile(directory_.file("raw.tmp"));
        std::filesystem::remove(directory_.file("raw.tmp"));
        return bytes;
    }

    testing_support::TemporaryDirectory directory_;
    std::string song_;
    std::string original_;
    std::string qrt_;
    std::string png_;
};

TEST_F(WavTools, MergeKeepsTheChunkOrderAndAppendsTheSideFiles) {
    // The song already holds old meta-data chunks between others.
    std::vector<RiffChunk> chunks = fixtures::parseRiff(original_);
    chunks.insert(chunks.begin() + 1, RiffChunk{"qrt ", "old qrt"});
    chunks.insert(chunks.begin(), RiffChunk{"LIST", "odd"});
    chunks.push_back(RiffChunk{"png ", "old png"});
    chunks.push_back(RiffChunk{"junk", "12345"});
    testing_support::writeFile(song_, fixtures::writeRiff(chunks));
    writeSides();

    EXPECT_TRUE(mergeWavMetaData(song_));
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(filesIn(directory_.path()), (std::set<std::string>{"song.wav"}));
    const std::string merged = testing_support::readFile(song_);
    EXPECT_EQ(chunkIds(merged), (std::vector<std::string>{"LIST", "fmt ", "data", "junk", "qrt ", "png "}));
    EXPECT_EQ(fixtures::loadInt32le(merged, 4), static_cast<std::int32_t>(merged.size() - 8));
    std::vector<RiffChunk> after = fixtures::parseRiff(merged);
    EXPECT_EQ(after[4].body, qrt_);
    EXPECT_EQ(after[5].body, png_);
    EXPECT_EQ(merged.size() % 2, 0u);  // the odd png chunk has its pad

    // Accepted by an independent walker and by sox, with the same samples.
    EXPECT_EQ(testing_support::runPython("audio/riff_walk.py", {song_}),
              "LIST 3\nfmt  16\ndata 44100\njunk 5\nqrt  " + std::to_string(qrt_.size()) + "\npng  " +
                  std::to_string(png_.size()) + "\n");
    const std::string originalPath = directory_.file("original.wav");
    testing_support::writeFile(originalPath, original_);
    EXPECT_EQ(raw(song_), raw(originalPath));
}

TEST_F(WavTools, SplitGivesBackTheSideFilesAndTheOriginalByteForByte) {
    writeSides();
    ASSERT_TRUE(mergeWavMetaData(song_));
    ASSERT_NE(testing_support::readFile(song_), original_);

    EXPECT_TRUE(splitWavMetaData(song_, false));
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(testing_support::readFile(song_), original_);
    EXPECT_EQ(testing_support::readFile(directory_.file("song.qrt")), qrt_);
    EXPECT_EQ(testing_support::readFile(directory_.file("song.png")), png_);
    EXPECT_EQ(filesIn(directory_.path()), (std::set<std::string>{"song.wav", "song.qrt", "song.png"}));

    ASSERT_TRUE(mergeWavMetaData(song_));
    EXPECT_TRUE(stripWavMetaData(song_));
    EXPECT_EQ(testing_support::readFile(song_), original_);
    EXPECT_EQ(filesIn(directory_.path()), (std::set<std::string>{"song.wav"}));
}

TEST_F(WavTools, OtherNamesAndNothingToDo) {
    testing_support::writeFile(directory_.file("song.mp3"), "ID3");
    EXPECT_FALSE(mergeWavMetaData(directory_.file("song.wma")));
    EXPECT_FALSE(splitWavMetaData(directory_.file("song.mp3"), false));
    EXPECT_FALSE(splitWavMetaData(directory_.file("song.wma"), false));
    EXPECT_FALSE(stripWavMetaData(directory_.file("song.flac")));
    // No side files: the merge leaves the song alone.
    EXPECT_TRUE(mergeWavMetaData(song_));
    EXPECT_EQ(testing_support::readFile(song_), original_);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(WavTools, AStaleTemporaryFileChangesNothingAndIsNamed) {
    writeSides();
    testing_support::writeFile(directory_.file("song.tmp"), "stale");
    const std::string tmp = directory_.file("song.tmp");
    EXPECT_TRUE(mergeWavMetaData(song_));
    EXPECT_TRUE(splitWavMetaData(song_, false));
    EXPECT_EQ(boxes(), (std::vector<std::pair<std::string, std::string>>{
                           {"Cannot Merge", "please delete or rename " + tmp + "."},
                           {"Cannot Strip / Split", "please delete or rename " + tmp + "."}}));
    EXPECT_EQ(testing_support::readFile(song_), original_);
    EXPECT_EQ(testing_support::readFile(tmp), "stale");
    EXPECT_EQ(filesIn(directory_.path()), (std::set<std::string>{"song.wav", "song.qrt", "song.png", "song.tmp"}));
}

TEST_F(WavTools, FailuresRestoreTheSongAndLeaveNoPartialFile) {
    const std::string song = song_;
    const struct {
        const char* what;
        bool merge;
        platform::FileOperation operation;
        std::string failingPath;  // the native path whose operation fails
        std::pair<std::string, std::string> box;
    } cases[] = {
        {"merge: writing the new song", true, platform::FileOperation::Write, song, {"Cannot Merge", "Cannot write file " + song + "."}},
        {"merge: closing the new song", true, platform::FileOperation::Close, song, {"Cannot Merge", "Cannot write file " + song + "."}},
        {"merge: renaming the song", true, platform::FileOperation::Rename, song, {"Cannot Merge", "Cannot rename file (file might be playing)."}},
        {"split: writing the new song", false, platform::FileOperation::Write, song, {"Cannot Strip / Split", "Cannot write file " + song + "."}},
        {"split: renaming the song", false, platform::FileOperation::Rename, song,
         {"Cannot Strip / Split", "Cannot rename file (file might be playing)."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Split works on a song holding the meta-data.
        testing_support::writeFile(song_, original_);
        writeSides();
        if (!c.merge) {
            ASSERT_TRUE(mergeWavMetaData(song_));
        }
        const std::string before = testing_support::readFile(song_);
        const std::set<std::string> filesBefore = filesIn(directory_.path());
        platform::uiScript::clearRequests();
        platform::setFileFaultHook([&](platform::FileOperation operation, const std::string& path) {
            return operation == c.operation && path == c.failingPath;
        });
        EXPECT_TRUE(c.merge ? mergeWavMetaData(song_) : splitWavMetaData(song_, false));
        platform::setFileFaultHook({});
        EXPECT_EQ(boxes(), (std::vector<std::pair<std::string, std::string>>{c.box}));
        EXPECT_EQ(testing_support::readFile(song_), before);
        EXPECT_EQ(filesIn(directory_.path()), filesBefore);
        for (const std::string& name : filesIn(directory_.path())) std::filesystem::remove(directory_.file(name));
    }
}

TEST_F(WavTools, SplitSideFileFailuresKeepTheEarlierSideFiles) {
    writeSides();
    ASSERT_TRUE(mergeWavMetaData(song_));
    const std::string merged = testing_support::readFile(song_);
    testing_support::writeFile(directory_.file("song.qrt"), "earlier side file");
    platform::setFileFaultHook([&](platform::FileOperation operation, const std::string& path) {
        return operation == platform::FileOperation::Write && path.find("song.png.part") != std::string::npos;
    });
    EXPECT_TRUE(splitWavMetaData(song_, false));
    platform::setFileFaultHook({});
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].first, "Cannot Strip / Split");
    EXPECT_EQ(testing_support::readFile(song_), merged);
    EXPECT_EQ(testing_support::readFile(directory_.file("song.qrt")), "earlier side file");
    EXPECT_EQ(filesIn(directory_.path()), (std::set<std::string>{"song.wav", "song.qrt"}));
}

TEST_F(WavTools, TheTextsOfSongsTheMergeRefuses) {
    std::vector<RiffChunk> chunks = fixtures::parseRiff(original_);
    std::vector<RiffChunk> noData = {chunks[0]};
    std::vector<RiffChunk> noFmt = {chunks[1]};
    std::vector<RiffChunk> floatFmt = {{"fmt ", fixtures::fmtBody(3, 2, 44100, 32)}, chunks[1]};
    std::string notRiff = original_, notWave = original_;
    notRiff[1] = 'X';
    notWave[10] = 'X';
    const std::pair<std::string, std::string> cases[] = {
        {notRiff, "The .WAV file is not a RIFF file."},
        {notWave, "The .WAV file is not a WAVE file."},
        {fixtures::writeRiff(noFmt), "The .WAV file does not contain a FMT chunk."},
        {fixtures::writeRiff(noData), "The .WAV file does not have a DATA chunk."},
        {fixtures::writeRiff(floatFmt), "The .WAV audio format is neither PCM, nor MP3."},
    };
    for (const auto& [bytes, text] : cases) {
        SCOPED_TRACE(text);
        testing_support::writeFile(song_, bytes);
        writeSides();
        platform::uiScript::clearRequests();
        EXPECT_TRUE(mergeWavMetaData(song_));
        EXPECT_EQ(boxes(), (std::vector<std::pair<std::string, std::string>>{{"Cannot Merge", text}}));
        EXPECT_EQ(testing_support::readFile(song_), bytes);
        EXPECT_EQ(filesIn(directory_.path()), (std::set<std::string>{"song.wav", "song.qrt", "song.png"}));
    }
    // Split names the first two as well.
    testing_support::writeFile(song_, notWave);
    platform::uiScript::clearRequests();
    EXPECT_TRUE(splitWavMetaData(song_, false));
    EXPECT_EQ(boxes(), (std::vector<std::pair<std::string, std::string>>{{"Cannot Strip / Split", "The .WAV file is not a WAVE file."}}));
    EXPECT_EQ(testing_support::readFile(song_), notWave);
}

TEST_F(WavTools, AnOldFileThatCannotBeRemovedIsReported) {
    writeSides();
    ASSERT_TRUE(mergeWavMetaData(song_));
    const std::string tmp = directory_.file("song.tmp");
    platform::setFileFaultHook([&](platform::FileOperation operation, const std::string& path) {
        return operation == platform::FileOperation::Remove && path == tmp;
    });
    EXPECT_TRUE(stripWavMetaData(song_));
    platform::setFileFaultHook({});
    EXPECT_EQ(boxes(), (std::vector<std::pair<std::string, std::string>>{{"Cannot Remove", "Cannot remove " + tmp + "."}}));
    EXPECT_EQ(testing_support::readFile(song_), original_);
}

}  // namespace
