// The beat mapper's test fixture: the program's own skin, click and dialog
// templates from the built-in archive, an empty data directory, scripted
// boxes and dialogs, the virtual clock, fatal stops thrown, and the null
// output stepped period by period with what it plays kept in memory. Songs
// of a known signal are written at test time with the beat meta-data a
// case asks for. OutputZeroRouter hands the beat mapper every block of the
// main output, as the application's render callback does while the mapper
// is open.
#ifndef VELKARN_TESTS_TOOLS_BEATMAPPERTESTSUPPORT_H
#define VELKARN_TESTS_TOOLS_BEATMAPPERTESTSUPPORT_H

#include "BrowserTestSupport.h"
#include "TestEnvironment.h"
#include "audio/AudioClient.h"
#include "audio/FormatAudio.h"
#include "audio/Motor.h"
#include "platform/audio/FakeAudio.h"
#include "tools/BeatMapper.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class GUIComponent;

namespace mapper_test {

// Sample `frame` of the written songs on channel 0 or 1, as 16-bit values.
std::int16_t songValue(int channel, std::int64_t frame);

struct MapperSong {
    double seconds = 6.0;
    bool withMetaData = true;
    // Beat positions and whether each was generated.
    std::vector<std::int32_t> beats;
    std::vector<bool> generated;  // empty: all set
    // 0: no Points record.
    std::int32_t samplesPerLevel = 153;
    float bpm = 120.0f;
    int beatsPerBar = 4;
    bool usePng = false;
    bool withTags = true;
    std::string title = "Record Title";
    std::string artist = "Record Artist";
    std::string album = "Record Album";
    std::string comment = "Record Comment";
    std::string year = "1999";
    std::string label;  // empty: no label record
    int keyIndex = -1;  // -1: no key record
};

// Writes <path> (".wav") and, with meta-data, its ".qrt" side file.
void writeSong(const std::string& path, const MapperSong& song);
// The levels a written Points record holds (not what an analysis gives).
float writtenLevel(std::size_t index);

// Hands every block of output 0 to the mapper (silence on other devices or
// without a mapper), counting the output thread's allocations meanwhile.
class OutputZeroRouter : public AudioClient {
public:
    void render(Motor* device, float** channels, std::int32_t frames) override;
    std::atomic<BeatMapper*> mapper{nullptr};
    std::atomic<Motor*> output0{nullptr};
};

class BeatMapperTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    BeatMapper& open(const std::string& path = {});
    // A waveOut device on a stepped null stream routed to the mapper,
    // started (its first two blocks rendered).
    void openOutput(float latencyMs);
    // The next period of the output.
    void step(int periods = 1);
    // Blocks [from, to) of what the output played, 16-bit interleaved.
    std::vector<std::int16_t> played(int from, int to) const;
    // One timer period of the virtual clock, then the posted messages.
    void tick();
    // A click through the toolkit at the component's centre.
    void click(const GUIComponent* component);
    // Writes the archive's click to a file and returns its path.
    std::string clickFile();

    std::optional<testing_support::TemporaryDirectory> home;
    std::optional<testing_support::ScopedEnvironment> homeVariable;
    testing_support::TemporaryDirectory files;
    std::optional<platform::audio::FakeAudio> fakeAudio;
    browser_test::FakeApplication application;
    FormatAudio format;
    OutputZeroRouter router;
    std::unique_ptr<Motor> device;
    std::unique_ptr<BeatMapper> mapper;
    int stream = 0;
    int frames = 0;
};

}  // namespace mapper_test

#endif
