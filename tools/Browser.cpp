#include "tools/Browser.h"

#include "audio/AudioFileReader.h"
#include "audio/FormatAudio.h"
#include "audio/Interpolator.h"
#include "audio/SampleDisk.h"
#include "audio/Song.h"
#include "audio/SourceReadAhead.h"
#include "audio/TimeScalerPV.h"
#include "framework/DialogProgress.h"
#include "framework/FileUtilities.h"
#include "framework/GUIButton.h"
#include "framework/GUIMouseArea.h"
#include "framework/GUIScrollbarVertical.h"
#include "framework/GUITextHorizontal.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "framework/StringException.h"
#include "framework/Support.h"
#include "framework/Window.h"
#include "platform/EventLoop.h"
#include "platform/FileSystem.h"
#include "platform/NativeWindow.h"
#include "primitives.h"
#include "tools/BrowserData.h"
#include "tools/Previewer.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr Color black{0, 0, 0, 255};
constexpr Color red{255, 0, 0, 255};

constexpr const char* columnNames[Browser::columnCount] = {"BPM", "Track", "Artist", "Comments", "Filename"};

struct ColumnPlace {
    int x;
    int width;
};
// Header and row text places of the five columns.
constexpr ColumnPlace headerPlaces[Browser::columnCount] = {{20, 30}, {60, 30}, {260, 30}, {493, 60}, {726, 60}};
constexpr ColumnPlace cellPlaces[Browser::columnCount] = {{20, 30}, {60, 190}, {260, 190}, {493, 190}, {726, 240}};
constexpr int headerY = 117;
constexpr int playButtonX = 462;
constexpr int selectButtonX = 695;

// The read-ahead source: two seconds ahead, filled a fifth of a second at a
// time; the reader's cache holds a whole fill.
constexpr std::int32_t readAheadFrames = 88200;
constexpr std::int32_t readAheadStep = 8820;
constexpr float readerCacheSeconds = 1.0f;
constexpr float directGain = 0.5f;

// Adapts the progress dialog to what the database's build reports.
class BuildProgress : public BrowserData::Progress {
public:
    explicit BuildProgress(DialogProgress* dialog) : dialog_(dialog) {}
    void setRange(int low, int high) override { dialog_->setRange(low, high); }
    void setPosition(int value) override { dialog_->setPosition(value); }
    bool isAborted() const override { return dialog_->isAborted(); }

private:
    DialogProgress* dialog_;
};

// The side file of a song: its last three characters replaced.
std::string sideFile(const std::string& path, const char* extension) {
    if (path.size() < 3) return extension;
    return path.substr(0, path.size() - 3) + extension;
}

}  // namespace

Browser::Browser(void* instance, int showCommand, BrowserData* database, ApplicationInterface* application)
    : instance_(instance), showCommand_(showCommand), database_(database), application_(application) {
    font1_ = std::make_unique<Font>(1);
    font2_ = std::make_unique<Font>(1);

    WindowParameters parameters;
    parameters.instance = instance;
    parameters.showCommand = showCommand;
    parameters.backgroundKey = "browser/background/main";
    parameters.title = "Browser";
    parameters.client = this;
    window_ = std::make_unique<Window>(parameters);

    // The list area first, so that a press on a row's button selects the
    // row before the button acts.
    listArea_ = new GUIMouseArea(listX, listY, listWidth, listHeight, this);
    window_->add(listArea_);
    for (std::size_t i = 0; i < rootButtons_.size(); ++i) {
        const int y = 17 + 20 * static_cast<int>(i);
        rootButtons_[i] = new GUIButton(16, y, "browser/button/rootSet", this, 0, false);
        window_->add(rootButtons_[i]);
        rootTexts_[i] = new GUITextHorizontal(60, y, 590, 20, font1_.get(), black, 0, this);
        window_->add(rootTexts_[i]);
    }
    tempoButton_ = new GUIButton(664, 13, "browser/button/tempo", this, 0, false);
    window_->add(tempoButton_);
    tempoText_ = new GUITextHorizontal(750, 22, 20, 20, font1_.get(), black, 2, nullptr);
    window_->add(tempoText_);
    stopButton_ = new GUIButton(803, 13, "beatMapper/button/stopPlaying", this, 0, false);
    window_->add(stopButton_);
    deleteButton_ = new GUIButton(865, 13, "browser/button/deleteRecord", this, 0, false);
    window_->add(deleteButton_);
    editButton_ = new GUIButton(937, 13, "browser/button/editRecord", this, 0, false);
    window_->add(editButton_);
    filter_ = database_->filterText();
    filterText_ = new GUITextHorizontal(755, 66, 160, 20, font1_.get(), black, 0, nullptr, filter_);
    window_->add(filterText_);
    clearFilterButton_ = new GUIButton(937, 58, "browser/button/clearFilter", this, 0, false);
    window_->add(clearFilterButton_);
    for (int c = 0; c < columnCount; ++c) {
        headers_[static_cast<std::size_t>(c)] = new GUITextHorizontal(
            headerPlaces[c].x, headerY, headerPlaces[c].width, 20, font2_.get(), black, 0, this, columnNames[c]);
        window_->add(headers_[static_cast<std::size_t>(c)]);
    }
    scrollbar_ = new GUIScrollbarVertical(970, 150, 24, 509, "browser/slider/scrollbar", 0, rowCount, 0, this);
    window_->add(scrollbar_);
    for (int r = 0; r < rowCount; ++r) {
        const int y = firstRowY + rowHeight * r;
        const auto row = static_cast<std::size_t>(r);
        for (int c = 0; c < columnCount; ++c) {
            cells_[static_cast<std::size_t>(c)][row] =
                new GUITextHorizontal(cellPlaces[c].x, y, cellPlaces[c].width, 20, font2_.get(), black, 0, nullptr);
            window_->add(cells_[static_cast<std::size_t>(c)][row]);
        }
        playButtons_[row] = new GUIButton(playButtonX, y, "browser/button/playSmall", this, 1, false);
        playButtons_[row]->hide();
        window_->add(playButtons_[row]);
        selectButtons_[row] = new GUIButton(selectButtonX, y, "browser/button/selectSmall", this, 0, false);
        selectButtons_[row]->hide();
        window_->add(selectButtons_[row]);
    }

    wheelLines_ = platform::wheelScrollLines();
    database_->setVisibleRows(rowCount);
    if (database_->currentRoot() >= 0) rootPath_ = database_->rootDirectory(database_->currentRoot());
    showCurrentTempo(currentTempo_);
    showRoots();
    showHeaders();
    refreshRows();
    setScrollbar();
    redrawAll();

    // Last: its thread calls render at once.
    readAhead_ = std::make_unique<SourceReadAhead>(this, nullptr, readAheadFrames, readAheadStep);
}

Browser::~Browser() {
    // The read-ahead thread renders through this object until it is joined;
    // with nothing playing it no longer reaches for the source meanwhile.
    {
        std::lock_guard<std::mutex> hold(lock_);
        playing_ = false;
    }
    readAhead_.reset();
    {
        std::lock_guard<std::mutex> hold(lock_);
        previewer_.reset();
        reader_.reset();
    }
    window_.reset();
    font1_.reset();
    font2_.reset();
}

Window* Browser::previewerWindow() const { return previewer_ ? previewer_->window() : nullptr; }

GUITextHorizontal* Browser::cell(int column, int row) const {
    return static_cast<GUITextHorizontal*>(cells_[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)]);
}

std::int64_t Browser::framesReadyAhead() const { return readAhead_->framesReady(); }

bool Browser::isDirectPlaying() {
    std::lock_guard<std::mutex> hold(lock_);
    return playing_;
}

// ---------------------------------------------------------------------------
// Showing

void Browser::showCurrentTempo(float tempo) {
    currentTempo_ = tempo;
    tempoText_->setText(std::to_string(static_cast<int>(tempo + 0.5f)));
}

void Browser::showRoots() {
    for (int i = 0; i < BrowserData::rootCount; ++i) {
        rootTexts_[static_cast<std::size_t>(i)]->setTextAndColor(database_->rootDirectory(i),
                                                                 i == database_->currentRoot() ? red : black);
    }
}

void Browser::showHeaders() {
    for (int c = 0; c < columnCount; ++c) {
        headers_[static_cast<std::size_t>(c)]->setColor(database_->sortColumn() == columnNames[c] ? red : black);
    }
}

void Browser::refreshRows() {
    database_->fillColumns(cells_[0].data(), cells_[1].data(), cells_[2].data(), cells_[3].data(), cells_[4].data());
    const bool playing = isDirectPlaying();
    for (int r = 0; r < rowCount; ++r) {
        const auto row = static_cast<std::size_t>(r);
        const int index = database_->firstShownRow() + r;
        if (index < database_->shownCount()) {
            playButtons_[row]->show();
            selectButtons_[row]->show();
            if (playing && index == playingRow_) {
                playButtons_[row]->setDown();
            } else {
                playButtons_[row]->setUp();
            }
        } else {
            playButtons_[row]->hide();
            selectButtons_[row]->hide();
        }
    }
}

void Browser::setScrollbar() {
    // The thumb cannot stand past the last full page.
    const int count = database_->shownCount();
    const int first = count <= rowCount ? 0 : std::clamp(database_->firstShownRow(), 0, count - rowCount);
    scrollbar_->setRange(count, rowCount, first);
}

void Browser::redrawAll() {
    window_->redraw(GUIRectangle(0, 0, window_->width() - 1, window_->height() - 1));
    window_->present();
}

void Browser::keepSelectionInPlace(int selectedBefore) {
    bool found = false;
    const int selectedAfter = database_->selectedIndex(found);
    int first = database_->firstShownRow() + (selectedAfter - selectedBefore);
    if (first < 0) {
        first = 0;
    } else {
        first = std::min(first, std::max(0, database_->shownCount() - rowCount));
    }
    database_->setFirstShownRow(first);
}

// ---------------------------------------------------------------------------
// Pre-listen

void Browser::releasePlayButtons(GUIButton* except) {
    for (GUIButton* button : playButtons_) {
        if (button != except) button->setUp();
    }
}

void Browser::stopPrelisten() {
    std::unique_ptr<AudioFileReader> closing;
    {
        std::lock_guard<std::mutex> hold(lock_);
        playing_ = false;
        closing = std::move(reader_);
    }
}

void Browser::prelisten(int row) {
    GUIButton* clicked = playButtons_[static_cast<std::size_t>(row)];
    if (!application_->hasOutputDevice(1)) {
        clicked->setUp();
        showMessage("Cannot Play", "Audio device 2 is not active.");
        return;
    }
    stopPrelisten();
    releasePlayButtons(clicked);
    if (previewer_) fatalError("Ugh!", __FILE__, __LINE__);
    const int index = database_->firstShownRow() + row;
    if (index >= database_->shownCount()) return;
    // The clicked row's record is the one to play, as a click on the row
    // would have selected it.
    if (!database_->filteredRecord(index).selected) {
        database_->select(index);
        refreshRows();
        clicked->setDown();
    }
    if (openPreviewer(database_->filteredRecord(index).fileName)) {
        playingRow_ = index;
        return;
    }
    playDirectly(index);
}

bool Browser::openPreviewer(const std::string& path) {
    if (previewer_) fatalError("Ugh!", __FILE__, __LINE__);
    try {
        auto previewer = std::make_unique<Previewer>(instance_, showCommand_, path);
        {
            std::lock_guard<std::mutex> hold(lock_);
            previewer_ = std::move(previewer);
        }
        window_->disable();
        return true;
    } catch (const StringException& error) {
        // Tracks that cannot be shown are played directly.
        logMessage(error.message(), __FILE__, __LINE__);
        return false;
    }
}

void Browser::playDirectly(int index) {
    if (isDirectPlaying()) return;
    bool found = false;
    const int selected = database_->selectedIndex(found);
    if (!found) {
        showMessage("Cannot Play", "There is no record selected.");
        releasePlayButtons();
        return;
    }
    std::unique_ptr<AudioFileReader> reader;
    try {
        reader = SampleDisk::open(database_->filteredRecord(selected).fileName, true, false, readerCacheSeconds);
    } catch (const StringException& error) {
        showMessage("Cannot play track.", error.message());
        releasePlayButtons();
        return;
    }
    {
        // The song and the reset together under the lock: the reader thread,
        // woken by the reset, begins its next chunk on the song's first
        // frame, and a chunk it began before is dropped (render leaves the
        // song alone for it).
        std::lock_guard<std::mutex> hold(lock_);
        reader_ = std::move(reader);
        position_ = 0;
        playing_ = true;
        readAhead_->reset();
    }
    playingRow_ = index;
}

void Browser::closePreviewer() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        previewer_.reset();
    }
    releasePlayButtons();
    window_->enable();
    window_->bringToFront();
}

void Browser::render(Motor* device, float** channels, std::int32_t frames) {
    if (device != nullptr) deviceRenders_.fetch_add(1, std::memory_order_relaxed);
    std::lock_guard<std::mutex> hold(lock_);
    // The read-ahead thread never advances the previewer: only the output's
    // own blocks play it.
    if (previewer_ && device != nullptr) {
        previewer_->render(device, channels, frames);
        return;
    }
    // Nor does a chunk that a reset has dropped move the song on.
    if (previewer_ || !playing_ || !reader_ || (device == nullptr && readAhead_->isChunkDropped())) {
        reportPrimitiveError(zaviZero_32f(channels[0], frames), __FILE__, __LINE__);
        reportPrimitiveError(zaviZero_32f(channels[1], frames), __FILE__, __LINE__);
        return;
    }
    if (device != nullptr) {
        readAhead_->render(device, channels, frames);
        return;
    }
    float** samples = reader_->read(position_, frames, true);
    const bool mono = reader_->format()->channels < 2;
    reportPrimitiveError(zaviMulC_32f(samples[0], directGain, channels[0], frames), __FILE__, __LINE__);
    reportPrimitiveError(zaviMulC_32f(samples[mono ? 0 : 1], directGain, channels[1], frames), __FILE__, __LINE__);
    position_ += frames;
}

// ---------------------------------------------------------------------------
// The list

void Browser::selectRoot(int index) {
    stopPrelisten();
    releasePlayButtons();
    if (!database_->enterRoot(index)) {
        showMessage("Cannot Select Root", "This root cannot be selected. The directory is not accessible.");
        return;
    }
    const std::string previousPath = rootPath_;
    rootPath_ = database_->rootDirectory(index);
    const BrowserData previous(*database_);
    bool aborted = false;
    buildSucceeded_ = false;
    {
        DialogProgress progress(window_.get(), this, buildTitle, &aborted, 0, 100);
    }
    if (aborted && !buildSucceeded_) {
        rootPath_ = previousPath;
        *database_ = previous;
    } else {
        database_->setCurrentRoot(index);
    }
    showRoots();
    showHeaders();
    refreshRows();
    setScrollbar();
    redrawAll();
}

void Browser::run(DialogProgress* dialog, const std::string& title) {
    if (title != buildTitle) return;
    BuildProgress progress(dialog);
    buildSucceeded_ = database_->build(rootPath_, &progress);
}

void Browser::sortBy(int column) {
    stopPrelisten();
    releasePlayButtons();
    bool found = false;
    const int before = database_->selectedIndex(found);
    database_->setSortColumn(columnNames[column]);
    showHeaders();
    keepSelectionInPlace(before);
    refreshRows();
    setScrollbar();
}

void Browser::setFilter(const std::string& text) {
    filter_ = text;
    bool found = false;
    const int before = database_->selectedIndex(found);
    database_->setFilter(filter_);
    keepSelectionInPlace(before);
    refreshRows();
    setScrollbar();
    filterText_->setText(filter_);
}

void Browser::jumpToTempo() {
    stopPrelisten();
    releasePlayButtons();
    database_->setSortColumn("BPM");
    showHeaders();
    const int count = database_->shownCount();
    int first = database_->nearestTempoIndex(currentTempo_) - (rowCount / 2);
    if (first < 0 || count <= rowCount) first = 0;
    if (count - first <= rowCount) first = std::max(0, count - rowCount);
    database_->setFirstShownRow(first);
    refreshRows();
    setScrollbar();
}

void Browser::scrolled(GUIScrollbar* /*scrollbar*/, int first) {
    database_->setFirstShownRow(first);
    refreshRows();
}

void Browser::mouseWheel(GUIMouseArea* /*area*/, const GUIPoint& /*point*/, int notches) {
    const int count = database_->shownCount();
    if (count <= rowCount) return;
    const int old = database_->firstShownRow();
    int first = old - notches * wheelLines_;
    if (first < 0) {
        first = 0;
    } else if (first >= count - rowCount) {
        first = count - rowCount;
    }
    if (first == old) return;
    database_->setFirstShownRow(first);
    refreshRows();
    setScrollbar();
}

void Browser::mouseDown(GUIMouseArea* area, const GUIPoint& point, bool doubleClick) {
    // The scrollbar's strip at the right end is not part of the rows.
    if (point.x > area->x1 - rowHeight) return;
    const int index = database_->firstShownRow() + (point.y - area->y0) / rowHeight;
    if (index >= database_->shownCount()) return;
    if (!database_->filteredRecord(index).selected) {
        database_->select(index);
        refreshRows();
        return;
    }
    if (doubleClick) load(index);
}

void Browser::character(Window* /*window*/, int code) {
    std::string text = filter_;
    if (code == 8) {
        if (text.empty()) return;
        text.pop_back();
    } else {
        if (text.size() >= filterCapacity) return;
        text.push_back(static_cast<char>(code));
    }
    setFilter(text);
}

// ---------------------------------------------------------------------------
// Actions on a record

void Browser::load(int index) {
    stopPrelisten();
    releasePlayButtons();
    const std::string path = database_->filteredRecord(index).fileName;
    try {
        // A trial song: what a deck would refuse is refused here.
        Interpolator interpolator(2);
        TimeScalerPV timeScaler(1024, 4);
        Song trial(path, 0, interpolator, timeScaler, application_->minimumTempo(), false, 0);
    } catch (const NoMetadataAvailable&) {
        if (askYesNo("Could not load song.", "This song is not yet analyzed. Do you want to analyze it in the "
                                             "BeatMapper? [This will interrupt playback.]")) {
            application_->openBeatMapper(path);
        }
        return;
    } catch (const StringException& error) {
        showMessage("Could not load song.", error.message());
        return;
    }
    application_->loadSongFile(path);
    database_->markLoaded(index);
    refreshRows();
    application_->selectDropTool();
    if (application_->isExitOnLoad()) {
        platform::postMessage(window_->handle(), platform::closeRequestMessage, 0, 0);
    }
}

int Browser::selectedFreeRecord(const std::string& refusal, const std::string& action) {
    bool found = false;
    const int index = database_->selectedIndex(found);
    if (!found) {
        showMessage("Cannot Do Action", "There is no record selected.");
        return -1;
    }
    if (!canOpenExclusively(database_->filteredRecord(index).fileName)) {
        showMessage(refusal, "The file is in use (maybe playing), so you cannot " + action + " it.");
        return -1;
    }
    return index;
}

void Browser::edit() {
    const int index = selectedFreeRecord("Cannot Edit", "edit");
    if (index < 0) return;
    const std::string path = database_->filteredRecord(index).fileName;
    if (!askYesNo("Launching BeatMapper", "Do you want to launch the BeatMapper? [This will interrupt playback.]")) {
        return;
    }
    stopPrelisten();
    releasePlayButtons();
    application_->openBeatMapper(path);
}

void Browser::remove() {
    const int index = selectedFreeRecord("Cannot Delete", "delete");
    if (index < 0) return;
    const std::string path = database_->filteredRecord(index).fileName;
    const std::string qrt = sideFile(path, "qrt");
    const std::string png = sideFile(path, "png");
    const bool hasQrt = platform::pathExists(qrt);
    const bool hasPng = platform::pathExists(png);
    if (!askYesNo("Are You Sure?", "Are you sure you want to permanently delete this audio file and its metadata?")) {
        return;
    }
    if (!platform::removeFile(path)) logMessage("Cannot delete " + path + ".", __FILE__, __LINE__);
    if (hasQrt && !platform::removeFile(qrt)) logMessage("Cannot delete " + qrt + ".", __FILE__, __LINE__);
    if (hasPng && !platform::removeFile(png)) logMessage("Cannot delete " + png + ".", __FILE__, __LINE__);
    database_->removeShown(index);
    const int first = database_->firstShownRow();
    if (first > 0 && database_->shownCount() - first < rowCount) database_->setFirstShownRow(first - 1);
    refreshRows();
    setScrollbar();
}

// ---------------------------------------------------------------------------
// Listeners

void Browser::buttonPressed(GUIButton* button) {
    handlePress(button);
    // A box or chooser opened by the press may have taken the release.
    if (button->mode() == 0) button->setUp();
}

void Browser::handlePress(GUIButton* button) {
    for (std::size_t i = 0; i < rootButtons_.size(); ++i) {
        if (button != rootButtons_[i]) continue;
        std::string path;
        if (chooseDirectory(window_->handle(), "Select the root directory for the browser.", path)) {
            database_->setRootDirectory(static_cast<int>(i), path);
            showRoots();
        }
        return;
    }
    for (int r = 0; r < rowCount; ++r) {
        if (button == playButtons_[static_cast<std::size_t>(r)]) {
            prelisten(r);
            return;
        }
        if (button == selectButtons_[static_cast<std::size_t>(r)]) {
            const int index = database_->firstShownRow() + r;
            if (index < database_->shownCount()) load(index);
            return;
        }
    }
    if (button == tempoButton_) {
        jumpToTempo();
    } else if (button == stopButton_) {
        stopPrelisten();
        releasePlayButtons();
    } else if (button == deleteButton_) {
        remove();
    } else if (button == editButton_) {
        edit();
    } else if (button == clearFilterButton_) {
        setFilter("");
    }
}

void Browser::buttonReleased(GUIButton* button) {
    for (GUIButton* play : playButtons_) {
        if (button == play) {
            stopPrelisten();
            return;
        }
    }
}

void Browser::clicked(GUITextHorizontal* text, bool /*doubleClick*/) {
    for (std::size_t i = 0; i < rootTexts_.size(); ++i) {
        if (text == rootTexts_[i]) {
            selectRoot(static_cast<int>(i));
            return;
        }
    }
    for (int c = 0; c < columnCount; ++c) {
        if (text == headers_[static_cast<std::size_t>(c)]) {
            sortBy(c);
            return;
        }
    }
}
