// The browser window: one of four root directories read into the track
// database, shown as 25 rows of five columns that can be filtered, sorted,
// scrolled and jumped to the mix tempo; a track is loaded onto a deck,
// edited in the beat mapper or deleted from here, and pre-listened on the
// second output, through the previewer for an analysed track and otherwise
// directly at half gain through a read-ahead source.
//
// Threads: render runs on the second output's thread (with that device as
// caller) and on the read-ahead source's thread (no caller), always under
// the browser's lock; the user-interface thread changes the previewer, the
// reader and the playing flag only under that lock. The database build runs
// on the progress dialog's job thread while this thread waits in the
// dialog. The database belongs to the application.
#ifndef VELKARN_TOOLS_BROWSER_H
#define VELKARN_TOOLS_BROWSER_H

#include "app/ApplicationInterface.h"
#include "audio/AudioClient.h"
#include "framework/ButtonClient.h"
#include "framework/DialogProgressClient.h"
#include "framework/Font.h"
#include "framework/GUIMouseAreaClient.h"
#include "framework/GUIScrollbarClient.h"
#include "framework/GUITextClient.h"
#include "framework/WindowClient.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class AudioFileReader;
class BrowserData;
class GUIButton;
class GUIMouseArea;
class GUIScrollbarVertical;
class GUIText;
class GUITextHorizontal;
class Previewer;
class SourceReadAhead;
class Window;

class Browser : public ButtonClient,
                public GUITextClient,
                public GUIScrollbarClient,
                public GUIMouseAreaClient,
                public DialogProgressClient,
                public WindowClient,
                public AudioClient {
public:
    static constexpr int rowCount = 25;
    static constexpr int columnCount = 5;
    static constexpr int rowHeight = 20;
    // The list area and the first row's top.
    static constexpr int listX = 10;
    static constexpr int listY = 150;
    static constexpr int listWidth = 980;
    static constexpr int listHeight = 505;
    static constexpr int firstRowY = 154;
    // The filter holds at most this many characters.
    static constexpr std::size_t filterCapacity = 511;
    static constexpr const char* buildTitle = "Building Database";

    Browser(void* instance, int showCommand, BrowserData* database, ApplicationInterface* application);
    ~Browser() override;
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    Window* window() const { return window_.get(); }
    // The open previewer's window, or null.
    Window* previewerWindow() const;
    Previewer* previewer() const { return previewer_.get(); }

    // The mix tempo, shown as a whole number; the tempo jump goes to it.
    void showCurrentTempo(float tempo);
    // Shows the rows again from the database (after the beat mapper saved
    // a song's meta-data into its record).
    void refreshRows();
    // Opens the previewer on the song and takes the input away from the
    // browser window until it closes; false when the song cannot be shown
    // (logged). A previewer already open is a fatal stop.
    bool openPreviewer(const std::string& path);
    // Deletes the previewer, releases the play buttons and gives the input
    // back to the browser window.
    void closePreviewer();

    void render(Motor* device, float** channels, std::int32_t frames) override;
    // Blocks rendered for an output device (the read-ahead source's calls
    // not counted); any thread.
    std::int64_t renderCount() const { return deviceRenders_.load(std::memory_order_relaxed); }

    // Listeners.
    void buttonPressed(GUIButton* button) override;
    void buttonReleased(GUIButton* button) override;
    void clicked(GUITextHorizontal* text, bool doubleClick) override;
    void scrolled(GUIScrollbar* scrollbar, int first) override;
    void mouseDown(GUIMouseArea* area, const GUIPoint& point, bool doubleClick) override;
    void mouseWheel(GUIMouseArea* area, const GUIPoint& point, int notches) override;
    void character(Window* window, int code) override;
    void run(DialogProgress* dialog, const std::string& title) override;

    // For tests and the screenshots: what the window shows.
    const std::string& currentRootPath() const { return rootPath_; }
    float currentTempo() const { return currentTempo_; }
    bool isDirectPlaying();
    // Frames of direct pre-listening the read-ahead source holds; any thread.
    std::int64_t framesReadyAhead() const;
    int playingRow() const { return playingRow_; }
    GUIButton* rootButton(int i) const { return rootButtons_[static_cast<std::size_t>(i)]; }
    GUITextHorizontal* rootText(int i) const { return rootTexts_[static_cast<std::size_t>(i)]; }
    GUITextHorizontal* header(int i) const { return headers_[static_cast<std::size_t>(i)]; }
    GUITextHorizontal* tempoText() const { return tempoText_; }
    GUITextHorizontal* filterText() const { return filterText_; }
    GUITextHorizontal* cell(int column, int row) const;
    GUIButton* playButton(int row) const { return playButtons_[static_cast<std::size_t>(row)]; }
    GUIButton* selectButton(int row) const { return selectButtons_[static_cast<std::size_t>(row)]; }
    GUIScrollbarVertical* scrollbar() const { return scrollbar_; }
    GUIButton* tempoButton() const { return tempoButton_; }
    GUIButton* stopButton() const { return stopButton_; }
    GUIButton* deleteButton() const { return deleteButton_; }
    GUIButton* editButton() const { return editButton_; }
    GUIButton* clearFilterButton() const { return clearFilterButton_; }

private:
    void handlePress(GUIButton* button);
    void showRoots();
    void showHeaders();
    void setScrollbar();
    void redrawAll();
    // Keeps the selected record at its place on screen across a change of
    // the shown records' order or number.
    void keepSelectionInPlace(int selectedBefore);
    void releasePlayButtons(GUIButton* except = nullptr);
    void stopPrelisten();
    void selectRoot(int index);
    void sortBy(int column);
    void setFilter(const std::string& text);
    void jumpToTempo();
    void load(int index);
    // The selected record's shown index when its file is free to change;
    // otherwise -1 after telling why.
    int selectedFreeRecord(const std::string& refusal, const std::string& action);
    void edit();
    void remove();
    void prelisten(int row);
    void playDirectly(int index);

    void* instance_;
    int showCommand_;
    BrowserData* database_;
    ApplicationInterface* application_;

    // The texts draw with these; both are the narrow font, so that the
    // 20-pixel tempo shows three digits and the 30-pixel column "%5.1f".
    std::unique_ptr<Font> font1_;
    std::unique_ptr<Font> font2_;
    std::unique_ptr<Window> window_;
    std::array<GUIButton*, 4> rootButtons_{};
    std::array<GUITextHorizontal*, 4> rootTexts_{};
    GUIButton* tempoButton_ = nullptr;
    GUITextHorizontal* tempoText_ = nullptr;
    GUIButton* stopButton_ = nullptr;
    GUIButton* deleteButton_ = nullptr;
    GUIButton* editButton_ = nullptr;
    GUITextHorizontal* filterText_ = nullptr;
    GUIButton* clearFilterButton_ = nullptr;
    std::array<GUITextHorizontal*, columnCount> headers_{};
    GUIScrollbarVertical* scrollbar_ = nullptr;
    GUIMouseArea* listArea_ = nullptr;
    std::array<std::array<GUIText*, rowCount>, columnCount> cells_{};
    std::array<GUIButton*, rowCount> playButtons_{};
    std::array<GUIButton*, rowCount> selectButtons_{};

    std::string rootPath_;
    std::string filter_;
    int wheelLines_ = 3;
    float currentTempo_ = 120.0f;
    bool buildSucceeded_ = false;

    std::mutex lock_;
    std::unique_ptr<AudioFileReader> reader_;  // under lock_
    bool playing_ = false;                     // under lock_
    std::int32_t position_ = 0;                // under lock_; read-ahead thread
    int playingRow_ = -1;
    std::unique_ptr<Previewer> previewer_;  // changed under lock_
    std::unique_ptr<SourceReadAhead> readAhead_;
    std::atomic<std::int64_t> deviceRenders_{0};
};

#endif
