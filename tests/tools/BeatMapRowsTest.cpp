// The beat map's rows: the rendering against the NumPy model pixel for
// pixel over row heights, scrolling, the onset mix, gain and one or two
// values per column, and against committed goldens in tests/tools/golden/
// (VELKARN_UPDATE_GOLDENS=1 rewrites them); the copy into another image;
// the wheel.
#include "BeatMapTestSupport.h"

#include "ImageTestSupport.h"
#include "TestEnvironment.h"
#include "framework/Image.h"
#include "tools/GUIBeatMap.h"
#include "tools/GUIBeatMapClient.h"

#include <cstring>
#include <sstream>

namespace {

using namespace beatmap_test;

class BeatMapRows : public FrameworkTest {};

struct RowsCase {
    int width;
    int height;
    int rowHeight;
    float scroll;
    float mix;
    float gain;
    float bpm;
    int beats;
};

std::string describe(const RowsCase& c) {
    std::ostringstream out;
    out << c.width << "x" << c.height << " row " << c.rowHeight << " scroll " << c.scroll << " mix " << c.mix
        << " gain " << c.gain << " bpm " << c.bpm << " beats " << c.beats;
    return out.str();
}

// Renders the case with the map and the model and compares every pixel.
void expectModelRows(const std::vector<float>& envelope, const std::string& envelopePath, const RowsCase& c) {
    SCOPED_TRACE(describe(c));
    GUIBeatMap map(0, 0, c.width, c.height, samplesPerValue, nullptr);
    setEnvelope(map, envelope);
    bool two = false;
    map.refresh(c.rowHeight, c.scroll, c.mix, c.gain, c.bpm, c.beats, &two);

    const std::string pixelsPath = temporaryFile("rows.bgra");
    auto text = [](float v) {
        std::ostringstream out;
        out.precision(9);
        out << v;
        return out.str();
    };
    const std::vector<std::string> answer =
        model({"rows", envelopePath, std::to_string(samplesPerValue), std::to_string(c.width),
               std::to_string(c.height), std::to_string(c.rowHeight), text(c.scroll), text(c.mix), text(c.gain),
               text(c.bpm), std::to_string(c.beats), pixelsPath});
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0], std::string("two ") + (two ? "1" : "0"));
    const std::string expected = testing_support::readFile(pixelsPath);
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(c.width * c.height * 4));
    const Image& image = map.image();
    int differing = 0;
    for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
            const unsigned char* want = reinterpret_cast<const unsigned char*>(expected.data()) + (y * c.width + x) * 4;
            if (std::memcmp(image.pixelAt(x, y), want, 4) != 0 && differing++ < 5)
                ADD_FAILURE() << "pixel " << x << "," << y << ": grey " << int(image.pixelAt(x, y)[0]) << " against "
                              << int(want[0]);
        }
    }
    EXPECT_EQ(differing, 0);
}

TEST_F(BeatMapRows, RenderingEqualsTheModel) {
    const TempoSong& song = tempoSong("music-128");
    const std::vector<float>& envelope = songEnvelope(song);
    const std::string path = writeFloats("music-128.env", envelope);
    const RowsCase cases[] = {
        // Row height 1 and 20, scrolled to the top, the middle and the end.
        {600, 200, 1, 0.0f, 0.0f, 1.0f, 128.0f, 4},
        {600, 200, 20, 0.0f, 0.0f, 1.0f, 128.0f, 4},
        {600, 200, 20, 0.5f, 0.0f, 1.0f, 128.0f, 4},
        {600, 200, 20, 1.0f, 0.0f, 1.0f, 128.0f, 4},
        {600, 100, 1, 0.5f, 0.0f, 1.0f, 128.0f, 4},
        {600, 100, 1, 1.0f, 0.0f, 1.0f, 128.0f, 4},
        // The onset mix and the gain.
        {600, 120, 3, 0.25f, 0.5f, 1.0f, 128.0f, 4},
        {600, 120, 3, 0.25f, 1.0f, 1.0f, 128.0f, 4},
        {600, 120, 3, 0.25f, 1.0f, 10.0f, 128.0f, 4},
        {600, 120, 3, 0.25f, 0.0f, 10.0f, 128.0f, 4},
        // Narrower than a row's values: the larger of each pair.
        {250, 150, 2, 0.0f, 0.5f, 3.0f, 128.0f, 4},
        {250, 150, 2, 1.0f, 0.0f, 1.0f, 96.5f, 4},
        // A tempo that does not divide the song evenly; rows of one beat.
        {300, 90, 4, 0.5f, 0.3f, 2.0f, 127.31f, 1},
        // All rows fit: nothing to scroll.
        {700, 400, 1, 0.7f, 0.0f, 1.0f, 128.0f, 32},
    };
    for (const RowsCase& c : cases) expectModelRows(envelope, path, c);
}

// 64 rows of one beat at 120 BPM (144.1 values each): a decaying pulse on
// every beat whose height follows the row, an off-beat pulse on every
// third row, over a faint floor. Exact in single precision (a level in
// ten-thousandths), so the goldens need no Python.
std::vector<float> goldenEnvelope() {
    std::vector<float> envelope(64 * 22050 / samplesPerValue + 1);
    for (std::size_t i = 0; i < envelope.size(); ++i) {
        const auto sample = static_cast<int>(i) * samplesPerValue;
        const int row = sample / 22050;
        const int within = sample % 22050;
        int level = (static_cast<int>(i) * 37 + row * 11) % 23 * 20;
        if (within < 3060) level += (1000 + 800 * (row % 7)) * (3060 - within) / 3060;
        if (row % 3 == 0 && within >= 11016 && within < 12546) level += 3000 * (12546 - within) / 1530;
        envelope[i] = static_cast<float>(level) / 10000.0f;
    }
    return envelope;
}

TEST_F(BeatMapRows, RefreshEqualsTheGoldens) {
    const std::vector<float> envelope = goldenEnvelope();
    const std::string path = writeFloats("golden.env", envelope);
    // 150 columns show one value each, 72 columns two.
    const struct {
        const char* golden;
        RowsCase rows;
    } cases[] = {
        {"BeatMapRowsThinTop", {150, 40, 1, 0.0f, 0.0f, 1.0f, 120.0f, 1}},
        {"BeatMapRowsThinEndHalfMix", {150, 40, 1, 1.0f, 0.5f, 1.0f, 120.0f, 1}},
        {"BeatMapRowsThinMiddleOnsetGain10", {150, 40, 1, 0.5f, 1.0f, 10.0f, 120.0f, 1}},
        {"BeatMapRowsTallTopGain10", {150, 40, 20, 0.0f, 0.0f, 10.0f, 120.0f, 1}},
        {"BeatMapRowsTallMiddle", {150, 40, 20, 0.5f, 0.0f, 1.0f, 120.0f, 1}},
        {"BeatMapRowsTwoThinMiddleGain10", {72, 40, 1, 0.5f, 0.0f, 10.0f, 120.0f, 1}},
        {"BeatMapRowsTwoTallEndHalfMix", {72, 40, 20, 1.0f, 0.5f, 10.0f, 120.0f, 1}},
    };
    bool rewritten = false;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.golden);
        const RowsCase& r = c.rows;
        GUIBeatMap map(0, 0, r.width, r.height, samplesPerValue, nullptr);
        setEnvelope(map, envelope);
        bool two = false;
        map.refresh(r.rowHeight, r.scroll, r.mix, r.gain, r.bpm, r.beats, &two);
        EXPECT_EQ(two, r.width == 72);
        rewritten |= image_test::goldenRewritten(
            map.image(), testing_support::sourceDirectory() + "/tests/tools/golden/" + c.golden + ".png");
        // The golden itself stays what the model draws.
        expectModelRows(envelope, path, r);
    }
    if (rewritten) GTEST_SKIP() << "goldens rewritten";
}

TEST_F(BeatMapRows, ThreeRowsOfAShortEnvelope) {
    // 3 rows of 2 beats at 120 BPM: 44100 samples, 288.2 values a row.
    std::vector<float> envelope(700);
    for (std::size_t i = 0; i < envelope.size(); ++i)
        envelope[i] = static_cast<float>((i * 37) % 101) / 100.0f * (i % 144 < 8 ? 1.0f : 0.3f);
    const std::string path = writeFloats("three-rows.env", envelope);
    expectModelRows(envelope, path, {300, 30, 10, 0.0f, 0.4f, 1.5f, 120.0f, 2});
    expectModelRows(envelope, path, {290, 24, 8, 0.0f, 0.4f, 1.5f, 120.0f, 2});
    expectModelRows(envelope, path, {100, 30, 10, 0.0f, 0.0f, 1.0f, 120.0f, 2});
}

TEST_F(BeatMapRows, TwoValuesPerColumnFollowsTheWidth) {
    std::vector<float> envelope(2000, 0.5f);
    // 120 BPM, 4 beats: 88200 samples a row, 576.47 values.
    const struct {
        int width;
        bool two;
    } cases[] = {{576, true}, {577, false}, {100, true}, {1000, false}};
    for (const auto& c : cases) {
        GUIBeatMap map(0, 0, c.width, 10, samplesPerValue, nullptr);
        setEnvelope(map, envelope);
        bool two = !c.two;
        map.refresh(1, 0.0f, 0.0f, 1.0f, 120.0f, 4, &two);
        EXPECT_EQ(two, c.two) << c.width;
    }
}

TEST_F(BeatMapRows, HostileSettingsDrawWhiteOnly) {
    std::vector<float> envelope(3000, 1.0f);
    const struct {
        int rowHeight;
        float bpm;
        int beats;
    } cases[] = {{0, 120.0f, 4}, {-3, 120.0f, 4}, {2, 0.0f, 4}, {2, -5.0f, 4}, {2, 1.0e9f, 4}, {2, 120.0f, 0}};
    for (const auto& c : cases) {
        GUIBeatMap map(0, 0, 50, 20, samplesPerValue, nullptr);
        setEnvelope(map, envelope);
        bool two = true;
        map.refresh(c.rowHeight, 0.0f, 0.0f, 1.0f, c.bpm, c.beats, &two);
        EXPECT_FALSE(two);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 50; ++x) ASSERT_FALSE(map.image().getPixel(x, y).differs(Color(255, 255, 255, 255)));
    }
}

TEST_F(BeatMapRows, CopyImageToClipsToTheSmallerImage) {
    std::vector<float> envelope(5000);
    for (std::size_t i = 0; i < envelope.size(); ++i) envelope[i] = static_cast<float>(i % 13) / 13.0f;
    GUIBeatMap map(0, 0, 40, 30, samplesPerValue, nullptr);
    setEnvelope(map, envelope);
    bool two = false;
    map.refresh(2, 0.0f, 0.2f, 1.0f, 140.0f, 1, &two);
    const struct {
        int width;
        int height;
    } targets[] = {{40, 30}, {25, 30}, {40, 12}, {60, 50}, {7, 70}};
    for (const auto& t : targets) {
        SCOPED_TRACE(std::to_string(t.width) + "x" + std::to_string(t.height));
        Image target(t.width, t.height, 1, 2, 3, 4);
        map.copyImageTo(target);
        for (int y = 0; y < t.height; ++y) {
            for (int x = 0; x < t.width; ++x) {
                const bool inside = x < 40 && y < 30;
                const Color want = inside ? map.image().getPixel(x, y) : Color(1, 2, 3, 4);
                ASSERT_FALSE(target.getPixel(x, y).differs(want)) << x << "," << y;
            }
        }
    }
}

class WheelClient : public GUIBeatMapClient {
public:
    void beatMapWheel(GUIBeatMap* map, int notches) override { calls.emplace_back(map, notches); }
    std::vector<std::pair<GUIBeatMap*, int>> calls;
};

TEST_F(BeatMapRows, TheWheelReachesTheClientOnlyOverTheMap) {
    WheelClient client;
    GUIBeatMap map(10, 20, 30, 40, samplesPerValue, &client);
    const struct {
        int x;
        int y;
        int notches;
        bool heard;
    } cases[] = {{10, 20, 1, true}, {39, 59, -2, true}, {9, 30, 1, false}, {40, 30, 1, false}, {20, 60, 3, false},
                 {25, 35, 0, true}};
    for (const auto& c : cases) {
        client.calls.clear();
        map.mouseWheel(GUIPoint{c.x, c.y}, c.notches);
        if (c.heard) {
            ASSERT_EQ(client.calls.size(), 1u) << c.x << "," << c.y;
            EXPECT_EQ(client.calls[0].first, &map);
            EXPECT_EQ(client.calls[0].second, c.notches);
        } else {
            EXPECT_TRUE(client.calls.empty()) << c.x << "," << c.y;
        }
    }
}

}  // namespace
