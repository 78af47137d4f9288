// The automatic player end to end: the application on the stepped null
// output and the virtual clock, with the played-songs lists running. A
// crate of 64-beat tone songs (each its own tone), an unanalysed file and
// a song that the drop refuses; the player set through its dialog, its
// crate chosen and started through the panel, then run until four drops.
#include "AppTestSupport.h"
#include "ToneSongs.h"
#include "app/DeckLock.h"
#include "app/PanelPlayer.h"
#include "app/Player.h"
#include "app/PlaylistWriter.h"
#include "audio/AudioClient.h"
#include "audio/Motor.h"
#include "audio/Song.h"
#include "audio/Songs.h"
#include "audio/TrackAudio.h"
#include "framework/GUIButton.h"
#include "framework/Window.h"
#include "platform/EventLoop.h"
#include "platform/Paths.h"
#include "platform/TestInput.h"
#include "platform/UiScript.h"
#include "tools/BrowserData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <numbers>
#include <vector>

namespace {

namespace input = platform::test_input;

constexpr std::int32_t period = 2205;   // the default latency's block
constexpr std::size_t capacity = 2400;  // blocks the run may capture
constexpr int songBeats = 64;
constexpr int overlap = 16;

// The output's blocks as the application renders them, with the mix time
// each began at (storage reserved before the run).
class OutputWatch : public AudioClient {
public:
    explicit OutputWatch(Velkarn& app) : app_(app) {
        left.assign(capacity * period, 0.0f);
        starts.assign(capacity, 0);
    }
    void render(Motor* device, float** channels, std::int32_t frames) override {
        const std::int64_t start = app_.currentSampleTime();
        app_.render(device, channels, frames);
        if (blocks < capacity && frames == period) {
            std::copy(channels[0], channels[0] + frames, left.begin() + static_cast<std::ptrdiff_t>(blocks * period));
            starts[blocks] = start;
            ++blocks;
        }
    }

    std::vector<float> left;
    std::vector<std::int64_t> starts;
    std::size_t blocks = 0;

private:
    Velkarn& app_;
};

// The crate's songs: tempo, tone and title.
struct CrateSong {
    double bpm;
    double toneHz;
    const char* title;
};
constexpr CrateSong crateSongs[] = {
    {100.0, 150.0, "100"}, {118.0, 220.0, "118"}, {122.0, 440.0, "122"}, {126.0, 880.0, "126"}, {131.0, 1320.0, "131"},
};

double toneOf(const std::string& title) {
    for (const CrateSong& song : crateSongs) {
        if (title == song.title) return song.toneHz;
    }
    return 0.0;
}

// The amplitude of a tone near f (within 8 %, for the tempo fitting that
// moves it) in a Hann-windowed stretch: the largest of a fine scan.
double toneLevel(const std::vector<float>& signal, std::size_t from, std::size_t count, double f) {
    double best = 0.0;
    double windowSum = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        windowSum += 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (static_cast<double>(i) + 0.5) /
                                          static_cast<double>(count));
    }
    const double step = 0.25 * 44100.0 / static_cast<double>(count);
    for (double g = f * 0.92; g <= f * 1.08; g += step) {
        const double w = 2.0 * std::numbers::pi * g / 44100.0;
        const double coefficient = 2.0 * std::cos(w);
        double s1 = 0.0, s2 = 0.0;
        for (std::size_t i = 0; i < count; ++i) {
            const double window = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (static_cast<double>(i) + 0.5) /
                                                       static_cast<double>(count));
            const double s0 = window * signal[from + i] + coefficient * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
        best = std::max(best, 2.0 * std::sqrt(std::max(power, 0.0)) / windowSum);
    }
    return best;
}

struct Drop {
    std::int32_t tickBeat;  // the beat of the refresh that dropped
    std::int32_t beat;      // the drop beat
    int deck;
    std::int64_t position;  // the drop beat's mix time
    std::int32_t songEnd;   // one past the dropped song's last beat
};

struct ListLine {
    int deck;
    int seconds;
    std::string title;
};

class AutoPlayerEndToEnd : public app_test::AppTest {
protected:
    void writeCrate(const std::string& directory) {
        auto spec = [](double bpm, double toneHz) {
            ToneSongSpec s;
            s.bpm = bpm;
            s.toneHz = toneHz;
            s.markerAmplitude = 0.0;
            // 65 marked beats: 64 slots.
            s.seconds = (s.firstBeat + (songBeats + 1) * 44100.0 * 60.0 / bpm) / 44100.0;
            return s;
        };
        for (const CrateSong& song : crateSongs) {
            writeToneSong(directory, song.title, spec(song.bpm, song.toneHz), {song.title});
        }
        // Tagged 120 BPM, with one beat at 39 BPM: the drop refuses it.
        ToneSongSpec slow = spec(120.0, 660.0);
        slow.seconds += 2.0;
        ToneSongExtras slowBeat{"120"};
        slowBeat.slowBeat = 20;
        writeToneSong(directory, "slow", slow, slowBeat);
        // Not analysed: no meta-data beside it.
        writeToneSong(directory, "plain", spec(124.0, 990.0));
        std::filesystem::remove(directory + "/plain.qrt");
    }

    platform::WindowHandle handle() { return application->mainWindow()->handle(); }
    void click(GUIButton* button) {
        ASSERT_TRUE(input::click(handle(), {(button->x0 + button->x1) / 2, (button->y0 + button->y1) / 2}));
    }

    // One period of the output once both decks are a second ahead, what it
    // posted, then the display refresh.
    void step() {
        Velkarn& app = *application;
        stepMainOutput();
        if (HasFatalFailure()) return;
        const std::int32_t b = app.beatIndexAt(app.currentSampleTime());
        // A beat's record is settled once it plays.
        grid[b] = app.beatAt(b);
        grid[b - 1] = app.beatAt(b - 1);
        app.windowTimer(app.mainWindow());
        const std::int32_t check = app.player()->nextCheckBeat();
        if (check != lastCheck_) {
            lastCheck_ = check;
            Drop drop{b, check, -1, app.beatAt(check).position, 0};
            DeckLock hold;
            for (int d = 0; d < 2; ++d) {
                for (int i = 0; i < app.songs(d)->count(); ++i) {
                    const Song& song = app.songs(d)->song(i);
                    if (song.firstBeat() != check) continue;
                    drop.deck = d;
                    drop.songEnd = song.endBeat();
                }
            }
            drops.push_back(drop);
        }
    }

    static std::vector<ListLine> listLines(const std::string& path) {
        std::vector<ListLine> lines;
        const std::string text = testing_support::readFile(path);
        std::size_t at = 0;
        while (at < text.size()) {
            const std::size_t end = text.find("\r\n", at);
            const std::string line = text.substr(at, end - at);
            at = end == std::string::npos ? text.size() : end + 2;
            int deck = 0, h = 0, m = 0, s = 0;
            char title[64] = {};
            if (std::sscanf(line.c_str(), "%d. [%d:%d:%d] %63[^ |]", &deck, &h, &m, &s, title) == 5) {
                lines.push_back({deck, h * 3600 + m * 60 + s, title});
            }
        }
        return lines;
    }

    std::vector<Drop> drops;
    std::map<std::int32_t, TrackBeat> grid;
    std::unique_ptr<OutputWatch> watch;

private:
    std::int32_t lastCheck_ = -1;
};

TEST_F(AutoPlayerEndToEnd, FourDropsAtPhraseEndsFadedBeatByBeat) {
    const std::string crate = home->path() + "/crate";
    std::filesystem::create_directories(crate);
    writeCrate(crate);
    Velkarn& app = start();
    PanelPlayer* panel = app.panelPlayer();
    Player* player = app.player();
    watch = std::make_unique<OutputWatch>(app);
    app.output(0)->setClient(watch.get());
    // The player's tab: the fourth of six across the function band.
    ASSERT_TRUE(input::click(handle(), {10 + 800 * 7 / 12, 460}));

    // Up, 115 to 130, overlap 16, fade on.
    platform::uiScript::setDialogResponder(PanelPlayer::settingsDialog, [](platform::Dialog& dialog) {
        dialog.setChecked(PanelPlayer::moveUpControl, true);
        dialog.setText(PanelPlayer::minimumTempoControl, "115");
        dialog.setText(PanelPlayer::maximumTempoControl, "130");
        dialog.setText(PanelPlayer::overlapControl, std::to_string(overlap));
        dialog.setChecked(PanelPlayer::fadeControl, true);
        dialog.press(platform::okButton);
    });
    click(panel->settingsButton());
    ASSERT_EQ(player->overlap(), overlap);
    platform::uiScript::pushPath(crate);
    click(panel->setCrateButton());
    ASSERT_EQ(player->crate().shownCount(), 7);

    const std::int64_t listStart = app.currentSampleTime();
    app.playlistWriterText()->start(listStart);
    app.playlistWriterCsv()->start(listStart);
    click(panel->playButton());
    ASSERT_TRUE(player->isRunning());

    // Four drops; then, stopped, the last fade played through.
    while (watch->blocks < capacity && drops.size() < 4) {
        step();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(panel->playButton()->isDown());
    }
    ASSERT_EQ(drops.size(), 4u);
    player->stop();
    step();
    EXPECT_FALSE(panel->playButton()->isDown());
    while (watch->blocks < capacity && app.beatIndexAt(app.currentSampleTime()) <= drops[3].beat + overlap) step();
    ASSERT_EQ(drops.size(), 4u);
    const std::string listPath = platform::nativePath(app.playlistWriterText()->fileName());
    const char* titles[] = {"118", "122", "126", "118"};

    // The first drop two beats after the refresh's beat; each later one at
    // the end of the song before (64 beats: no part phrase) less the overlap.
    EXPECT_EQ(drops[0].beat, drops[0].tickBeat + 2);
    for (std::size_t k = 1; k < 4; ++k) {
        const Drop& before = drops[k - 1];
        EXPECT_EQ(before.songEnd - before.beat, songBeats);
        EXPECT_EQ(drops[k].beat, before.songEnd - (before.songEnd - before.beat) % 16 - overlap) << "drop " << k;
    }

    // The capture: each block in order from its start.
    const std::int64_t origin = watch->starts[0];
    for (std::size_t k = 1; k < watch->blocks; ++k) {
        ASSERT_EQ(watch->starts[k], origin + static_cast<std::int64_t>(k) * period);
    }
    auto blockLevel = [&](std::size_t block, double toneHz) {
        return toneLevel(watch->left, block * period, period, toneHz);
    };
    // Each song's tone begins in the block of its drop beat or the next.
    for (std::size_t k = 0; k < 4; ++k) {
        SCOPED_TRACE("onset " + std::to_string(k));
        const double tone = toneOf(titles[k]);
        ASSERT_EQ(grid.at(drops[k].beat).position, drops[k].position);
        const auto dropBlock = static_cast<std::size_t>((drops[k].position - origin) / period);
        // Before the drop, a song of the same tone may still sound (the
        // restart plays 118 again): look only from four blocks before.
        ASSERT_GT(dropBlock, 4u);
        std::size_t onset = 0;
        for (std::size_t block = dropBlock - 4; block < dropBlock + 40 && block < watch->blocks; ++block) {
            if (blockLevel(block, tone) > 1e-4) {
                onset = block;
                break;
            }
        }
        EXPECT_TRUE(onset == dropBlock || onset == dropBlock + 1)
            << "drop block " << dropBlock << ", tone from block " << onset;
    }

    // Across each fade, beat by beat, the incoming tone rises and the
    // outgoing one falls, within 1 dB; and the fade really crosses over.
    const double dB1 = std::pow(10.0, 1.0 / 20.0);
    for (std::size_t k = 1; k < 4; ++k) {
        SCOPED_TRACE("fade " + std::to_string(k));
        const double in = toneOf(titles[k]), out = toneOf(titles[k - 1]);
        std::vector<double> rising, falling;
        for (std::int32_t beat = drops[k].beat; beat < drops[k].beat + overlap; ++beat) {
            ASSERT_TRUE(grid.contains(beat));
            const TrackBeat& record = grid.at(beat);
            // The middle half of the beat.
            const auto from = static_cast<std::size_t>(record.position - origin + record.length / 4);
            const auto count = static_cast<std::size_t>(record.length / 2);
            ASSERT_LE(from + count, watch->blocks * period);
            rising.push_back(toneLevel(watch->left, from, count, in));
            falling.push_back(toneLevel(watch->left, from, count, out));
        }
        for (std::size_t i = 1; i < rising.size(); ++i) {
            EXPECT_GE(rising[i] * dB1, rising[i - 1]) << "beat " << i;
            EXPECT_LE(falling[i], falling[i - 1] * dB1) << "beat " << i;
        }
        EXPECT_GT(rising.back(), 4.0 * rising.front());
        EXPECT_GT(falling.front(), 4.0 * falling.back());
    }
    EXPECT_TRUE(app_test::boxes().empty());

    // The list: decks 1, 2, 1, 2 and the walk up the window, restarted
    // after 126, never the refused song.
    // (Closed with the application.)
    stop();
    const std::vector<ListLine> lines = listLines(listPath);
    ASSERT_EQ(lines.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
        SCOPED_TRACE("drop " + std::to_string(k));
        EXPECT_EQ(lines[k].deck, static_cast<int>(k % 2) + 1);
        EXPECT_EQ(drops[k].deck, static_cast<int>(k % 2));
        EXPECT_EQ(lines[k].title, titles[k]);
        // The line's time is the drop beat's, in whole seconds.
        EXPECT_EQ(lines[k].seconds, static_cast<int>((drops[k].position - listStart) / 44100));
    }
}

}  // namespace
