// The beat mapper's split, merge and convert walks over song trees made at
// test time (WAV by sox, MP3 by lame, WMA by ffmpeg) with nested
// directories, other files, a link back up the tree and a directory that
// cannot be listed. Results are read back by the audio tests' checkers:
// the RIFF walker, the test-only QRT parser, the MP3 end block writer and
// the ASF attribute tool.
#include "FrameworkTest.h"
#include "MetaDataFixtures.h"
#include "TestEnvironment.h"

#include "audio/Beats.h"
#include "audio/Mp3MetaDataTools.h"
#include "audio/SampleDisk.h"
#include "audio/SampleDiskWMA.h"
#include "audio/WavMetaDataTools.h"
#include "audio/WmaMetaDataTools.h"
#include "framework/AudioEngineServices.h"
#include "framework/FileUtilities.h"
#include "framework/Support.h"
#include "platform/FileSystem.h"
#include "platform/UiScript.h"
#include "tools/BeatMapperWalks.h"

#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Job = BeatMapperWalks::Job;

// The songs, made once per program: 5 s (over two bars at 120 BPM) of two tones under a 2 Hz
// tremolo, so that the level envelope has beats to fold.
struct Material {
    std::string wav;
    std::string mp3;
    std::string wma;
};

const Material& material() {
    static testing_support::TemporaryDirectory* directory = new testing_support::TemporaryDirectory();
    static const Material made = [] {
        Material m;
        m.wav = directory->file("song.wav");
        fixtures::runTool({"sox", "-D", "-n", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed-integer", m.wav,
                           "synth", "5", "sine", "440", "sine", "660", "tremolo", "2", "90", "vol", "0.8"});
        m.mp3 = directory->file("song.mp3");
        fixtures::runTool({"lame", "--quiet", "-b", "128", m.wav, m.mp3});
        m.wma = directory->file("song.wma");
        fixtures::runTool({"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-bitexact", "-i", m.wav, "-c:a",
                           "wmav2", "-b:a", "128k", m.wma});
        return m;
    }();
    return made;
}

std::string asfTool(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"/usr/bin/python3", VELKARN_ASF_TOOL};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return fixtures::runTool(argv);
}

std::string riffWalk(const std::string& path) {
    return fixtures::runTool({"/usr/bin/python3", testing_support::sourceDirectory() + "/tests/audio/riff_walk.py", path});
}

// Beat meta-data as an older version wrote it: beats, tempo settings,
// identification and key, and no level envelope unless asked.
struct SideRecords {
    std::vector<std::int32_t> positions;
    bool withPoints = false;
};

std::string qrtBytes(const SideRecords& records) {
    Beats beats(44100);
    for (std::size_t i = 0; i < records.positions.size(); ++i) beats.appendBeat(records.positions[i], i % 2 != 0);
    BTSettings settings;
    settings.bpm = 120.0f;
    settings.strip[1] = 4;
    SongTags tags;
    std::strcpy(tags.title, "Old title");
    tags.bpm = 120.0f;
    const MusicalKey key("A Min");
    BeatsWriteSources sources;
    sources.settings = &settings;
    sources.tags = &tags;
    sources.label = "Old label";
    sources.key = &key;
    PointsRecord points;
    const float levels[3] = {0.25f, 0.5f, 1.0f};
    const std::int32_t values[2] = {5, 6};
    if (records.withPoints) {
        points.fromValues(100, 3, levels, 2, values);
        sources.points = &points;
    }
    std::string bytes = beats.metaDataBytes(sources);
    points.release();
    return bytes;
}

std::vector<std::int32_t> everyHalfSecond(int count) {
    std::vector<std::int32_t> positions;
    for (int i = 0; i < count; ++i) positions.push_back(1000 + i * 22050);
    return positions;
}

const std::string& pngBytes() {
    static const std::string bytes = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(300, '\xFF') + "tail";
    return bytes;
}

std::map<std::string, std::string> chunksByName(const std::string& qrt) {
    std::map<std::string, std::string> chunks;
    for (const fixtures::QrtChunk& chunk : fixtures::parseQrt(qrt)) chunks[chunk.name.c_str()] = chunk.data;
    return chunks;
}

class Recorder : public BeatMapperWalks::Progress {
public:
    void setRange(int low, int high) override { ranges.emplace_back(low, high); }
    void setPosition(int value) override { positions.push_back(value); }
    bool isAborted() const override { return abortAfter >= 0 && static_cast<int>(positions.size()) >= abortAfter; }

    std::vector<std::pair<int, int>> ranges;
    std::vector<int> positions;
    int abortAfter = -1;
};

std::vector<int> oneTo(int n) {
    std::vector<int> values;
    for (int i = 1; i <= n; ++i) values.push_back(i);
    return values;
}

// Every regular file under the directory (links not followed), by path
// relative to it, with its bytes.
std::map<std::string, std::string> snapshot(const std::string& directory) {
    std::map<std::string, std::string> files;
    for (auto it = fs::recursive_directory_iterator(directory); it != fs::recursive_directory_iterator(); ++it) {
        if (it->is_symlink()) continue;
        if (it->is_regular_file()) files[fs::relative(it->path(), directory).string()] = testing_support::readFile(it->path());
    }
    return files;
}

class BatchJobs : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        platform::uiScript::enable();
        SampleDiskWMA::installLoader();
        checkWmaLibrary();
        ASSERT_TRUE(isWmaAvailable());
        root_ = directory_.file("tree");
    }
    void TearDown() override {
        platform::setFileFaultHook({});
        if (!locked_.empty()) ::chmod(locked_.c_str(), 0755);
        setWmaLibraryLoader({}, {});
        checkWmaLibrary();
        platform::uiScript::disable();
        FrameworkTest::TearDown();
    }

    std::string song(const std::string& relative, const std::string& source) {
        const std::string path = root_ + "/" + relative;
        fs::create_directories(fs::path(path).parent_path());
        fs::copy_file(source, path, fs::copy_options::overwrite_existing);
        return path;
    }
    std::string sourceOf(const std::string& relative) {
        if (hasWavExtension(relative)) return material().wav;
        if (hasMp3Extension(relative)) return material().mp3;
        return material().wma;
    }
    void writeSides(const std::string& path, const std::string& qrt) {
        testing_support::writeFile(withExtension(path, "qrt"), qrt);
        testing_support::writeFile(withExtension(path, "png"), pngBytes());
    }
    // The standard tree: songs at the top and two levels down, other
    // files, a link to the tree's own root, and a directory that cannot be
    // listed. Its walk order is songOrder.
    void makeTree() {
        for (const std::string& name : songOrder) song(name, sourceOf(name));
        testing_support::writeFile(root_ + "/notes.txt", "not a song");
        testing_support::writeFile(root_ + "/sub/cover.jpg", "not a song either");
        fs::create_directory_symlink(root_, root_ + "/loop");
        song("locked/hidden.wav", material().wav);
        lockDirectory(root_ + "/locked");
    }
    // Root reads any directory whatever its mode bits, so besides the
    // mode the layer's listing is refused for it through the fault hook.
    void lockDirectory(const std::string& path) {
        locked_ = path;
        ::chmod(path.c_str(), 0);
        platform::setFileFaultHook([path](platform::FileOperation operation, const std::string& target) {
            return operation == platform::FileOperation::List && target == path;
        });
    }
    std::vector<std::string> troubleLines() {
        std::vector<std::string> lines;
        for (const std::string& text : testing_support::logTexts())
            if (text.find("Windows trouble in file") != std::string::npos) lines.push_back(text);
        return lines;
    }
    std::vector<std::pair<std::string, std::string>> boxes() {
        std::vector<std::pair<std::string, std::string>> shown;
        for (const platform::UiRequest& request : platform::uiScript::requests()) shown.emplace_back(request.caption, request.text);
        return shown;
    }

    const std::vector<std::string> songOrder = {"A.wav", "b.mp3", "c.wma", "sub/deeper/d.wav", "sub/e.mp3", "z.wav"};
    testing_support::TemporaryDirectory directory_;
    std::string root_;
    std::string locked_;
};

TEST_F(BatchJobs, TitlesNameTheirJobs) {
    const struct {
        const char* title;
        bool known;
        Job job;
    } cases[] = {
        {"Splitting Tracks", true, Job::Split},   {"Merging Tracks", true, Job::Merge},
        {"Converting Tracks", true, Job::Convert}, {"Loading Track", false, Job::Split},
        {"merging tracks", false, Job::Split},
    };
    for (const auto& c : cases) {
        Job job = Job::Split;
        EXPECT_EQ(BeatMapperWalks::jobOfTitle(c.title, job), c.known) << c.title;
        if (c.known) {
            EXPECT_EQ(job, c.job) << c.title;
        }
    }
}

// Merge takes every song's side files in, split gives them back: the
// checkers see the chunks, the end block and the attributes, and the
// songs return to their original bytes.
TEST_F(BatchJobs, MergeThenSplitOverTheTree) {
    makeTree();
    const std::string qrt = qrtBytes({everyHalfSecond(5)});
    for (const std::string& name : songOrder) writeSides(root_ + "/" + name, qrt);
    const std::string hidden = testing_support::readFile(root_ + "/locked/hidden.wav");

    Recorder merge;
    EXPECT_EQ(BeatMapperWalks::run(Job::Merge, root_, merge), 6);
    EXPECT_EQ(merge.ranges, (std::vector<std::pair<int, int>>{{0, 6}}));
    EXPECT_EQ(merge.positions, oneTo(6));
    EXPECT_TRUE(boxes().empty());
    // The count and the walk each log the directory they cannot list.
    EXPECT_EQ(troubleLines().size(), 2u);

    for (const std::string& name : songOrder) {
        SCOPED_TRACE(name);
        const std::string path = root_ + "/" + name;
        EXPECT_FALSE(fs::exists(withExtension(path, "qrt")));
        EXPECT_FALSE(fs::exists(withExtension(path, "png")));
        if (hasWavExtension(name)) {
            EXPECT_NE(riffWalk(path).find("qrt  " + std::to_string(qrt.size())), std::string::npos);
            std::map<std::string, std::string> bodies;
            for (const fixtures::RiffChunk& chunk : fixtures::parseRiff(testing_support::readFile(path))) bodies[chunk.id] = chunk.body;
            EXPECT_EQ(bodies["qrt "], qrt);
            EXPECT_EQ(bodies["png "], pngBytes());
        } else if (hasMp3Extension(name)) {
            const std::string original = testing_support::readFile(material().mp3);
            EXPECT_EQ(testing_support::readFile(path),
                      original + fixtures::mp3MetaDataBlock(qrt, pngBytes(), original.size()));
        } else {
            asfTool({"get-bytes", path, SampleDiskWMA::kQrtAttribute, directory_.file("qrt.out")});
            EXPECT_EQ(testing_support::readFile(directory_.file("qrt.out")), qrt);
            asfTool({"get-bytes", path, SampleDiskWMA::kPngAttribute, directory_.file("png.out")});
            EXPECT_EQ(testing_support::readFile(directory_.file("png.out")), pngBytes());
        }
    }
    EXPECT_EQ(testing_support::readFile(root_ + "/locked/hidden.wav"), hidden);

    Recorder split;
    EXPECT_EQ(BeatMapperWalks::run(Job::Split, root_, split), 6);
    EXPECT_EQ(split.ranges, (std::vector<std::pair<int, int>>{{0, 6}}));
    EXPECT_EQ(split.positions, oneTo(6));
    EXPECT_TRUE(boxes().empty());
    for (const std::string& name : songOrder) {
        SCOPED_TRACE(name);
        const std::string path = root_ + "/" + name;
        EXPECT_EQ(testing_support::readFile(withExtension(path, "qrt")), qrt);
        EXPECT_EQ(testing_support::readFile(withExtension(path, "png")), pngBytes());
        if (hasWmaExtension(name)) {
            EXPECT_EQ(asfTool({"names", path}).find("Pelgrave"), std::string::npos);
        } else {
            EXPECT_EQ(testing_support::readFile(path), testing_support::readFile(sourceOf(name)));
        }
    }
    EXPECT_EQ(testing_support::readFile(root_ + "/notes.txt"), "not a song");
}

TEST_F(BatchJobs, AnEmptyTreeGivesRangeZeroToZero) {
    fs::create_directories(root_ + "/empty/deeper");
    testing_support::writeFile(root_ + "/readme.txt", "nothing to do");
    for (Job job : {Job::Split, Job::Merge, Job::Convert}) {
        Recorder progress;
        EXPECT_EQ(BeatMapperWalks::run(job, root_, progress), 0);
        EXPECT_EQ(progress.ranges, (std::vector<std::pair<int, int>>{{0, 0}}));
        EXPECT_TRUE(progress.positions.empty());
    }
    EXPECT_EQ(snapshot(root_), (std::map<std::string, std::string>{{"readme.txt", "nothing to do"}}));
}

// An abort seen after n files stops the walk: those n are merged, the rest
// of the tree is as it was, byte for byte.
TEST_F(BatchJobs, AbortAfterNFilesLeavesTheRestUntouched) {
    for (int n : {0, 1, 3, 5}) {
        SCOPED_TRACE(n);
        fs::remove_all(root_);
        for (const std::string& name : songOrder) {
            song(name, sourceOf(name));
            writeSides(root_ + "/" + name, qrtBytes({everyHalfSecond(4)}));
        }
        const std::map<std::string, std::string> before = snapshot(root_);
        Recorder progress;
        progress.abortAfter = n;
        EXPECT_EQ(BeatMapperWalks::run(Job::Merge, root_, progress), n);
        EXPECT_EQ(progress.positions, oneTo(n));
        const std::map<std::string, std::string> after = snapshot(root_);
        for (std::size_t i = 0; i < songOrder.size(); ++i) {
            const std::string& name = songOrder[i];
            const bool done = static_cast<int>(i) < n;
            const std::string qrtName = withExtension(name, "qrt");
            EXPECT_EQ(after.count(qrtName) == 0, done) << name;
            if (!done) {
                EXPECT_EQ(after.at(name), before.at(name)) << name;
                EXPECT_EQ(after.at(qrtName), before.at(qrtName)) << name;
            } else {
                EXPECT_NE(after.at(name), before.at(name)) << name;
            }
        }
    }
}

// Convert gives songs without a level envelope the envelope, the folded
// profile and a new overview, wherever their meta-data lies, and keeps the
// other records as they were; every song it must pass over stays byte for
// byte as it was.
TEST_F(BatchJobs, ConvertAddsTheEnvelopeAndPassesOverTheRest) {
    const struct {
        const char* name;
        std::vector<std::int32_t> positions;
        bool withPoints;
        bool embedded;
        bool inUse;
        bool converted;
    } cases[] = {
        {"side-w.wav", everyHalfSecond(5), false, false, false, true},
        {"side-m.mp3", everyHalfSecond(5), false, false, false, true},
        {"side-a.wma", everyHalfSecond(5), false, false, false, true},
        {"inside-w.wav", everyHalfSecond(5), false, true, false, true},
        {"inside-m.mp3", everyHalfSecond(4), false, true, false, true},
        {"inside-a.wma", everyHalfSecond(4), false, true, false, true},
        {"has-points.wav", everyHalfSecond(5), true, false, false, false},
        {"has-points-inside.mp3", everyHalfSecond(5), true, true, false, false},
        {"one-beat.wav", {5000}, false, false, false, false},
        {"close-beats.wav", {5000, 7204}, false, false, false, false},
        {"in-use.wav", everyHalfSecond(5), false, false, true, false},
        {"no-beats.wav", {}, false, false, false, false},
    };
    std::map<std::string, std::map<std::string, std::string>> before;
    std::vector<std::unique_ptr<std::ifstream>> held;
    for (const auto& c : cases) {
        const std::string path = song(std::string("dir/") + c.name, sourceOf(c.name));
        if (!c.positions.empty()) writeSides(path, qrtBytes({c.positions, c.withPoints}));
        if (c.embedded) {
            if (hasWavExtension(path)) ASSERT_TRUE(mergeWavMetaData(path));
            else if (hasMp3Extension(path)) ASSERT_TRUE(mergeMp3MetaData(path));
            else ASSERT_TRUE(mergeWmaMetaData(path));
        }
        if (c.inUse) held.push_back(std::make_unique<std::ifstream>(path, std::ios::binary));
    }
    const std::map<std::string, std::string> original = snapshot(root_);
    ASSERT_TRUE(boxes().empty());

    Recorder progress;
    EXPECT_EQ(BeatMapperWalks::run(Job::Convert, root_, progress), 12);
    EXPECT_EQ(progress.ranges, (std::vector<std::pair<int, int>>{{0, 12}}));
    EXPECT_EQ(progress.positions, oneTo(12));
    EXPECT_TRUE(boxes().empty());
    const std::map<std::string, std::string> after = snapshot(root_);

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = std::string("dir/") + c.name;
        const std::string qrtName = withExtension(name, "qrt");
        const std::string pngName = withExtension(name, "png");
        if (!c.converted) {
            for (const std::string& file : {name, qrtName, pngName}) {
                EXPECT_EQ(after.count(file), original.count(file)) << file;
                if (original.count(file) != 0 && after.count(file) != 0) {
                    EXPECT_EQ(after.at(file), original.at(file)) << file;
                }
            }
            continue;
        }
        // Where the new meta-data went: beside the song, or back inside it.
        std::string qrt;
        std::string png;
        const std::string path = root_ + "/" + name;
        if (c.embedded) {
            EXPECT_EQ(after.count(qrtName), 0u);
            EXPECT_EQ(after.count(pngName), 0u);
            if (hasWavExtension(name)) {
                for (const fixtures::RiffChunk& chunk : fixtures::parseRiff(after.at(name))) {
                    if (chunk.id == "qrt ") qrt = chunk.body;
                    if (chunk.id == "png ") png = chunk.body;
                }
                EXPECT_NE(riffWalk(path).find("png  " + std::to_string(png.size())), std::string::npos);
            } else if (hasMp3Extension(name)) {
                // The song is the lame stream followed by one block of the new files.
                const std::string& mp3 = testing_support::readFile(material().mp3);
                ASSERT_GT(after.at(name).size(), mp3.size());
                ASSERT_EQ(after.at(name).substr(0, mp3.size()), mp3);
                const std::string block = after.at(name).substr(mp3.size());
                // Unpacked by trying the checker's writer on candidate parts.
                const std::string header = block.substr(0, 25);
                ASSERT_EQ(header.substr(0, 9), "QRT & PNG");
                auto syncsafeAt = [&](std::size_t at) {
                    std::uint32_t value = 0;
                    for (int i = 0; i < 4; ++i) value = (value << 7) | (static_cast<unsigned char>(header[at + i]) & 0x7F);
                    return value;
                };
                const std::uint32_t qrtStuffed = syncsafeAt(17);
                const std::uint32_t pngStuffed = syncsafeAt(21);
                std::string unstuffed;
                const std::string stuffedQrt = block.substr(25, qrtStuffed);
                for (std::size_t i = 0; i < stuffedQrt.size(); ++i) {
                    unstuffed.push_back(stuffedQrt[i]);
                    if (static_cast<unsigned char>(stuffedQrt[i]) == 0xFF) ++i;
                }
                qrt = unstuffed;
                unstuffed.clear();
                const std::string stuffedPng = block.substr(25 + qrtStuffed, pngStuffed);
                for (std::size_t i = 0; i < stuffedPng.size(); ++i) {
                    unstuffed.push_back(stuffedPng[i]);
                    if (static_cast<unsigned char>(stuffedPng[i]) == 0xFF) ++i;
                }
                png = unstuffed;
                EXPECT_EQ(block, fixtures::mp3MetaDataBlock(qrt, png, mp3.size()));
            } else {
                asfTool({"get-bytes", path, SampleDiskWMA::kQrtAttribute, directory_.file("qrt.out")});
                qrt = testing_support::readFile(directory_.file("qrt.out"));
                asfTool({"get-bytes", path, SampleDiskWMA::kPngAttribute, directory_.file("png.out")});
                png = testing_support::readFile(directory_.file("png.out"));
            }
        } else {
            ASSERT_EQ(after.count(qrtName), 1u);
            ASSERT_EQ(after.count(pngName), 1u);
            qrt = after.at(qrtName);
            png = after.at(pngName);
            // Nothing was left inside the song.
            if (hasWmaExtension(name)) {
                EXPECT_EQ(asfTool({"names", path}).find("Pelgrave"), std::string::npos);
            } else {
                EXPECT_EQ(after.at(name), original.at(name));
            }
        }

        // Every old record is kept as it was; the envelope is added, and MP3
        // songs carry their frame table.
        const std::map<std::string, std::string> old = chunksByName(qrtBytes({c.positions}));
        const std::map<std::string, std::string> now = chunksByName(qrt);
        for (const auto& [chunk, data] : old) {
            if (chunk == "End") continue;
            ASSERT_EQ(now.count(chunk), 1u) << chunk;
            EXPECT_EQ(now.at(chunk), data) << chunk;
        }
        EXPECT_EQ(now.count("MP3 Frames"), hasMp3Extension(name) ? 1u : 0u);
        ASSERT_EQ(now.count("Points"), 1u);
        const std::string& points = now.at("Points");
        EXPECT_EQ(fixtures::loadInt32le(points, 0), 153);
        const std::int32_t levels = fixtures::loadInt32le(points, 4);
        // Whole seconds of 288 values of 153 frames each, the song's
        // values spread evenly over them.
        std::unique_ptr<AudioFileReader> reader = SampleDisk::open(path, true, false, 1.0f);
        const std::int32_t values = reader->length() / 153;
        const std::int32_t seconds = std::max(values / 288, 1);
        EXPECT_EQ(levels, values / seconds * seconds);
        reader.reset();
        const std::size_t valuesAt = 8 + static_cast<std::size_t>((levels + 3) / 4 * 4);
        ASSERT_EQ(fixtures::loadInt32le(points, valuesAt), 256);
        ASSERT_EQ(points.size(), valuesAt + 4 + 256 * 4);
        float largest = 0.0f;
        for (int i = 0; i < 256; ++i) {
            const float value = std::bit_cast<float>(fixtures::loadInt32le(points, valuesAt + 4 + 4 * static_cast<std::size_t>(i)));
            ASSERT_TRUE(std::isfinite(value)) << i;
            EXPECT_GE(value, 0.0f);
            largest = std::max(largest, value);
        }
        EXPECT_EQ(largest, 1.0f);

        // The overview: 20 pixels per second of the beats' span, 60 high.
        testing_support::writeFile(directory_.file("overview.png"), png);
        const std::string size = fixtures::runTool(
            {"/usr/bin/python3", "-c",
             "import sys; from PIL import Image; i = Image.open(sys.argv[1]); print(i.size[0], i.size[1], i.mode)",
             directory_.file("overview.png")});
        const std::int32_t span = c.positions.back() - c.positions.front();
        EXPECT_EQ(size, std::to_string(span / 2205) + " 60 RGBA\n");
    }
}

// Walks name every file by its full path: the process's current directory
// stays where it was, so a relative name resolved on another thread during
// the walk keeps finding its file.
TEST_F(BatchJobs, TheCurrentDirectoryIsNeverChanged) {
    makeTree();
    for (const std::string& name : songOrder) writeSides(root_ + "/" + name, qrtBytes({everyHalfSecond(5)}));
    const fs::path saved = fs::current_path();
    const std::string home = directory_.file("home");
    fs::create_directories(home);
    testing_support::writeFile(home + "/marker.txt", "here");
    fs::current_path(home);

    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::atomic<int> misses{0};
    std::thread reader([&] {
        while (!done.load()) {
            std::ifstream file("marker.txt");
            std::string text;
            std::getline(file, text);
            (text == "here" ? reads : misses).fetch_add(1);
        }
    });
    for (Job job : {Job::Merge, Job::Convert, Job::Split}) {
        Recorder progress;
        EXPECT_EQ(BeatMapperWalks::run(job, root_, progress), 6);
        EXPECT_EQ(fs::current_path(), fs::path(home));
    }
    done = true;
    reader.join();
    fs::current_path(saved);
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(misses.load(), 0);
}

// A directory the layer cannot list is logged with the layer's text and
// skipped; its songs are neither counted nor touched, and the walk goes on
// with the entries after it.
TEST_F(BatchJobs, AnUnlistableDirectoryIsLoggedAndSkipped) {
    makeTree();
    const std::string qrt = qrtBytes({everyHalfSecond(5)});
    writeSides(root_ + "/locked/hidden.wav", qrt);
    writeSides(root_ + "/z.wav", qrt);
    Recorder progress;
    EXPECT_EQ(BeatMapperWalks::run(Job::Merge, root_, progress), 6);
    EXPECT_EQ(progress.ranges, (std::vector<std::pair<int, int>>{{0, 6}}));
    const std::vector<std::string> lines = troubleLines();
    ASSERT_EQ(lines.size(), 2u);
    for (const std::string& line : lines) {
        EXPECT_EQ(line.rfind("Windows trouble in file ", 0), 0u) << line;
        EXPECT_NE(line.find(std::strerror(EIO)), std::string::npos) << line;
    }
    // z.wav lies after the locked directory and was merged.
    EXPECT_FALSE(fs::exists(root_ + "/z.qrt"));
    platform::setFileFaultHook({});
    ::chmod(locked_.c_str(), 0755);
    EXPECT_EQ(testing_support::readFile(root_ + "/locked/hidden.qrt"), qrt);
    EXPECT_EQ(testing_support::readFile(root_ + "/locked/hidden.wav"), testing_support::readFile(material().wav));
}

}  // namespace
