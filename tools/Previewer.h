// The browser's pre-listen window for an analysed track: the track's beat
// map with its beats as markers, played from the start on the second output
// with a volume slider, a pointer that follows the playing position, and a
// click on the map that plays from there.
//
// Threads: render runs on the second output's thread, called by the
// browser's render under the browser's lock; everything else runs on the
// user-interface thread. Playing, the start position and the frames played
// since are read and changed under the previewer's own lock. The volume
// reaches the output thread through an atomic that the slider's moves set.
#ifndef VELKARN_TOOLS_PREVIEWER_H
#define VELKARN_TOOLS_PREVIEWER_H

#include "audio/AudioClient.h"
#include "framework/ButtonClient.h"
#include "framework/GUIMarkerMapClient.h"
#include "framework/SliderClient.h"
#include "framework/TimerClient.h"
#include "framework/WindowClient.h"
#include "tools/GUIBeatMapClient.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class AudioFileReader;
class GUIBeatMap;
class GUIButton;
class GUIMarkerMap;
class GUISliderHorizontal;
class Window;

class Previewer : public AudioClient,
                  public WindowClient,
                  public GUIBeatMapClient,
                  public GUIMarkerMapClient,
                  public ButtonClient,
                  public SliderClient,
                  public TimerClient {
public:
    // The beat map's and marker map's samples per value; a level envelope
    // stored at another resolution cannot be shown.
    static constexpr std::int32_t samplesPerValue = 153;
    // The largest block render takes (the ramp buffer's length).
    static constexpr std::int32_t maximumBlock = 44100;

    // Opens the song, shows its map and starts playing it from its start.
    // Throws StringException "Could not construct maps. <reason>" where the
    // reason is "Could not load song.", "No beat information present." or
    // "No points available.".
    Previewer(void* instance, int showCommand, const std::string& path);
    ~Previewer() override;
    Previewer(const Previewer&) = delete;
    Previewer& operator=(const Previewer&) = delete;

    void render(Motor* device, float** channels, std::int32_t frames) override;

    // Playing from the sample position (priming the reader there).
    void seek(std::int32_t position);

    void beatMapWheel(GUIBeatMap* map, int notches) override;
    void markerClicked(GUIMarkerMap* map, int position) override;
    void markerEdited(GUIMarkerMap* map, int position) override;
    void buttonPressed(GUIButton* button) override;
    void sliderChanged(GUISlider* slider, float value) override;
    void windowTimer(Window* window) override;

    Window* window() const { return window_.get(); }
    GUIBeatMap* beatMap() const { return beatMap_; }
    GUIMarkerMap* markerMap() const { return markerMap_; }
    GUISliderHorizontal* volumeSlider() const { return slider_; }
    GUIButton* stopButton() const { return stopButton_; }
    bool isPlaying();
    // Start position plus frames played since.
    std::int64_t playPosition();
    float scroll() const { return scroll_; }
    float tempo() const { return tempo_; }
    int beatsPerRow() const { return beatsPerRow_; }

private:
    struct RampRelease {
        void operator()(float* block) const;
    };

    void drawMaps();

    GUIBeatMap* beatMap_ = nullptr;      // owned by the window once added
    GUIMarkerMap* markerMap_ = nullptr;  // likewise
    GUIButton* stopButton_ = nullptr;
    GUISliderHorizontal* slider_ = nullptr;
    std::unique_ptr<Window> window_;
    std::unique_ptr<AudioFileReader> reader_;

    std::mutex lock_;
    bool playing_ = false;             // under lock_
    std::uint32_t startPosition_ = 0;  // under lock_
    std::uint32_t played_ = 0;         // under lock_

    std::atomic<float> sliderVolume_{0.5f};  // set on the UI thread, read by render
    float volume_ = 0.5f;                    // the last block's; output thread
    std::unique_ptr<float, RampRelease> ramp_;
    int wheelLines_ = 3;

    float scroll_ = 0.0f;
    float tempo_ = 120.0f;
    int beatsPerRow_ = 4;
};

#endif
