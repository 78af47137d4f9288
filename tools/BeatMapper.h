// The beat mapper: the window in which the user maps the beats of one song.
// It shows the song's beat map with the beats as markers over it, plays the
// song with a metronome click on every beat, estimates and refines the
// tempo, fills in the generated beats around the ones the user set, edits
// the song's identification texts and key, and saves the beat meta-data
// with an overview image. Batch jobs split, merge or convert the meta-data
// of whole directory trees.
//
// One class in several source files by concern:
//   BeatMapper.cpp         window, controls, loading, playback and metronome
//   BeatMapperDialogs.cpp  the "Edit ID" and "Set Key" dialogs
//   BeatMapperEdit.cpp     marking beats, tempo estimate and cycle, saving,
//                          the overview image and the image export
//   BeatMapperWalks.cpp    the split, merge and convert walks
//
// Threads: render runs on the main output's thread (the application hands
// it every block of output 0 while the mapper is open) and holds lock 1 for
// the whole block. Lock 1 guards playing, the play start, the frames played,
// the song reader's use by render and the beat list. The song and click
// volumes reach render as atomics. The "Loading Track" analysis and the
// walks run on the progress dialog's job thread while the window's thread
// waits in the dialog; everything else runs on the user-interface thread.
#ifndef VELKARN_TOOLS_BEATMAPPER_H
#define VELKARN_TOOLS_BEATMAPPER_H

#include "app/ApplicationInterface.h"
#include "audio/AudioClient.h"
#include "audio/Beats.h"
#include "audio/FormatAudio.h"
#include "framework/ButtonClient.h"
#include "framework/ButtonGroupClient.h"
#include "framework/DialogProgressClient.h"
#include "framework/GUIMarkerMapClient.h"
#include "framework/SliderClient.h"
#include "framework/TimerClient.h"
#include "framework/WindowClient.h"
#include "tools/GUIBeatMapClient.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class AudioFileReader;
class DialogProgress;
class Font;
class GUIBeatMap;
class GUIBeatMapData;
class GUIButton;
class GUIButtonManager;
class GUIMarkerMap;
class GUINumberSlider;
class GUISlider;
class GUISliderHorizontal;
class GUISliderVertical;
class GUITextHorizontal;
class UnitSample;
struct SongFileOutputs;
class Window;

class BeatMapper : public AudioClient,
                   public WindowClient,
                   public SliderClient,
                   public GUIBeatMapClient,
                   public ButtonClient,
                   public ButtonGroupClient,
                   public GUIMarkerMapClient,
                   public TimerClient,
                   public DialogProgressClient {
public:
    // The beat map's and marker map's samples per value (and per column).
    static constexpr std::int32_t samplesPerValue = 153;
    // The largest block render takes (the ramp buffer's length).
    static constexpr std::int32_t maximumBlock = 44100;
    static constexpr int maximumCandidates = 6;
    // The dialogs copy up to this many characters back into a field.
    static constexpr int fieldLength = 511;
    // The sample rate that every analysis and the beat list count in.
    static constexpr std::int32_t songRate = 44100;
    // The timer that moves the playing pointer, in milliseconds.
    static constexpr unsigned timerPeriodMs = 50;

    // Which walk a batch job runs.
    enum class Walk { Split, Merge, Convert };

    // How a song is opened for loading (tests wrap the reader); empty:
    // SampleDisk::open.
    using SongOpen = std::function<std::unique_ptr<AudioFileReader>(const std::string& path, bool absolute,
                                                                    bool metaOnly, float cacheSeconds,
                                                                    const SongFileOutputs& outputs)>;
    static void setSongOpen(SongOpen open);

    // The window with its controls; with a path, that song is loaded at
    // once (titled with its base name). `format` is the output's, which the
    // click plays in.
    BeatMapper(void* instance, int showCommand, const FormatAudio& format, ApplicationInterface* application,
               const std::string& path);
    ~BeatMapper() override;
    BeatMapper(const BeatMapper&) = delete;
    BeatMapper& operator=(const BeatMapper&) = delete;

    // ---- Window, loading, playback and metronome (BeatMapper.cpp) ----

    // One block of output 0: the song from the play position at the
    // ramped song volume, and a click at the last beat the block reaches.
    // Silence while not playing. Allocates nothing.
    void render(Motor* device, float** channels, std::int32_t frames) override;

    // Loads the song at `path` (used as given) and shows `title` as the
    // window's file name. Refused while another program holds the file; a
    // failed open or a cancelled analysis keeps the previous song, its
    // analysis and its beats. Returns whether the song was loaded.
    bool load(const std::string& path, const std::string& title);
    // Plays from the frame position (the reader primed there first).
    void startPlayback(std::int32_t position);
    // Playback off under lock 1.
    void stopPlayback();
    // Draws the beat map from the zoom, scroll, mix, gain, tempo and meter
    // controls and lays the marker map over it.
    void refreshView();

    bool canClose(Window* window) override;
    void sliderChanged(GUISlider* slider, float value) override;
    void beatMapWheel(GUIBeatMap* map, int notches) override;
    void buttonPressed(GUIButton* button) override;
    void buttonReleased(GUIButton* button) override;
    void groupButtonPressed(GUIButtonManager* group, int index) override;
    bool isEditable(GUIMarkerMap* map) override;
    void markerEdited(GUIMarkerMap* map, int position) override;
    void markerClicked(GUIMarkerMap* map, int position) override;
    void windowTimer(Window* window) override;
    // The progress dialog's job: "Loading Track" analyses the song being
    // loaded; "Splitting Tracks", "Merging Tracks" and "Converting Tracks"
    // walk the batch directory.
    void run(DialogProgress* dialog, const std::string& title) override;

    // ---- Dialogs (BeatMapperDialogs.cpp) ----

    // "Edit ID": the six identification texts, modal over the window.
    void editId();
    // "Set Key": the key text, modal over the window.
    void setKey();

    // ---- Marking and saving beats (BeatMapperEdit.cpp) ----

    // Under lock 1: the beat list from the switched-on markers, laid out at
    // the BPM slider's tempo over the song, generated beats spread between
    // the set ones; then the marker map refilled from it. Needs a song.
    void rebuildBeats();
    // Tempo candidates of the current meter, the first refined and shown.
    void estimateTempo();
    // Half the current candidate, then the next candidate, and so on.
    void cycleTempo();
    // The marker map cleared and the beats emptied.
    void clearMarkers();
    // Writes the beat meta-data and the overview image of the loaded song,
    // in the audio file or beside it as the file group says. Returns
    // whether the meta-data was written.
    bool save();
    // The usePNG toggle pressed down: asks first, and puts it back up on No.
    void usePngPressed();
    // The dumpImage button: the beat map and its markers as a PNG file.
    void dumpImage();
    // The song's overview: 20 pixels per second between the first and the
    // last beat, 60 high, a white line and number per bar of `barStep`
    // beats, and the upgrade notice when asked; written beside the song
    // with the extension "png".
    static void writeOverviewImage(const Beats& beats, int barStep, bool notice, const std::string& songPath);

    // ---- Batch jobs (BeatMapperWalks.cpp) ----

    // Asks for a directory, then runs the walk on the progress dialog.
    void startWalk(Walk walk);
    // On the job thread: counts the tree's audio files, then walks it.
    void runWalk(DialogProgress* dialog, Walk walk);
    // One directory, recursively; false when it could not be entered or
    // the search failed.
    bool walkDirectory(const std::string& path, int& counter, DialogProgress* dialog, Walk walk);
    // One audio file of the walk.
    void processFile(const std::string& path, Walk walk);
    // Adds the level envelope and folded profile to the meta-data of a
    // song that has beats but no Points record; anything else is passed
    // over. Returns whether the file was converted.
    bool convertFile(const std::string& path);

    // ---- State, for the application and for tests ----

    Window* window() const { return window_.get(); }
    const std::string& path() const { return songPath_; }
    bool isEdited() const;
    void setEdited(bool edited);
    std::int64_t renderCount() const { return renders_.load(std::memory_order_relaxed); }

    AudioFileReader* song() const { return song_.get(); }
    Beats* beats() const { return beats_.get(); }
    GUIBeatMap* beatMap() const { return beatMap_; }
    GUIMarkerMap* markerMap() const { return markerMap_; }
    bool isPlaying();
    // Play start plus frames played since.
    std::int64_t playPosition();
    float minimumTempo() const { return minimumTempo_; }
    float maximumTempo() const { return maximumTempo_; }
    float standardTempo() const { return standardTempo_; }
    int candidateCount() const { return candidateCount_; }
    float candidate(int index) const { return candidates_[index]; }
    bool isCandidateRefined(int index) const { return refined_[index]; }
    int candidateIndex() const { return candidateIndex_; }
    bool isHalf() const { return half_; }
    const std::string& batchDirectory() const { return batchDirectory_; }

    GUISliderVertical* zoomSlider() const { return zoom_; }
    GUISliderVertical* scrollSlider() const { return scroll_; }
    GUISliderVertical* mixSlider() const { return mix_; }
    GUISliderVertical* gainSlider() const { return gain_; }
    GUISliderHorizontal* songVolumeSlider() const { return songVolume_; }
    GUISliderHorizontal* clickVolumeSlider() const { return clickVolume_; }
    GUINumberSlider* bpmSlider() const { return bpm_; }
    GUIButton* stopPlayingButton() const { return stopPlaying_; }
    GUIButton* dumpImageButton() const { return dumpImage_; }
    GUIButton* editMapButton() const { return editMap_; }
    GUIButton* cycleBpmButton() const { return cycleBpm_; }
    GUIButton* estimateBpmButton() const { return estimateBpm_; }
    GUIButton* usePngButton() const { return usePng_; }
    GUIButton* setKeyButton() const { return setKey_; }
    GUIButton* editIdButton() const { return editId_; }
    GUIButton* loadButton() const { return load_; }
    GUIButton* saveButton() const { return save_; }
    GUIButton* clearMarkersButton() const { return clearMarkers_; }
    GUIButton* splitButton() const { return split_; }
    GUIButton* mergeButton() const { return merge_; }
    GUIButton* convertButton() const { return convert_; }
    GUIButtonManager* beatGroup() const { return beatGroup_.get(); }
    GUIButtonManager* barGroup() const { return barGroup_.get(); }
    GUIButtonManager* meterGroup() const { return meterGroup_.get(); }
    GUIButtonManager* fileGroup() const { return fileGroup_.get(); }
    GUITextHorizontal* keyText() const { return keyText_; }
    GUITextHorizontal* trackText() const { return track_; }
    GUITextHorizontal* artistText() const { return artist_; }
    GUITextHorizontal* albumText() const { return album_; }
    GUITextHorizontal* labelText() const { return label_; }
    GUITextHorizontal* commentsText() const { return comments_; }
    GUITextHorizontal* yearText() const { return year_; }
    GUITextHorizontal* statusText() const { return status_; }

    // Beats per bar of the meter group (3 or 4).
    int beatsPerBar() const;
    // The BPM slider's tempo.
    float tempo() const;

private:
    struct FloatsRelease {
        void operator()(float* block) const;
    };

    void createControls();
    GUITextHorizontal* addText(int x, int y, int width, int height);
    // The load button: asks about unsaved changes, then the open chooser.
    void loadPressed();
    // Draws the view again and marks the window modified.
    void editedAndRefreshed();

    ApplicationInterface* application_;
    float minimumTempo_ = 40.0f;
    float maximumTempo_ = 220.0f;
    float standardTempo_ = 120.0f;

    std::unique_ptr<Window> window_;

    // The controls, owned by the window's component tree.
    GUISliderVertical* zoom_ = nullptr;
    GUISliderVertical* scroll_ = nullptr;
    GUISliderVertical* mix_ = nullptr;
    GUISliderVertical* gain_ = nullptr;
    GUIBeatMap* beatMap_ = nullptr;
    GUIMarkerMap* markerMap_ = nullptr;
    GUIButton* stopPlaying_ = nullptr;
    GUIButton* dumpImage_ = nullptr;
    GUIButton* editMap_ = nullptr;
    GUISliderHorizontal* songVolume_ = nullptr;
    GUISliderHorizontal* clickVolume_ = nullptr;
    GUINumberSlider* bpm_ = nullptr;
    GUIButton* cycleBpm_ = nullptr;
    GUIButton* estimateBpm_ = nullptr;
    std::unique_ptr<GUIButtonManager> beatGroup_;
    std::unique_ptr<GUIButtonManager> barGroup_;
    std::unique_ptr<GUIButtonManager> meterGroup_;
    GUIButton* usePng_ = nullptr;
    GUITextHorizontal* keyText_ = nullptr;
    GUIButton* setKey_ = nullptr;
    GUITextHorizontal* track_ = nullptr;
    GUITextHorizontal* artist_ = nullptr;
    GUITextHorizontal* album_ = nullptr;
    GUITextHorizontal* label_ = nullptr;
    GUITextHorizontal* comments_ = nullptr;
    GUITextHorizontal* year_ = nullptr;
    GUIButton* editId_ = nullptr;
    GUIButton* load_ = nullptr;
    GUIButton* save_ = nullptr;
    GUIButton* clearMarkers_ = nullptr;
    std::unique_ptr<GUIButtonManager> fileGroup_;
    GUIButton* split_ = nullptr;
    GUIButton* merge_ = nullptr;
    GUIButton* convert_ = nullptr;
    std::unique_ptr<Font> font_;
    GUITextHorizontal* status_ = nullptr;

    std::string songPath_;
    std::unique_ptr<AudioFileReader> song_;  // null while no song is loaded

    // Under lock 1.
    bool playing_ = false;
    std::int32_t playStart_ = 0;
    std::int32_t played_ = 0;

    std::unique_ptr<UnitSample> metronome_;  // output thread while playing
    std::unique_ptr<Beats> beats_;           // under lock 1 while playing

    std::string batchDirectory_;

    // Slider values for render, set on the user-interface thread.
    std::atomic<float> songVolumeValue_{0.5f};
    std::atomic<float> clickVolumeValue_{0.25f};
    // The gains the last block ended at; output thread.
    float songGain_ = 0.5f;
    float clickGain_ = 0.25f;
    std::unique_ptr<float, FloatsRelease> ramp_;
    int wheelLines_ = 3;

    // Tempo candidates, strongest first.
    float candidates_[maximumCandidates] = {};
    bool refined_[maximumCandidates] = {};
    int candidateCount_ = 0;
    int candidateIndex_ = 0;
    bool half_ = false;

    // Set by the progress dialog's cancel; the job reads it through the
    // dialog.
    bool abort_ = false;
    // The reader the "Loading Track" job analyses.
    AudioFileReader* analysing_ = nullptr;
    bool analysed_ = false;

    std::atomic<std::int64_t> renders_{0};

    // Lock 1 for a scope.
    class PlaybackLock {
    public:
        PlaybackLock();
        ~PlaybackLock();
        PlaybackLock(const PlaybackLock&) = delete;
        PlaybackLock& operator=(const PlaybackLock&) = delete;
    };

    // Opens a song for the mapper through the tests' opener when one is
    // set, else SampleDisk::open, with the reader cache playback needs.
    static std::unique_ptr<AudioFileReader> openSongFile(const std::string& path, const SongFileOutputs& outputs);
    // After a save: the song opened again, or, when that fails, the
    // failure shown and the mapper left without a song.
    void reopenSong();
};

#endif
