// The WMA song reader over the platform layer's decoder and attribute
// store: random reads against one sequential decode, the refusal texts
// (from real files where a file can raise them, through the layer's fakes
// otherwise), the attributes cross-checked with python3-mutagen, and the
// WMA meta-data tools.
#include "FrameworkTest.h"
#include "MetaDataFixtures.h"
#include "TestEnvironment.h"

#include "audio/Beats.h"
#include "audio/Mp3MetaDataTools.h"
#include "audio/SampleDisk.h"
#include "audio/SampleDiskWMA.h"
#include "audio/WmaMetaDataTools.h"
#include "framework/AudioEngineServices.h"
#include "framework/FileMemory.h"
#include "framework/FileUtilities.h"
#include "framework/Image.h"
#include "framework/StringException.h"
#include "platform/AsfAttributes.h"
#include "platform/FileSystem.h"
#include "platform/UiScript.h"
#include "platform/WmaDecoder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>

namespace {

using Boxes = std::vector<std::pair<std::string, std::string>>;

std::string material(const std::string& name) { return std::string(VELKARN_WMA_DIR) + "/" + name; }

std::string asfTool(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"/usr/bin/python3", VELKARN_ASF_TOOL};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return fixtures::runTool(argv);
}

// The whole song decoded by the layer in one pass, as floats per channel.
struct Decoded {
    std::vector<float> left, right;
};

Decoded decodeWhole(const std::string& path) {
    auto decoder = platform::createWmaDecoder();
    EXPECT_TRUE(decoder->open(path));
    Decoded out;
    std::vector<std::int16_t> block(platform::WmaDecoder::kMaxBlockFrames * 2);
    for (int frames; (frames = decoder->nextBlock(block.data())) > 0;) {
        for (int i = 0; i < frames; ++i) {
            out.left.push_back(static_cast<float>(block[2 * i]) / 32768.0f);
            out.right.push_back(static_cast<float>(block[2 * i + 1]) / 32768.0f);
        }
    }
    return out;
}

// The reference frame: the decode inside the song's length, else silence.
float expected(const std::vector<float>& channel, std::int64_t frame, std::int32_t length) {
    return frame >= 0 && frame < length && frame < static_cast<std::int64_t>(channel.size()) ? channel[frame] : 0.0f;
}

template <class Change>
platform::FakeWmaDecoder::Script decoderWith(Change change) {
    platform::FakeWmaDecoder::Script script;
    change(script);
    return script;
}

std::unique_ptr<platform::AsfAttributes> fakeAttributes(bool openFails = false, bool saveFails = false) {
    platform::FakeAsfAttributes::Script script;
    script.openFails = openFails;
    script.saveFails = saveFails;
    return std::make_unique<platform::FakeAsfAttributes>(std::move(script));
}

std::unique_ptr<platform::WmaDecoder> fakeDecoder(platform::FakeWmaDecoder::Script script) {
    return std::make_unique<platform::FakeWmaDecoder>(std::move(script));
}

platform::FakeWmaDecoder::Script rampScript(int frames, int blockFrames) {
    platform::FakeWmaDecoder::Script script;
    script.blockFrames = blockFrames;
    script.duration100ns = static_cast<std::int64_t>(frames) * 10'000'000 / 44100 + 1;
    for (int i = 0; i < frames; ++i) {
        script.samples.push_back(static_cast<std::int16_t>(i % 30000));
        script.samples.push_back(static_cast<std::int16_t>(-(i % 20000)));
    }
    return script;
}

class WmaReader : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        platform::uiScript::enable();
    }
    void TearDown() override {
        SampleDiskWMA::setLayerFactories({}, {});
        platform::setFileFaultHook({});
        platform::uiScript::disable();
        FrameworkTest::TearDown();
    }
    std::string copyOf(const std::string& name, const std::string& as = "song.wma") {
        const std::string path = directory_.file(as);
        std::filesystem::copy_file(material(name), path, std::filesystem::copy_options::overwrite_existing);
        return path;
    }
    Boxes boxes() {
        Boxes shown;
        for (const platform::UiRequest& request : platform::uiScript::requests()) shown.emplace_back(request.caption, request.text);
        return shown;
    }
    std::set<std::string> files() {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(directory_.path())) names.insert(entry.path().filename().string());
        return names;
    }

    testing_support::TemporaryDirectory directory_;
};

// ---- Decoding ---------------------------------------------------------------

// The start-up check offers ".wma" through the reader's loader.
TEST_F(WmaReader, TheStartUpCheckOffersWmaThroughTheLoader) {
    setWmaLibraryLoader({}, {});
    checkWmaLibrary();
    EXPECT_FALSE(isAudioFileName("song.wma"));
    SampleDiskWMA::installLoader();
    checkWmaLibrary();
    EXPECT_TRUE(isWmaAvailable());
    EXPECT_TRUE(isAudioFileName("song.WMA"));
    setWmaLibraryLoader({}, {});
    checkWmaLibrary();
}

TEST_F(WmaReader, LengthAndFormatOfARealSong) {
    const std::string path = material("stereo-v2.wma");
    SampleDiskWMA song(path, FormatAudio(), 1.0f, true);
    EXPECT_TRUE(song.format()->isCdFormat());
    EXPECT_FALSE(song.isFrameBased());
    const Decoded decoded = decodeWhole(path);
    // Within one block of what the decoder gives, and of ffprobe's duration.
    EXPECT_LE(std::abs(song.length() - static_cast<std::int64_t>(decoded.left.size())), platform::WmaDecoder::kMaxBlockFrames);
    std::ifstream probe(material("stereo-v2.duration"));
    double seconds = 0;
    probe >> seconds;
    EXPECT_LE(std::abs(song.length() - seconds * 44100), platform::WmaDecoder::kMaxBlockFrames);
    EXPECT_GT(song.length(), 11 * 44100);
}

// Seeded random reads (negative positions, the start, the end, spans past
// it, backward jumps, counts up to the capacity, with and without
// readAhead) equal the one sequential decode exactly.
TEST_F(WmaReader, RandomReadsEqualTheSequentialDecode) {
    for (const char* name : {"stereo-v2.wma", "stereo-v1.wma"}) {
        SCOPED_TRACE(name);
        const std::string path = material(name);
        const Decoded decoded = decodeWhole(path);
        SampleDiskWMA song(path, FormatAudio(), 0.5f, true);
        const std::int32_t length = song.length();
        const std::int32_t capacity = 22051;
        std::mt19937 random(1234);
        struct Read {
            std::int32_t position, count;
            bool readAhead;
        };
        std::vector<Read> reads = {{-500, 1000, false}, {0, capacity, true},     {length - 300, 1000, false},
                                   {length + 10, 50, false}, {100, 1, false},   {length / 2, capacity, true},
                                   {1000, 4096, false},  {-capacity, capacity, true}};
        for (int i = 0; i < 150; ++i) {
            std::uniform_int_distribution<std::int32_t> position(-3000, length + 3000), count(1, capacity);
            reads.push_back({position(random), count(random), (random() & 1) != 0});
        }
        // A forward walk that makes the ring refill and wrap.
        for (std::int32_t at = 0; at < length; at += 20000) reads.push_back({at, 20000, false});
        for (const Read& read : reads) {
            float** out = song.read(read.position, read.count, read.readAhead);
            std::int32_t wrong = -1;
            for (std::int32_t k = 0; k < read.count && wrong < 0; ++k) {
                const std::int64_t frame = std::int64_t{read.position} + k;
                if (out[0][k] != expected(decoded.left, frame, length) || out[1][k] != expected(decoded.right, frame, length))
                    wrong = k;
            }
            ASSERT_EQ(wrong, -1) << "read at " << read.position << " of " << read.count;
        }
    }
}

TEST_F(WmaReader, ReadsBeyondTheBuffersAreFatal) {
    SampleDiskWMA without(material("stereo-v2.wma"), FormatAudio(), 1.0f, false);
    EXPECT_FATAL(without.read(0, 10, false), "No buffers created.");
    SampleDiskWMA song(material("stereo-v2.wma"), FormatAudio(), 1.0f, true);
    // trunc(44100 x 1 + 1) frames fit, one more does not.
    EXPECT_NO_THROW(song.read(100, 44101, false));
    EXPECT_FATAL(song.read(100, 44102, false), "Output buffer too small.");
}

// The source face on its own, over a scripted decoder: wrapping, exact
// seeks, a decoder that fails part way.
TEST_F(WmaReader, TheSourceFaceWrapsSeeksAndStopsAtFailures) {
    const int frames = 10000;
    SampleDiskWMA::setLayerFactories([&] { return fakeDecoder(rampScript(frames, 700)); },
                                     [] { return fakeAttributes(); });
    SampleDiskWMA song("scripted.wma", FormatAudio(), 1.0f, false);
    EXPECT_EQ(song.length(), frames);
    EXPECT_EQ(song.maxBlockFrames(), platform::WmaDecoder::kMaxBlockFrames);
    std::vector<float> left(1000, 9.0f), right(1000, 9.0f);
    float* destination[2] = {left.data(), right.data()};
    const struct {
        std::int32_t position;  // -1: readNext
        std::int32_t offset, wrapAt, count;
        std::int32_t produced;  // whole blocks of 700
        std::int32_t firstFrame;
    } cases[] = {
        {-1, 0, 1000, 500, 700, 0},
        {-1, 900, 1000, 200, 700, 700},    // wraps after 100 frames
        {4321, 300, 1000, 1, 700, 4321},   // an exact frame
        {9800, 0, 1000, 900, 200, 9800},   // the stream ends
        {0, 999, 1000, 1, 700, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.position);
        std::int32_t produced = -7;
        if (c.position < 0) {
            song.readNext(destination, c.offset, c.wrapAt, c.count, produced);
        } else {
            song.readAt(destination, c.offset, c.wrapAt, c.count, produced, c.position);
        }
        ASSERT_EQ(produced, c.produced);
        for (std::int32_t k = 0; k < produced; ++k) {
            const std::int32_t at = (c.offset + k) % c.wrapAt;
            const int frame = c.firstFrame + k;
            ASSERT_EQ(left[at], static_cast<float>(frame % 30000) / 32768.0f) << k;
            ASSERT_EQ(right[at], static_cast<float>(-(frame % 20000)) / 32768.0f) << k;
        }
    }

    // A decoder failing at frame 1500: reads give what came before, then silence.
    platform::FakeWmaDecoder::Script failing = rampScript(frames, 700);
    failing.failAtFrame = 1500;
    SampleDiskWMA::setLayerFactories([&] { return fakeDecoder(failing); },
                                     [] { return fakeAttributes(); });
    SampleDiskWMA broken("scripted.wma", FormatAudio(), 1.0f, true);
    float** out = broken.read(1000, 1000, false);
    EXPECT_EQ(out[0][499], static_cast<float>(1499) / 32768.0f);
    EXPECT_EQ(out[0][500], 0.0f);
    EXPECT_EQ(out[1][999], 0.0f);
}

// ---- Refusals ---------------------------------------------------------------

TEST_F(WmaReader, RealFilesAreRefusedWithTheirTexts) {
    const char* cd = "The WMA file must be in CD format: stereo, 44.1 kHz, 16 bits.";
    const struct {
        const char* file;
        FormatAudio wanted;
        const char* text;
    } cases[] = {
        {"rate48k.wma", FormatAudio(), cd},
        {"mono.wma", FormatAudio(), cd},
        {"with-video.wma", FormatAudio(), "The WMA file has not exactly one output."},
        {"video-only.wma", FormatAudio(), "The WMA file is not of the correct media type."},
        {"not-asf.wma", FormatAudio(), "Could not open WMA file."},
        {"stereo-v2.wma", FormatAudio(2, 48000, 16), "Audio must be in CD format: stereo, 44.1 kHz, 16 bits."},
        {"stereo-v2.wma", FormatAudio(1, 44100, 16), "Audio must be in CD format: stereo, 44.1 kHz, 16 bits."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_STRING_EXCEPTION(SampleDiskWMA(material(c.file), c.wanted, 1.0f, true), c.text);
    }
}

// Texts that no real file raises, through the layer's fakes.
TEST_F(WmaReader, LayerFailuresMapOntoTheirTexts) {
    using Script = platform::FakeWmaDecoder::Script;
    const struct {
        const char* what;
        bool noDecoder;
        Script decoder;
        bool attributesFail;
        const char* text;
    } cases[] = {
        {"no decoder", true, Script{}, false, "Could not create WMA reader."},
        {"open fails", false, decoderWith([](Script& s) { s.openFails = true; }), false, "Could not open WMA file."},
        {"no attribute store", false, Script{}, true, "Could not get WMA HeaderInfo3 interface."},
        {"outputs unknown", false, decoderWith([](Script& s) { s.outputs = -1; }), false, "Could not determine number of WMA outputs."},
        {"two outputs", false, decoderWith([](Script& s) { s.outputs = 2; }), false, "The WMA file has not exactly one output."},
        {"other type", false, decoderWith([](Script& s) { s.type = platform::WmaMediaType::Other; }), false, "The WMA file is not of the correct media type."},
        {"22.05 kHz", false, decoderWith([](Script& s) { s.rate = 22050; }), false, "The WMA file must be in CD format: stereo, 44.1 kHz, 16 bits."},
        {"no duration", false, decoderWith([](Script& s) { s.duration100ns = -1; }), false, "Could not get WMA duration attribute."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SampleDiskWMA::setLayerFactories(
            [&c]() -> std::unique_ptr<platform::WmaDecoder> { return c.noDecoder ? nullptr : fakeDecoder(c.decoder); },
            [&c] { return fakeAttributes(c.attributesFail); });
        EXPECT_STRING_EXCEPTION(SampleDiskWMA("scripted.wma", FormatAudio(), 1.0f, true), c.text);
    }
}

// ---- Attributes and texts ---------------------------------------------------

TEST_F(WmaReader, AttributesRoundTripWithMutagenAndKeepTheAudio) {
    const std::string path = copyOf("stereo-v2.wma");
    const Decoded before = decodeWhole(path);
    std::mt19937 random(99);
    const struct {
        const char* what;
        std::size_t qrtBytes, pngBytes;
    } cases[] = {{"small", 300, 2048}, {"image above 64 KiB", 1000, 100 * 1024}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string qrt(c.qrtBytes, '\0'), png(c.pngBytes, '\0');
        for (char& b : qrt) b = static_cast<char>(random());
        for (char& b : png) b = static_cast<char>(random());
        {
            SampleDiskWMA song(path, FormatAudio(), 1.0f, true);
            song.read(0, 1000, false);
            ASSERT_TRUE(song.removeAttributes());
            auto qrtFile = fixtures::memoryFile(qrt);
            auto pngFile = fixtures::memoryFile(png);
            ASSERT_TRUE(song.writeAttributes(qrtFile.get(), pngFile.get()));
            std::int32_t qrtSize = 0, pngSize = 0;
            ASSERT_TRUE(song.qrtSize(qrtSize));
            ASSERT_TRUE(song.pngSize(pngSize));
            EXPECT_EQ(qrtSize, static_cast<std::int32_t>(qrt.size()));
            EXPECT_EQ(pngSize, static_cast<std::int32_t>(png.size()));
            FileMemory qrtBack(qrtSize), pngBack(pngSize);
            song.readAttributes(&qrtBack, &pngBack);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(qrtBack.data()), qrt.size()), qrt);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(pngBack.data()), png.size()), png);
            // Reads go on after the edit, from the rewritten file: inside
            // and just past what was cached before it.
            for (std::int32_t at : {500, 3000, 5000, 9000}) {
                float** out = song.read(at, 2000, false);
                EXPECT_TRUE(std::equal(out[0], out[0] + 2000, before.left.begin() + at)) << at;
                EXPECT_TRUE(std::equal(out[1], out[1] + 2000, before.right.begin() + at)) << at;
            }
        }
        asfTool({"get-bytes", path, SampleDiskWMA::kQrtAttribute, directory_.file("qrt.out")});
        asfTool({"get-bytes", path, SampleDiskWMA::kPngAttribute, directory_.file("png.out")});
        EXPECT_EQ(testing_support::readFile(directory_.file("qrt.out")), qrt);
        EXPECT_EQ(testing_support::readFile(directory_.file("png.out")), png);
    }
    // The other way: values mutagen wrote are read back byte for byte.
    testing_support::writeFile(directory_.file("mutagen.bin"), std::string("\x89PNG\xFF\x00\x01", 7));
    asfTool({"set-bytes", path, SampleDiskWMA::kPngAttribute, directory_.file("mutagen.bin")});
    {
        SampleDiskWMA song(path, FormatAudio(), 1.0f, false);
        std::int32_t size = 0;
        ASSERT_TRUE(song.pngSize(size));
        FileMemory back(size);
        song.readAttributes(nullptr, &back);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(back.data()), 7), std::string("\x89PNG\xFF\x00\x01", 7));
        ASSERT_TRUE(song.removeAttributes());
        EXPECT_FALSE(song.qrtSize(size));
        EXPECT_FALSE(song.pngSize(size));
    }
    const std::string names = asfTool({"names", path});
    EXPECT_EQ(names.find("Pelgrave"), std::string::npos) << names;
    const Decoded after = decodeWhole(path);
    EXPECT_TRUE(after.left == before.left && after.right == before.right);
}

TEST_F(WmaReader, FailedSavesAreReportedAndLogged) {
    SampleDiskWMA::setLayerFactories([] { return fakeDecoder(rampScript(5000, 1000)); },
                                     [] { return fakeAttributes(false, true); });
    SampleDiskWMA song("scripted.wma", FormatAudio(), 1.0f, true);
    auto qrt = fixtures::memoryFile("qrt");
    EXPECT_FALSE(song.writeAttributes(qrt.get(), nullptr));
    EXPECT_FALSE(song.removeAttributes());
    std::vector<std::string> logged;
    for (const std::string& text : testing_support::logTexts())
        for (const char* wanted : {"Could not write QRT metadata in .wma file.", "Could not write PNG metadata in .wma file.",
                                   "Could not remove QRT metadata from .wma file.", "Could not remove PNG metadata from .wma file."})
            if (text.find(wanted) != std::string::npos) logged.push_back(wanted);
    EXPECT_EQ(logged, (std::vector<std::string>{"Could not write QRT metadata in .wma file.", "Could not remove QRT metadata from .wma file.",
                                                "Could not remove PNG metadata from .wma file."}));
    // The reader still reads from frame 0 of the reopened decoder.
    EXPECT_EQ(song.read(10, 1, false)[0][0], 10.0f / 32768.0f);
}

// Absent texts are null; UTF-16 text keeps the low byte of each character.
TEST_F(WmaReader, TheFiveTexts) {
    const std::string path = copyOf("stereo-v2.wma");
    asfTool({"set", path, "Title", "Caf\u00e9 \u041c\u0438\u0440"});
    asfTool({"set", path, "WM/Year", "2004"});
    asfTool({"set", path, "WM/AlbumTitle", "Album"});
    SampleDiskWMA song(path, FormatAudio(), 1.0f, false);
    ID3Text* tags = song.tags();
    // U+00E9 keeps 0xE9; U+041C, U+0438, U+0440 keep 0x1C, 0x38, 0x40.
    EXPECT_STREQ(ID3Text::text(tags->title), "Caf\xE9 \x1C\x38\x40");
    EXPECT_STREQ(ID3Text::text(tags->album), "Album");
    EXPECT_STREQ(ID3Text::text(tags->year), "2004");
    EXPECT_EQ(ID3Text::text(tags->artist), nullptr);
    EXPECT_EQ(ID3Text::text(tags->comment), nullptr);
}

// ---- Through the song-file factory -----------------------------------------

// The factory opens WMA songs with this reader: embedded meta-data and
// texts come out, a side file wins, and the reader reads as the plain one.
TEST_F(WmaReader, TheFactoryOpensWmaSongs) {
    SampleDiskWMA::installLoader();
    checkWmaLibrary();
    const std::string path = copyOf("stereo-v2.wma");
    asfTool({"set", path, "Author", "Someone"});
    Beats embedded(44100);
    for (std::int32_t i = 0; i < 5; ++i) embedded.appendBeat(1000 + i * 22050, false);
    Image(40, 60, 10, 20, 30, 255).writePng(directory_.file("picture.png"));
    {
        SampleDiskWMA song(path, FormatAudio(), 1.0f, false);
        auto qrt = fixtures::memoryFile(embedded.metaDataBytes());
        auto png = fixtures::memoryFile(testing_support::readFile(directory_.file("picture.png")));
        ASSERT_TRUE(song.writeAttributes(qrt.get(), png.get()));
    }
    std::filesystem::remove(directory_.file("picture.png"));

    for (bool sideFile : {false, true}) {
        SCOPED_TRACE(sideFile ? "side file" : "embedded");
        if (sideFile) {
            Beats side(44100);
            side.appendBeat(77, true);
            testing_support::writeFile(directory_.file("song.qrt"), side.metaDataBytes());
        }
        std::unique_ptr<Beats> beats;
        std::unique_ptr<Image> image;
        ID3Text texts;
        bool hasTexts = false;
        SongFileOutputs outputs;
        outputs.beats = &beats;
        outputs.image = &image;
        outputs.wmaTags = &texts;
        outputs.hasWmaTags = &hasTexts;
        std::unique_ptr<AudioFileReader> reader = SampleDisk::open(path, true, false, 1.0f, outputs);
        ASSERT_NE(reader, nullptr);
        ASSERT_NE(beats, nullptr);
        EXPECT_EQ(beats->count(), sideFile ? 1 : 5);
        EXPECT_EQ((*beats)[0].position, sideFile ? 77 : 1000);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width(), 40);
        EXPECT_TRUE(hasTexts);
        EXPECT_STREQ(ID3Text::text(texts.artist), "Someone");
        EXPECT_FALSE(reader->isFrameBased());
        SampleDiskWMA plain(path, FormatAudio(), 1.0f, true);
        EXPECT_EQ(reader->length(), plain.length());
        float** a = reader->read(30000, 5000, false);
        const std::vector<float> left(a[0], a[0] + 5000);
        EXPECT_EQ(left, std::vector<float>(plain.read(30000, 5000, false)[0], plain.read(30000, 5000, false)[0] + 5000));
    }
    EXPECT_EQ(SampleDisk::open(path, true, true, 1.0f), nullptr);
    setWmaLibraryLoader({}, {});
    checkWmaLibrary();
}

// What the MP3 merge writes, the factory reads back.
TEST_F(WmaReader, TheFactoryReadsWhatTheMp3MergeWrote) {
    const std::string song = directory_.file("song.mp3");
    fixtures::makeLameMp3(song, 1.0);
    Beats written(44100);
    for (std::int32_t i = 0; i < 4; ++i) written.appendBeat(300 + i * 11025, i == 2);
    testing_support::writeFile(directory_.file("song.qrt"), written.metaDataBytes());
    Image(25, 60, 255, 0, 0, 255).writePng(directory_.file("song.png"));
    ASSERT_TRUE(mergeMp3MetaData(song));
    ASSERT_EQ(files(), std::set<std::string>{"song.mp3"});
    std::unique_ptr<Beats> beats;
    std::unique_ptr<Image> image;
    SongFileOutputs outputs;
    outputs.beats = &beats;
    outputs.image = &image;
    std::unique_ptr<AudioFileReader> reader = SampleDisk::open(song, true, false, 1.0f, outputs);
    ASSERT_NE(beats, nullptr);
    ASSERT_EQ(beats->count(), 4);
    EXPECT_EQ((*beats)[3].position, 300 + 3 * 11025);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width(), 25);
    EXPECT_GT(reader->length(), 40000);
}

// ---- The WMA meta-data tools ------------------------------------------------

class WmaTools : public WmaReader {
protected:
    void writeSides() {
        testing_support::writeFile(directory_.file("song.qrt"), qrt_);
        testing_support::writeFile(directory_.file("song.png"), png_);
    }
    std::string qrt_ = std::string("\x89QRT\r\n\x1a\n", 8) + std::string(500, '\xFF');
    std::string png_ = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(3000, '\x01');
};

TEST_F(WmaTools, MergeThenSplitGiveTheSideFilesBack) {
    const std::string song = copyOf("stereo-v2.wma");
    // An old value of each attribute is replaced, not kept beside.
    testing_support::writeFile(directory_.file("old.bin"), "old");
    asfTool({"set-bytes", song, SampleDiskWMA::kQrtAttribute, directory_.file("old.bin")});
    std::filesystem::remove(directory_.file("old.bin"));
    writeSides();
    ASSERT_TRUE(mergeWmaMetaData(song));
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(files(), std::set<std::string>{"song.wma"});
    asfTool({"get-bytes", song, SampleDiskWMA::kQrtAttribute, directory_.file("qrt.out")});
    EXPECT_EQ(testing_support::readFile(directory_.file("qrt.out")), qrt_);
    std::filesystem::remove(directory_.file("qrt.out"));

    ASSERT_TRUE(splitWmaMetaData(song, false));
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(files(), (std::set<std::string>{"song.wma", "song.qrt", "song.png"}));
    EXPECT_EQ(testing_support::readFile(directory_.file("song.qrt")), qrt_);
    EXPECT_EQ(testing_support::readFile(directory_.file("song.png")), png_);
    EXPECT_EQ(asfTool({"names", song}).find("Pelgrave"), std::string::npos);

    // Strip: merged again, then taken out with no side files left.
    ASSERT_TRUE(mergeWmaMetaData(song));
    ASSERT_TRUE(stripWmaMetaData(song));
    EXPECT_EQ(files(), std::set<std::string>{"song.wma"});
    EXPECT_EQ(asfTool({"names", song}).find("Pelgrave"), std::string::npos);
    EXPECT_TRUE(boxes().empty());
    // Nothing to do, and names of other types.
    EXPECT_TRUE(splitWmaMetaData(song, false));
    EXPECT_EQ(files(), std::set<std::string>{"song.wma"});
    EXPECT_FALSE(mergeWmaMetaData(directory_.file("song.mp3")));
    EXPECT_FALSE(splitWmaMetaData(directory_.file("song.wav"), false));
}

// A save that fails keeps the side files (merge) or the attributes
// (split), and shows the logged text.
TEST_F(WmaTools, FailuresKeepTheOnlyCopy) {
    const std::string song = copyOf("stereo-v2.wma");
    writeSides();
    ASSERT_TRUE(mergeWmaMetaData(song));
    const std::string merged = testing_support::readFile(song);
    writeSides();

    // The attribute store cannot save: the merge keeps the side files.
    SampleDiskWMA::setLayerFactories({}, [] { return fakeAttributes(false, true); });
    EXPECT_TRUE(mergeWmaMetaData(song));
    EXPECT_EQ(boxes(), (Boxes{{"Cannot Merge", "Could not remove QRT metadata from .wma file."}}));
    EXPECT_EQ(files(), (std::set<std::string>{"song.wma", "song.qrt", "song.png"}));
    SampleDiskWMA::setLayerFactories({}, {});

    // A side file that cannot be written: the split keeps the attributes.
    std::filesystem::remove(directory_.file("song.qrt"));
    std::filesystem::remove(directory_.file("song.png"));
    platform::uiScript::clearRequests();
    platform::setFileFaultHook([](platform::FileOperation operation, const std::string& path) {
        return operation == platform::FileOperation::Write && path.find("song.png.part") != std::string::npos;
    });
    EXPECT_TRUE(splitWmaMetaData(song, false));
    platform::setFileFaultHook({});
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].first, "Cannot Strip / Split");
    // No side file takes its name unless all were written; the song keeps both values.
    EXPECT_EQ(testing_support::readFile(song), merged);
    EXPECT_EQ(files(), std::set<std::string>{"song.wma"});

    // A song that cannot be opened is reported under each tool's title.
    platform::uiScript::clearRequests();
    const std::string broken = directory_.file("broken.wma");
    testing_support::writeFile(broken, "not ASF");
    testing_support::writeFile(directory_.file("broken.qrt"), "q");
    EXPECT_TRUE(mergeWmaMetaData(broken));
    EXPECT_TRUE(splitWmaMetaData(broken, false));
    EXPECT_EQ(boxes(), (Boxes{{"Cannot Merge", "Could not open WMA file."}, {"Cannot Strip / Split", "Could not open WMA file."}}));
}

}  // namespace
