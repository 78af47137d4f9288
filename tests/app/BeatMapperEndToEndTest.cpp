// The beat mapper in the whole program, driven through Qt's event path
// only: the main window's beatMapper button (the question answered Yes), a
// click track without meta-data loaded through the open chooser with
// "Loading Track" running its analysis, the estimate shown in the BPM
// number, cycle and estimate, two markers clicked on the click columns with
// editMap down, playback from a marker on the main output (its capture
// against the NumPy playback model: the song at the song volume with the
// click on every beat), the groups, "Edit ID" and "Set Key"; saves with file
// group "1" and then "3", each .qrt equal byte for byte to the one
// tests/tools/beatmapper_records.py writes for the records a user's actions
// give, the overview checked by Pillow and the samples unchanged; closing a
// modified window asks first, and the main window takes input again.
#include "AppTestSupport.h"
#include "EndToEndProgram.h"
#include "MetaDataFixtures.h"
#include "TestEnvironment.h"

#include "audio/AlignedFloats.h"
#include "audio/Beats.h"
#include "audio/SampleDisk.h"
#include "framework/DialogProgress.h"
#include "framework/GUIButton.h"
#include "framework/GUIButtonManager.h"
#include "framework/GUIMarkerMap.h"
#include "framework/GUINumberHorizontal.h"
#include "framework/GUINumberSlider.h"
#include "framework/GUISliderVertical.h"
#include "framework/GUITextHorizontal.h"
#include "framework/ResourceArchive.h"
#include "framework/Window.h"
#include "platform/NativeWindow.h"
#include "platform/TestInput.h"
#include "platform/UiScript.h"
#include "platform/audio/NullAudio.h"
#include "tools/BeatMapper.h"
#include "tools/GUIBeatMap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace input = platform::test_input;
using e2e::centreOf;
using platform::audio::NullAudio;

constexpr int editIdTemplate = 105;
constexpr int setKeyTemplate = 113;
constexpr double songSeconds = 30.0;
constexpr double beatFrames = 22050.0;  // 120 BPM
// The beats whose click columns are clicked: the third and the 34th.
constexpr int firstClickBeat = 2;
constexpr int secondClickBeat = 33;

// The click track: a quiet tone under a 10 ms Hann-windowed 1 kHz click
// on every beat (downbeats louder), no meta-data.
std::int16_t songValue(int channel, std::int64_t n) {
    const double t = static_cast<double>(n) / 44100.0;
    double value = 0.05 * std::sin(2.0 * M_PI * (channel == 0 ? 220.0 : 330.0) * t);
    const auto beat = static_cast<std::int64_t>(static_cast<double>(n) / beatFrames);
    const double since = static_cast<double>(n) - static_cast<double>(beat) * beatFrames;
    if (since < 441.0) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * M_PI * since / 441.0);
        value += (beat % 4 == 0 ? 0.8 : 0.4) * hann * std::sin(2.0 * M_PI * 1000.0 * since / 44100.0);
    }
    return static_cast<std::int16_t>(std::lround(value * 32767.0));
}

std::string wavBytes(std::int64_t frames) {
    std::vector<fixtures::RiffChunk> chunks;
    chunks.push_back({"fmt ", fixtures::fmtBody(1, 2, 44100, 16)});
    std::string data;
    data.reserve(static_cast<std::size_t>(frames) * 4);
    for (std::int64_t n = 0; n < frames; ++n) {
        for (int channel = 0; channel < 2; ++channel) {
            const auto value = static_cast<std::uint16_t>(songValue(channel, n));
            data.push_back(static_cast<char>(value & 0xFF));
            data.push_back(static_cast<char>(value >> 8));
        }
    }
    chunks.push_back({"data", data});
    return fixtures::writeRiff(chunks);
}

std::string riffBody(const std::string& wav, const std::string& id) {
    for (const fixtures::RiffChunk& chunk : fixtures::parseRiff(wav))
        if (chunk.id == id) return chunk.body;
    return {};
}

// The number display's cells as text.
std::string shownNumber(const GUINumberSlider& slider) {
    static const char characters[GUINumberHorizontal::imageCount + 1] = "0123456789.+-e ?";
    std::string text;
    const GUINumberHorizontal& display = *slider.display();
    for (int i = 0; i < display.cellCount(); ++i) {
        if (display.cell(i) != GUINumberHorizontal::space) text += characters[display.cell(i)];
    }
    return text;
}

std::string threeDecimals(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(value));
    return text;
}

std::string nineDigits(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

void writeFloats(const std::string& path, const float* values, std::int32_t count) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(values), static_cast<std::streamsize>(count) * 4);
}

std::vector<std::int32_t> numbersAfter(const std::string& line, const std::string& word) {
    std::vector<std::int32_t> numbers;
    if (line.rfind(word + " ", 0) != 0) return numbers;
    std::istringstream in(line.substr(word.size()));
    std::int32_t n = 0;
    while (in >> n) numbers.push_back(n);
    return numbers;
}

struct SaveResult {
    bool saved = false;
    std::string qrt;       // as the save left it: the RIFF chunk or the side file
    std::string expected;  // beatmapper_records.py's file
    bool sideFiles = false;
    bool embedded = false;
    std::string overviewCheck;
    bool samplesUnchanged = false;
    bool wholeFileAsBefore = false;
    bool modifiedAfter = true;
};

struct MapperRun {
    int exitCode = -1;
    // Open and load
    std::vector<std::string> openBoxes;
    bool opened = false;
    bool mainDisabled = false;
    std::vector<std::string> progressCaptions;
    std::string loadedPath;
    bool hasSong = false;
    float expectedCandidate = 0.0f;
    float mapperCandidate = -1.0f;
    std::string shownAfterLoad;
    // Cycle and estimate
    std::string shownAfterCycle, shownAfterEstimate;
    float expectedHalf = 0.0f;
    bool modifiedAfterEstimate = false;
    // Markers
    std::vector<std::int32_t> clicked;
    std::vector<std::int32_t> beatsAfterClicks;
    std::vector<std::int32_t> expectedPlayed;
    std::vector<std::int32_t> expectedSaved;
    // Playback
    int periodFrames = 0;
    int silentBlocksBeforePlay = -1;
    int playedBlocks = 0;
    int worstDifference = 1 << 20;
    std::int64_t worstAt = -1;
    int clicksHeard = 0;
    int beatsPlayedOver = 0;
    // Groups and dialogs
    int beatGroup = -1, barGroup = -1;
    std::vector<std::string> trackTexts;
    std::string keyText;
    // Saves
    SaveResult groupOne, groupThree;
    // Close
    std::vector<std::string> closeBoxes;
    bool stillOpenAfterNo = false;
    bool closed = false;
    bool mainEnabledAfterClose = false;
};

class MapperScript {
public:
    MapperScript(e2e::Program& program, MapperRun& run, const std::string& directory)
        : program_(program), run_(run), directory_(directory), song_(directory + "/click track.wav") {}

    void operator()(Velkarn& app) {
        app_ = &app;
        frames_ = static_cast<std::int64_t>(songSeconds * 44100.0);
        original_ = wavBytes(frames_);
        testing_support::writeFile(song_, original_);
        openAndLoad();
        if (run_.hasSong) {
            cycleAndEstimate();
            clickMarkers();
            playFromMarker();
            groupsAndDialogs();
            run_.groupOne = save(0);
            run_.groupThree = save(1);
            closeModified();
        }
        program_.close();
    }

private:
    BeatMapper& mapper() { return *app_->beatMapper(); }
    platform::WindowHandle window() { return mapper().window()->handle(); }
    void click(const GUIComponent& component) { EXPECT_TRUE(input::click(window(), centreOf(component))); }
    void clickAt(int x, int y) { EXPECT_TRUE(input::click(window(), platform::Point{x, y})); }

    void openAndLoad() {
        platform::uiScript::clearRequests();
        platform::uiScript::pushYes();
        EXPECT_TRUE(input::click(app_->mainWindow()->handle(), centreOf(*app_->beatMapperButton())));
        run_.openBoxes = app_test::boxes();
        run_.opened = app_->beatMapper() != nullptr;
        if (!run_.opened) return;
        run_.mainDisabled = !app_->mainWindow()->nativeWindow()->inputEnabled();

        // The estimate that the BPM number must show, from a map of our own.
        {
            std::unique_ptr<AudioFileReader> reader = SampleDisk::open(song_, true, false, 2.0f);
            GUIBeatMap map(0, 0, 10, 10, BeatMapper::samplesPerValue, nullptr);
            EXPECT_TRUE(map.analyse(reader.get(), nullptr));
            float tempi[BeatMapper::maximumCandidates] = {};
            std::int32_t count = 0;
            map.findTempoCandidates(4, tempi, &count, BeatMapper::maximumCandidates);
            EXPECT_GT(count, 0);
            map.refineTempo(&tempi[0], 4);
            run_.expectedCandidate = tempi[0];
        }

        platform::uiScript::setDialogResponder(DialogProgress::templateId, [this](platform::Dialog& shown) {
            run_.progressCaptions.push_back(shown.caption());
        });
        platform::uiScript::pushPath(song_);
        click(*mapper().loadButton());
        platform::uiScript::setDialogResponder(DialogProgress::templateId, {});
        run_.loadedPath = mapper().path();
        run_.hasSong = mapper().song() != nullptr;
        run_.mapperCandidate = mapper().candidate(0);
        run_.shownAfterLoad = shownNumber(*mapper().bpmSlider());
    }

    void cycleAndEstimate() {
        run_.expectedHalf = run_.expectedCandidate * 0.5f;
        click(*mapper().cycleBpmButton());
        run_.shownAfterCycle = shownNumber(*mapper().bpmSlider());
        click(*mapper().estimateBpmButton());
        run_.shownAfterEstimate = shownNumber(*mapper().bpmSlider());
        run_.modifiedAfterEstimate = mapper().isEdited();
    }

    // Where a frame lies on the marker map at the current layout (one value
    // per column at this tempo, the zoom at its top: rows one pixel high).
    platform::Point pointOf(std::int32_t frame, std::int32_t& position) {
        const GUIMarkerMap& markers = *mapper().markerMap();
        const int perRow = markers.samplesPerRow();
        const int row = frame / perRow;
        const int column = static_cast<int>(std::lround((frame - row * perRow) / 153.0));
        position = row * perRow + column * 153;
        return {markers.x0 + 5 + column, markers.y0 + 5 + row};
    }

    void clickMarkers() {
        EXPECT_TRUE(mapper().editMapButton()->isDown());
        EXPECT_EQ(mapper().zoomSlider()->value(), 1.0f);
        for (int beat : {firstClickBeat, secondClickBeat}) {
            std::int32_t position = 0;
            const platform::Point point = pointOf(static_cast<std::int32_t>(beat * beatFrames), position);
            EXPECT_TRUE(input::click(window(), point));
            run_.clicked.push_back(position);
        }
        for (std::int32_t i = 0; i < mapper().beats()->count(); ++i) run_.beatsAfterClicks.push_back((*mapper().beats())[i].position);

        // The beat list a user's clicks give, from the beat list's rules.
        std::istringstream lines(testing_support::runPython("tools/beatmapper_records.py", {"beats", spec("")}));
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("played", 0) == 0) run_.expectedPlayed = numbersAfter(line, "played");
            if (line.rfind("saved", 0) == 0) run_.expectedSaved = numbersAfter(line, "saved");
        }
    }

    void playFromMarker() {
        // editMap up: a click on a set beat's marker plays from it.
        click(*mapper().editMapButton());
        EXPECT_FALSE(mapper().editMapButton()->isDown());
        const int stream = program_.mainStream();
        run_.periodFrames = NullAudio::stream(stream)->periodFrames;
        const std::size_t blockBytes = static_cast<std::size_t>(run_.periodFrames) * 4;
        const std::size_t before = NullAudio::capturedBytes(stream).size();
        std::int32_t position = 0;
        EXPECT_TRUE(input::click(window(), pointOf(run_.clicked[0], position)));
        const int blocks = static_cast<int>(3.2 * 44100 / run_.periodFrames) + 8;
        program_.steps(blocks);
        platform::uiScript::clearRequests();
        const std::vector<std::uint8_t> capture = NullAudio::capturedBytes(stream);

        // Blocks rendered before the click are silence; playback starts
        // with a block boundary.
        std::size_t at = before / blockBytes * blockBytes;
        int silent = 0;
        auto isSilent = [&](std::size_t from) {
            for (std::size_t i = from; i < from + blockBytes; ++i)
                if (capture[i] != 0) return false;
            return true;
        };
        while (at + blockBytes <= capture.size() && isSilent(at)) {
            at += blockBytes;
            ++silent;
        }
        run_.silentBlocksBeforePlay = silent;
        const int played = static_cast<int>((capture.size() - at) / blockBytes);
        run_.playedBlocks = played;
        if (played <= 0) return;

        // The NumPy model of the same blocks: the song from the marker at
        // 0.5 (the song volume), the click at 0.25 armed at each beat.
        std::ostringstream json;
        json << "{\"song\": \"" << song_ << "\", \"click\": \"" << clickFile() << "\", \"frames\": " << run_.periodFrames
             << ", \"start\": " << run_.clicked[0] << ", \"songGain\": 0.5, \"clickGain\": 0.25, \"beats\": [";
        for (std::size_t i = 0; i < run_.expectedPlayed.size(); ++i) json << (i ? ", " : "") << run_.expectedPlayed[i];
        json << "], \"blocks\": [";
        for (int i = 0; i < played; ++i) json << (i ? ", " : "") << "{\"song\": 0.5, \"click\": 0.25}";
        json << "]}";
        testing_support::writeFile(directory_ + "/schedule.json", json.str());
        testing_support::runPython("tools/beatmapper_playback_model.py", {directory_ + "/schedule.json", directory_ + "/model.raw"});
        const std::string model = testing_support::readFile(directory_ + "/model.raw");
        if (model.size() != static_cast<std::size_t>(played) * blockBytes) return;
        int worst = 0;
        for (std::size_t i = 0; i < model.size(); i += 2) {
            std::int16_t a = 0, b = 0;
            std::memcpy(&a, capture.data() + at + i, 2);
            std::memcpy(&b, model.data() + i, 2);
            if (std::abs(a - b) > worst) {
                worst = std::abs(a - b);
                run_.worstAt = static_cast<std::int64_t>(i / 4);
            }
        }
        run_.worstDifference = worst;

        // Independently of the model: every beat the blocks pass after the
        // marker starts a click there (left channel above the song alone).
        const std::int64_t end = run_.clicked[0] + static_cast<std::int64_t>(played) * run_.periodFrames;
        for (std::int32_t beat : run_.expectedPlayed) {
            if (beat <= run_.clicked[0] || beat + 200 >= end) continue;
            ++run_.beatsPlayedOver;
            const std::size_t frame = static_cast<std::size_t>(beat - run_.clicked[0]);
            int excess = 0;
            for (std::size_t k = frame; k < frame + 200; ++k) {
                std::int16_t v = 0;
                std::memcpy(&v, capture.data() + at + 4 * k, 2);
                const auto alone = static_cast<int>(static_cast<float>(songValue(0, beat + static_cast<std::int64_t>(k - frame))) / 32768.0f * 0.5f * 32767.0f);
                excess = std::max(excess, std::abs(v - alone));
            }
            if (excess > 100) ++run_.clicksHeard;
        }
    }

    std::string clickFile() {
        const std::uint8_t* data = nullptr;
        int length = 0;
        findArchiveEntry("samples/cowbell.wav", data, length);
        const std::string path = directory_ + "/cowbell.wav";
        testing_support::writeFile(path, std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length)));
        return path;
    }

    void groupsAndDialogs() {
        // Beat "3" of bar "2": the first set beat (index 1 of the list) is
        // put 5 beats into the phrase.
        clickAt(179 + 18, 375 + 18);
        clickAt(387 + 18, 375 + 18);
        run_.beatGroup = mapper().beatGroup()->selectedIndex();
        run_.barGroup = mapper().barGroup()->selectedIndex();

        platform::uiScript::setDialogResponder(editIdTemplate, [](platform::Dialog& dialog) {
            dialog.setText(1005, "Click Track");
            dialog.setText(1007, "Metronome Band");
            dialog.setText(1006, "Tempo Album");
            dialog.setText(1010, "Test Label");
            dialog.setText(1008, std::string(140, 'c'));
            dialog.setText(1009, "2026");
            dialog.press(platform::okButton);
        });
        click(*mapper().editIdButton());
        platform::uiScript::setDialogResponder(setKeyTemplate, [](platform::Dialog& dialog) {
            dialog.press(1040 + 12 + 9);  // A, minor row
            dialog.press(platform::okButton);
        });
        click(*mapper().setKeyButton());
        platform::uiScript::setDialogResponder(editIdTemplate, {});
        platform::uiScript::setDialogResponder(setKeyTemplate, {});
        for (GUITextHorizontal* text : {mapper().trackText(), mapper().artistText(), mapper().albumText(),
                                        mapper().labelText(), mapper().commentsText(), mapper().yearText()}) {
            run_.trackTexts.push_back(text->text());
        }
        run_.keyText = mapper().keyText()->text();
    }

    // The records file the user's actions call for.
    std::string spec(const std::string& extra) {
        std::ostringstream json;
        json << "{\"songLength\": " << frames_ << ", \"bpm\": " << nineDigits(mapper().tempo()) << ", \"markers\": [";
        for (std::size_t i = 0; i < run_.clicked.size(); ++i) json << (i ? ", " : "") << run_.clicked[i];
        json << "], \"meter\": 4, \"beatGroup\": 2, \"barGroup\": 1, \"usePng\": false, \"texts\": {\"track\": \"Click "
                "Track\", \"artist\": \"Metronome Band\", \"album\": \"Tempo Album\", \"comments\": \""
             << std::string(140, 'c') << "\", \"year\": \"2026\", \"label\": \"Test Label\"}, \"key\": [9, 1], "
             << "\"samplesPerLevel\": 153" << extra << "}";
        const std::string path = directory_ + "/spec.json";
        testing_support::writeFile(path, json.str());
        return path;
    }

    SaveResult save(int fileGroup) {
        SaveResult result;
        const std::string qrtPath = directory_ + "/click track.qrt";
        const std::string pngPath = directory_ + "/click track.png";
        // File group "1" or "3".
        clickAt((fileGroup == 0 ? 214 : 254) + 18, 572 + 18);
        EXPECT_EQ(mapper().fileGroup()->selectedIndex(), fileGroup);

        // The envelope and the folded profile the Points record holds, from
        // the mapper's own map (their values are the analysis' tests'
        // business); the beats and every other record from the script.
        std::int32_t levelCount = 0;
        const float* levels = mapper().beatMap()->envelope(&levelCount);
        writeFloats(directory_ + "/levels.f32", levels, levelCount);
        std::int32_t columns = 0;
        float* profile = run_.expectedSaved.empty()
                             ? nullptr
                             : mapper().beatMap()->foldedProfile(mapper().tempo(), 4, run_.expectedSaved.front(), &columns);
        writeFloats(directory_ + "/profile.f32", profile, columns);
        releaseAligned(profile);
        const std::string expectedPath = directory_ + "/expected.qrt";
        testing_support::runPython("tools/beatmapper_records.py",
                                   {"write", spec(", \"levels\": \"" + directory_ + "/levels.f32\", \"profile\": \"" +
                                                      directory_ + "/profile.f32\""),
                                    expectedPath});
        result.expected = testing_support::readFile(expectedPath);

        click(*mapper().saveButton());
        result.saved = mapper().song() != nullptr;
        result.modifiedAfter = mapper().isEdited();
        const std::string wav = testing_support::readFile(song_);
        result.sideFiles = std::filesystem::exists(qrtPath) && std::filesystem::exists(pngPath);
        result.embedded = !riffBody(wav, "qrt ").empty() || !riffBody(wav, "png ").empty();
        std::string png;
        if (fileGroup == 0) {
            result.qrt = riffBody(wav, "qrt ");
            png = riffBody(wav, "png ");
        } else {
            result.qrt = testing_support::readFile(qrtPath);
            png = testing_support::readFile(pngPath);
        }
        result.samplesUnchanged = riffBody(wav, "data") == riffBody(original_, "data");
        result.wholeFileAsBefore = wav == original_;
        testing_support::writeFile(directory_ + "/overview.png", png);
        std::vector<std::string> arguments{directory_ + "/overview.png", "4", "1"};
        for (std::int32_t position : run_.expectedSaved) arguments.push_back(std::to_string(position));
        result.overviewCheck = testing_support::runPython("tools/overview_check.py", arguments);
        return result;
    }

    void closeModified() {
        // A group change marks the window modified; the close asks, No keeps it.
        clickAt(99 + 18, 375 + 18);
        platform::uiScript::clearRequests();
        platform::uiScript::pushNo();
        EXPECT_TRUE(input::close(window()));
        program_.routeToolCloses();
        run_.closeBoxes = app_test::boxes();
        run_.stillOpenAfterNo = app_->beatMapper() != nullptr;
        if (!run_.stillOpenAfterNo) return;
        platform::uiScript::pushYes();
        EXPECT_TRUE(input::close(window()));
        program_.routeToolCloses();
        run_.closed = app_->beatMapper() == nullptr;
        run_.mainEnabledAfterClose = app_->mainWindow()->nativeWindow()->inputEnabled();
    }

    e2e::Program& program_;
    MapperRun& run_;
    std::string directory_;
    std::string song_;
    std::string original_;
    std::int64_t frames_ = 0;
    Velkarn* app_ = nullptr;
};

class BeatMapperEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        run = new MapperRun;
        testing_support::TemporaryDirectory songs;
        e2e::Program program;
        MapperScript script(program, *run, songs.path());
        run->exitCode = program.run(std::ref(script));
    }
    static void TearDownTestSuite() { delete run; }
    static MapperRun* run;
};

MapperRun* BeatMapperEndToEnd::run = nullptr;

TEST_F(BeatMapperEndToEnd, TheButtonOpensTheMapperWhichLoadsAndEstimatesAClickTrack) {
    EXPECT_EQ(run->openBoxes, std::vector<std::string>{"Launching BeatMapper|Do you want to launch the BeatMapper? "
                                                       "[This will interrupt playback.]"});
    ASSERT_TRUE(run->opened);
    EXPECT_TRUE(run->mainDisabled);
    EXPECT_EQ(run->progressCaptions, std::vector<std::string>{"Loading Track"});
    ASSERT_TRUE(run->hasSong);
    EXPECT_NE(run->loadedPath.find("click track.wav"), std::string::npos) << run->loadedPath;
    // The track's tempo, not an alias of it (within 0.5 %), and what the number shows.
    EXPECT_NEAR(run->expectedCandidate, 120.0f, 0.6f);
    EXPECT_EQ(run->mapperCandidate, run->expectedCandidate);
    EXPECT_EQ(run->shownAfterLoad, threeDecimals(run->expectedCandidate));
    EXPECT_EQ(run->exitCode, 0);
}

TEST_F(BeatMapperEndToEnd, CycleHalvesAndEstimateComesBack) {
    ASSERT_TRUE(run->hasSong);
    EXPECT_EQ(run->shownAfterCycle, threeDecimals(run->expectedHalf));
    EXPECT_EQ(run->shownAfterEstimate, threeDecimals(run->expectedCandidate));
    EXPECT_TRUE(run->modifiedAfterEstimate);
}

TEST_F(BeatMapperEndToEnd, TwoClickedMarkersGiveTheBeatListAndPlaybackClicksOnEveryBeat) {
    ASSERT_TRUE(run->hasSong);
    ASSERT_EQ(run->clicked.size(), 2u);
    // Each click lands on its beat's column.
    EXPECT_NEAR(run->clicked[0], firstClickBeat * beatFrames, 153.0);
    EXPECT_NEAR(run->clicked[1], secondClickBeat * beatFrames, 153.0);
    EXPECT_EQ(run->beatsAfterClicks, run->expectedPlayed);
    EXPECT_GT(run->expectedPlayed.size(), 35u);

    EXPECT_GT(run->playedBlocks, 0);
    EXPECT_GE(run->silentBlocksBeforePlay, 0);
    EXPECT_LE(run->worstDifference, 1) << "frame " << run->worstAt << " of the playback";
    EXPECT_GE(run->beatsPlayedOver, 5);
    EXPECT_EQ(run->clicksHeard, run->beatsPlayedOver);
}

TEST_F(BeatMapperEndToEnd, GroupsEditIdAndSetKeyReachTheFields) {
    ASSERT_TRUE(run->hasSong);
    EXPECT_EQ(run->beatGroup, 2);
    EXPECT_EQ(run->barGroup, 1);
    EXPECT_EQ(run->trackTexts, (std::vector<std::string>{"Click Track", "Metronome Band", "Tempo Album", "Test Label",
                                                         std::string(140, 'c'), "2026"}));
    EXPECT_EQ(run->keyText, "A Min");
}

TEST_F(BeatMapperEndToEnd, SavesWithFileGroupOneAndThreeWriteThePythonWritersFile) {
    ASSERT_TRUE(run->hasSong);
    // Five generated beats put in front: the first set beat is index 1 of
    // the list, the groups ask for beat 3 of bar 2.
    ASSERT_EQ(run->expectedSaved.size(), run->expectedPlayed.size() + 5);
    EXPECT_LT(run->expectedSaved.front(), 0);

    struct Case {
        const char* name;
        const SaveResult& result;
        bool sideFiles;
        bool embedded;
    };
    for (const Case& c : {Case{"group 1", run->groupOne, false, true}, Case{"group 3", run->groupThree, true, false}}) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(c.result.saved);
        EXPECT_FALSE(c.result.modifiedAfter);
        EXPECT_EQ(c.result.sideFiles, c.sideFiles);
        EXPECT_EQ(c.result.embedded, c.embedded);
        EXPECT_FALSE(c.result.expected.empty());
        EXPECT_TRUE(c.result.qrt == c.result.expected) << "the saved .qrt (" << c.result.qrt.size()
                                                       << " bytes) differs from the Python writer's ("
                                                       << c.result.expected.size() << " bytes)";
        EXPECT_EQ(c.result.overviewCheck, "ok\n");
        EXPECT_TRUE(c.result.samplesUnchanged);
    }
    EXPECT_TRUE(run->groupThree.wholeFileAsBefore) << "nothing left inside the song";
}

TEST_F(BeatMapperEndToEnd, AModifiedWindowAsksBeforeClosingAndTheMainWindowTakesInputAgain) {
    ASSERT_TRUE(run->hasSong);
    EXPECT_EQ(run->closeBoxes, std::vector<std::string>{"File Has Been Modified|The current file has been modified, but "
                                                        "not saved. Are you sure you want to proceed and to discard "
                                                        "the changes?"});
    EXPECT_TRUE(run->stillOpenAfterNo);
    EXPECT_TRUE(run->closed);
    EXPECT_TRUE(run->mainEnabledAfterClose);
}

}  // namespace
