// The beat mapper's playback on the stepped null output routed as the
// application routes its main output: what it plays against a NumPy model
// of the song times the ramped song gain plus the click at the last beat
// each block reaches; the pointer, the stop at the analysed length, the
// wheel, and the load flow.
#include "BeatMapperTestSupport.h"
#include "MetaDataFixtures.h"
#include "OutputThreadCalls.h"

#include "audio/AudioFileReader.h"
#include "audio/MusicalKey.h"
#include "audio/SampleDisk.h"
#include "framework/DialogProgress.h"
#include "framework/Log.h"
#include "framework/GUIButton.h"
#include "framework/GUIButtonManager.h"
#include "framework/GUIMarkerMap.h"
#include "framework/GUINumberSlider.h"
#include "framework/GUISliderHorizontal.h"
#include "framework/GUISliderVertical.h"
#include "framework/GUITextHorizontal.h"
#include "framework/Window.h"
#include "platform/EventLoop.h"
#include "platform/NativeWindow.h"
#include "platform/TestInput.h"
#include "platform/UiScript.h"
#include "platform/audio/NullAudio.h"
#include "tools/GUIBeatMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

using mapper_test::BeatMapperTest;
using mapper_test::MapperSong;
using platform::audio::NullAudio;

// The song and click volume sliders' values before one block.
struct Volumes {
    float song = 0.5f;
    float click = 0.25f;
};

struct PlaybackCase {
    const char* name;
    // In whole blocks from the play start, plus frames.
    std::vector<std::pair<int, int>> beats;
    std::vector<Volumes> blocks;
};

class BeatMapperPlayback : public BeatMapperTest {
protected:
    std::string song() const { return files.file("song.wav"); }

    // The model's bytes for `blocks` blocks from `start`, the gains of the
    // block before the first ended at `before`.
    std::vector<std::int16_t> model(std::int32_t start, const std::vector<std::int32_t>& beats,
                                    const std::vector<Volumes>& blocks, Volumes before) {
        std::ostringstream json;
        json << "{\"song\": \"" << song() << "\", \"click\": \"" << clickFile() << "\", \"frames\": " << frames
             << ", \"start\": " << start << ", \"songGain\": " << before.song << ", \"clickGain\": " << before.click
             << ", \"beats\": [";
        for (std::size_t i = 0; i < beats.size(); ++i) json << (i ? ", " : "") << beats[i];
        json << "], \"blocks\": [";
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            json << (i ? ", " : "") << "{\"song\": " << blocks[i].song << ", \"click\": " << blocks[i].click << "}";
        }
        json << "]}";
        const std::string schedule = files.file("schedule.json");
        const std::string raw = files.file("model.raw");
        testing_support::writeFile(schedule, json.str());
        testing_support::runPython("tools/beatmapper_playback_model.py", {schedule, raw});
        const std::string bytes = testing_support::readFile(raw);
        std::vector<std::int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        return samples;
    }

    // Sets a slider as a drag would: value, then its listener.
    static void move(GUISlider* slider, float value) {
        slider->setValue(value);
        slider->notifyListener();
    }
};

// Equal but for the last bit of a 16-bit sample: the primitives' builds
// round the ramp's last float bit differently, which may move a value
// across a truncation step.
void expectEqualSamples(const std::vector<std::int16_t>& played, const std::vector<std::int16_t>& model,
                        const std::string& what) {
    ASSERT_EQ(played.size(), model.size()) << what;
    int worst = 0;
    std::size_t at = 0;
    for (std::size_t i = 0; i < played.size(); ++i) {
        const int difference = std::abs(played[i] - model[i]);
        if (difference > worst) {
            worst = difference;
            at = i;
        }
    }
    EXPECT_LE(worst, 1) << what << ": sample " << at << " (frame " << at / 2 << ") played " << played[at]
                        << ", model " << model[at];
}

// The largest difference from the song alone at a steady gain, over the
// interleaved samples [from, to) of a block that starts at song frame
// `frame`.
int clickExcess(const std::vector<std::int16_t>& block, std::int64_t frame, float gain, int from, int to) {
    int excess = 0;
    for (int i = from; i < to; ++i) {
        const auto n = frame + i / 2;
        const float sample = static_cast<float>(mapper_test::songValue(i % 2, n)) / 32768.0f;
        const auto alone = static_cast<int>(sample * gain * 32767.0f);
        excess = std::max(excess, std::abs(block[static_cast<std::size_t>(i)] - alone));
    }
    return excess;
}

TEST_F(BeatMapperPlayback, CapturesEqualTheModelOfSongTimesRampPlusClick) {
    const std::vector<PlaybackCase> cases = {
        // Two beats inside block 2: one click, at the second.
        {"crossing two beats", {{2, 300}, {2, 1300}}, std::vector<Volumes>(4)},
        // A beat exactly at block 1's end starts the click with block 2.
        {"beat at a block's end", {{2, 0}, {4, 700}}, std::vector<Volumes>(5)},
        // Sliders moved before blocks 1 and 3: each ramps across that block.
        {"slider moves",
         {{0, 100}, {1, 900}, {3, 50}},
         {{0.5f, 0.25f}, {0.2f, 0.1f}, {0.2f, 0.1f}, {0.75f, 0.0f}, {0.75f, 0.0f}}},
        // A click still sounding when the next one starts again.
        {"clicks closer than the click", {{0, 10}, {0, 2000}, {1, 1500}, {2, 100}}, std::vector<Volumes>(4)},
    };
    const std::int32_t start = 30000;
    for (const PlaybackCase& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        // Frames per block are known only once the output runs: 50 ms.
        const int blockFrames = 2205;
        MapperSong spec;
        spec.seconds = 4.0;
        for (const auto& [block, offset] : c.beats) spec.beats.push_back(start + block * blockFrames + offset);
        mapper_test::writeSong(song(), spec);
        BeatMapper& m = open(song());
        ASSERT_EQ(m.beats()->count(), static_cast<std::int32_t>(spec.beats.size()));
        openOutput(50.0f);
        ASSERT_EQ(frames, blockFrames);
        m.startPlayback(start);

        Volumes before;
        for (const Volumes& volumes : c.blocks) {
            move(m.songVolumeSlider(), volumes.song);
            move(m.clickVolumeSlider(), volumes.click);
            step();
        }
        // Two more periods play the last rendered blocks.
        step(2);
        const int count = static_cast<int>(c.blocks.size());
        const std::vector<std::int16_t> playedBlocks = played(2, 2 + count);
        expectEqualSamples(playedBlocks, model(start, spec.beats, c.blocks, before), c.name);
        EXPECT_EQ(m.playPosition(), start + (count + 2) * blockFrames);
#if VELKARN_COUNT_OUTPUT_CALLS
        EXPECT_EQ(outputAllocations.load(), 0) << "render allocated";
#endif
    }
}

TEST_F(BeatMapperPlayback, OneClickPerBlockAtTheLastBeatItReaches) {
    // Independent of the model: in the block that holds beats at 300 and
    // 1300, nothing but the song sounds before 1300, and the click at 1300.
    const std::int32_t start = 22050;
    MapperSong spec;
    spec.seconds = 3.0;
    spec.beats = {start + 2 * 2205 + 300, start + 2 * 2205 + 1300};
    mapper_test::writeSong(song(), spec);
    BeatMapper& m = open(song());
    openOutput(50.0f);
    m.startPlayback(start);
    step(5);
    const std::vector<std::int16_t> block = played(4, 5);
    const std::int64_t frame = start + 2 * 2205;
    EXPECT_LE(clickExcess(block, frame, 0.5f, 0, 2 * 1300), 1) << "a click before the second beat";
    EXPECT_GT(clickExcess(block, frame, 0.5f, 2 * 1300, 2 * 1400), 200) << "no click at the second beat";
    // The block before sounds the song alone.
    EXPECT_LE(clickExcess(played(3, 4), frame - 2205, 0.5f, 0, 2 * 2205), 1);
}

TEST_F(BeatMapperPlayback, PlaybackFromTheLastBeatStopsWithinOneTimerPeriodAfterTheAnalysedLength) {
    MapperSong spec;
    spec.seconds = 2.0;
    spec.beats = {10000, 40000, 80000};
    mapper_test::writeSong(song(), spec);
    BeatMapper& m = open(song());
    const std::int32_t analysed = m.beatMap()->totalSamples();
    ASSERT_EQ(analysed, static_cast<std::int32_t>(88200 / 153) * 153);
    openOutput(10.0f);
    m.startPlayback(80000);
    tick();
    EXPECT_TRUE(m.isPlaying());
    EXPECT_TRUE(m.markerMap()->isPointerVisible());

    // Each tick plays 50 ms worth of periods; once the position is past the
    // analysed length, the next tick stops playback and hides the pointer.
    int ticks = 0;
    while (m.playPosition() <= analysed && ticks < 100) {
        EXPECT_TRUE(m.isPlaying()) << "stopped before the end at " << m.playPosition();
        tick();
        ++ticks;
    }
    ASSERT_LT(ticks, 100);
    if (m.isPlaying()) tick();
    EXPECT_FALSE(m.isPlaying());
    EXPECT_FALSE(m.markerMap()->isPointerVisible());
    // Silence from then on.
    const std::int64_t stoppedAt = m.playPosition();
    step(3);
    EXPECT_EQ(m.playPosition(), stoppedAt);
    const std::vector<std::int16_t> last = played(NullAudio::stream(stream)->periods - 1,
                                                  static_cast<int>(NullAudio::stream(stream)->periods));
    EXPECT_TRUE(std::all_of(last.begin(), last.end(), [](std::int16_t v) { return v == 0; }));
}

}  // namespace

namespace {

// A reader whose first read waits until the test lets it go.
class HeldReader : public AudioFileReader {
public:
    HeldReader(std::unique_ptr<AudioFileReader> inner, std::atomic<bool>& go) : inner_(std::move(inner)), go_(go) {}
    FormatAudio* format() override { return inner_->format(); }
    int length() const override { return inner_->length(); }
    float** read(std::int32_t position, std::int32_t count, bool readAhead) override {
        while (!go_.load()) std::this_thread::yield();
        return inner_->read(position, count, readAhead);
    }
    bool isFrameBased() const override { return inner_->isFrameBased(); }

private:
    std::unique_ptr<AudioFileReader> inner_;
    std::atomic<bool>& go_;
};

class BeatMapperLoad : public BeatMapperTest {
protected:
    std::vector<float> envelope() const {
        std::int32_t count = 0;
        const float* values = mapper->beatMap()->envelope(&count);
        return values == nullptr ? std::vector<float>{} : std::vector<float>(values, values + count);
    }
    static std::vector<float> written(std::size_t count) {
        std::vector<float> levels(count);
        for (std::size_t i = 0; i < count; ++i) levels[i] = mapper_test::writtenLevel(i);
        return levels;
    }
    // An MP3 of the song's samples made by lame, with the tags the flags ask
    // for.
    std::string writeMp3(const std::string& name, const std::string& title, const std::string& tagFlag) {
        const std::string wav = files.file(name + ".source.wav");
        MapperSong spec;
        spec.seconds = 2.0;
        spec.withMetaData = false;
        mapper_test::writeSong(wav, spec);
        const std::string mp3 = files.file(name + ".mp3");
        const std::string command = "lame --quiet -b 128 " + tagFlag + " --tt '" + title +
                                    "' --ta 'Tag Artist' --tl 'Tag Album' --ty 2001 --tc 'Tag Comment' '" + wav +
                                    "' '" + mp3 + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return mp3;
    }
};

TEST_F(BeatMapperLoad, AFileInUseIsRefusedAndNothingChanges) {
    MapperSong first;
    first.beats = {1000, 23050, 45100};
    mapper_test::writeSong(files.file("first.wav"), first);
    MapperSong second = first;
    second.beats = {5000, 27050};
    mapper_test::writeSong(files.file("second.wav"), second);
    BeatMapper& m = open(files.file("first.wav"));
    EXPECT_EQ(m.window()->fileName(), "first");
    EXPECT_EQ(m.statusText()->text(), files.file("first.wav"));

    {
        std::ifstream holding(files.file("second.wav"), std::ios::binary);
        ASSERT_TRUE(holding.is_open());
        EXPECT_FALSE(m.load(files.file("second.wav"), "second"));
    }
    EXPECT_EQ(browser_test::boxes(),
              std::vector<std::string>{"Cannot Load|The file is in use (maybe playing), so you cannot beat-map it."});
    EXPECT_EQ(m.path(), files.file("first.wav"));
    EXPECT_EQ(m.window()->fileName(), "first");
    ASSERT_EQ(m.beats()->count(), 3);
    EXPECT_EQ((*m.beats())[0].position, 1000);
    EXPECT_FALSE(m.loadButton()->isDown());

    // Free again, it loads.
    EXPECT_TRUE(m.load(files.file("second.wav"), "second"));
    EXPECT_EQ(m.path(), files.file("second.wav"));
    ASSERT_EQ(m.beats()->count(), 2);
    EXPECT_EQ((*m.beats())[0].position, 5000);
}

TEST_F(BeatMapperLoad, AFailedOpenShowsTheReadersTextAndKeepsTheSong) {
    MapperSong first;
    first.beats = {1000, 23050};
    mapper_test::writeSong(files.file("first.wav"), first);
    testing_support::writeFile(files.file("broken.wav"), "RIFF....WAVEjunk");
    BeatMapper& m = open(files.file("first.wav"));
    EXPECT_FALSE(m.load(files.file("broken.wav"), "broken"));
    const std::vector<std::string> shown = browser_test::boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind("Could not load song.|", 0), 0u) << shown[0];
    EXPECT_EQ(m.path(), files.file("first.wav"));
    EXPECT_EQ(m.beats()->count(), 2);
}

TEST_F(BeatMapperLoad, TheTextsComeFromTheRecordElseID3v2ElseID3v1) {
    // ID3v1 holds 30 characters of a title, ID3v2 all of it.
    const std::string title = "A Title Longer Than Thirty Characters";
    struct Case {
        const char* name;
        std::string tagFlag;
        bool withRecord;
        std::string expectedTitle;
        std::string expectedArtist;
    };
    const std::vector<Case> cases = {
        {"record over both tags", "--add-id3v2 --id3v2-latin1", true, "Record Title", "Record Artist"},
        {"ID3v2 over ID3v1", "--add-id3v2 --id3v2-latin1", false, title, "Tag Artist"},
        {"ID3v1 alone", "--id3v1-only", false, title.substr(0, 30), "Tag Artist"},
        {"ID3v2 alone", "--id3v2-only --id3v2-latin1", false, title, "Tag Artist"},
    };
    open();
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string mp3 = writeMp3("song" + std::to_string(index++), title, c.tagFlag);
        if (c.withRecord) {
            MapperSong record;
            record.beats = {1000, 23050};
            record.withMetaData = true;
            record.label = "Record Label";
            // Only the side file: the samples stay lame's.
            mapper_test::writeSong(files.file("record.wav"), record);
            std::rename(files.file("record.qrt").c_str(), (mp3.substr(0, mp3.size() - 3) + "qrt").c_str());
        }
        ASSERT_TRUE(mapper->load(mp3, "mp3")) << testing_support::readFile(logFilePath());
        EXPECT_EQ(mapper->trackText()->text(), c.expectedTitle);
        EXPECT_EQ(mapper->artistText()->text(), c.expectedArtist);
        EXPECT_EQ(mapper->albumText()->text(), c.withRecord ? "Record Album" : "Tag Album");
        EXPECT_EQ(mapper->commentsText()->text(), c.withRecord ? "Record Comment" : "Tag Comment");
        EXPECT_EQ(mapper->yearText()->text(), c.withRecord ? "1999" : "2001");
        EXPECT_EQ(mapper->labelText()->text(), c.withRecord ? "Record Label" : "");
    }
}

TEST_F(BeatMapperLoad, OnlyAnEnvelopeOf153SamplesPerValueIsReused) {
    struct Case {
        const char* name;
        std::int32_t samplesPerLevel;
        bool reused;
    };
    const std::vector<Case> cases = {
        {"153 per value", 153, true},
        {"the record's default of 100", 100, false},
        {"no Points record", 0, false},
    };
    open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MapperSong spec;
        spec.seconds = 3.0;
        spec.beats = {1000, 23050};
        spec.samplesPerLevel = c.samplesPerLevel;
        const std::string path = files.file(std::string("points") + std::to_string(c.samplesPerLevel) + ".wav");
        mapper_test::writeSong(path, spec);
        platform::uiScript::clearRequests();
        ASSERT_TRUE(mapper->load(path, "points"));
        const std::vector<float> levels = envelope();
        // Whole seconds of 288 values (44100 / 153) each.
        const std::size_t analysed = 3 * static_cast<std::size_t>(132300 / 153 / 3);
        if (c.reused) {
            // As the file stores them.
            const std::vector<float> expected = written(132300 / 153);
            ASSERT_EQ(levels.size(), expected.size());
            for (std::size_t i = 0; i < levels.size(); ++i) ASSERT_NEAR(levels[i], expected[i], 1e-6f) << i;
        } else {
            ASSERT_EQ(levels.size(), analysed);
            // The largest magnitude of each value's 153 frames.
            for (std::size_t i = 0; i < levels.size(); i += 97) {
                float largest = 0.0f;
                for (std::int64_t n = static_cast<std::int64_t>(i) * 153; n < static_cast<std::int64_t>(i + 1) * 153; ++n) {
                    for (int channel = 0; channel < 2; ++channel) {
                        largest = std::max(largest, std::abs(static_cast<float>(mapper_test::songValue(channel, n)) /
                                                             32768.0f));
                    }
                }
                ASSERT_EQ(levels[i], largest) << i;
            }
        }
    }
}

TEST_F(BeatMapperLoad, ACancelledAnalysisKeepsThePreviousSongItsAnalysisAndBeats) {
    MapperSong first;
    first.beats = {1000, 23050, 45100};
    mapper_test::writeSong(files.file("first.wav"), first);
    MapperSong second;
    second.seconds = 5.0;
    second.samplesPerLevel = 0;
    second.beats = {2000, 24050};
    mapper_test::writeSong(files.file("second.wav"), second);
    BeatMapper& m = open(files.file("first.wav"));
    AudioFileReader* song = m.song();
    const std::vector<float> before = envelope();

    std::atomic<bool> pressed{false};
    platform::uiScript::setDialogResponder(DialogProgress::templateId, [&](platform::Dialog& shown) {
        EXPECT_EQ(shown.caption(), "Loading Track");
        shown.press(platform::cancelButton);
        pressed = true;
    });
    BeatMapper::setSongOpen([&](const std::string& path, bool absolute, bool metaOnly, float cacheSeconds,
                                const SongFileOutputs& outputs) -> std::unique_ptr<AudioFileReader> {
        return std::make_unique<HeldReader>(SampleDisk::open(path, absolute, metaOnly, cacheSeconds, outputs),
                                            pressed);
    });
    EXPECT_FALSE(m.load(files.file("second.wav"), "second"));
    platform::uiScript::setDialogResponder(DialogProgress::templateId, {});
    ASSERT_TRUE(pressed.load()) << "no progress dialog";
    EXPECT_EQ(m.song(), song);
    EXPECT_EQ(m.path(), files.file("first.wav"));
    EXPECT_EQ(m.window()->fileName(), "first");
    EXPECT_EQ(envelope(), before);
    ASSERT_EQ(m.beats()->count(), 3);
    EXPECT_EQ((*m.beats())[2].position, 45100);
    EXPECT_FALSE(m.loadButton()->isDown());

    // Not cancelled, the same song loads and is analysed.
    pressed = true;
    EXPECT_TRUE(m.load(files.file("second.wav"), "second"));
    EXPECT_EQ(m.path(), files.file("second.wav"));
    EXPECT_EQ(envelope().size(), static_cast<std::size_t>(5 * (44100 / 153)));
    EXPECT_EQ(m.beats()->count(), 2);
}

TEST_F(BeatMapperLoad, ASongWithoutBeatsShowsTheEstimatesFirstCandidate) {
    // 20 s of a faint tone under 10 ms Hann-windowed 1 kHz clicks at
    // 128 BPM (downbeats louder), no meta-data.
    const double beatFrames = 44100.0 * 60.0 / 128.0;
    std::string data;
    for (std::int64_t n = 0; n < 20 * 44100; ++n) {
        const auto beat = static_cast<std::int64_t>(static_cast<double>(n) / beatFrames);
        const double since = static_cast<double>(n) - static_cast<double>(beat) * beatFrames;
        double value = 0.05 * std::sin(2.0 * M_PI * 220.0 * static_cast<double>(n) / 44100.0);
        if (since < 441.0) {
            value += (beat % 4 == 0 ? 0.8 : 0.4) * (0.5 - 0.5 * std::cos(2.0 * M_PI * since / 441.0)) *
                     std::sin(2.0 * M_PI * 1000.0 * since / 44100.0);
        }
        const auto sample = static_cast<std::uint16_t>(std::lround(value * 32767.0));
        for (int channel = 0; channel < 2; ++channel) data += {static_cast<char>(sample & 0xFF), static_cast<char>(sample >> 8)};
    }
    const std::string path = files.file("clicks.wav");
    testing_support::writeFile(path, fixtures::writeRiff({{"fmt ", fixtures::fmtBody(1, 2, 44100, 16)}, {"data", data}}));

    // The estimate of a map of our own over the same song (closed again:
    // the mapper refuses a song in use).
    float tempi[BeatMapper::maximumCandidates] = {};
    std::int32_t count = 0;
    {
        std::unique_ptr<AudioFileReader> reader = SampleDisk::open(path, true, false, 2.0f);
        GUIBeatMap own(0, 0, 10, 10, BeatMapper::samplesPerValue, nullptr);
        ASSERT_TRUE(own.analyse(reader.get(), nullptr));
        own.findTempoCandidates(4, tempi, &count, BeatMapper::maximumCandidates);
        ASSERT_GT(count, 0);
        own.refineTempo(&tempi[0], 4);
    }

    // A song with beats first, so that the tempo shown is the file's.
    MapperSong first;
    first.beats = {1000, 23050};
    first.bpm = 97.5f;
    mapper_test::writeSong(files.file("first.wav"), first);
    BeatMapper& m = open(files.file("first.wav"));
    EXPECT_FLOAT_EQ(m.tempo(), 97.5f);

    ASSERT_TRUE(m.load(path, "clicks"));
    EXPECT_EQ(m.beats()->count(), 0);
    EXPECT_EQ(m.markerMap()->count(), 0);
    EXPECT_EQ(m.candidateCount(), count);
    EXPECT_EQ(m.candidateIndex(), 0);
    EXPECT_EQ(m.candidate(0), tempi[0]);
    EXPECT_NEAR(m.candidate(0), 128.0f, 128.0f * 0.005f);
    EXPECT_FLOAT_EQ(m.tempo(), m.candidate(0));
}

TEST_F(BeatMapperLoad, TheGroupsTextsAndTempoComeFromTheFile) {
    // F, the index of the first set beat, counts the file's generated
    // beats before it, negative ones too; those are dropped afterwards.
    struct Case {
        const char* name;
        std::vector<std::int32_t> generatedBefore;
        int beatsPerBar;
        int beatIndex;
        int barIndex;
        float bpm;
        bool usePng;
        int keyIndex;
        std::string label;
    };
    const std::vector<Case> cases = {
        {"first beat set", {}, 4, 0, 0, 120.0f, false, -1, ""},
        {"five before, 4/4", {-4000, -2000, 1000, 3000, 5000}, 4, 1, 1, 97.5f, true, 3, "Label One"},
        {"nine before, 4/4", {100, 200, 300, 400, 500, 600, 700, 800, 900}, 4, 1, 2, 128.25f, false, 14, ""},
        {"seven before, 3/4", {100, 200, 300, 400, 500, 600, 700}, 3, 1, 2, 150.0f, false, 23, "L"},
        {"seventeen before, 4/4",
         {50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150, 160, 170, 180, 190, 200, 210},
         4, 1, 0, 60.0f, true, -1, ""},
    };
    open();
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MapperSong spec;
        spec.beats = c.generatedBefore;
        spec.generated.assign(c.generatedBefore.size(), true);
        for (std::int32_t position : {10000, 30000, 50000}) spec.beats.push_back(position);
        spec.beatsPerBar = c.beatsPerBar;
        spec.bpm = c.bpm;
        spec.usePng = c.usePng;
        spec.keyIndex = c.keyIndex;
        spec.label = c.label;
        const std::string path = files.file("groups" + std::to_string(index++) + ".wav");
        mapper_test::writeSong(path, spec);
        ASSERT_TRUE(mapper->load(path, "groups"));
        EXPECT_EQ(mapper->beatGroup()->selectedIndex(), c.beatIndex);
        EXPECT_EQ(mapper->barGroup()->selectedIndex(), c.barIndex);
        EXPECT_EQ(mapper->meterGroup()->selectedIndex(), c.beatsPerBar - 3);
        EXPECT_EQ(mapper->beatsPerBar(), c.beatsPerBar);
        EXPECT_FLOAT_EQ(mapper->tempo(), c.bpm);
        EXPECT_EQ(mapper->usePngButton()->isDown(), c.usePng);
        EXPECT_EQ(mapper->keyText()->text(), c.keyIndex < 0 ? "" : MusicalKey::fromIndex(c.keyIndex).name());
        EXPECT_EQ(mapper->labelText()->text(), c.label);
        EXPECT_EQ(mapper->trackText()->text(), "Record Title");
        // Negative beats are gone; the rest are markers, set ones switched on.
        const auto negatives =
            std::count_if(c.generatedBefore.begin(), c.generatedBefore.end(), [](std::int32_t p) { return p < 0; });
        const auto kept = static_cast<int>(spec.beats.size() - static_cast<std::size_t>(negatives));
        ASSERT_EQ(mapper->beats()->count(), kept);
        ASSERT_EQ(mapper->markerMap()->count(), kept);
        int on = 0;
        for (int i = 0; i < kept; ++i) on += mapper->markerMap()->marker(i).on ? 1 : 0;
        EXPECT_EQ(on, 3);
        EXPECT_FALSE(mapper->isEdited());
        EXPECT_FLOAT_EQ(mapper->scrollSlider()->value(), 1.0f);
    }
}

}  // namespace

namespace {

class BeatMapperWheel : public BeatMapperTest {};

TEST_F(BeatMapperWheel, TheWheelOverTheMapScrollsByLinesOfRowsThatDoNotFit) {
    ASSERT_EQ(platform::wheelScrollLines(), 3);
    // 60 s at 120 BPM in 4/4: 30 rows of 88,200 frames.
    MapperSong spec;
    spec.seconds = 60.0;
    spec.beats = {1000, 23050, 45100};
    mapper_test::writeSong(files.file("long.wav"), spec);
    BeatMapper& m = open(files.file("long.wav"));
    ASSERT_FLOAT_EQ(m.tempo(), 120.0f);
    struct Case {
        const char* name;
        float zoom;      // row height (1 - zoom) x 19 + 1
        float start;     // scroll slider, 1 at the top
        int notches;     // positive away from the user
        int hiddenRows;  // 30 rows less those the 250-pixel map shows
    };
    const std::vector<Case> cases = {
        {"all rows fit at one pixel a row", 1.0f, 1.0f, -1, 0},
        {"20-pixel rows, one notch down", 0.0f, 1.0f, -1, 30 - 12},
        {"20-pixel rows, two notches down from the middle", 0.0f, 0.5f, -2, 30 - 12},
        {"10-pixel rows, one notch up from the bottom", 0.5f, 0.0f, 1, 30 - 25},
        {"up at the top stays", 0.0f, 1.0f, 3, 30 - 12},
        {"many notches stop at the bottom", 0.0f, 0.5f, -40, 30 - 12},
    };
    const platform::Point overMap{500, 100};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m.zoomSlider()->setValue(c.zoom);
        m.zoomSlider()->notifyListener();
        m.scrollSlider()->setValue(c.start);
        m.scrollSlider()->notifyListener();
        ASSERT_TRUE(platform::test_input::wheel(m.window()->handle(), overMap, 120 * c.notches));
        platform::dispatchPostedMessages();
        const float step = c.hiddenRows > 0 ? 1.0f / static_cast<float>(c.hiddenRows) : 0.0f;
        const float expected = std::clamp(c.start + static_cast<float>(c.notches * 3) * step, 0.0f, 1.0f);
        EXPECT_NEAR(m.scrollSlider()->value(), expected, 1e-6f);
        // The marker map follows: its rows start at the scrolled row.
        const int rowHeight = static_cast<int>((1.0f - c.zoom) * 19.0f + 1.0f);
        const int firstRow = static_cast<int>(static_cast<float>(std::max(c.hiddenRows, 0)) *
                                              (1.0f - m.scrollSlider()->value()));
        EXPECT_EQ(m.markerMap()->scrollPixels(), firstRow * rowHeight) << "row height " << rowHeight;
    }
}

}  // namespace
