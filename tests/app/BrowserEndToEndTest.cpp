// The browser in the whole program: the second output switched on through
// the settings panel (the main output moved to the DirectSound list first,
// since a second waveOut on the main output's device stays silent), the
// main window's browser button, a root chosen through the
// folder chooser and built by a click on its text (info.zlt checked byte
// for byte against the Python oracle's file for the tree), then what a
// user does in the window: filter, sort, tempo jump, pre-listen through the
// previewer (the second output's capture is the song at the slider's gain,
// ramped over one block when the slider moves), a marker click, the
// previewer closed, direct pre-listen at half gain from the song's first
// frame in the first block after the click, a deletion, a load by
// double click (the browser closes on load and is opened again) and an
// edit that asks before launching the beat mapper: there two beats are set
// on the map and a title given, and once saved the row shows the mapper's
// tempo and the title in black.
#include "AppTestSupport.h"
#include "BrowserTestSupport.h"
#include "EndToEndProgram.h"
#include "Eventually.h"
#include "TestEnvironment.h"

#include "app/PanelDrop.h"
#include "app/PanelSettings.h"
#include "audio/SourceReadAhead.h"
#include "framework/DialogProgress.h"
#include "framework/GUIButton.h"
#include "framework/GUIMarkerMap.h"
#include "framework/GUIPanelGroupHorizontal.h"
#include "framework/GUIPanelGroupVertical.h"
#include "framework/GUISliderHorizontal.h"
#include "framework/GUITextHorizontal.h"
#include "framework/Window.h"
#include "platform/Dialog.h"
#include "platform/NativeWindow.h"
#include "platform/EventLoop.h"
#include "platform/FileSystem.h"
#include "platform/TestInput.h"
#include "platform/UiScript.h"
#include "platform/Event.h"
#include "platform/audio/NullAudio.h"
#include "audio/AudioFileReader.h"
#include "tools/BeatMapper.h"
#include "tools/Browser.h"
#include "tools/BrowserData.h"
#include "tools/GUIBeatMap.h"
#include "tools/Previewer.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace {

namespace input = platform::test_input;
using browser_test::songSample;
using platform::audio::NullAudio;

// The beat mapper's "Edit ID" dialog and its track edit.
constexpr int editIdDialog = 105;
constexpr int trackEdit = 1005;

constexpr platform::Point browserButton{830 + 36, 486 + 16};
constexpr double lsb = 1.0 / 32768.0;

// The tree below the root: name, what the song carries.
struct TreeSong {
    const char* name;
    bool analysed;
    const char* title;
    const char* artist;
    float bpm;
    bool tags;
    double seconds;
};
const TreeSong tree[] = {
    {"a.wav", true, "Alpha", "Band", 120.0f, true, 12.0},
    {"a/x.wav", true, "Xylo", "Crew", 128.0f, true, 4.0},
    {"b.wav", false, "", "", 0.0f, false, 6.0},
    {"c/d.wav", true, "", "", 100.0f, false, 4.0},
    {"e.wav", false, "", "", 0.0f, false, 3.0},
    {"f.wav", true, "Foxtrot", "Band", 90.0f, true, 3.0},
};

std::string hex(const std::string& text) {
    std::string out;
    char digits[3];
    for (unsigned char c : text) {
        std::snprintf(digits, sizeof digits, "%02x", c);
        out += digits;
    }
    return out;
}

// The oracle's info.zlt for the tree as it is on disk: the records in the
// byte order of their full paths, each file's time through the oracle.
std::string oracleFile(const std::string& root, const std::string& scratch) {
    std::vector<const TreeSong*> order;
    for (const TreeSong& song : tree) order.push_back(&song);
    std::sort(order.begin(), order.end(), [&](const TreeSong* x, const TreeSong* y) {
        return root + "/" + x->name < root + "/" + y->name;
    });
    std::ostringstream json;
    json << "[";
    for (const TreeSong* song : order) {
        const std::string path = root + "/" + song->name;
        std::istringstream time(testing_support::runPython("tools/zlt_oracle.py", {"filetime", path}));
        std::string ticks;
        time >> ticks;
        char tempo[32];
        std::snprintf(tempo, sizeof tempo, "%.9g", static_cast<double>(song->analysed ? song->bpm : 0.0f));
        if (song != order.front()) json << ",";
        json << "{\"analyzed\": " << (song->analysed ? 1 : 0) << ", \"tempo\": " << tempo << ", \"title\": \""
             << hex(song->analysed && song->tags ? song->title : "") << "\", \"artist\": \""
             << hex(song->analysed && song->tags ? song->artist : "") << "\", \"comments\": \"\", \"name\": \""
             << hex(path) << "\", \"time\": " << ticks << "}";
    }
    json << "]";
    testing_support::writeFile(scratch + "/records.json", json.str());
    testing_support::runPython("tools/zlt_oracle.py", {"write", scratch + "/records.json", scratch + "/oracle.zlt"});
    return testing_support::readFile(scratch + "/oracle.zlt");
}

// The second output's capture as floats, left channel.
std::vector<float> secondOutputLeft(int stream) {
    const std::vector<std::uint8_t> bytes = NullAudio::capturedBytes(stream);
    std::vector<float> left(bytes.size() / 4);
    for (std::size_t i = 0; i < left.size(); ++i) {
        const auto value = static_cast<std::int16_t>(bytes[4 * i] | (bytes[4 * i + 1] << 8));
        left[i] = static_cast<float>(value) / 32768.0f;
    }
    return left;
}

// The first frame from `from` on where the capture holds gain x the song
// from `songFrame` for `length` frames (within 2 LSB); -1 when none.
std::int64_t findSong(const std::vector<float>& capture, std::int64_t from, std::int64_t to, std::int64_t songFrame,
                      double gain, std::int64_t length) {
    for (std::int64_t j = std::max<std::int64_t>(from, 0); j + length <= static_cast<std::int64_t>(capture.size()) && j < to;
         ++j) {
        std::int64_t i = 0;
        while (i < length &&
               std::abs(capture[static_cast<std::size_t>(j + i)] - gain * songSample(0, songFrame + i)) <= 2 * lsb) {
            ++i;
        }
        if (i == length) return j;
    }
    return -1;
}

struct BrowserRun {
    int exitCode = -1;
    bool secondOutputBefore = true;
    bool mainOnDirectSound = false;
    bool secondOutputButtonDown = false;
    bool secondOutput = false;
    bool opened = false;
    std::vector<std::string> buildCaptions;
    std::string rootText, info, oracle;
    bool secondBuildUntouched = false;
    // filter, sort, tempo jump
    int filteredCount = -1;
    std::vector<std::string> filteredTitles;
    int clearedCount = -1;
    std::string sortedBy;
    std::vector<std::string> titleColumn;
    bool trackHeaderRed = false;
    std::string jumpSortedBy, tempoShown;
    std::vector<float> tempoColumn;
    // previewer
    bool previewerOpened = false;
    std::string previewerTitle;
    std::int64_t previewStart = -1;
    float sliderValue = 0.0f;
    double worstBeforeRamp = 1.0, worstRamp = 1.0, worstAfterRamp = 1.0;
    int rampChecked = 0;
    int markerPosition = -1;
    std::int64_t positionAfterClick = -2;
    std::int64_t afterMarker = -1;
    bool previewerClosed = false;
    bool silentAfterClose = false;
    // direct play
    bool directPlaying = false;
    bool directReady = false;
    std::int64_t directClick = -1;
    int directPeriod = 0;
    std::int64_t directStart = -1;
    std::int64_t directSongFrame = -1;
    // delete, load, edit
    bool deletedFiles = false;
    int countAfterDelete = -1;
    std::vector<std::string> deleteBoxes;
    std::string dropSong;
    int selectedTool = -1;
    bool closedOnLoad = false;
    bool beatMapperAfterNo = true;
    std::vector<std::string> editBoxes;
    // edit in the beat mapper
    struct Row {
        std::string tempo, title;
        std::array<int, 3> color{-1, -1, -1};
    };
    Row editedBefore, editedSelected, editedAfter;
    float mapperTempo = 0.0f;
    bool beatMapperOpened = false;
    std::string mapperPath;
    std::vector<std::int32_t> setBeats;
    std::vector<std::string> saveBoxes{"not saved"};
    bool beatMapperClosed = false;
};

class BrowserScript {
public:
    BrowserScript(e2e::Program& program, BrowserRun& run, const std::string& songs)
        : program_(program), run_(run), root_(songs + "/root"), scratch_(songs) {}

    void operator()(Velkarn& app) {
        app_ = &app;
        switchSecondOutputOn();
        for (const NullStreamInfo& s : streams()) {
            if (s.order != program_.mainStream()) secondStream_ = s.order;
        }
        EXPECT_TRUE(input::click(app.mainWindow()->handle(), browserButton));
        browser_ = app.browser();
        run_.opened = browser_ != nullptr && secondStream_ != 0;
        if (run_.opened) {
            data_ = app.browserData();
            build();
            filterSortAndJump();
            previewer();
            directPlay();
            deleteLoadAndEdit();
        }
        program_.close();
    }

private:
    struct NullStreamInfo {
        int order;
    };
    static std::vector<NullStreamInfo> streams() {
        std::vector<NullStreamInfo> open;
        for (const auto& record : NullAudio::streams()) {
            if (!record.closed) open.push_back({record.openOrder});
        }
        return open;
    }

    // The settings tab, the first sound page's DirectSound button (the main
    // output reopens on that list), then the second sound page's active
    // button.
    void switchSecondOutputOn() {
        const platform::WindowHandle main = app_->mainWindow()->handle();
        run_.secondOutputBefore = app_->hasOutputDevice(1);
        GUIPanelGroupHorizontal* functions = app_->functionGroup();
        const int band = functions->x1 - functions->x0 + 1;
        EXPECT_TRUE(input::click(main, {functions->x0 + band * 11 / 12, functions->y0 + 10}));
        PanelSettings* settings = app_->panelSettings();
        EXPECT_EQ(functions->selectedIndex(), 5);
        auto choosePage = [&](int page) {
            const GUIPanelGroupHorizontal& pages = *settings->subPanels();
            const int width = pages.x1 - pages.x0 + 1;
            EXPECT_TRUE(input::click(main, {pages.x0 + (width * page + width / 2) / PanelSettings::subPanelCount,
                                            pages.y0 + 10}));
            EXPECT_EQ(pages.selectedIndex(), page);
        };
        choosePage(PanelSettings::audio1);
        EXPECT_TRUE(input::click(main, e2e::centreOf(*settings->typeButton(1))));
        program_.followMainOutput();
        run_.mainOnDirectSound = settings->outputType() == 1 && app_->output(0) != nullptr && !app_->output(0)->isWaveOut();
        choosePage(PanelSettings::audio2);
        EXPECT_TRUE(input::click(main, e2e::centreOf(*settings->activeButton())));
        run_.secondOutputButtonDown = settings->activeButton()->isDown();
        run_.secondOutput = app_->hasOutputDevice(1);
        platform::dispatchPostedMessages();
    }

    platform::WindowHandle handle() const { return browser_->window()->handle(); }
    void click(GUIComponent* component, bool twice = false) {
        const platform::Point centre = e2e::centreOf(*component);
        EXPECT_TRUE(twice ? input::doubleClick(handle(), centre) : input::click(handle(), centre));
        platform::dispatchPostedMessages();
    }
    void clickRow(int row, bool twice = false) {
        const platform::Point point{100, Browser::firstRowY + Browser::rowHeight * row + 8};
        EXPECT_TRUE(twice ? input::doubleClick(handle(), point) : input::click(handle(), point));
        platform::dispatchPostedMessages();
    }
    // The screen row of a song, -1 when it is not shown.
    int rowOf(const std::string& name) const {
        const std::string path = root_ + "/" + name;
        for (int i = 0; i < data_->shownCount(); ++i) {
            if (data_->filteredRecord(i).fileName == path) return i - data_->firstShownRow();
        }
        return -1;
    }
    std::int64_t captured() const { return static_cast<std::int64_t>(NullAudio::capturedBytes(secondStream_).size() / 4); }

    void buildRoot() {
        std::vector<std::string>& captions = run_.buildCaptions;
        platform::uiScript::setDialogResponder(DialogProgress::templateId,
                                               [&captions](platform::Dialog& shown) { captions.push_back(shown.caption()); });
        click(browser_->rootText(0));
        platform::uiScript::setDialogResponder(DialogProgress::templateId, {});
    }

    void build() {
        for (const TreeSong& song : tree) {
            browser_test::SongSpec spec;
            spec.seconds = song.seconds;
            spec.withMetaData = song.analysed;
            spec.withTags = song.tags;
            spec.title = song.title;
            spec.artist = song.artist;
            spec.bpm = song.analysed ? song.bpm : 120.0f;
            browser_test::writeSong(root_ + "/" + song.name, spec);
        }
        platform::uiScript::pushPath(root_);
        click(browser_->rootButton(0));
        run_.rootText = browser_->rootText(0)->text();
        buildRoot();
        run_.info = testing_support::readFile(root_ + "/info.zlt");
        run_.oracle = oracleFile(root_, scratch_);
        // A second build of the unchanged tree leaves the file alone.
        const auto written = std::filesystem::last_write_time(root_ + "/info.zlt");
        buildRoot();
        run_.secondBuildUntouched = testing_support::readFile(root_ + "/info.zlt") == run_.info &&
                                    std::filesystem::last_write_time(root_ + "/info.zlt") == written;
    }

    void filterSortAndJump() {
        EXPECT_TRUE(input::type(handle(), "Band"));
        platform::dispatchPostedMessages();
        run_.filteredCount = data_->shownCount();
        for (int r = 0; r < run_.filteredCount; ++r) run_.filteredTitles.push_back(browser_->cell(1, r)->text());
        std::sort(run_.filteredTitles.begin(), run_.filteredTitles.end());
        click(browser_->clearFilterButton());
        run_.clearedCount = data_->shownCount();

        click(browser_->header(1));
        run_.sortedBy = data_->sortColumn();
        for (int r = 0; r < data_->shownCount(); ++r) run_.titleColumn.push_back(browser_->cell(1, r)->text());
        const Color header = browser_->header(1)->color();
        run_.trackHeaderRed = header.red == 255 && header.green == 0 && header.blue == 0;

        click(browser_->tempoButton());
        run_.jumpSortedBy = data_->sortColumn();
        run_.tempoShown = browser_->tempoText()->text();
        for (int r = 0; r < data_->shownCount(); ++r) run_.tempoColumn.push_back(std::strtof(browser_->cell(0, r)->text().c_str(), nullptr));
    }

    void previewer() {
        const int row = rowOf("a.wav");
        if (row < 0) return ADD_FAILURE() << "a.wav not shown";
        program_.steps(2);
        const std::int64_t before = captured();
        click(browser_->playButton(row));
        Previewer* previewer = browser_->previewer();
        run_.previewerOpened = previewer != nullptr;
        if (previewer == nullptr) return;
        run_.previewerTitle = previewer->window()->nativeWindow()->title();
        const int period = NullAudio::stream(secondStream_)->periodFrames;
        program_.steps(8);
        std::vector<float> capture = secondOutputLeft(secondStream_);
        run_.previewStart = findSong(capture, before, before + 8 * period, 0, 0.5, 2 * period);

        // The slider dragged to the right: the next block glides to it.
        GUISliderHorizontal* slider = previewer->volumeSlider();
        const platform::WindowHandle window = previewer->window()->handle();
        const GUIRectangle knob = slider->knobRectangle();
        const platform::Point grab{(knob.x0 + knob.x1) / 2, (knob.y0 + knob.y1) / 2};
        const std::int64_t moved = captured();
        EXPECT_TRUE(input::press(window, grab));
        EXPECT_TRUE(input::move(window, {grab.x + 30, grab.y}));
        EXPECT_TRUE(input::release(window, {grab.x + 30, grab.y}));
        run_.sliderValue = slider->value();
        program_.steps(8);
        capture = secondOutputLeft(secondStream_);
        if (run_.previewStart >= 0) gainsAroundTheMove(capture, moved, period);

        // A marker clicked: playing goes on from its position.
        GUIMarkerMap* markers = previewer->markerMap();
        // The map's rows are one pixel high, so the markers of a column lie
        // over each other and a press finds the newest one under it: the
        // last marker of the first column.
        int chosen = -1;
        for (int i = 0; i < markers->count(); ++i) {
            const GUIMarkerMap::Marker& m = markers->marker(i);
            if (m.on && m.placed && (chosen < 0 || m.x <= markers->marker(chosen).x)) chosen = i;
        }
        if (chosen < 0) return ADD_FAILURE() << "no marker to click";
        const GUIMarkerMap::Marker marker = markers->marker(chosen);
        // The marker's image (7 x 7) has its top left corner at the marker's place.
        const std::int64_t clicked = captured();
        EXPECT_TRUE(input::click(window, {marker.x + 3, marker.y + 3}));
        run_.markerPosition = marker.position;
        run_.positionAfterClick = previewer->playPosition();
        program_.steps(8);
        capture = secondOutputLeft(secondStream_);
        run_.afterMarker = findSong(capture, clicked, clicked + 8 * period, marker.position, run_.sliderValue, period);

        EXPECT_TRUE(input::close(window));
        program_.routeToolCloses();
        run_.previewerClosed = browser_->previewer() == nullptr;
        program_.steps(6);
        capture = secondOutputLeft(secondStream_);
        // The last four blocks: nothing plays.
        run_.silentAfterClose = true;
        for (std::size_t i = capture.size() - 4 * static_cast<std::size_t>(period); i < capture.size(); ++i) {
            run_.silentAfterClose = run_.silentAfterClose && capture[i] == 0.0f;
        }
    }

    // The gain of each frame: 0.5 up to a block boundary, then a straight
    // glide over that block to the slider's value, and the value after.
    void gainsAroundTheMove(const std::vector<float>& capture, std::int64_t moved, int period) {
        const std::int64_t start = run_.previewStart;
        std::int64_t rampBlock = -1;
        run_.worstBeforeRamp = run_.worstRamp = run_.worstAfterRamp = 0.0;
        for (std::int64_t j = moved; j < static_cast<std::int64_t>(capture.size()); ++j) {
            const double song = songSample(0, j - start);
            if (std::abs(song) < 0.1) continue;
            if (std::abs(capture[static_cast<std::size_t>(j)] - 0.5 * song) > 2 * lsb) {
                rampBlock = j / period * period;
                break;
            }
        }
        if (rampBlock < 0) return;
        for (std::int64_t j = moved; j < static_cast<std::int64_t>(capture.size()); ++j) {
            const double song = songSample(0, j - start);
            if (std::abs(song) < 0.1) continue;
            double gain = 0.5;
            double* worst = &run_.worstBeforeRamp;
            if (j >= rampBlock + period) {
                gain = run_.sliderValue;
                worst = &run_.worstAfterRamp;
            } else if (j >= rampBlock) {
                gain = 0.5 + (run_.sliderValue - 0.5) * static_cast<double>(j - rampBlock) / period;
                worst = &run_.worstRamp;
                ++run_.rampChecked;
            }
            *worst = std::max(*worst, std::abs(capture[static_cast<std::size_t>(j)] - gain * song) / lsb);
        }
    }

    void directPlay() {
        const int row = rowOf("b.wav");
        if (row < 0) return ADD_FAILURE() << "b.wav not shown";
        const std::int64_t before = captured();
        run_.directClick = before;
        click(browser_->playButton(row));
        run_.directPlaying = browser_->isDirectPlaying();
        // The read-ahead thread sleeps until woken once its ring is full (set
        // for this run): only the click's reset can start it on the song.
        // The song is then ahead before the second output plays on, so the
        // first block after the click is its beginning.
        run_.directReady = testing_support::eventually([&] { return browser_->framesReadyAhead() > 0; });
        program_.steps(10);
        const int period = NullAudio::stream(secondStream_)->periodFrames;
        run_.directPeriod = period;
        const std::vector<float> capture = secondOutputLeft(secondStream_);
        std::int64_t first = before;
        while (first < static_cast<std::int64_t>(capture.size()) && capture[static_cast<std::size_t>(first)] == 0.0f) ++first;
        // The song frame the first sounding block shows, from its first
        // samples, then a whole period of it at half gain.
        for (std::int64_t n = 0; n < 2 * 44100 && run_.directSongFrame < 0; ++n) {
            if (findSong(capture, first, first + 1, n, 0.5, 8) == first) run_.directSongFrame = n;
        }
        if (run_.directSongFrame >= 0) {
            run_.directStart = findSong(capture, first, first + 1, run_.directSongFrame, 0.5, period);
        }
        click(browser_->stopButton());
    }

    void deleteLoadAndEdit() {
        const int row = rowOf("f.wav");
        if (row < 0) return ADD_FAILURE() << "f.wav not shown";
        clickRow(row);
        platform::uiScript::clearRequests();
        platform::uiScript::pushYes();
        click(browser_->deleteButton());
        run_.deleteBoxes = app_test::boxes();
        run_.deletedFiles = !platform::pathExists(root_ + "/f.wav") && !platform::pathExists(root_ + "/f.qrt");
        run_.countAfterDelete = data_->shownCount();

        app_->toolGroup()->panel(3);
        const int load = rowOf("a/x.wav");
        if (load < 0) return ADD_FAILURE() << "a/x.wav not shown";
        clickRow(load);
        clickRow(load, true);
        run_.dropSong = app_->panelDrop()->songPath();
        run_.selectedTool = app_->toolGroup()->selectedIndex();
        // Exit on load (on by default) closed the browser; the main
        // window's button opens it again on the same database.
        program_.routeToolCloses();
        run_.closedOnLoad = app_->browser() == nullptr;
        EXPECT_TRUE(input::click(app_->mainWindow()->handle(), browserButton));
        browser_ = app_->browser();
        if (browser_ == nullptr) return ADD_FAILURE() << "the browser did not open again";

        const int edit = rowOf("e.wav");
        if (edit < 0) return ADD_FAILURE() << "e.wav not shown";
        clickRow(edit);
        run_.editedBefore = rowShown(edit);
        platform::uiScript::clearRequests();
        platform::uiScript::pushNo();
        click(browser_->editButton());
        run_.editBoxes = app_test::boxes();
        run_.beatMapperAfterNo = app_->beatMapper() != nullptr;
        platform::uiScript::pushYes();
        click(browser_->editButton());
        editInTheBeatMapper("e.wav");
    }

    BrowserRun::Row rowShown(int row) const {
        BrowserRun::Row shown;
        shown.tempo = browser_->cell(0, row)->text();
        shown.title = browser_->cell(1, row)->text();
        const Color c = browser_->cell(1, row)->color();
        shown.color = {c.red, c.green, c.blue};
        return shown;
    }

    // The beat mapper opened on the song: two beats set by presses on its
    // map and a title given in "Edit ID", then saved.
    void editInTheBeatMapper(const std::string& name) {
        BeatMapper* mapper = app_->beatMapper();
        run_.beatMapperOpened = mapper != nullptr;
        if (mapper == nullptr) return;
        run_.mapperPath = mapper->path();
        const platform::WindowHandle window = mapper->window()->handle();
        // At the start the map's rows are one pixel high and hold four beats
        // at the tempo slider's 120 BPM, 153 frames a column: presses on the
        // first row 144 columns apart set beats 22032 frames apart.
        const GUIBeatMap& map = *mapper->beatMap();
        for (int column : {20, 164}) {
            EXPECT_TRUE(input::click(window, {map.x0 + column, map.y0}));
            platform::dispatchPostedMessages();
        }
        for (std::int32_t i = 0; i < mapper->beats()->count(); ++i) {
            if (!(*mapper->beats())[i].generated) run_.setBeats.push_back((*mapper->beats())[i].position);
        }
        run_.mapperTempo = mapper->tempo();
        platform::uiScript::setDialogResponder(editIdDialog, [](platform::Dialog& dialog) {
            dialog.setText(trackEdit, "Echo");
            dialog.press(platform::okButton);
        });
        EXPECT_TRUE(input::click(window, e2e::centreOf(*mapper->editIdButton())));
        platform::dispatchPostedMessages();
        platform::uiScript::setDialogResponder(editIdDialog, {});
        platform::uiScript::clearRequests();
        EXPECT_TRUE(input::click(window, e2e::centreOf(*mapper->saveButton())));
        platform::dispatchPostedMessages();
        run_.saveBoxes = app_test::boxes();
        const int row = rowOf(name);
        if (row < 0) return ADD_FAILURE() << name << " not shown after the save";
        run_.editedSelected = rowShown(row);

        // The mapper closed, another row chosen: the song's row in the colour
        // of an analysed track.
        EXPECT_TRUE(input::close(window));
        program_.routeToolCloses();
        run_.beatMapperClosed = app_->beatMapper() == nullptr;
        clickRow(rowOf("a.wav"));
        run_.editedAfter = rowShown(rowOf(name));
    }

    e2e::Program& program_;
    BrowserRun& run_;
    std::string root_, scratch_;
    Velkarn* app_ = nullptr;
    Browser* browser_ = nullptr;
    BrowserData* data_ = nullptr;
    int secondStream_ = 0;
};

class BrowserEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        run = new BrowserRun;
        testing_support::TemporaryDirectory songs;
        e2e::Program program;
        // A reader thread that found its ring full sleeps until something
        // wakes it.
        SourceReadAhead::setIdleWaitMs(platform::Event::infinite);
        BrowserScript script(program, *run, songs.path());
        run->exitCode = program.run(std::ref(script));
        SourceReadAhead::setIdleWaitMs(50);
    }
    static void TearDownTestSuite() { delete run; }
    static BrowserRun* run;
};

BrowserRun* BrowserEndToEnd::run = nullptr;

TEST_F(BrowserEndToEnd, TheSettingsPanelSwitchesTheSecondOutputOn) {
    EXPECT_FALSE(run->secondOutputBefore);
    EXPECT_TRUE(run->mainOnDirectSound);
    EXPECT_TRUE(run->secondOutputButtonDown);
    EXPECT_TRUE(run->secondOutput);
    EXPECT_TRUE(run->opened);
}

TEST_F(BrowserEndToEnd, TheChosenRootIsBuiltIntoTheOraclesInfoFileAndNotRewrittenUnchanged) {
    ASSERT_TRUE(run->opened);
    EXPECT_EQ(run->buildCaptions, (std::vector<std::string>{"Building Database", "Building Database"}));
    EXPECT_FALSE(run->info.empty());
    EXPECT_EQ(run->info, run->oracle);
    EXPECT_TRUE(run->secondBuildUntouched);
    EXPECT_EQ(run->exitCode, 0);
}

TEST_F(BrowserEndToEnd, TheUserFiltersSortsAndJumpsToTheTempo) {
    ASSERT_TRUE(run->opened);
    EXPECT_EQ(run->filteredCount, 2);
    EXPECT_EQ(run->filteredTitles, (std::vector<std::string>{"Alpha", "Foxtrot"}));
    EXPECT_EQ(run->clearedCount, 6);
    EXPECT_EQ(run->sortedBy, "Track");
    EXPECT_TRUE(run->trackHeaderRed);
    ASSERT_EQ(run->titleColumn.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(run->titleColumn.begin() + 3, run->titleColumn.end()),
              (std::vector<std::string>{"Alpha", "Foxtrot", "Xylo"}));
    EXPECT_EQ(run->jumpSortedBy, "BPM");
    EXPECT_EQ(run->tempoShown, "120");
    ASSERT_EQ(run->tempoColumn.size(), 6u);
    EXPECT_TRUE(std::is_sorted(run->tempoColumn.begin(), run->tempoColumn.end()));
    EXPECT_EQ(run->tempoColumn.back(), 128.0f);
}

TEST_F(BrowserEndToEnd, ThePreviewerPlaysTheSongAtTheSlidersGainOnTheSecondOutput) {
    ASSERT_TRUE(run->previewerOpened);
    EXPECT_NE(run->previewerTitle.find("Alpha"), std::string::npos) << run->previewerTitle;
    EXPECT_GE(run->previewStart, 0) << "the song at gain 0.5";
    EXPECT_GT(run->sliderValue, 0.6f);
    EXPECT_LE(run->worstBeforeRamp, 2.0);
    EXPECT_GT(run->rampChecked, 1000);
    EXPECT_LE(run->worstRamp, 2.0);
    EXPECT_LE(run->worstAfterRamp, 2.0);
    EXPECT_GT(run->markerPosition, 0);
    EXPECT_EQ(run->positionAfterClick, run->markerPosition);
    EXPECT_GE(run->afterMarker, 0) << "the song from the marker";
    EXPECT_TRUE(run->previewerClosed);
    EXPECT_TRUE(run->silentAfterClose);
}

TEST_F(BrowserEndToEnd, ATrackNotAnalysedPlaysDirectlyAtHalfGain) {
    ASSERT_TRUE(run->opened);
    EXPECT_TRUE(run->directPlaying);
    EXPECT_TRUE(run->directReady) << "the click did not wake the read-ahead thread";
    ASSERT_GE(run->directSongFrame, 0) << "no block of the song at half gain";
    // The song's first frame begins the first block the second output
    // rendered after the click (its two headers, queued before, play
    // first), and a whole block of it follows.
    EXPECT_EQ(run->directSongFrame, 0);
    EXPECT_EQ(run->directStart, run->directClick + 2 * run->directPeriod);
}

TEST_F(BrowserEndToEnd, DeleteLoadAndEditReachTheFilesTheDropToolAndTheBeatMapper) {
    ASSERT_TRUE(run->opened);
    EXPECT_EQ(run->deleteBoxes, std::vector<std::string>{"Are You Sure?|Are you sure you want to permanently delete "
                                                         "this audio file and its metadata?"});
    EXPECT_TRUE(run->deletedFiles);
    EXPECT_EQ(run->countAfterDelete, 5);
    EXPECT_NE(run->dropSong.find("/root/a/x.wav"), std::string::npos) << run->dropSong;
    EXPECT_EQ(run->selectedTool, 0);
    EXPECT_TRUE(run->closedOnLoad);
    EXPECT_EQ(run->editBoxes, std::vector<std::string>{"Launching BeatMapper|Do you want to launch the BeatMapper? "
                                                       "[This will interrupt playback.]"});
    EXPECT_FALSE(run->beatMapperAfterNo) << "answered No";
}

TEST_F(BrowserEndToEnd, ATrackEditedAndSavedInTheBeatMapperShowsItsNewTempoAndTitleInBlack) {
    ASSERT_TRUE(run->opened);
    // Not analysed: no tempo, no title.
    EXPECT_EQ(run->editedBefore.tempo, "");
    EXPECT_EQ(run->editedBefore.title, "");
    ASSERT_TRUE(run->beatMapperOpened) << "answered Yes";
    EXPECT_NE(run->mapperPath.find("/root/e.wav"), std::string::npos) << run->mapperPath;
    EXPECT_EQ(run->setBeats, (std::vector<std::int32_t>{20 * 153, 164 * 153}));
    EXPECT_TRUE(run->saveBoxes.empty()) << run->saveBoxes.front();
    // The beats after the two marked ones lie a beat of the mapper's tempo
    // slider apart: the row shows that tempo (the median gap), still
    // selected (red) right after the save, black once another row is.
    char tempo[16];
    std::snprintf(tempo, sizeof tempo, "%5.1f", static_cast<double>(run->mapperTempo));
    EXPECT_GT(run->mapperTempo, 100.0f);
    for (const BrowserRun::Row& row : {run->editedSelected, run->editedAfter}) {
        EXPECT_EQ(row.tempo, tempo);
        EXPECT_EQ(row.title, "Echo");
    }
    EXPECT_EQ(run->editedSelected.color, (std::array<int, 3>{255, 0, 0}));
    EXPECT_TRUE(run->beatMapperClosed);
    EXPECT_EQ(run->editedAfter.color, (std::array<int, 3>{0, 0, 0}));
}

}  // namespace
