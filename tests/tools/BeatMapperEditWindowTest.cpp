// The beat mapper's editing and saving, driven through its buttons: the
// beats rebuilt under the playback lock, tempo estimate and cycle, clearing
// the markers, the usePNG question, the beat-map export; the refusals, the
// file groups "1" (meta-data inside the song) and "3" (side files) for WAV
// (sox), MP3 (lame) and WMA (ffmpeg) songs read back by the audio tests'
// checkers (QRT chunk parser, RIFF walker, MP3 end block, the ASF attribute
// tool) and the overview by Pillow (tests/tools/overview_check.py); a
// failed meta-data write and a song that cannot be opened again after the
// save.
#include "BeatMapperTestSupport.h"
#include "MetaDataFixtures.h"

#include "audio/AlignedFloats.h"
#include "audio/AudioFileReader.h"
#include "audio/Beats.h"
#include "audio/Mp3MetaDataTools.h"
#include "audio/MusicalKey.h"
#include "audio/SampleDisk.h"
#include "audio/SampleDiskMP3.h"
#include "audio/SampleDiskWMA.h"
#include "audio/WavMetaDataTools.h"
#include "audio/WmaMetaDataTools.h"
#include "framework/AudioEngineServices.h"
#include "framework/CriticalSections.h"
#include "framework/FileUtilities.h"
#include "framework/GUIButton.h"
#include "framework/GUIButtonManager.h"
#include "framework/GUIMarkerMap.h"
#include "framework/GUINumberSlider.h"
#include "framework/GUISliderVertical.h"
#include "framework/GUITextHorizontal.h"
#include "framework/StringException.h"
#include "framework/Support.h"
#include "framework/Window.h"
#include "platform/FileSystem.h"
#include "platform/EventLoop.h"
#include "platform/TestInput.h"
#include "platform/UiScript.h"
#include "tools/BrowserData.h"
#include "tools/GUIBeatMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using mapper_test::BeatMapperTest;

// The set beats every saved song starts from: one a second, 60 BPM.
const std::vector<std::int32_t> setBeats = {11025, 55125, 99225, 143325};

std::string f32(float value) { return fixtures::int32le(std::bit_cast<std::int32_t>(value)); }

std::string text128(const std::string& text) {
    std::string field = text.substr(0, 127);
    field.resize(128, '\0');
    return field;
}

std::map<std::string, std::string> chunksByName(const std::string& qrt, std::vector<std::string>* order = nullptr) {
    std::map<std::string, std::string> chunks;
    for (const fixtures::QrtChunk& chunk : fixtures::parseQrt(qrt)) {
        chunks[chunk.name.c_str()] = chunk.data;
        if (order != nullptr) order->push_back(chunk.name.c_str());
    }
    return chunks;
}

// The beats and tempo record of an older save, beside the song.
void writeSide(const std::string& song, const std::vector<std::int32_t>& positions, float bpm) {
    Beats beats(44100);
    for (std::int32_t position : positions) beats.appendBeat(position, false);
    BTSettings settings;
    settings.bpm = bpm;
    SongTags tags;
    std::strcpy(tags.title, "Old Title");
    BeatsWriteSources sources;
    sources.settings = &settings;
    sources.tags = &tags;
    beats.writeMetaData(withExtension(song, "qrt"), sources);
}

// Takes apart the block an MP3 song ends with: header, stuffed QRT and PNG
// bytes (each 0xFF followed by a stuffing byte), trailer.
void unpackMp3Block(const std::string& block, std::string& qrt, std::string& png) {
    ASSERT_GE(block.size(), 25u);
    ASSERT_EQ(block.substr(0, 9), "QRT & PNG");
    auto syncsafeAt = [&](std::size_t at) {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value = (value << 7) | (static_cast<unsigned char>(block[at + i]) & 0x7F);
        return value;
    };
    auto unstuff = [](const std::string& stuffed) {
        std::string bytes;
        for (std::size_t i = 0; i < stuffed.size(); ++i) {
            bytes.push_back(stuffed[i]);
            if (static_cast<unsigned char>(stuffed[i]) == 0xFF) ++i;
        }
        return bytes;
    };
    const std::uint32_t qrtStuffed = syncsafeAt(17);
    const std::uint32_t pngStuffed = syncsafeAt(21);
    qrt = unstuff(block.substr(25, qrtStuffed));
    png = unstuff(block.substr(25 + qrtStuffed, pngStuffed));
}

class BeatMapperEditWindow : public BeatMapperTest {
protected:
    void SetUp() override {
        BeatMapperTest::SetUp();
        SampleDiskWMA::installLoader();
        checkWmaLibrary();
    }
    void TearDown() override {
        platform::setFileFaultHook({});
        setWmaLibraryLoader({}, {});
        checkWmaLibrary();
        BeatMapperTest::TearDown();
    }

    // A 4-second song of the given type without meta-data, made by sox,
    // lame or ffmpeg; `source` is a copy of its first bytes.
    std::string makeSong(const std::string& name, std::string* source = nullptr) {
        const std::string path = files.file(name);
        if (hasWavExtension(name)) {
            fixtures::makeSoxWav(path, 4.0);
        } else if (hasMp3Extension(name)) {
            fixtures::makeLameMp3(path, 4.0);
        } else {
            const std::string wav = files.file(name + ".source.wav");
            fixtures::makeSoxWav(wav, 4.0);
            fixtures::runTool({"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-bitexact", "-i", wav, "-c:a",
                               "wmav2", "-b:a", "128k", path});
        }
        if (source != nullptr) *source = testing_support::readFile(path);
        return path;
    }

    // The song's samples as ffmpeg decodes them, 16-bit stereo.
    std::string decoded(const std::string& path) {
        const std::string raw = files.file("decoded.raw");
        fixtures::runTool({"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-i", path, "-f", "s16le", "-ac", "2",
                           "-ar", "44100", raw});
        return testing_support::readFile(raw);
    }

    std::string asfTool(const std::vector<std::string>& arguments) {
        std::vector<std::string> argv{"/usr/bin/python3", testing_support::sourceDirectory() + "/tests/platform/asf_tool.py"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return fixtures::runTool(argv);
    }

    std::vector<std::int32_t> positions() const {
        std::vector<std::int32_t> list;
        for (std::int32_t i = 0; i < mapper->beats()->count(); ++i) list.push_back((*mapper->beats())[i].position);
        return list;
    }

    // Opens a song of the test signal whose side file holds these set beats.
    void openWithBeats(double seconds, const std::vector<std::int32_t>& beats) {
        mapper_test::MapperSong spec;
        spec.seconds = seconds;
        spec.beats = beats;
        mapper_test::writeSong(files.file("song.wav"), spec);
        open(files.file("song.wav"));
    }

    // The beats the user set.
    std::vector<std::int32_t> setPositions() const {
        std::vector<std::int32_t> list;
        for (std::int32_t i = 0; i < mapper->beats()->count(); ++i) {
            if (!(*mapper->beats())[i].generated) list.push_back((*mapper->beats())[i].position);
        }
        return list;
    }

    void pressSave() {
        platform::uiScript::clearRequests();
        click(mapper->saveButton());
        EXPECT_FALSE(mapper->saveButton()->isDown());
    }
};

// Nothing is written and nothing changes when the beats are too few, or
// their tempo anywhere lies below the minimum (no tolerance) or above the
// maximum by more than half a BPM.
TEST_F(BeatMapperEditWindow, SaveRefusalsShowTheirTextAndWriteNothing) {
    const char* twoBeats = "Cannot Save|At least two beats (one opening, one closing) have to be identified.";
    const char* minimum = "Cannot Save|The minimum BPM (locally also) is 40.";
    const char* maximum = "Cannot Save|The maximum BPM (locally also) is 220.";
    const struct {
        const char* name;
        std::vector<std::int32_t> beats;
        const char* box;  // null: saved
    } cases[] = {
        {"no beat", {}, twoBeats},
        {"one beat", {30000}, twoBeats},
        {"39.9 BPM", {10000, 10000 + 66316}, minimum},
        {"40 BPM exactly", {10000, 10000 + 66150}, nullptr},
        {"39.9 BPM between faster beats", {10000, 32050, 32050 + 66316, 120000}, minimum},
        {"220.4 BPM", {10000, 10000 + 12005, 10000 + 24010}, nullptr},
        {"220.6 BPM", {10000, 10000 + 11995}, maximum},
        {"220.6 BPM between slower beats", {10000, 32050, 32050 + 11995, 70000}, maximum},
        {"both limits broken: the minimum first", {10000, 10000 + 11995, 10000 + 11995 + 66316}, minimum},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        mapper.reset();
        mapper_test::MapperSong spec;
        spec.seconds = 4.0;
        spec.beats = c.beats;
        spec.withMetaData = !c.beats.empty();
        const std::string path = files.file("refused" + std::to_string(index++) + ".wav");
        mapper_test::writeSong(path, spec);
        const std::string song = testing_support::readFile(path);
        const std::string qrt = spec.withMetaData ? testing_support::readFile(withExtension(path, "qrt")) : "";
        open(path);
        // An edit that the refusal must not clear.
        mapper->setEdited(true);
        if (c.beats.empty()) {
            ASSERT_EQ(mapper->beats()->count(), 0);
        }

        pressSave();
        const std::vector<std::string> shown = browser_test::boxes();
        if (c.box == nullptr) {
            EXPECT_TRUE(shown.empty()) << shown.front();
            EXPECT_TRUE(testing_support::readFile(withExtension(path, "qrt")) != qrt) << "not written";
            EXPECT_FALSE(mapper->isEdited());
            continue;
        }
        EXPECT_EQ(shown, std::vector<std::string>{c.box});
        EXPECT_EQ(testing_support::readFile(path), song);
        EXPECT_EQ(fs::exists(withExtension(path, "qrt")), spec.withMetaData);
        if (spec.withMetaData) {
            EXPECT_EQ(testing_support::readFile(withExtension(path, "qrt")), qrt);
        }
        EXPECT_FALSE(fs::exists(withExtension(path, "png")));
        EXPECT_EQ(positions(), c.beats);
        EXPECT_TRUE(mapper->isEdited());
        EXPECT_NE(mapper->song(), nullptr);
    }
}

// Group "1" keeps the meta-data inside the song (RIFF chunks, the MP3 end
// block, WMA attributes) and removes the side files; group "3" leaves the
// side files and removes an embedded copy. Either way the song's samples
// stay as they were, the records hold the window's state, and the overview
// is drawn from the beats with the phrase's beats put in front.
TEST_F(BeatMapperEditWindow, SaveWritesTheRecordsIntoTheSongOrBesideIt) {
    const struct {
        const char* name;
        int fileGroup;
        bool usePng;
        int beatGroup;
        int barGroup;
        int meterGroup;
        const char* key;
    } cases[] = {
        {"song.wav", 0, false, 1, 2, 1, "A Min"},
        {"side.wav", 1, true, 0, 0, 1, ""},
        {"song.mp3", 0, false, 3, 3, 1, "C# Maj"},
        {"side.mp3", 1, false, 2, 1, 0, "B Min"},
        {"song.wma", 0, true, 0, 1, 0, ""},
        {"side.wma", 1, false, 1, 0, 1, "F Maj"},
    };
    open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string source;
        const std::string path = makeSong(c.name, &source);
        const std::string decodedBefore = decoded(path);
        writeSide(path, setBeats, 60.0f);
        const bool wav = hasWavExtension(path);
        const bool mp3 = hasMp3Extension(path);
        if (c.fileGroup == 1) {
            // Saved inside before: the side files' save must remove it.
            testing_support::writeFile(withExtension(path, "png"), "old picture");
            if (wav) ASSERT_TRUE(mergeWavMetaData(path));
            else if (mp3) ASSERT_TRUE(mergeMp3MetaData(path));
            else ASSERT_TRUE(mergeWmaMetaData(path));
            ASSERT_FALSE(fs::exists(withExtension(path, "qrt")));
        }
        ASSERT_TRUE(mapper->load(path, "song"));
        ASSERT_EQ(positions(), setBeats);

        mapper->fileGroup()->select(c.fileGroup);
        mapper->beatGroup()->select(c.beatGroup);
        mapper->barGroup()->select(c.barGroup);
        mapper->meterGroup()->select(c.meterGroup);
        if (c.usePng) mapper->usePngButton()->setDown();
        else mapper->usePngButton()->setUp();
        mapper->trackText()->setText(std::string(140, 'T'));
        mapper->artistText()->setText("Artist");
        mapper->albumText()->setText("Album");
        mapper->labelText()->setText("Label");
        mapper->commentsText()->setText("Comments");
        mapper->yearText()->setText("2026");
        mapper->keyText()->setText(c.key);
        const float bpm = 60.0f;
        ASSERT_FLOAT_EQ(mapper->tempo(), bpm);
        mapper->setEdited(true);

        // What the records must hold, worked out here.
        const int meter = c.meterGroup + 3;
        std::int32_t offset = c.beatGroup + meter * c.barGroup;  // the first set beat is beat 0
        std::int32_t bars = 0;
        while (offset >= meter) {
            offset -= meter;
            ++bars;
        }
        const std::int32_t prepended = offset + (bars % 4) * meter;
        std::vector<std::int32_t> written;
        for (std::int32_t k = prepended; k >= 1; --k) written.push_back(setBeats[0] - k * 44100);
        written.insert(written.end(), setBeats.begin(), setBeats.end());
        std::int32_t levelCount = 0;
        const float* levels = mapper->beatMap()->envelope(&levelCount);
        std::string levelBytes;
        for (std::int32_t i = 0; i < levelCount; ++i)
            levelBytes.push_back(static_cast<char>(static_cast<std::uint8_t>(std::trunc(levels[i] * 255.0f + 0.5f))));
        levelBytes.append(static_cast<std::size_t>((4 - levelCount % 4) % 4), '\0');
        std::int32_t columns = 0;
        float* profile = mapper->beatMap()->foldedProfile(bpm, meter, written.front(), &columns);
        ASSERT_EQ(columns, 256);
        std::string profileBits = fixtures::int32le(256);
        for (int i = 0; i < 256; ++i) profileBits += f32(profile[i]);
        releaseAligned(profile);
        std::int32_t frameCount = 0;
        if (mp3) frameCount = dynamic_cast<SampleDiskMP3*>(mapper->song())->frameCount();

        pressSave();
        EXPECT_TRUE(browser_test::boxes().empty()) << browser_test::boxes().front();
        EXPECT_FALSE(mapper->isEdited());
        ASSERT_NE(mapper->song(), nullptr) << "not opened again";
        EXPECT_EQ(positions(), setBeats) << "the beats put in front stay in the file only";
        EXPECT_EQ(mapper->markerMap()->count(), static_cast<int>(setBeats.size()));

        // Where the files went.
        std::string qrt;
        std::string png;
        if (c.fileGroup == 1) {
            EXPECT_EQ(decoded(path), decodedBefore);
            qrt = testing_support::readFile(withExtension(path, "qrt"));
            png = testing_support::readFile(withExtension(path, "png"));
            if (wav || mp3) {
                EXPECT_EQ(testing_support::readFile(path), source) << "an embedded copy is left";
            } else {
                const std::string names = asfTool({"names", path});
                EXPECT_EQ(names.find(SampleDiskWMA::kQrtAttribute), std::string::npos) << names;
                EXPECT_EQ(names.find(SampleDiskWMA::kPngAttribute), std::string::npos) << names;
            }
        } else {
            EXPECT_FALSE(fs::exists(withExtension(path, "qrt")));
            EXPECT_FALSE(fs::exists(withExtension(path, "png")));
            const std::string now = testing_support::readFile(path);
            if (wav) {
                const std::string walk = fixtures::runTool(
                    {"/usr/bin/python3", testing_support::sourceDirectory() + "/tests/audio/riff_walk.py", path});
                std::map<std::string, std::string> bodies;
                for (const fixtures::RiffChunk& chunk : fixtures::parseRiff(now)) bodies[chunk.id] = chunk.body;
                std::map<std::string, std::string> original;
                for (const fixtures::RiffChunk& chunk : fixtures::parseRiff(source)) original[chunk.id] = chunk.body;
                EXPECT_EQ(bodies["data"], original["data"]);
                qrt = bodies["qrt "];
                png = bodies["png "];
                EXPECT_NE(walk.find("qrt  " + std::to_string(qrt.size())), std::string::npos) << walk;
                EXPECT_NE(walk.find("png  " + std::to_string(png.size())), std::string::npos) << walk;
            } else if (mp3) {
                ASSERT_GT(now.size(), source.size());
                ASSERT_EQ(now.substr(0, source.size()), source) << "the MPEG frames changed";
                const std::string block = now.substr(source.size());
                unpackMp3Block(block, qrt, png);
                EXPECT_EQ(block, fixtures::mp3MetaDataBlock(qrt, png, source.size()));
            } else {
                EXPECT_EQ(decoded(path), decodedBefore);
                asfTool({"get-bytes", path, SampleDiskWMA::kQrtAttribute, files.file("qrt.out")});
                qrt = testing_support::readFile(files.file("qrt.out"));
                asfTool({"get-bytes", path, SampleDiskWMA::kPngAttribute, files.file("png.out")});
                png = testing_support::readFile(files.file("png.out"));
            }
        }

        // The records, chunk by chunk.
        std::vector<std::string> order;
        const std::map<std::string, std::string> chunks = chunksByName(qrt, &order);
        std::vector<std::string> expectedOrder = {"Markers Beat", "BT Tempo Fixed", "BT Tempo Fixed 2", "BT Strip",
                                                  "BT Strip 2", "BT Strip 3", "ID", "ID 2"};
        if (std::string(c.key) != "") expectedOrder.push_back("Key");
        expectedOrder.push_back("Points");
        if (mp3) expectedOrder.push_back("MP3 Frames");
        expectedOrder.push_back("End");
        ASSERT_EQ(order, expectedOrder);
        std::string markers = fixtures::int32le(44100) + fixtures::int32le(static_cast<std::int32_t>(written.size()));
        for (std::size_t i = 0; i < written.size(); ++i) {
            markers += fixtures::int32le(written[i]) + fixtures::int32le(static_cast<std::int32_t>(i) < prepended ? 1 : 0);
        }
        EXPECT_EQ(chunks.at("Markers Beat"), markers);
        EXPECT_EQ(chunks.at("BT Tempo Fixed"), f32(bpm));
        EXPECT_EQ(chunks.at("BT Tempo Fixed 2"), fixtures::int32le(1));
        EXPECT_EQ(chunks.at("BT Strip"), fixtures::int32le(offset + 1) + fixtures::int32le(meter) +
                                             fixtures::int32le(1) + fixtures::int32le(0));
        EXPECT_EQ(chunks.at("BT Strip 2"), fixtures::int32le(bars % 4 + 1) + fixtures::int32le(0));
        EXPECT_EQ(chunks.at("BT Strip 3"), fixtures::int32le(c.usePng ? 1 : 0));
        EXPECT_EQ(chunks.at("ID"), text128(std::string(127, 'T')) + text128("Artist") + text128("Album") +
                                       text128("Comments") + text128("2026") + f32(60.0f));
        EXPECT_EQ(chunks.at("ID 2"), text128("Label"));
        if (std::string(c.key) != "") {
            const MusicalKey key(c.key);
            EXPECT_EQ(chunks.at("Key"), fixtures::int32le(key.tonic()) + fixtures::int32le(key.mode()));
        }
        EXPECT_EQ(chunks.at("Points"),
                  fixtures::int32le(153) + fixtures::int32le(levelCount) + levelBytes + profileBits);
        if (mp3) {
            const std::string& frames = chunks.at("MP3 Frames");
            EXPECT_EQ(fixtures::loadInt32le(frames, 0), frameCount);
            EXPECT_EQ(frames.size(), 4u * static_cast<std::size_t>(frameCount + 2));
        }

        // The overview: 20 pixels a second over all written beats, a line
        // per bar, the notice unless usePNG is down.
        const std::string overview = files.file("overview.png");
        testing_support::writeFile(overview, png);
        std::vector<std::string> arguments{overview, std::to_string(meter), c.usePng ? "0" : "1"};
        for (std::int32_t position : written) arguments.push_back(std::to_string(position));
        EXPECT_EQ(testing_support::runPython("tools/overview_check.py", arguments), "ok\n");
    }
}

// A meta-data file that cannot be written: its box, the beats put in
// front dropped again, the song and its files as they were, still
// modified.
TEST_F(BeatMapperEditWindow, AFailedMetaDataWriteChangesNothing) {
    std::string source;
    const std::string path = makeSong("song.wav", &source);
    writeSide(path, setBeats, 60.0f);
    const std::string qrt = testing_support::readFile(withExtension(path, "qrt"));
    open(path);
    mapper->beatGroup()->select(1);
    mapper->setEdited(true);
    const std::string target = withExtension(path, "qrt");
    platform::setFileFaultHook([target](platform::FileOperation operation, const std::string& name) {
        return operation == platform::FileOperation::Rename && name.rfind(target, 0) == 0;
    });
    pressSave();
    platform::setFileFaultHook({});
    EXPECT_EQ(browser_test::boxes(), std::vector<std::string>{"Could not save .qrt file.|Cannot write " + target + "."});
    EXPECT_EQ(positions(), setBeats);
    EXPECT_EQ(mapper->markerMap()->count(), static_cast<int>(setBeats.size()));
    EXPECT_TRUE(mapper->isEdited());
    EXPECT_NE(mapper->song(), nullptr);
    EXPECT_EQ(testing_support::readFile(path), source);
    EXPECT_EQ(testing_support::readFile(target), qrt);
    EXPECT_FALSE(fs::exists(withExtension(path, "png")));
}

// An overview that cannot be written is reported, and the save goes on.
TEST_F(BeatMapperEditWindow, AFailedOverviewWriteIsShownAndTheSaveGoesOn) {
    const std::string path = makeSong("song.wav");
    writeSide(path, setBeats, 60.0f);
    const std::string oldQrt = testing_support::readFile(withExtension(path, "qrt"));
    open(path);
    mapper->fileGroup()->select(1);
    mapper->setEdited(true);
    const std::string png = withExtension(path, "png");
    platform::setFileFaultHook([png](platform::FileOperation operation, const std::string& name) {
        return operation == platform::FileOperation::Open && name == png;
    });
    pressSave();
    platform::setFileFaultHook({});
    EXPECT_EQ(browser_test::boxes(), std::vector<std::string>{"Could not save .png file.|Cannot open " + png + "."});
    EXPECT_FALSE(fs::exists(png));
    EXPECT_TRUE(testing_support::readFile(withExtension(path, "qrt")) != oldQrt) << "the meta-data was not saved";
    EXPECT_NE(mapper->song(), nullptr);
    EXPECT_FALSE(mapper->isEdited());
}

// The track database's record of the saved song takes the saved texts and
// tempo.
TEST_F(BeatMapperEditWindow, ASaveUpdatesTheTrackDatabaseRecord) {
    struct WithDatabase : browser_test::FakeApplication {
        BrowserData* data = nullptr;
        BrowserData* browserData() override { return data; }
    } withDatabase;
    const std::string directory = files.file("tracks");
    fs::create_directories(directory);
    mapper_test::MapperSong spec;
    spec.seconds = 4.0;
    spec.beats = {10000, 32050, 54100};
    mapper_test::writeSong(directory + "/song.wav", spec);
    BrowserData data;
    ASSERT_TRUE(data.build(directory, nullptr));
    ASSERT_EQ(data.allCount(), 1);
    ASSERT_EQ(data.record(0).title, "Record Title");
    withDatabase.data = &data;
    mapper = std::make_unique<BeatMapper>(nullptr, 1, format, &withDatabase, directory + "/song.wav");
    mapper->trackText()->setText("Saved Title");
    mapper->artistText()->setText("Saved Artist");
    mapper->commentsText()->setText("Saved Comments");
    pressSave();
    ASSERT_TRUE(browser_test::boxes().empty()) << browser_test::boxes().front();
    const BrowserRecord& record = data.record(0);
    EXPECT_TRUE(record.analyzed);
    EXPECT_EQ(record.title, "Saved Title");
    EXPECT_EQ(record.artist, "Saved Artist");
    EXPECT_EQ(record.comments, "Saved Comments");
    EXPECT_FLOAT_EQ(record.tempo, 120.0f);
}

// When the song cannot be opened again after its files were written, the
// mix must go on: the reader's text is shown, the mapper is left without a
// song and unmodified, and the written files stay. Another song loads.
TEST_F(BeatMapperEditWindow, AFailedReopenAfterTheSaveLeavesNoSongAndKeepsTheFiles) {
    for (int group : {0, 1}) {
        SCOPED_TRACE(group);
        mapper.reset();
        const std::string path = makeSong("reopen" + std::to_string(group) + ".wav");
        writeSide(path, setBeats, 60.0f);
        int opens = 0;
        BeatMapper::setSongOpen([&opens](const std::string& name, bool absolute, bool metaOnly, float cacheSeconds,
                                         const SongFileOutputs& outputs) -> std::unique_ptr<AudioFileReader> {
            if (++opens > 1) throw StringException("The .WAV file is not a RIFF file.");
            return SampleDisk::open(name, absolute, metaOnly, cacheSeconds, outputs);
        });
        open(path);
        ASSERT_NE(mapper->song(), nullptr);
        mapper->fileGroup()->select(group);
        mapper->trackText()->setText("Saved Title");
        mapper->setEdited(true);

        pressSave();
        EXPECT_EQ(opens, 2);
        EXPECT_EQ(browser_test::boxes(), std::vector<std::string>{"Could not load song.|The .WAV file is not a RIFF file."});
        EXPECT_EQ(mapper->song(), nullptr);
        EXPECT_FALSE(mapper->isEdited());
        BeatMapper::setSongOpen({});

        // The saved meta-data is where the group put it, and reads back.
        EXPECT_EQ(fs::exists(withExtension(path, "qrt")), group == 1);
        EXPECT_EQ(fs::exists(withExtension(path, "png")), group == 1);
        std::unique_ptr<Beats> beats;
        SongTags tags;
        bool hasTags = false;
        SongFileOutputs outputs;
        outputs.beats = &beats;
        outputs.records.tags = &tags;
        outputs.records.hasTags = &hasTags;
        ASSERT_NE(SampleDisk::open(path, true, false, 1.0f, outputs), nullptr);
        ASSERT_NE(beats, nullptr);
        EXPECT_EQ(beats->count(), static_cast<std::int32_t>(setBeats.size()));
        EXPECT_STREQ(tags.title, "Saved Title");

        // Without a song nothing is saved, and closing asks nothing.
        pressSave();
        EXPECT_TRUE(browser_test::boxes().empty());
        EXPECT_TRUE(mapper->canClose(mapper->window()));
        EXPECT_TRUE(platform::uiScript::requests().empty());
        ASSERT_TRUE(mapper->load(path, "again"));
        EXPECT_NE(mapper->song(), nullptr);
        EXPECT_EQ(positions(), setBeats);
    }
}

// ---- Editing ----------------------------------------------------------------

// Replaces the map's envelope (the candidates come from it alone).
void setEnvelope(GUIBeatMap& map, const std::vector<float>& values) {
    float* envelope = allocateFloats(static_cast<std::int64_t>(values.size()));
    std::copy(values.begin(), values.end(), envelope);
    map.setEnvelope(static_cast<std::int32_t>(values.size()), envelope);
}

// Render reads the beat list under lock 1 while playing: while another
// thread holds the lock, a rebuild must not touch the list. The holder
// looks at the list for a while after the rebuild has started waiting.
TEST_F(BeatMapperEditWindow, RebuildingTheBeatsHoldsThePlaybackLock) {
    const std::vector<std::int32_t> beats = {20000, 108200};
    openWithBeats(6.0, beats);
    ASSERT_EQ(positions(), beats);
    ASSERT_FLOAT_EQ(mapper->tempo(), 120.0f);

    std::atomic<bool> held{false};
    std::vector<std::int32_t> first;
    std::vector<std::int32_t> last;
    std::thread holder([&] {
        enterCriticalSection(1);
        first = positions();
        held = true;
        // Long enough for an unlocked rebuild to finish many times over.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        last = positions();
        leaveCriticalSection(1);
    });
    while (!held.load()) std::this_thread::yield();
    mapper->rebuildBeats();
    holder.join();
    EXPECT_EQ(first, beats);
    EXPECT_EQ(last, first) << "the list changed while lock 1 was held";

    // The set beats stay; at 120 BPM, 22,050 frames apart, the generated
    // ones fill the gap between them evenly and run on to the song's end.
    const Beats& rebuilt = *mapper->beats();
    ASSERT_GT(rebuilt.count(), 5);
    EXPECT_EQ(setPositions(), beats);
    const std::vector<std::int32_t> all = positions();
    const auto from = std::find(all.begin(), all.end(), 20000);
    ASSERT_NE(from, all.end());
    EXPECT_EQ(std::vector<std::int32_t>(from, from + 5), (std::vector<std::int32_t>{20000, 42050, 64100, 86150, 108200}));
    EXPECT_LT(all.back(), 6 * 44100);
    EXPECT_GT(all.back() + 22050 + 1, 6 * 44100 - 22050);
    // The marker map shows the list: set beats on, generated ones off.
    ASSERT_EQ(mapper->markerMap()->count(), rebuilt.count());
    for (std::int32_t i = 0; i < rebuilt.count(); ++i) {
        EXPECT_EQ(mapper->markerMap()->marker(i).position, rebuilt[i].position) << i;
        EXPECT_EQ(mapper->markerMap()->marker(i).on, !rebuilt[i].generated) << i;
    }

    // A BPM slider move rebuilds at the new tempo and marks the window.
    mapper->setEdited(false);
    mapper->bpmSlider()->setValue(100.0f);
    mapper->bpmSlider()->notifyListener();
    EXPECT_TRUE(mapper->isEdited());
    const std::vector<std::int32_t> slower = positions();
    const auto after = std::find(slower.begin(), slower.end(), 108200);
    ASSERT_NE(after, slower.end());
    ASSERT_GT(slower.end() - after, 2);
    for (auto it = after + 1; it != slower.end(); ++it) EXPECT_NEAR(*it - *(it - 1), 26460, 1);
}

// A press on the marker map sets or removes a beat only while editMap is
// down; otherwise it plays from there. Each edit rebuilds the beats.
TEST_F(BeatMapperEditWindow, MarkersAreSetOnTheMapOnlyWhileEditMapIsDown) {
    const std::vector<std::int32_t> beats = {20000, 108200};
    openWithBeats(6.0, beats);
    // 20-pixel rows of 88,200 frames, 153 frames a column.
    mapper->zoomSlider()->setValue(0.0f);
    mapper->zoomSlider()->notifyListener();
    const platform::Point onRowOne{100 + 5 + 200, 10 + 5 + 20 + 3};
    const std::int32_t there = 88200 + 200 * 153;
    auto press = [&](platform::Point point) {
        ASSERT_TRUE(platform::test_input::click(mapper->window()->handle(), point));
        platform::dispatchPostedMessages();
    };
    // editMap starts down: a press on an empty place sets a beat there.
    ASSERT_TRUE(mapper->editMapButton()->isDown());
    press(onRowOne);
    EXPECT_EQ(setPositions(), (std::vector<std::int32_t>{20000, 108200, there}));
    EXPECT_GT(mapper->beats()->count(), 3) << "not rebuilt";
    EXPECT_TRUE(mapper->isEdited());
    EXPECT_TRUE(mapper->isPlaying());
    EXPECT_EQ(mapper->playPosition(), there);

    // A press on the new marker takes it away again.
    int index = -1;
    for (int i = 0; i < mapper->markerMap()->count(); ++i) {
        if (mapper->markerMap()->marker(i).on && mapper->markerMap()->marker(i).position == there) index = i;
    }
    ASSERT_GE(index, 0);
    const GUIMarkerMap::Marker marker = mapper->markerMap()->marker(index);
    press({marker.x + 3, marker.y + 3});
    EXPECT_EQ(setPositions(), beats);

    // With editMap up, presses only play from where they land.
    click(mapper->editMapButton());
    ASSERT_FALSE(mapper->editMapButton()->isDown());
    mapper->stopPlayback();
    mapper->setEdited(false);
    const std::vector<std::int32_t> before = positions();
    press(onRowOne);
    EXPECT_EQ(positions(), before) << "edited while editMap is up";
    EXPECT_FALSE(mapper->isEdited());
    EXPECT_TRUE(mapper->isPlaying());
    EXPECT_EQ(mapper->playPosition(), there);
}

// Estimate shows the first candidate refined; each cycle press shows half
// the current one, then the next (refined when first reached), around the
// list. An envelope without a peak leaves the standard tempo alone.
TEST_F(BeatMapperEditWindow, EstimateAndCycleRunThroughTheCandidatesAndTheirHalves) {
    std::vector<float> oneBarWave(20000);
    for (std::size_t i = 0; i < oneBarWave.size(); ++i)
        oneBarWave[i] = 1.0f + std::cos(2.0f * static_cast<float>(M_PI) * static_cast<float>(i) / 576.0f);
    std::vector<float> noise(20000);
    std::uint32_t state = 12345;
    for (float& value : noise) {
        state = state * 1664525u + 1013904223u;
        value = static_cast<float>(state >> 8) / 16777216.0f;
    }
    const struct {
        const char* name;
        std::vector<float> envelope;
        int meterGroup;
        int count;  // candidates found; 0: none
    } cases[] = {
        {"one peak", oneBarWave, 1, 1},
        {"noise, 4/4", noise, 1, 6},
        {"noise, 3/4", noise, 0, 6},
        {"silence", std::vector<float>(20000, 0.0f), 1, 0},
        {"flat", std::vector<float>(20000, 0.25f), 1, 0},
    };
    const std::vector<std::int32_t> beats = {20000, 108200};
    openWithBeats(6.0, beats);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        mapper->meterGroup()->select(c.meterGroup);
        const int meter = c.meterGroup + 3;
        // Candidates of an earlier estimate must not survive into this one.
        setEnvelope(*mapper->beatMap(), noise);
        click(mapper->estimateBpmButton());
        setEnvelope(*mapper->beatMap(), c.envelope);

        float found[BeatMapper::maximumCandidates];
        std::int32_t count = -1;
        mapper->beatMap()->findTempoCandidates(meter, found, &count, BeatMapper::maximumCandidates);
        ASSERT_EQ(count, c.count);
        std::vector<float> refined;
        for (std::int32_t i = 0; i < count; ++i) {
            float tempo = found[i];
            mapper->beatMap()->refineTempo(&tempo, meter);
            refined.push_back(tempo);
        }
        if (count == 0) refined.push_back(120.0f);
        const int candidates = static_cast<int>(refined.size());

        mapper->setEdited(false);
        click(mapper->estimateBpmButton());
        EXPECT_TRUE(mapper->isEdited());
        ASSERT_EQ(mapper->candidateCount(), candidates);
        EXPECT_EQ(mapper->candidateIndex(), 0);
        EXPECT_FALSE(mapper->isHalf());
        EXPECT_EQ(mapper->tempo(), refined[0]);
        for (int i = 0; i < candidates; ++i) EXPECT_EQ(mapper->isCandidateRefined(i), i == 0) << i;

        // Twice around the list and once more.
        for (int press = 1; press <= 4 * candidates + 1; ++press) {
            SCOPED_TRACE(press);
            click(mapper->cycleBpmButton());
            const int index = (press / 2) % candidates;
            const bool half = press % 2 == 1;
            EXPECT_EQ(mapper->candidateIndex(), index);
            EXPECT_EQ(mapper->isHalf(), half);
            EXPECT_EQ(mapper->tempo(), half ? refined[static_cast<std::size_t>(index)] * 0.5f
                                            : refined[static_cast<std::size_t>(index)]);
            for (int i = 0; i < candidates; ++i) {
                if (press >= 2 * i) {
                    EXPECT_TRUE(mapper->isCandidateRefined(i)) << i;
                }
            }
            // The beats follow the tempo shown.
            const std::vector<std::int32_t> list = positions();
            const auto last = std::find(list.begin(), list.end(), 108200);
            ASSERT_NE(last, list.end());
            if (last + 1 != list.end()) {
                EXPECT_NEAR(*(last + 1) - *last, 2646000.0f / mapper->tempo(), 1.0f);
            }
        }
    }
}

// Clear empties the markers and the beats; a save then has nothing to save.
TEST_F(BeatMapperEditWindow, ClearMarkersEmptiesTheMarkersAndTheBeats) {
    const std::vector<std::int32_t> beats = {10000, 32050, 54100};
    openWithBeats(4.0, beats);
    ASSERT_EQ(mapper->markerMap()->count(), 3);
    click(mapper->clearMarkersButton());
    EXPECT_EQ(mapper->markerMap()->count(), 0);
    EXPECT_EQ(mapper->beats()->count(), 0);
    EXPECT_TRUE(mapper->isEdited());
    EXPECT_FALSE(mapper->clearMarkersButton()->isDown());
    pressSave();
    EXPECT_EQ(browser_test::boxes(),
              std::vector<std::string>{"Cannot Save|At least two beats (one opening, one closing) have to be identified."});
}

// Pressing usePNG down asks first; No puts it back up, Yes marks the
// window modified. Releasing it asks nothing and marks the window.
TEST_F(BeatMapperEditWindow, UsePngAsksBeforeItGoesDown) {
    const std::string question =
        "If you select this option, Velkarn will use the .png file to graphically represent this song when dropped. "
        "You will have to edit the .png file with a bitmap editor to turn it into something meaningful. Do you want "
        "to turn on this option?";
    const std::vector<std::int32_t> beats = {10000, 32050};
    openWithBeats(2.0, beats);
    const struct {
        const char* name;
        bool yes;
        bool asked;
        bool down;
    } presses[] = {
        {"No", false, true, false},
        {"Yes", true, true, true},
        {"release", false, false, false},
    };
    for (const auto& p : presses) {
        SCOPED_TRACE(p.name);
        mapper->setEdited(false);
        platform::uiScript::clearRequests();
        if (p.asked) {
            if (p.yes) platform::uiScript::pushYes();
            else platform::uiScript::pushNo();
        }
        click(mapper->usePngButton());
        const std::vector<platform::UiRequest> asked = platform::uiScript::requests();
        ASSERT_EQ(asked.size(), p.asked ? 1u : 0u);
        if (p.asked) {
            EXPECT_EQ(asked[0].caption, "Using the .png File");
            EXPECT_EQ(asked[0].text, question);
            EXPECT_FALSE(asked[0].unscripted);
        }
        EXPECT_EQ(mapper->usePngButton()->isDown(), p.down);
        EXPECT_EQ(mapper->isEdited(), p.yes || !p.asked);
    }
}

// The export: (values per row + 1) x (row height x rows), the map's rows
// in its top-left corner, transparent elsewhere but for the markers, which
// are drawn over the whole song unscrolled.
TEST_F(BeatMapperEditWindow, DumpImageWritesTheMapAndItsMarkers) {
    // 60 s at 120 BPM in 4/4: 30 rows of 88,200 frames, 20 pixels each
    // at zoom 0, so rows from 13 on lie below the 250-pixel map.
    const std::vector<std::int32_t> beats = {100000, 1200000, 1700000, 2600000};
    openWithBeats(60.0, beats);
    mapper->zoomSlider()->setValue(0.0f);
    mapper->zoomSlider()->notifyListener();
    const std::string target = files.file("export.png");
    platform::uiScript::clearRequests();
    platform::uiScript::pushPath(target);
    click(mapper->dumpImageButton());
    const std::vector<platform::UiRequest> asked = platform::uiScript::requests();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].kind, platform::UiRequestKind::SaveChooser);
    EXPECT_EQ(asked[0].extension, "png");
    EXPECT_NE(asked[0].filter.find("PNG file"), std::string::npos) << asked[0].filter;
    EXPECT_FALSE(mapper->dumpImageButton()->isDown());

    // Width, height, the opaque map corner, and every other non-transparent
    // pixel below the map as "x y".
    const std::string printed = testing_support::runPython(
        "tools/export_check.py", {target, std::to_string(mapper->beatMap()->width),
                                  std::to_string(mapper->beatMap()->height)});
    std::istringstream in(printed);
    int width = 0;
    int height = 0;
    std::string corner;
    in >> width >> height >> corner;
    EXPECT_EQ(width, 88200 / 153 + 1);
    EXPECT_EQ(height, 30 * 20);
    EXPECT_EQ(corner, "opaque");
    std::vector<std::pair<int, int>> below;
    for (int x = 0, y = 0; in >> x >> y;) below.emplace_back(x, y);
    // Markers of the beats in rows 13 and later, near their column and row.
    std::set<std::int32_t> seen;
    for (const auto& [x, y] : below) {
        bool near = false;
        for (std::int32_t position : beats) {
            const int column = (position % 88200) / 153;
            const int row = position / 88200;
            if (std::abs(x - column) <= 8 && y >= row * 20 - 8 && y < row * 20 + 28) {
                near = true;
                seen.insert(position);
            }
        }
        EXPECT_TRUE(near) << x << " " << y;
    }
    EXPECT_EQ(seen, (std::set<std::int32_t>{1200000, 1700000, 2600000}));

    // A file that cannot be written is reported.
    const std::string refused = files.file("refused.png");
    platform::setFileFaultHook([refused](platform::FileOperation operation, const std::string& name) {
        return operation == platform::FileOperation::Open && name == refused;
    });
    platform::uiScript::clearRequests();
    platform::uiScript::pushPath(refused);
    click(mapper->dumpImageButton());
    platform::setFileFaultHook({});
    EXPECT_EQ(browser_test::boxes(), std::vector<std::string>{"Could not save .png file.|Cannot open " + refused + "."});
    EXPECT_FALSE(mapper->dumpImageButton()->isDown());
}

}  // namespace
