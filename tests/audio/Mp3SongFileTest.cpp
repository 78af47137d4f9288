// MP3 songs through the song-file factory: where the MP3 data lies (plain,
// behind an ID3v2 tag, in a WAV data chunk, before the meta-data block and
// an ID3v1 tag), the frame index kept in the beat meta-data, and the
// 20-minute limit counted in frames.
#include "FrameworkTest.h"
#include "MetaDataFixtures.h"
#include "Mp3ReaderFixtures.h"
#include "TestEnvironment.h"

#include "audio/Beats.h"
#include "audio/SampleDisk.h"
#include "framework/StringException.h"

namespace {

using namespace mp3fixtures;

std::string qrtWithFrames(const std::vector<std::int32_t>& frames) {
    Beats beats(44100);
    for (std::int32_t i = 0; i < 4; ++i) beats.appendBeat(1000 + i * 22050, false);
    BeatsWriteSources sources;
    if (!frames.empty()) {
        sources.frames = frames.data();
        sources.frameCount = static_cast<std::int32_t>(frames.size()) - 1;
    }
    return beats.metaDataBytes(sources);
}

class Mp3SongFile : public FrameworkTest {
protected:
    std::unique_ptr<AudioFileReader> openSong(const std::string& name, const std::string& bytes,
                                              const std::string& sideQrt = "") {
        const std::string path = directory_.file(name);
        testing_support::writeFile(path, bytes);
        const std::string qrtPath = path.substr(0, path.size() - 3) + "qrt";
        std::remove(qrtPath.c_str());
        if (!sideQrt.empty()) testing_support::writeFile(qrtPath, sideQrt);
        return SampleDisk::open(path, true, false, 1.0f);
    }

    testing_support::TemporaryDirectory directory_;
};

TEST_F(Mp3SongFile, TheMp3DataReadsAsThePlainStreamWhereverItLies) {
    const std::string plain = streamBytes("m1-44k-joint-128-crc");
    const auto plainReader = openReader(plain);
    const Channels expected = readWhole(*plainReader, 44100);
    const std::string id3v1 = "TAG" + std::string(125, '\xFF');
    const std::string qrt = qrtWithFrames({});
    fixtures::Id3Tag tag;
    tag.frames.push_back({"TIT2", fixtures::textBody("a title")});
    tag.padding = 700;
    const struct Case {
        const char* what;
        const char* name;
        std::string bytes;
    } cases[] = {
        {"plain", "plain.mp3", plain},
        {"behind an ID3v2 tag", "tagged.mp3", fixtures::writeId3(tag) + plain},
        {"in a WAV data chunk, chunks after it",
         "wrapped.wav",
         fixtures::writeRiff({{"fmt ", fixtures::fmtBody(85, 2, 44100, 0)}, {"data", plain}, {"LIST", plain.substr(0, 999)}})},
        {"before the meta-data block and ID3v1",
         "block.mp3",
         plain + fixtures::mp3MetaDataBlock(qrt, plain.substr(0, 3000), plain.size()) + id3v1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::unique_ptr<AudioFileReader> reader = openSong(c.name, c.bytes);
        ASSERT_NE(reader, nullptr);
        EXPECT_TRUE(reader->isFrameBased());
        EXPECT_TRUE(reader->format()->isCdFormat());
        EXPECT_EQ(reader->length(), plainReader->length());
        const Channels read = readWhole(*reader, 44100);
        EXPECT_EQ(firstDifference(read.left, expected.left), -1);
        EXPECT_EQ(firstDifference(read.right, expected.right), -1);
    }
}

// The beat meta-data's "MP3 Frames" spare the scan: an index cut to 30
// frames gives a 30-frame song, also after a tag was put in front.
TEST_F(Mp3SongFile, TheStoredFrameIndexIsUsedAndFollowsATagInFront) {
    const std::string plain = streamBytes("m1-44k-stereo-128-sweep");
    const auto scanned = openReader(plain);
    const Channels whole = readWhole(*scanned, 44100);
    const std::vector<std::int32_t> stored(scanned->frameIndex().begin(), scanned->frameIndex().begin() + 31);
    fixtures::Id3Tag tag;
    tag.frames.push_back({"TPE1", fixtures::textBody("an artist")});
    for (const std::string& front : {std::string(), fixtures::writeId3(tag)}) {
        SCOPED_TRACE(front.size());
        const std::unique_ptr<AudioFileReader> reader = openSong("song.mp3", front + plain, qrtWithFrames(stored));
        EXPECT_EQ(reader->length(), 30 * kFrame);
        const Channels read = readWhole(*reader, 44100);
        EXPECT_EQ(firstDifference(read.left, std::vector<float>(whole.left.begin(), whole.left.begin() + 30 * kFrame)), -1);
    }
    // An index from another song is not taken: the song is scanned.
    const std::vector<std::int32_t> other = openReader(streamBytes("m1-44k-joint-320-loud"))->frameIndex();
    EXPECT_EQ(openSong("song.mp3", plain, qrtWithFrames(other))->length(), scanned->length());
}

// 45,937 frames are 52,919,424 samples, inside 20 minutes; one frame more
// is past them.
TEST_F(Mp3SongFile, TwentyMinutesAreCountedInWholeFrames) {
    const std::vector<std::string> frames = framesOf(streamBytes("m1-44k-stereo-128-sweep"));
    for (const std::int32_t count : {45937, 45938}) {
        SCOPED_TRACE(count);
        const std::string bytes = repeatFrames(frames, count);
        if (count == 45937) {
            const std::unique_ptr<AudioFileReader> reader = openSong("long.mp3", bytes);
            EXPECT_EQ(reader->length(), count * kFrame);
            EXPECT_LE(reader->length(), SampleDisk::kMaxFrames);
        } else {
            EXPECT_STRING_EXCEPTION(openSong("long.mp3", bytes), "The length of the audio file exceeds 20 minutes.");
        }
    }
}

}  // namespace
